#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <string>

#include "core/cut/hand_cut.h"

using namespace tw;

namespace {

const double kNone = -1;  // no cut placed / nothing shown

double CutAt(std::int32_t x, std::int32_t width, std::uint32_t dataSize) {
    double p = 12345.5;  // left alone when nothing is placed
    if (!CutPositionForClick(x, width, dataSize, &p)) {
        CHECK(p == 12345.5);
        return kNone;
    }
    return p;
}

std::int64_t IndexAt(std::int32_t x, std::int32_t width, std::uint32_t dataSize) {
    std::uint64_t i = 777;
    if (!SampleIndexForClick(x, width, dataSize, &i)) {
        CHECK(i == 777);
        return -1;
    }
    return static_cast<std::int64_t>(i);
}

}  // namespace

TEST_CASE("hand cut: cutting mode positions") {
    struct Row {
        std::uint32_t dataSize;
        std::int32_t width;
        std::int32_t x;
        double expected;
    };
    const Row rows[] = {
        // One sample per column: p = x + 3, raised to even.
        {1141, 570, 100, 104},
        {1141, 570, 101, 104},
        {1141, 570, 0, 4},
        {1141, 570, 1, 4},
        {1141, 570, 2, 6},
        {1141, 570, 565, 568},
        // Near the right edge p reaches or passes the last sample (570 samples).
        {1141, 570, 566, 570},
        {1141, 570, 569, 572},
        // Outside the control: nothing.
        {1141, 570, -1, kNone},
        {1141, 570, -100000, kNone},
        {1141, 570, 570, kNone},
        {1141, 570, 571, kNone},
        // A zoomed 100 MB recording: r = 99999999 / 9120.
        {100000000, 4560, 2000, 21929828},
        {100000000, 4560, 0, 4},
        {100000000, 4560, 4559, 49989038},
        // The largest data size: r = 1 at this width, p stays exact.
        {0xFFFFFFFFu, 2147483647, 1000, 1004},
        {0xFFFFFFFFu, 2147483647, 2147483646, 2147483650.0},
        // Tiny data: no sample, no cut; otherwise p is at least 4.
        {0, 570, 0, kNone},
        {1, 570, 0, kNone},
        {2, 570, 0, 4},
        {9, 570, 0, 4},
        {10, 570, 0, 4},
        {10, 570, 569, 8},
        // A control without width maps nothing.
        {1141, 0, 0, kNone},
        {1141, -5, 0, kNone},
    };
    for (const Row& r : rows) {
        CAPTURE(r.dataSize);
        CAPTURE(r.width);
        CAPTURE(r.x);
        CHECK(CutAt(r.x, r.width, r.dataSize) == r.expected);
    }
}

TEST_CASE("hand cut: cutting mode positions are even, at least 4 and ordered") {
    const std::uint32_t sizes[] = {10, 11, 1141, 4002, 88200, 176400, 1000001, 100000000, 0xFFFFFFFFu};
    const std::int32_t widths[] = {1, 7, 570, 1140, 4560, 9120};
    for (std::uint32_t d : sizes) {
        for (std::int32_t w : widths) {
            CAPTURE(d);
            CAPTURE(w);
            double previous = 0;
            for (std::int32_t x = 0; x < w; ++x) {
                double p = CutAt(x, w, d);
                REQUIRE(p != kNone);
                REQUIRE(p >= 4);
                REQUIRE(static_cast<std::uint64_t>(p) % 2 == 0);
                // At most the last sample plus the 3 added and the rounding to even.
                REQUIRE(p <= static_cast<double>(d / 2) + 4);
                REQUIRE(p >= previous);
                previous = p;
            }
        }
    }
}

TEST_CASE("hand cut: value mode sample indices") {
    struct Row {
        std::uint32_t dataSize;
        std::int32_t width;
        std::int32_t x;
        std::int64_t expected;
    };
    const Row rows[] = {
        {1141, 570, 0, 1},  // sample 0 is never shown
        {1141, 570, 1, 1},
        {1141, 570, 2, 2},
        {1141, 570, 100, 100},
        {1141, 570, 569, 569},
        {1141, 570, -1, -1},
        {1141, 570, 570, -1},
        // (D - 1) x = 199 999 998 000 does not fit 32 bits (it would give 266612).
        {100000000, 4560, 2000, 21929824},
        {100000000, 4560, 4559, 49989034},
        // The largest product: (2^32 - 2)(2^31 - 2) still exact.
        {0xFFFFFFFFu, 2147483647, 2147483646, 2147483646},
        // Tiny data.
        {0, 570, 0, -1},
        {1, 570, 0, -1},
        {2, 570, 0, -1},   // one sample: index 1 is past it
        {3, 570, 300, -1},
        {4, 570, 0, 1},
        {4, 570, 569, 1},
        {1141, 0, 0, -1},
    };
    for (const Row& r : rows) {
        CAPTURE(r.dataSize);
        CAPTURE(r.width);
        CAPTURE(r.x);
        CHECK(IndexAt(r.x, r.width, r.dataSize) == r.expected);
    }
}

TEST_CASE("hand cut: every column of the control shows a sample of the data") {
    const std::uint32_t sizes[] = {4, 5, 6, 1141, 88200, 100000000, 0xFFFFFFFFu};
    const std::int32_t widths[] = {1, 570, 1140, 9120};
    for (std::uint32_t d : sizes) {
        for (std::int32_t w : widths) {
            CAPTURE(d);
            CAPTURE(w);
            std::int64_t previous = 1;
            for (std::int32_t x = 0; x < w; ++x) {
                std::int64_t i = IndexAt(x, w, d);
                REQUIRE(i >= previous);
                REQUIRE(i < static_cast<std::int64_t>(d / 2));
                previous = i;
            }
        }
    }
}
