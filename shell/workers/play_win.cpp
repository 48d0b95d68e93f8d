// Playback through waveOut: one device opened per playback and closed the
// moment it ends or is stopped, so nothing holds the device while it is
// silent (an open device plays silence on). The device signals an event that
// a small watcher thread waits on, so the end is seen at once; a timer of the
// user-interface thread tells where the sound is meanwhile.
#include <windows.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "shell/workers/play_win.h"
#include "shell/workers/worker_state_win.h"
#include "core/wave/wave_format.h"

namespace tw {

namespace {

constexpr UINT kPlayLineIntervalMs = 30;

bool BufferDone() {
    // Set by the driver's thread.
    return (*reinterpret_cast<volatile DWORD*>(&Workers().play.now.buffer.dwFlags) & WHDR_DONE) != 0;
}

// The file's format as the device wants to be told it. More than two channels
// or more than 16 bits need the extensible form on Windows.
bool DeviceFormat(const WaveLayout& layout, WAVEFORMATEXTENSIBLE* out) {
    const WORD tag = layout.formatTag;
    const WORD channels = layout.channels;
    const DWORD rate = layout.sampleRate;
    const std::uint64_t frame = std::uint64_t{layout.channels} * layout.sampleBytes();
    const WORD align = frame > 0xFFFF ? 0 : static_cast<WORD>(frame);
    const WORD bits = layout.bitsPerSample;
    const std::uint64_t byteRate = static_cast<std::uint64_t>(rate) * align;
    if (channels == 0 || rate == 0 || align == 0 || bits == 0 || byteRate > 0xFFFFFFFFu) return false;
    *out = WAVEFORMATEXTENSIBLE{};
    WAVEFORMATEX& f = out->Format;
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.nAvgBytesPerSec = static_cast<DWORD>(byteRate);
    f.nBlockAlign = align;
    f.wBitsPerSample = bits;
    if ((tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_IEEE_FLOAT) && (channels > 2 || bits > 16)) {
        f.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
        f.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
        out->Samples.wValidBitsPerSample = bits;
        out->dwChannelMask = 0;  // no speaker assigned: channels in order
        // KSDATAFORMAT_SUBTYPE_PCM and _IEEE_FLOAT: the format tag in the GUID's base.
        out->SubFormat = GUID{tag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    }
    return true;
}

// With Workers().play.mutex held. `cut` stops the sound at once; at the end of the
// buffer it is left out, as it would drop what the device has taken in but
// not played yet.
void CloseLocked(bool cut) {
    if (!Workers().play.now.device) return;
    if (cut) waveOutReset(Workers().play.now.device);
    waveOutUnprepareHeader(Workers().play.now.device, &Workers().play.now.buffer, sizeof Workers().play.now.buffer);
    waveOutClose(Workers().play.now.device);
    // Wakes the watcher, which closes the event once it sees it is not current.
    SetEvent(Workers().play.now.signal);
    const HeardFn heard = Workers().play.now.heard;
    Workers().play.now = Playback{};
    heard(nullptr, 0);
}

void Watch(std::uint64_t number, HANDLE signal) {
    // It wakes only at the device's few signals; at the end every moment of
    // delay is more silence from the still open device.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    for (;;) {
        WaitForSingleObject(signal, INFINITE);
        std::lock_guard<std::mutex> lock(Workers().play.mutex);
        if (Workers().play.now.number == number && BufferDone()) CloseLocked(false);
        if (Workers().play.now.number != number) break;
    }
    CloseHandle(signal);
}

void CALLBACK PlayTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    std::lock_guard<std::mutex> lock(Workers().play.mutex);
    if (!Workers().play.now.device || Workers().play.now.timer != timer) {
        KillTimer(nullptr, timer);
        return;
    }
    MMTIME heard{};
    heard.wType = TIME_BYTES;
    if (waveOutGetPosition(Workers().play.now.device, &heard, sizeof heard) != MMSYSERR_NOERROR || heard.wType != TIME_BYTES) return;
    const std::uint64_t played = std::min<std::uint64_t>(heard.u.cb, Workers().play.now.buffer.dwBufferLength);
    Workers().play.now.heard(Workers().play.now.wave.get(), (Workers().play.now.offset + played) / Workers().play.now.wave->sampleBytes());
}

}  // namespace

MMRESULT StartPlayback(const WavePtr& wave, std::uint64_t offset, std::uint64_t length, HeardFn heard) {
    StopPlayback();
    if (!wave || offset >= wave->dataSize()) return MMSYSERR_NOERROR;
    WAVEFORMATEXTENSIBLE format;
    if (!DeviceFormat(wave->layout, &format)) return WAVERR_BADFORMAT;
    length = std::min<std::uint64_t>(length, wave->dataSize() - offset);
    // One buffer holds at most 4 GiB (hours of sound at any rate).
    length = std::min<std::uint64_t>(length, 0xFFFFFFFFu);
    length -= length % format.Format.nBlockAlign;  // a device plays whole frames only
    if (length == 0) return MMSYSERR_NOERROR;

    HANDLE signal = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!signal) return MMSYSERR_NOMEM;
    HWAVEOUT device = nullptr;
    // The device's own answer decides: with none, or a format it refuses, the
    // open fails (unlike an asynchronous PlaySound, which reports success).
    const MMRESULT opened =
        waveOutOpen(&device, WAVE_MAPPER, &format.Format, reinterpret_cast<DWORD_PTR>(signal), 0, CALLBACK_EVENT);
    if (opened != MMSYSERR_NOERROR) {
        CloseHandle(signal);
        return opened;
    }
    std::lock_guard<std::mutex> lock(Workers().play.mutex);
    Workers().play.now.device = device;
    Workers().play.now.wave = wave;
    Workers().play.now.offset = offset;
    Workers().play.now.signal = signal;
    Workers().play.now.heard = heard;
    Workers().play.now.number = ++Workers().play.lastNumber;
    // The device only reads the buffer; the samples are never written through it.
    Workers().play.now.buffer.lpData = reinterpret_cast<LPSTR>(wave->bytes + offset);
    Workers().play.now.buffer.dwBufferLength = static_cast<DWORD>(length);
    std::thread(Watch, Workers().play.now.number, signal).detach();
    MMRESULT started = waveOutPrepareHeader(device, &Workers().play.now.buffer, sizeof Workers().play.now.buffer);
    if (started == MMSYSERR_NOERROR)
        started = waveOutWrite(device, &Workers().play.now.buffer, sizeof Workers().play.now.buffer);
    if (started != MMSYSERR_NOERROR) {
        CloseLocked(true);
        return started;
    }
    Workers().play.now.timer = SetTimer(nullptr, 0, kPlayLineIntervalMs, PlayTimer);
    return MMSYSERR_NOERROR;
}

std::string PlaybackErrorText(MMRESULT result) {
    char text[MAXERRORLENGTH] = {0};
    if (waveOutGetErrorTextA(result, text, sizeof text) == MMSYSERR_NOERROR && text[0]) return text;
    return "エラー番号 " + std::to_string(result);
}

void StopPlayback() {
    std::lock_guard<std::mutex> lock(Workers().play.mutex);
    CloseLocked(true);
}

bool PlaybackActive() {
    std::lock_guard<std::mutex> lock(Workers().play.mutex);
    return Workers().play.now.device != nullptr;
}

}  // namespace tw
