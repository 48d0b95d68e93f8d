// Mapping a click column on the graph to a sample.
#pragma once

#include <cstdint>

namespace tw {

// Cutting mode: p = floor(x * (D - 1) / (2W)) + 3, raised to even.
// Returns false when the cursor is outside the control (x < 0, x >= W) or
// there are no samples, in which case no cut is placed. Near the right edge of
// a short file p may lie past the last sample; saving then runs that piece to
// the end and the later ones are empty.
bool CutPositionForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, double* position);

// Value mode: i = floor((D - 1) x / (2W)), 0 becomes 1. Returns false when i
// is not a sample of the data (then nothing is shown).
bool SampleIndexForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, std::uint64_t* index);

}  // namespace tw
