// The silence scan behind automatic cutting: one cut in the middle of each run
// of quiet samples that a loud sample ends, at least 10 graph columns apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/wave/sample_format.h"

namespace tw {

struct AutoCut {
    std::int64_t position;  // midpoint M, a sample index
    std::int32_t column;    // X = floor(M * (2W / (D - 1)))
};

// threshold: the parsed text of the threshold box (truncated toward zero here;
// outside the int32 range gives no cut). samples: floor(dataSize/2) samples,
// 16-bit little-endian. width: graph client width W.
std::vector<AutoCut> ScanForCuts(const std::uint8_t* samples, std::uint64_t dataSize,
                                 std::int32_t width, double threshold);

// The same scan over data of any encoding: sampleCount samples read as their
// values on the 16-bit scale, positions and columns from scaleSize
// (WaveLayout::scaleSize). 16-bit data takes ScanForCuts.
std::vector<AutoCut> ScanEncodedForCuts(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t sampleCount,
                                        std::uint64_t scaleSize, std::int32_t width, double threshold);

// One sample at a time, exactly as the rules read; the reference for tests
// and benchmarks.
std::vector<AutoCut> ScanForCutsPlain(const std::uint8_t* samples, std::uint64_t dataSize,
                                      std::int32_t width, double threshold);

}  // namespace tw
