// Peak, nadir, smallest positive sample and the single-precision running sum
// of 16-bit little-endian samples, measured in one pass.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/wave/sample_format.h"

namespace tw {

struct WaveStats {
    double peak = -9999999999.0;
    double nadir = 0.0;
    double smallestPositive = 9999999999.0;
    float sum = 0.0f;       // rounded to float after every addition
    float average = 0.0f;   // filled by FinishStats
};

// Feeds `sampleCount` samples (2 bytes each, little-endian) into the running
// measurement. Chunks may be fed one after another; the result is the same as
// one call over the whole data. Bit-identical to MeasureWavePlain.
void AccumulateStats(WaveStats& stats, const std::uint8_t* data, std::size_t sampleCount);

// The same over samples [first, first + count) of data in any encoding, read
// as their values on the 16-bit scale. 16-bit samples go straight to
// AccumulateStats; others are converted a few thousand at a time on the stack.
void AccumulateEncodedStats(WaveStats& stats, const std::uint8_t* data, SampleEncoding encoding,
                            std::uint64_t first, std::size_t count);

// average = sum / (dataSize / 2 as float); a data size of 0 gives 0.
void FinishStats(WaveStats& stats, std::uint64_t dataSize);

// A whole data chunk in any encoding: its sampleCount samples, averaged over
// the scale size (WaveLayout::scaleSize).
WaveStats MeasureEncodedWave(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t sampleCount,
                             std::uint64_t scaleSize);

// The plain one-sample-at-a-time definition; the reference for tests and
// benchmarks.
WaveStats MeasureWavePlain(const std::uint8_t* data, std::uint64_t dataSize);
void AccumulateStatsPlain(WaveStats& stats, const std::uint8_t* data, std::size_t sampleCount);

// Instruction set used by AccumulateStats. Tests and benchmarks pick one to
// cover every path on one machine; a level the CPU lacks falls back to the
// best one it has.
enum class StatsPath { Scalar, Sse2, Avx2, Best };
void AccumulateStatsOn(StatsPath path, WaveStats& stats, const std::uint8_t* data,
                       std::size_t sampleCount);
StatsPath BestStatsPath();

}  // namespace tw
