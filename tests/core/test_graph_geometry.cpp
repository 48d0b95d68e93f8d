#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/view/graph_geometry.h"

using namespace tw;


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
