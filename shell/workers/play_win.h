// Listening to the loaded samples on the default audio device.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <functional>
#include <string>

#include "shell/workers/wave_data_win.h"

namespace tw {

// Stops any playback, then plays `length` bytes of the data of `wave` from
// byte `offset` (whole frames of the file's block alignment) in the file's
// own format, without waiting. The device is open only while it plays.
// MMSYSERR_NOERROR when it plays (or there is nothing to play); otherwise why
// no device takes it, and nothing plays. User-interface thread.
// `heard` is told the sample being heard every few milliseconds while it
// plays (kPlayLineTimer of the window `clock`, whose procedure passes it to
// TellHeard), and told nullptr once it has ended or stopped.
using HeardFn = std::function<void(const WaveData* wave, std::uint64_t sample)>;
struct PlayState;
constexpr UINT_PTR kPlayLineTimer = 9;
MMRESULT StartPlayback(PlayState& play, HWND clock, const WavePtr& wave, std::uint64_t offset, std::uint64_t length,
                       HeardFn heard);
// On kPlayLineTimer of `clock`: tells `heard` where the sound is, or ends
// the timer once nothing plays.
void TellHeard(PlayState& play, HWND clock);
// The system's words for a failed playback's result, in the window's code page.
std::string PlaybackErrorText(MMRESULT result);
void StopPlayback(PlayState& play);
bool PlaybackActive(PlayState& play);

}  // namespace tw
