#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/view/graph_geometry.h"

using namespace tw;

namespace {
GraphParams Params(std::int32_t w, std::int32_t h, std::uint32_t d, std::int32_t p, std::int32_t z) {
    GraphParams g;
    g.width = w;
    g.height = h;
    g.dataSize = d;
    g.peak = p;
    g.nadir = z;
    return g;
}
}  // namespace

TEST_CASE("graph amplitude and vertical scale") {
    struct Row { std::int32_t peak, nadir; double amplitude; std::int32_t height; double scale; };
    const Row rows[] = {
        {20000, -30000, 30000, 165, 60000.0 / 165},
        {30000, -30000, 30000, 165, 60000.0 / 165},
        {32767, 5, 32767, 165, 65534.0 / 165},
        {83, -10, 83, 165, 166.0 / 165},       // just above H/2
        {82, -82, 82, 165, 1.0},               // quiet file: A <= H/2
        {0, 0, 0, 165, 1.0},                   // silent file or empty texts
        {INT32_MIN, 0, 0, 165, 1.0},           // peak text of -9999999999, saturated
        {INT32_MIN, INT32_MIN, 2147483648.0, 165, 2 * 2147483648.0 / 165},
        {1000, -1000, 1000, 0, 1.0},           // no height: no division by zero
        {1000, -1000, 1000, -7, 1.0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.peak);
        CAPTURE(r.nadir);
        CAPTURE(r.height);
        double a = GraphAmplitude(r.peak, r.nadir);
        CHECK(a == r.amplitude);
        CHECK(VerticalScale(a, r.height) == r.scale);
    }
}

TEST_CASE("graph sample step") {
    struct Row { std::uint64_t dataSize, step; };
    const Row rows[] = {
        {0, 1}, {1, 1}, {99999, 1}, {100000, 10}, {999999, 10},
        {1000000, 100}, {1000009, 100}, {4294967295u, 100000},
    };
    for (const Row& r : rows) {
        CAPTURE(r.dataSize);
        CHECK(SampleStep(r.dataSize) == r.step);
    }
}

TEST_CASE("graph strokes: rows of the loudest samples and the first stroke") {
    GraphPlan plan(Params(570, 165, 8, 20000, -30000));
    CHECK(plan.scale() == 60000.0 / 165);
    CHECK(plan.strokeCount() == 4);
    GraphStroke a = plan.NextStroke(0, -30000);
    CHECK(a.yFrom == 82);  // starts at the centre row
    CHECK(a.yTo == 0);
    GraphStroke b = plan.NextStroke(1, 20000);
    CHECK(b.yFrom == 0);   // 82.5 + trunc(-82.5)
    CHECK(b.yTo == 137);
    GraphStroke c = plan.NextStroke(2, 0);
    CHECK(c.yFrom == 137);  // 82.5 + 55
    CHECK(c.yTo == 82);
}

TEST_CASE("graph strokes of a quiet file stay inside the bitmap") {
    GraphPlan plan(Params(570, 165, 200, 40, -82));
    CHECK(plan.scale() == 1.0);
    for (std::int16_t s : {std::int16_t(-82), std::int16_t(40), std::int16_t(0), std::int16_t(-82)}) {
        GraphStroke st = plan.NextStroke(0, s);
        CHECK(st.yTo >= 0);
        CHECK(st.yTo < 165);
        CHECK(st.yFrom >= 0);
        CHECK(st.yFrom < 165);
    }
}

TEST_CASE("graph stroke columns rise from 0 and stay below the width") {
    const std::uint32_t sizes[] = {2, 3, 4, 5, 199, 99999, 100000, 1000009, 123456789, 4294967295u};
    const std::int32_t widths[] = {1, 570, 855, 33400};
    for (std::uint32_t d : sizes) {
        for (std::int32_t w : widths) {
            CAPTURE(d);
            CAPTURE(w);
            GraphPlan plan(Params(w, 165, d, 30000, -30000));
            std::uint64_t count = plan.strokeCount();
            CHECK(count == (d / 2 + plan.step() - 1) / plan.step());
            std::int32_t previous = 0;
            bool ok = true;
            for (std::uint64_t k = 0; k < count; ++k) {
                GraphStroke st = plan.NextStroke(k, 0);
                if (st.x < previous || st.x >= w || (k == 0 && st.x != 0)) ok = false;
                previous = st.x;
            }
            CHECK(ok);
        }
    }
}

TEST_CASE("graph stroke columns round every division to float") {
    // Cases where the float steps land one column right of the exact quotient.
    struct Row { std::uint32_t dataSize; std::int32_t width; std::uint64_t k; std::int32_t x; };
    const Row rows[] = {
        {99999, 33400, 14925, 9970},
        {1000009, 33400, 1331, 8891},
        {123456789, 33400, 3537, 19138},
        {4294967295u, 33400, 10803, 16802},
        {77777, 1282, 22235, 733},
        {77777, 33400, 6965, 5982},
    };
    for (const Row& r : rows) {
        CAPTURE(r.dataSize);
        CAPTURE(r.width);
        GraphPlan plan(Params(r.width, 165, r.dataSize, 100, 0));
        CHECK(plan.NextStroke(r.k, 0).x == r.x);
    }
}

TEST_CASE("graph geometry survives degenerate sizes") {
    struct Row { std::int32_t w, h; std::uint32_t d; std::int32_t p, z; };
    const Row rows[] = {
        {0, 165, 1000, 30000, -30000},
        {-570, 165, 1000, 30000, -30000},
        {570, 0, 1000, 30000, -30000},
        {570, -165, 1000, 30000, -30000},
        {INT32_MAX, INT32_MAX, 4294967295u, INT32_MIN, INT32_MIN},
        {INT32_MIN, INT32_MIN, 4294967295u, INT32_MAX, 0},
        {570, 165, 0, 0, 0},
        {570, 165, 1, 0, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.w);
        CAPTURE(r.h);
        CAPTURE(r.d);
        GraphPlan plan(Params(r.w, r.h, r.d, r.p, r.z));
        CHECK(std::isfinite(plan.scale()));
        CHECK(plan.scale() > 0);
        std::uint64_t count = plan.strokeCount();
        CHECK(count <= 50000);
        for (std::uint64_t k = 0; k < count && k < 100; ++k) {
            std::int32_t progress = plan.ProgressBefore(k);
            CHECK(progress >= 0);
            CHECK(progress <= 100);
            plan.NextStroke(k, k % 2 ? 32767 : -32768);
        }
    }
    // Width 0: every column is 0 rather than a conversion of infinity.
    GraphPlan zero(Params(0, 165, 1000, 100, 0));
    CHECK(zero.NextStroke(0, 0).x == 0);
    CHECK(zero.NextStroke(1, 0).x == 0);
}

TEST_CASE("graph progress is the running sum, monotone, ending at most 100") {
    const std::uint32_t sizes[] = {4, 6, 8, 99999, 100000, 1000009, 3000000000u};
    for (std::uint32_t d : sizes) {
        CAPTURE(d);
        GraphPlan plan(Params(570, 165, d, 100, -100));
        std::uint64_t count = plan.strokeCount();
        double increment = 100 / (d / 2.0 - 1);
        double running = 0;
        std::int32_t previous = 0;
        bool exact = true, monotone = true;
        for (std::uint64_t k = 0; k < count; ++k) {
            std::int32_t shown = plan.ProgressBefore(k);
            if (shown != static_cast<std::int32_t>(std::floor(running))) exact = false;
            if (shown < previous) monotone = false;
            previous = shown;
            plan.NextStroke(k, 0);
            running += static_cast<double>(plan.step()) * increment;
        }
        CHECK(exact);
        CHECK(monotone);
        CHECK(previous <= 100);
        CHECK(previous >= 90);
        // Asking out of order still gives the sequential value.
        std::uint64_t last = count - 1;
        std::int32_t atLast = plan.ProgressBefore(last);
        CHECK(plan.ProgressBefore(0) == 0);
        CHECK(plan.ProgressBefore(last) == atLast);
    }
    // Fewer than two samples: no increment to divide out, the bar stays at 0.
    for (std::uint32_t d : {0u, 1u, 2u, 3u}) {
        GraphPlan plan(Params(570, 165, d, 0, 0));
        for (std::uint64_t k = 0; k < 3; ++k) CHECK(plan.ProgressBefore(k) == 0);
    }
}

TEST_CASE("graph cut line columns") {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row { double entry; std::int32_t width; std::uint32_t dataSize; bool drawn; std::int32_t column; };
    const Row rows[] = {
        {4, 570, 10000, true, -1},          // floor(0.456 - 1)
        {5000, 570, 10000, true, 569},
        {10000, 570, 10000, true, 1139},
        {0, 570, 10000, true, -1},
        {3, 570, 0, false, 0},              // empty data
        {0, 570, 0, false, 0},
        {nan, 570, 10000, false, 0},
        {inf, 570, 10000, false, 0},
        {1e300, 570, 10000, false, 0},
        {-1e300, 570, 10000, false, 0},
        {2147483647.0, INT32_MAX, 1, false, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.entry);
        CAPTURE(r.dataSize);
        std::int32_t column = 12345;
        CHECK(CutLineColumn(r.entry, r.width, r.dataSize, &column) == r.drawn);
        if (r.drawn) CHECK(column == r.column);
    }
}
