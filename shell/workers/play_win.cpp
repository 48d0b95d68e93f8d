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
#include "core/wave/wave_format.h"

namespace tw {

namespace {

constexpr UINT kPlayLineIntervalMs = 30;

struct Playback {
    HWAVEOUT device = nullptr;
    WAVEHDR buffer{};
    WavePtr wave;  // keeps the samples alive while the device reads them
    std::uint64_t offset = 0;
    HANDLE signal = nullptr;   // set by the device; owned by the watcher
    std::uint64_t number = 0;  // of this playback, so a watcher knows its own
    HeardFn heard = nullptr;
    UINT_PTR timer = 0;        // a timer of the user-interface thread
};
// Guards g_play. Held while `heard` is told (the play line takes the graph's
// lock inside it), so that lock is never held while this one is taken.
std::mutex g_playMutex;
Playback g_play;
std::uint64_t g_playNumber = 0;

bool BufferDone() {
    // Set by the driver's thread.
    return (*reinterpret_cast<volatile DWORD*>(&g_play.buffer.dwFlags) & WHDR_DONE) != 0;
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

// With g_playMutex held. `cut` stops the sound at once; at the end of the
// buffer it is left out, as it would drop what the device has taken in but
// not played yet.
void CloseLocked(bool cut) {
    if (!g_play.device) return;
    if (cut) waveOutReset(g_play.device);
    waveOutUnprepareHeader(g_play.device, &g_play.buffer, sizeof g_play.buffer);
    waveOutClose(g_play.device);
    // Wakes the watcher, which closes the event once it sees it is not current.
    SetEvent(g_play.signal);
    const HeardFn heard = g_play.heard;
    g_play = Playback{};
    heard(nullptr, 0);
}

void Watch(std::uint64_t number, HANDLE signal) {
    // It wakes only at the device's few signals; at the end every moment of
    // delay is more silence from the still open device.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    for (;;) {
        WaitForSingleObject(signal, INFINITE);
        std::lock_guard<std::mutex> lock(g_playMutex);
        if (g_play.number == number && BufferDone()) CloseLocked(false);
        if (g_play.number != number) break;
    }
    CloseHandle(signal);
}

void CALLBACK PlayTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    std::lock_guard<std::mutex> lock(g_playMutex);
    if (!g_play.device || g_play.timer != timer) {
        KillTimer(nullptr, timer);
        return;
    }
    MMTIME heard{};
    heard.wType = TIME_BYTES;
    if (waveOutGetPosition(g_play.device, &heard, sizeof heard) != MMSYSERR_NOERROR || heard.wType != TIME_BYTES) return;
    const std::uint64_t played = std::min<std::uint64_t>(heard.u.cb, g_play.buffer.dwBufferLength);
    g_play.heard(g_play.wave.get(), (g_play.offset + played) / g_play.wave->sampleBytes());
}

}  // namespace

bool StartPlayback(const WavePtr& wave, std::uint64_t offset, std::uint64_t length, HeardFn heard) {
    StopPlayback();
    if (!wave || offset >= wave->dataSize()) return true;
    WAVEFORMATEXTENSIBLE format;
    if (!DeviceFormat(wave->layout, &format)) return false;
    length = std::min<std::uint64_t>(length, wave->dataSize() - offset);
    // One buffer holds at most 4 GiB (hours of sound at any rate).
    length = std::min<std::uint64_t>(length, 0xFFFFFFFFu);
    length -= length % format.Format.nBlockAlign;  // a device plays whole frames only
    if (length == 0) return true;

    HANDLE signal = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!signal) return false;
    HWAVEOUT device = nullptr;
    // The device's own answer decides: with none, or a format it refuses, the
    // open fails (unlike an asynchronous PlaySound, which reports success).
    if (waveOutOpen(&device, WAVE_MAPPER, &format.Format, reinterpret_cast<DWORD_PTR>(signal), 0, CALLBACK_EVENT) !=
        MMSYSERR_NOERROR) {
        CloseHandle(signal);
        return false;
    }
    std::lock_guard<std::mutex> lock(g_playMutex);
    g_play.device = device;
    g_play.wave = wave;
    g_play.offset = offset;
    g_play.signal = signal;
    g_play.heard = heard;
    g_play.number = ++g_playNumber;
    // The device only reads the buffer; the samples are never written through it.
    g_play.buffer.lpData = reinterpret_cast<LPSTR>(wave->bytes + offset);
    g_play.buffer.dwBufferLength = static_cast<DWORD>(length);
    std::thread(Watch, g_play.number, signal).detach();
    if (waveOutPrepareHeader(device, &g_play.buffer, sizeof g_play.buffer) != MMSYSERR_NOERROR ||
        waveOutWrite(device, &g_play.buffer, sizeof g_play.buffer) != MMSYSERR_NOERROR) {
        CloseLocked(true);
        return false;
    }
    g_play.timer = SetTimer(nullptr, 0, kPlayLineIntervalMs, PlayTimer);
    return true;
}

void StopPlayback() {
    std::lock_guard<std::mutex> lock(g_playMutex);
    CloseLocked(true);
}

bool PlaybackActive() {
    std::lock_guard<std::mutex> lock(g_playMutex);
    return g_play.device != nullptr;
}

}  // namespace tw
