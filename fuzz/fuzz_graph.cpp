// The graph's arithmetic for any width, height, peak and nadir, and the
// summary it draws from for any samples: no undefined arithmetic, every
// column's range the lowest and highest of exactly its samples, and cut
// lines inside the bitmap wherever the inputs are ones a measured file gives.
//
// Input: W (4), H (4), P (4), Z (4), two ranges (8 each), up to 8 cut
// entries (kind byte + 2 or 8 bytes), then int16 samples.
#include <algorithm>
#include <cmath>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "core/view/graph_geometry.h"
#include "core/view/wave_summary.h"

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::int32_t width = in.I32(), height = in.I32(), peak = in.I32(), nadir = in.I32();
    const std::uint32_t ranges[4] = {in.U32(), in.U32(), in.U32(), in.U32()};
    std::vector<double> entries;
    for (int count = in.U8() % 9; count > 0; --count) {
        const std::uint8_t kind = in.U8();
        entries.push_back(kind & 1 ? in.F64() : static_cast<double>(in.U16()) * (1 + kind / 2));
    }
    std::vector<std::uint8_t> samples;
    while (in.left() >= 2 && samples.size() < 40000) {
        const std::uint16_t v = static_cast<std::uint16_t>(in.I16());
        samples.push_back(static_cast<std::uint8_t>(v & 0xFF));
        samples.push_back(static_cast<std::uint8_t>(v >> 8));
    }

    const double amplitude = GraphAmplitude(peak, nadir);
    FUZZ_CHECK(amplitude >= 0);
    FUZZ_CHECK(amplitude == std::fmax(peak, std::fabs(static_cast<double>(nadir))));
    const double scale = VerticalScale(amplitude, height);
    FUZZ_CHECK(scale >= 1 && std::isfinite(scale));
    if (height > 0) FUZZ_CHECK(amplitude / scale <= height / 2.0 * (1 + 1e-12));

    // Ranges from the summary are those of the samples themselves.
    const std::uint64_t n = samples.size() / 2;
    const WaveSummary summary = WaveSummary::Of(samples.data(), SampleEncoding::Pcm16, n, 1 + (ranges[0] & 1));
    for (int r = 0; r < 2 && n > 0; ++r) {
        std::uint64_t from = ranges[2 * r] % (n + 1), to = ranges[2 * r + 1] % (n + 1);
        if (from > to) std::swap(from, to);
        const ValueRange got = summary.Range(samples.data(), from, to);
        ValueRange want;
        for (std::uint64_t i = from; i < to; ++i) want.Add(SampleValue(samples.data(), SampleEncoding::Pcm16, i));
        FUZZ_CHECK(got.low == want.low && got.high == want.high);
    }
    // Columns cover every sample once, in order.
    if (width > 0 && width <= (1 << 20)) {
        FUZZ_CHECK(ColumnStart(0, width, n) == 0 && ColumnStart(width, width, n) == n);
        const std::int64_t x = static_cast<std::int64_t>(ranges[3] % static_cast<std::uint32_t>(width));
        FUZZ_CHECK(ColumnStart(x, width, n) <= ColumnStart(x + 1, width, n));
    }

    for (double e : entries) {
        std::int32_t column = 12345;
        const std::uint64_t dataSize = 2 * n;
        const bool drawn = CutLineColumn(e, width, dataSize, &column);
        if (dataSize == 0 || std::isnan(e)) FUZZ_CHECK(!drawn);
        if (width > 0 && dataSize > 0 && e >= 0 && e <= static_cast<double>(n)) {
            FUZZ_CHECK(drawn);
            FUZZ_CHECK(column >= -1 && column <= width - 1);
        }
    }
    return 0;
}
