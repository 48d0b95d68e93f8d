// Inputs the fuzz targets (fuzz/) found to break an invariant, kept as plain
// cases so the fix stays in place without running the fuzzers.
#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "core/view/window_place.h"
#include "core/view/zoom_scroll.h"
#include "core/wave/wave_stats.h"

using namespace tw;

namespace {

std::vector<std::uint8_t> Samples(int count, int (*value)(int)) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(value(i)));
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

bool SameFloat(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

}  // namespace

TEST_CASE("fuzz finding: zoom out on extreme widths saturates the scroll maximum") {
    // floor(Wg / 1.5 - Wm) used to be converted to int32 out of range.
    struct Row {
        std::int32_t graphWidth, clientWidth, width, max;
    } rows[] = {
        {1282, 574, 854, 280},
        {INT32_MAX, INT32_MIN, 1431655764, INT32_MAX},
        {INT32_MAX, INT32_MAX, 1431655764, 1431655764 - INT32_MAX},
        {INT32_MAX, 0, 1431655764, 1431655764},
    };
    for (const Row& r : rows) {
        CAPTURE(r.graphWidth);
        CAPTURE(r.clientWidth);
        const ZoomResult z = ZoomOutResult(r.graphWidth, r.clientWidth, ScrollValues{});
        CHECK(z.width == r.width);
        CHECK(z.scroll.max == r.max);
        CHECK(z.scroll.pos == 0);
    }
}

TEST_CASE("fuzz finding: zoom in never wraps the width past int32") {
    // With a client width near INT32_MAX the cap Wm + 32767 lay beyond int32,
    // and the new width wrapped negative while reporting a change.
    struct Row {
        std::int32_t graphWidth, clientWidth;
        bool changed;
        std::int32_t width, max;
    } rows[] = {
        {570, 574, true, 855, 281},
        {INT32_MAX, INT32_MAX, false, INT32_MAX, 0},
        {2000000000, INT32_MAX, false, 2000000000, 0},
        {30000, INT32_MAX, true, kGraphMaxWidth, kGraphMaxWidth - INT32_MAX},
    };
    for (const Row& r : rows) {
        CAPTURE(r.graphWidth);
        const ZoomResult z = ZoomInResult(r.graphWidth, r.clientWidth, ScrollValues{});
        CHECK(z.changed == r.changed);
        CHECK(z.width == r.width);
        if (r.changed) CHECK(z.scroll.max == r.max);
    }
}

TEST_CASE("fuzz finding: a scroll bound beyond int32 is clamped, not wrapped") {
    struct Row {
        int code;
        std::int32_t graphWidth, visible, pos;
        ScrollAction action;
        std::int32_t after;
    } rows[] = {
        {1, 855, 570, 280, ScrollAction::StopAtOnce, 285},
        {1, INT32_MAX, INT32_MIN, INT32_MAX - 2, ScrollAction::StopAtOnce, INT32_MAX},
        {3, INT32_MAX, -10, INT32_MAX - 100, ScrollAction::Move, INT32_MAX - 95},
        {1, INT32_MIN, INT32_MAX, 0, ScrollAction::StopAtOnce, INT32_MIN},
        {0, 0, 0, INT32_MIN, ScrollAction::StopAtOnce, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.code);
        CAPTURE(r.graphWidth);
        CAPTURE(r.visible);
        ScrollValues state;
        state.pos = r.pos;
        const ScrollResult result = ApplyScrollCode(r.code, 0, r.graphWidth, r.visible, state);
        CHECK(result.action == r.action);
        CHECK(state.pos == r.after);
    }
}

TEST_CASE("fuzz finding: centring a window on extreme coordinates has no int overflow") {
    // lo + hi, the truncated float plus the offset and screen - (hi - lo) all
    // overflowed int32 for coordinates near its ends.
    struct ScreenRow {
        std::int32_t screen, lo, hi, offset, out;
    } screenRows[] = {
        {1366, 100, 680, 0, 393},
        {1366, INT32_MAX - 10, INT32_MAX, 0, 683},
        {INT32_MAX, 0, 0, INT32_MAX, INT32_MAX},
        {100, INT32_MIN, INT32_MAX, 0, 0},
    };
    for (const ScreenRow& r : screenRows) {
        CAPTURE(r.lo);
        CAPTURE(r.hi);
        std::int32_t out = -1;
        CHECK(CenterOnScreenCoord(r.screen, r.lo, r.hi, r.offset, &out));
        CHECK(out == r.out);
    }
    struct OwnerRow {
        std::int32_t refLo, refHi, lo, hi, out;
    } ownerRows[] = {
        {100, 500, 0, 200, 200},
        {INT32_MAX, INT32_MAX, 0, 100, INT32_MAX},
        {INT32_MIN, INT32_MIN, 0, 0, INT32_MIN},
        {INT32_MIN, INT32_MIN, 0, 1000, INT32_MIN},
    };
    for (const OwnerRow& r : ownerRows) {
        CAPTURE(r.refLo);
        CAPTURE(r.lo);
        CAPTURE(r.hi);
        CHECK(CenterOnOwnerCoord(r.refLo, r.refHi, r.lo, r.hi) == r.out);
    }
}

TEST_CASE("fuzz finding: chunks fed from a fractional or NaN running sum match the plain sum") {
    // The integer blocks assumed a whole-number sum; from 12690.33 they
    // dropped the rounding that one-by-one float additions make.
    const float starts[] = {12690.33f, 0.5f, -8388607.5f, std::numeric_limits<float>::quiet_NaN(), 16777216.0f,
                            -3.0f};
    const std::vector<std::uint8_t> loud = Samples(600, [](int) { return 32767; });
    const std::vector<std::uint8_t> mixed = Samples(777, [](int i) { return (i * 7919) % 65536 - 32768; });
    for (const std::vector<std::uint8_t>* bytes : {&loud, &mixed}) {
        const std::size_t count = bytes->size() / 2;
        for (float start : starts) {
            WaveStats plain;
            plain.sum = start;
            AccumulateStatsPlain(plain, bytes->data(), count);
            for (StatsPath path : {StatsPath::Scalar, StatsPath::Sse2, StatsPath::Avx2, StatsPath::Best}) {
                CAPTURE(start);
                CAPTURE(static_cast<int>(path));
                WaveStats fast;
                fast.sum = start;
                AccumulateStatsOn(path, fast, bytes->data(), count);
                CHECK(SameFloat(fast.sum, plain.sum));
                CHECK(fast.peak == plain.peak);
                CHECK(fast.nadir == plain.nadir);
                CHECK(fast.smallestPositive == plain.smallestPositive);
            }
        }
    }
}
