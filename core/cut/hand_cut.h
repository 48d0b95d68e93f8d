// Mapping a click column on the graph to a sample.
#pragma once

#include <cstdint>
#include <string>

namespace tw {

// Cutting mode: p = floor(x * (D - 1) / (2W)) + 3, raised to even.
// Returns false when the cursor is outside the control (x < 0, x >= W) or
// there are no samples, in which case no cut is placed. Near the right edge
// of a short file p may lie past the last sample; a save then makes no
// boundary of it.
bool CutPositionForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, double* position);

// Value mode: i = floor((D - 1) x / (2W)), 0 becomes 1. Returns false when i
// is not a sample of the data (then nothing is shown).
bool SampleIndexForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, std::uint64_t* index);

// The column of the line a cut list entry e gets: floor(2 W e / D - 1).
// False for D = 0 or a column outside int32 (no line drawn).
bool CutLineColumn(double entry, std::int32_t width, std::uint64_t dataSize, std::int32_t* column);

// The time of cut position `position` (counted in one channel's values,
// channels interleaved) in milliseconds rounded down: "12.345" below an hour
// (the caller adds the unit), "1:02:03.456" from an hour on. "" when there is
// no rate or channel to count by, or the position is not a time.
std::string CutTimeText(double position, std::uint32_t channels, std::uint32_t sampleRate);

}  // namespace tw
