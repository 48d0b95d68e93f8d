// Playback through waveOut: one device opened per playback and closed when it
// ends or is stopped, so nothing holds the device while it is silent. Polled
// from a timer of the main window, which also moves the play line; everything
// runs on the user-interface thread.
#include <windows.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <cstring>

#include "app/main_window_ids.h"
#include "view/graph_geometry.h"
#include "view/view_win.h"
#include "wave/play_win.h"
#include "wave/wave_format.h"

namespace tw {

namespace {

constexpr UINT kPlayLineIntervalMs = 30;

struct Playback {
    HWAVEOUT device = nullptr;
    WAVEHDR buffer{};
    WavePtr wave;  // keeps the samples alive while the device reads them
    std::uint64_t offset = 0;
};
Playback g_play;

bool BufferDone() {
    // Set by the driver's thread.
    return (*reinterpret_cast<volatile DWORD*>(&g_play.buffer.dwFlags) & WHDR_DONE) != 0;
}

// The file's format as the device wants to be told it. More than two channels
// or more than 16 bits need the extensible form on Windows.
bool DeviceFormat(const WaveHeaderBytes& h, WAVEFORMATEXTENSIBLE* out) {
    const WORD tag = ReadLe16(h.data() + 20);
    const WORD channels = ReadLe16(h.data() + 22);
    const DWORD rate = ReadLe32(h.data() + 24);
    const WORD align = ReadLe16(h.data() + 32);
    const WORD bits = ReadLe16(h.data() + 34);
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

void CALLBACK PlayTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_play.device) return;
    if (BufferDone()) {
        StopPlayback();
        return;
    }
    MMTIME heard{};
    heard.wType = TIME_BYTES;
    if (waveOutGetPosition(g_play.device, &heard, sizeof heard) != MMSYSERR_NOERROR || heard.wType != TIME_BYTES) return;
    const std::uint64_t played = std::min<std::uint64_t>(heard.u.cb, g_play.buffer.dwBufferLength);
    RECT rc{};
    GetClientRect(GetDlgItem(MainWindowHandle, kIdGraph), &rc);
    // Where a cut at the sample being heard would have its line.
    std::int32_t column;
    if (CutLineColumn(static_cast<double>((g_play.offset + played) / 2), rc.right - rc.left, g_play.wave->dataSize,
                      &column))
        SetPlayLine(column);
}

}  // namespace

bool StartPlayback(const WavePtr& wave, std::uint64_t offset, std::uint64_t length) {
    StopPlayback();
    if (!wave || offset >= wave->dataSize) return true;
    WAVEFORMATEXTENSIBLE format;
    if (!DeviceFormat(wave->pieceHeader, &format)) return false;
    length = std::min<std::uint64_t>(length, wave->dataSize - offset);
    length -= length % format.Format.nBlockAlign;  // a device plays whole frames only
    if (length == 0) return true;

    HWAVEOUT device = nullptr;
    // The device's own answer decides: with none, or a format it refuses, the
    // open fails (unlike an asynchronous PlaySound, which reports success).
    if (waveOutOpen(&device, WAVE_MAPPER, &format.Format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return false;
    g_play.device = device;
    g_play.wave = wave;
    g_play.offset = offset;
    g_play.buffer = WAVEHDR{};
    // The device only reads the buffer; the samples are never written through it.
    g_play.buffer.lpData = reinterpret_cast<LPSTR>(wave->bytes + offset);
    g_play.buffer.dwBufferLength = static_cast<DWORD>(length);
    if (waveOutPrepareHeader(device, &g_play.buffer, sizeof g_play.buffer) != MMSYSERR_NOERROR ||
        waveOutWrite(device, &g_play.buffer, sizeof g_play.buffer) != MMSYSERR_NOERROR) {
        StopPlayback();
        return false;
    }
    SetTimer(MainWindowHandle, kTimerPlayLine, kPlayLineIntervalMs, PlayTimer);
    return true;
}

void StopPlayback() {
    if (!g_play.device) return;
    KillTimer(MainWindowHandle, kTimerPlayLine);
    waveOutReset(g_play.device);  // marks the buffer done at once
    waveOutUnprepareHeader(g_play.device, &g_play.buffer, sizeof g_play.buffer);
    waveOutClose(g_play.device);
    g_play = Playback{};
    SetPlayLine(kNoPlayLine);
}

bool PlaybackActive() { return g_play.device != nullptr; }

}  // namespace tw
