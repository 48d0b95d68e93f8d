#include "core/view/graph_geometry.h"

#include <cmath>
#include <cstdlib>

namespace tw {

namespace {

// Saturating conversions kept local so the drawing arithmetic has no
// undefined float-to-int conversion whatever the control size or file.
std::int32_t TruncSat(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

}  // namespace

double GraphAmplitude(std::int32_t peak, std::int32_t nadir) {
    double p = peak;
    double z = std::fabs(static_cast<double>(nadir));
    return z > p ? z : p;
}

double VerticalScale(double amplitude, std::int32_t height) {
    // A non-positive height gives no rows to fit; 1.0 avoids dividing by it.
    if (height <= 0) return 1.0;
    double h = height;
    if (amplitude > h / 2) return 2 * amplitude / h;
    return 1.0;
}

std::uint64_t SampleStep(std::uint64_t dataSize) {
    std::uint64_t step = 1;
    while (dataSize / step >= 100000) step *= 10;
    return step;
}

GraphPlan::GraphPlan(const GraphParams& params)
    : p_(params),
      step_(SampleStep(params.dataSize)),
      sampleCount_(params.dataSize / 2),
      scale_(VerticalScale(GraphAmplitude(params.peak, params.nadir), params.height)),
      halfHeight_(static_cast<float>(params.height) / 2.0f),
      progressIncrement_(0) {
    // Fewer than two samples: D/2 - 1 is at most 0.5, nothing to spread the
    // bar over, so it stays at 0 instead of dividing by zero or jumping past 100.
    if (sampleCount_ >= 2) progressIncrement_ = 100 / (static_cast<double>(params.dataSize) / 2 - 1);
    progressStep_ = static_cast<double>(step_) * progressIncrement_;
    float halfData = static_cast<float>(static_cast<double>(params.dataSize) / 2);
    samplesPerColumn_ = static_cast<float>(static_cast<double>(halfData) / params.width);
}

std::uint64_t GraphPlan::strokeCount() const {
    return (sampleCount_ + step_ - 1) / step_;
}

GraphStroke GraphPlan::NextStroke(std::uint64_t k, std::int16_t sample) {
    std::uint64_t index = k * step_;
    float column = static_cast<float>(index) / samplesPerColumn_;
    GraphStroke stroke;
    stroke.x = TruncSat(column);
    float from = halfHeight_ + static_cast<float>(prev_);
    stroke.yFrom = TruncSat(from);
    double offset = sample / scale_;
    stroke.yTo = TruncSat(static_cast<double>(halfHeight_) + offset);
    prev_ = TruncSat(offset);
    return stroke;
}

std::int32_t GraphPlan::ProgressBefore(std::uint64_t k) const {
    // The bar follows a running sum rounded after every addition; replaying it
    // from the last asked-for stroke keeps in-order calls O(1) and exact.
    if (k < progressK_) {
        progressK_ = 0;
        progress_ = 0;
    }
    for (; progressK_ < k; ++progressK_) progress_ += progressStep_;
    double position = std::floor(progress_);
    if (!(position > 0)) return 0;
    if (position > 100) return 100;
    return static_cast<std::int32_t>(position);
}


}  // namespace tw
