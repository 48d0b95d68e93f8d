// Listening to the loaded samples on the default audio device.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>

#include "shell/workers/wave_data_win.h"

namespace tw {

// Stops any playback, then plays `length` bytes of the data of `wave` from
// byte `offset` (whole frames of the file's block alignment) in the file's
// own format, without waiting. The device is open only while it plays.
// MMSYSERR_NOERROR when it plays (or there is nothing to play); otherwise why
// no device takes it, and nothing plays. User-interface thread.
// `heard` is told the sample being heard every few milliseconds while it
// plays, and told nullptr once it has ended or stopped.
using HeardFn = void (*)(const WaveData* wave, std::uint64_t sample);
MMRESULT StartPlayback(const WavePtr& wave, std::uint64_t offset, std::uint64_t length, HeardFn heard);
// The system's words for a failed playback's result, in the window's code page.
std::string PlaybackErrorText(MMRESULT result);
void StopPlayback();
bool PlaybackActive();

}  // namespace tw
