// The waveform graph's vertical scale and where cut lines go: the
// arithmetic of the drawing without any drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "core/cut/hand_cut.h"  // CutLineColumn

namespace tw {

// max(P, |Z|) computed without overflow (as a double).
double GraphAmplitude(std::int32_t peak, std::int32_t nadir);
// 2A/H when A > H/2; 1.0 otherwise (every sample of such a file stays inside).
double VerticalScale(double amplitude, std::int32_t height);

}  // namespace tw
