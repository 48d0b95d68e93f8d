// Where the waveform graph's strokes, centre line and cut lines go: the
// arithmetic of the drawing without any drawing.
#pragma once

#include <cstdint>
#include <vector>

#include "core/cut/hand_cut.h"  // CutLineColumn

namespace tw {

struct GraphStroke {
    std::int32_t x;
    std::int32_t yFrom;   // MoveTo row
    std::int32_t yTo;     // LineTo row
};

struct GraphParams {
    std::int32_t width = 0;    // W, bitmap/control client width
    std::int32_t height = 0;   // H
    std::uint64_t dataSize = 0;  // D: bytes of 16-bit data, else 2 x the samples
    std::int32_t peak = 0;     // P, truncated from the peak text
    std::int32_t nadir = 0;    // Z, truncated from the nadir text
};

// max(P, |Z|) computed without overflow (as a double).
double GraphAmplitude(std::int32_t peak, std::int32_t nadir);
// 2A/H when A > H/2; 1.0 otherwise (every sample of such a file stays inside).
double VerticalScale(double amplitude, std::int32_t height);
// Smallest power of ten with floor(D / step) < 100000.
std::uint64_t SampleStep(std::uint64_t dataSize);

// Computes strokes one by one; also the progress position to show before each
// stroke. Samples are read by the caller (sampleAt) so this stays pure.
class GraphPlan {
public:
    explicit GraphPlan(const GraphParams& params);

    std::uint64_t step() const { return step_; }
    std::uint64_t sampleCount() const { return sampleCount_; }  // floor(D/2)
    double scale() const { return scale_; }
    // Number of strokes: indices 0, step, 2 step, ... < sampleCount.
    std::uint64_t strokeCount() const;
    // The stroke for drawn index k (sample index k*step) given the sample value
    // there; must be called in order k = 0, 1, 2, ... (it keeps prev).
    GraphStroke NextStroke(std::uint64_t k, std::int16_t sample);
    // Progress bar position that goes with stroke k: the floor of k additions
    // of step x increment, clamped to 0..100. Exact for any k; O(1) per call
    // when asked in increasing order (it resumes from the last k asked), so a
    // plan belongs to one drawing on one thread.
    std::int32_t ProgressBefore(std::uint64_t k) const;

private:
    GraphParams p_;
    std::uint64_t step_;
    std::uint64_t sampleCount_;
    double scale_;
    float halfHeight_;
    double progressIncrement_;
    double progressStep_ = 0;      // step x increment, added once per stroke
    float samplesPerColumn_ = 0;   // (D/2)/W, each division rounded to float
    std::int32_t prev_ = 0;
    mutable std::uint64_t progressK_ = 0;  // strokes summed into progress_
    mutable double progress_ = 0;
};


}  // namespace tw
