// Listening to the loaded samples on the default audio device.
#pragma once

#include <cstdint>

#include "shell/workers/wave_data_win.h"

namespace tw {

// Stops any playback, then plays `length` bytes of the data of `wave` from
// byte `offset` (whole frames of the file's block alignment) in the file's
// own format, without waiting. The device is open only while it plays. False
// when no device takes that format: nothing plays then. User-interface thread.
// `heard` is told the sample being heard every few milliseconds while it
// plays, and told nullptr once it has ended or stopped.
using HeardFn = void (*)(const WaveData* wave, std::uint64_t sample);
bool StartPlayback(const WavePtr& wave, std::uint64_t offset, std::uint64_t length, HeardFn heard);
void StopPlayback();
bool PlaybackActive();

}  // namespace tw
