// Graph geometry for any width, height, data size, peak and nadir: no
// undefined arithmetic, and strokes and cut lines inside the bitmap wherever
// the inputs are ones a measured file can give.
//
// Input: mode (1), W (4), H (4), D (4), P (4), Z (4), a stroke index (4),
// up to 8 cut entries (kind byte + 2 or 8 bytes), then int16 samples.
#include <cmath>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "core/view/graph_geometry.h"

using namespace tw;

namespace {

void CheckStep(std::uint64_t d) {
    const std::uint64_t step = SampleStep(d);
    FUZZ_CHECK(d / step < 100000);
    FUZZ_CHECK(step == 1 || d / (step / 10) >= 100000);
    std::uint64_t p = step;
    while (p % 10 == 0) p /= 10;
    FUZZ_CHECK(p == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t mode = in.U8();
    GraphParams params;
    params.width = in.I32();
    params.height = in.I32();
    params.dataSize = in.U32();
    params.peak = in.I32();
    params.nadir = in.I32();
    const std::uint32_t askedStroke = in.U32();
    if (mode & 1) {
        // A window the program can really have, and peak/nadir as a
        // measurement gives them (nadir <= 0, peak within 16 bits).
        params.width = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(params.width) % 60000);
        params.height = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(params.height) % 4000);
        params.peak = static_cast<std::int16_t>(params.peak);
        params.nadir = -static_cast<std::int32_t>(static_cast<std::uint32_t>(params.nadir) % 32769);
        if (mode & 2) params.dataSize %= 300000;
    }
    std::vector<double> entries;
    for (int count = in.U8() % 9; count > 0; --count) {
        const std::uint8_t kind = in.U8();
        entries.push_back(kind & 1 ? in.F64() : static_cast<double>(in.U16()) * (1 + kind / 2));
    }

    CheckStep(params.dataSize);
    CheckStep(static_cast<std::uint64_t>(params.dataSize) << 32 | params.width);

    const double amplitude = GraphAmplitude(params.peak, params.nadir);
    FUZZ_CHECK(amplitude >= 0);
    FUZZ_CHECK(amplitude == std::fmax(params.peak, std::fabs(static_cast<double>(params.nadir))));
    const double scale = VerticalScale(amplitude, params.height);
    FUZZ_CHECK(scale >= 1 && std::isfinite(scale));
    if (params.height > 0) FUZZ_CHECK(amplitude / scale <= params.height / 2.0 * (1 + 1e-12));
    for (double any : entries) {
        const double s = VerticalScale(any, params.height);
        FUZZ_CHECK(!(s < 1) && !std::isnan(s));
    }

    GraphPlan plan(params);
    const std::uint64_t n = params.dataSize / 2;
    FUZZ_CHECK(plan.step() == SampleStep(params.dataSize));
    FUZZ_CHECK(plan.sampleCount() == n);
    FUZZ_CHECK(plan.strokeCount() == (n + plan.step() - 1) / plan.step());
    FUZZ_CHECK(plan.strokeCount() <= 50000);

    // Samples inside [nadir, peak] are what a measured file holds.
    const std::int32_t lo = params.nadir > -32768 ? params.nadir : -32768;
    const std::int32_t hi = params.peak < 32767 ? params.peak : 32767;
    const bool measured = lo <= hi && lo <= 0;
    const bool exactRows = params.height > 0 && params.height <= (1 << 24);
    const bool exactColumns = params.width > 0 && params.width <= (1 << 20);

    const std::uint64_t strokes = plan.strokeCount() < 2048 ? plan.strokeCount() : 2048;
    std::int32_t lastX = INT32_MIN;
    std::int32_t lastProgress = 0;
    for (std::uint64_t k = 0; k < strokes; ++k) {
        std::int32_t s = in.left() >= 2 ? in.I16() : static_cast<std::int32_t>(k * 7919 % 65536) - 32768;
        if (measured && (mode & 4) == 0) s = s < lo ? lo : (s > hi ? hi : s);
        const std::int32_t progress = plan.ProgressBefore(k);
        FUZZ_CHECK(progress >= lastProgress && progress <= 100);
        FUZZ_CHECK(k > 0 || progress == 0);
        lastProgress = progress;
        const GraphStroke stroke = plan.NextStroke(k, static_cast<std::int16_t>(s));
        if (exactColumns) {
            FUZZ_CHECK(stroke.x >= 0 && stroke.x <= params.width);
            FUZZ_CHECK(stroke.x >= lastX);
        }
        lastX = stroke.x;
        if (k == 0 && exactRows) FUZZ_CHECK(stroke.yFrom == params.height / 2);
        if (measured && (mode & 4) == 0 && exactRows) {
            FUZZ_CHECK(stroke.yTo >= 0 && stroke.yTo <= params.height);
            FUZZ_CHECK(stroke.yFrom >= 0 && stroke.yFrom <= params.height);
        }
    }
    if (plan.strokeCount() > 0) {
        // Asking again out of order gives the same answer as in order.
        const std::uint64_t k = askedStroke % plan.strokeCount();
        const std::int32_t p1 = plan.ProgressBefore(k);
        const std::int32_t p2 = plan.ProgressBefore(plan.strokeCount());
        FUZZ_CHECK(p1 >= 0 && p1 <= p2 && p2 <= 100);
        FUZZ_CHECK(plan.ProgressBefore(k) == p1);
    }

    for (double e : entries) {
        std::int32_t column = 12345;
        const bool drawn = CutLineColumn(e, params.width, params.dataSize, &column);
        if (params.dataSize == 0 || std::isnan(e)) FUZZ_CHECK(!drawn);
        if (params.width > 0 && params.dataSize > 0 && e >= 0 && e <= params.dataSize / 2.0) {
            FUZZ_CHECK(drawn);
            FUZZ_CHECK(column >= -1 && column <= params.width - 1);
        }
    }
    return 0;
}
