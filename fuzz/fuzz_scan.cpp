// The fast silence scan against the one-sample-at-a-time scan, for fuzzed
// samples, graph width and threshold, plus what every result must satisfy.
//
// Input: width mode (1 byte), raw width (4), threshold mode (1), threshold
// (8 bytes as a double when mode & 1, else 2 bytes as an int16), samples.
#include <cstdlib>
#include <vector>

#include "core/cut/auto_cut.h"
#include "fuzz/fuzz_support.h"

using namespace tw;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t widthMode = in.U8();
    const std::int32_t rawWidth = in.I32();
    const std::uint8_t thresholdMode = in.U8();
    double threshold;
    if (thresholdMode & 1) {
        threshold = in.F64();
    } else {
        threshold = in.I16();
        if (thresholdMode & 2) threshold += (thresholdMode & 4) ? 0.75 : -0.75;
    }
    const fuzz::ExactBytes bytes(in.rest(), in.left());
    const auto dataSize = static_cast<std::uint32_t>(bytes.size());
    const std::int64_t n = dataSize / 2;

    // Widths that let cuts happen at this data size are the interesting ones.
    const std::uint32_t magnitude = static_cast<std::uint32_t>(rawWidth) & 0x7FFFFFFF;
    std::int32_t width;
    switch (widthMode % 4) {
        case 0: width = rawWidth; break;
        case 1: width = static_cast<std::int32_t>(1 + magnitude % (2 * static_cast<std::uint32_t>(n) + 64)); break;
        case 2: width = 570; break;
        default: width = static_cast<std::int32_t>(1 + magnitude % 100000); break;
    }

    const std::vector<AutoCut> fast = ScanForCuts(bytes.data(), dataSize, width, threshold);
    const std::vector<AutoCut> plain = ScanForCutsPlain(bytes.data(), dataSize, width, threshold);
    FUZZ_CHECK(fast.size() == plain.size());
    for (std::size_t i = 0; i < fast.size(); ++i) {
        FUZZ_CHECK(fast[i].position == plain[i].position);
        FUZZ_CHECK(fast[i].column == plain[i].column);
    }

    // Cuts lie on samples 1..n-2 (sample 0 is never examined and a run needs
    // a loud sample after it), ascending, the first at column 10 or later and
    // each at least 10 columns after the one before.
    double last = 0;
    std::int64_t lastPosition = 0;
    for (const AutoCut& c : fast) {
        FUZZ_CHECK(c.position >= 1 && c.position <= n - 2);
        FUZZ_CHECK(c.position > lastPosition);
        FUZZ_CHECK(c.column >= last + 10);
        last = c.column;
        lastPosition = c.position;
    }
    if (!(threshold >= 1 && threshold < 32768) || width <= 0) FUZZ_CHECK(fast.empty());
    return 0;
}
