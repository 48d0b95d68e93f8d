// Playback through waveOut: one device opened per playback and closed the
// moment it ends or is stopped, so nothing holds the device while it is
// silent (an open device plays silence on). The device signals an event that
// a small watcher thread waits on, so the end is seen at once; a timer of a
// window of the user-interface thread tells where the sound is meanwhile.
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

bool BufferDone(const Playback& now) {
    // Set by the driver's thread.
    return (*reinterpret_cast<const volatile DWORD*>(&now.buffer.dwFlags) & WHDR_DONE) != 0;
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

// With play.mutex held. `cut` stops the sound at once; at the end of the
// buffer it is left out, as it would drop what the device has taken in but
// not played yet.
void CloseLocked(PlayState& play, bool cut) {
    Playback& now = play.now;
    if (!now.device) return;
    if (cut) waveOutReset(now.device);
    waveOutUnprepareHeader(now.device, &now.buffer, sizeof now.buffer);
    waveOutClose(now.device);
    // Wakes the watcher, which closes the event once it sees it is not current.
    SetEvent(now.signal);
    const HeardFn heard = std::move(now.heard);
    now = Playback{};
    heard(nullptr, 0);
}

void Watch(PlayState& play, std::uint64_t number, HANDLE signal) {
    // It wakes only at the device's few signals; at the end every moment of
    // delay is more silence from the still open device.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    for (;;) {
        WaitForSingleObject(signal, INFINITE);
        std::lock_guard<std::mutex> lock(play.mutex);
        if (play.now.number == number && BufferDone(play.now)) CloseLocked(play, false);
        if (play.now.number != number) break;
    }
    CloseHandle(signal);
}

}  // namespace

void TellHeard(PlayState& play, HWND clock) {
    std::lock_guard<std::mutex> lock(play.mutex);
    Playback& now = play.now;
    if (!now.device || now.clock != clock) {
        KillTimer(clock, kPlayLineTimer);
        return;
    }
    MMTIME heard{};
    heard.wType = TIME_BYTES;
    if (waveOutGetPosition(now.device, &heard, sizeof heard) != MMSYSERR_NOERROR || heard.wType != TIME_BYTES) return;
    const std::uint64_t played = std::min<std::uint64_t>(heard.u.cb, now.buffer.dwBufferLength);
    now.heard(now.wave.get(), (now.offset + played) / now.wave->sampleBytes());
}

MMRESULT StartPlayback(PlayState& play, HWND clock, const WavePtr& wave, std::uint64_t offset, std::uint64_t length,
                       HeardFn heard) {
    StopPlayback(play);
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
    std::lock_guard<std::mutex> lock(play.mutex);
    Playback& now = play.now;
    now.device = device;
    now.wave = wave;
    now.offset = offset;
    now.signal = signal;
    now.heard = std::move(heard);
    now.number = ++play.lastNumber;
    // The device only reads the buffer; the samples are never written through it.
    now.buffer.lpData = reinterpret_cast<LPSTR>(wave->bytes + offset);
    now.buffer.dwBufferLength = static_cast<DWORD>(length);
    std::thread(Watch, std::ref(play), now.number, signal).detach();
    MMRESULT started = waveOutPrepareHeader(device, &now.buffer, sizeof now.buffer);
    if (started == MMSYSERR_NOERROR) started = waveOutWrite(device, &now.buffer, sizeof now.buffer);
    if (started != MMSYSERR_NOERROR) {
        CloseLocked(play, true);
        return started;
    }
    now.clock = clock;
    SetTimer(clock, kPlayLineTimer, kPlayLineIntervalMs, nullptr);
    return MMSYSERR_NOERROR;
}

std::string PlaybackErrorText(MMRESULT result) {
    char text[MAXERRORLENGTH] = {0};
    if (waveOutGetErrorTextA(result, text, sizeof text) == MMSYSERR_NOERROR && text[0]) return text;
    return "エラー番号 " + std::to_string(result);
}

void StopPlayback(PlayState& play) {
    std::lock_guard<std::mutex> lock(play.mutex);
    CloseLocked(play, true);
}

bool PlaybackActive(PlayState& play) {
    std::lock_guard<std::mutex> lock(play.mutex);
    return play.now.device != nullptr;
}

}  // namespace tw
