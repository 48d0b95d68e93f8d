#include <doctest.h>

#include <cmath>
#include <cstdint>

#include "core/view/time_axis.h"
#include "core/view/window_place.h"
#include "core/view/zoom_scroll.h"

using namespace tw;

namespace {

constexpr std::int32_t kWm = 574;  // client width of the 580-pixel main window

ScrollValues Initial() { return ScrollValues{0, 570, 570, 0}; }

}  // namespace

TEST_CASE("zoom keeps the column under the anchor and never scrolls past either end") {
    struct Row {
        const char* what;
        std::int32_t oldWidth, newWidth, oldPos, anchor, visible, pos;
    };
    const Row rows[] = {
        {"in from the start, anchored left", 570, 855, 0, 0, 574, 0},
        {"in, anchored left, keeps the left column", 861, 1291, 50, 0, 574, 75},
        {"in around the pointer", 861, 1291, 50, 200, 574, 175},  // column 250 -> 375
        {"out after scrolling right comes back to 0", 1291, 574, 400, 0, 574, 0},
        {"out narrower than the window", 861, 570, 100, 300, 574, 0},
        {"in at the right end stays inside", 861, 1291, 287, 574, 574, 717},
        {"out at the right end stays inside", 1291, 860, 717, 574, 574, 286},
        {"a negative result is 0", 1291, 860, 0, 500, 574, 0},
        {"no old width", 0, 860, 10, 10, 574, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        const std::int32_t pos = AnchoredScrollPos(r.oldWidth, r.newWidth, r.oldPos, r.anchor, r.visible);
        CHECK(pos == r.pos);
        CHECK(pos >= 0);
        CHECK(pos <= (r.newWidth > r.visible ? r.newWidth - r.visible : 0));
    }
}

TEST_CASE("zoom scroll: widths and scroll records of + and -") {
    struct Row {
        const char* what;
        bool in;
        std::int32_t from;
        std::int32_t width;
        std::int32_t max;
        std::uint32_t page;
    };
    const Row rows[] = {
        {"+ at the start", true, 570, 855, 281, 7},
        {"+ again", true, 855, 1282, 708, 7},
        {"+ truncates 1.5 x 1281", true, 1281, 1921, 1921 - kWm, 7},
        {"+ from the client width", true, kWm, 861, 861 - kWm, 7},
        {"- back to the start", false, 855, kWm, kWm, kWm},
        {"- at 1282", false, 1282, 854, 280, 1282},  // floor(854.67 - 574)
        {"- at the start", false, 570, kWm, kWm, kWm},
        {"- at the client width", false, kWm, kWm, kWm, kWm},
        {"- at 861: 574 > 570", false, 861, 574, 0, 861},
        {"- at 856: narrower than the client", false, 856, 570, -4, 856},  // floor(570.67 - 574)
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        ScrollValues before = Initial();
        before.pos = 123;
        before.min = 0;
        ZoomResult z = r.in ? ZoomInResult(r.from, kWm, before) : ZoomOutResult(r.from, kWm, before);
        CHECK(z.changed);
        CHECK(z.width == r.width);
        CHECK(z.scroll.max == r.max);
        CHECK(z.scroll.page == r.page);
        CHECK(z.scroll.pos == 0);
        CHECK(z.scroll.min == 0);
    }
}

TEST_CASE("zoom scroll: zooming out keeps the minimum it had") {
    ScrollValues odd{-9, 100, 50, 40};
    ZoomResult z = ZoomOutResult(1282, kWm, odd);
    CHECK(z.scroll.min == -9);
    CHECK(z.scroll.pos == 0);
}

TEST_CASE("zoom scroll: zooming in stops at the widest window") {
    // Repeated + from the start: widths grow by 1.5 until the window limit of
    // 32767 pixels, which also keeps Wg - Wm within the 16-bit thumb position.
    std::int32_t width = 570;
    ScrollValues s = Initial();
    int steps = 0;
    for (;;) {
        ZoomResult z = ZoomInResult(width, kWm, s);
        if (!z.changed) {
            CHECK(z.width == width);
            CHECK(z.scroll.max == s.max);
            CHECK(z.scroll.page == s.page);
            CHECK(z.scroll.pos == s.pos);
            break;
        }
        CHECK(z.width > width);
        CHECK(z.width - kWm <= 32767);
        CHECK(z.scroll.max == z.width - kWm);
        width = z.width;
        s = z.scroll;
        REQUIRE(++steps < 40);
    }
    CHECK(width == 32767);
    CHECK(steps == 10);  // 570, 855, ..., 21898, then 32767 instead of 32847
    CHECK(s.max == 32767 - kWm);
    // A width already beyond the cap (never reached by +) is not widened.
    CHECK_FALSE(ZoomInResult(40000, kWm, s).changed);
    // A tiny client area: the thumb limit is the nearer bound.
    ZoomResult tiny = ZoomInResult(30000, 10, s);
    CHECK(tiny.width == 32767);
    CHECK(tiny.scroll.max == 32757);
    // Out from the cap comes back down.
    CHECK(ZoomOutResult(width, kWm, s).width == 21844);  // floor(32767 / 1.5)
}

TEST_CASE("zoom scroll: scroll codes") {
    struct Row {
        const char* what;
        int code;
        std::uint16_t thumb;
        std::int32_t graph;
        std::int32_t visible;
        std::int32_t posBefore;
        std::int32_t posAfter;
        ScrollAction action;
        bool updateBar;
    };
    const Row rows[] = {
        {"line right", 1, 0, 855, 570, 100, 105, ScrollAction::Move, true},
        {"line right onto the bound", 1, 0, 855, 570, 280, 285, ScrollAction::StopAtOnce, false},
        {"line right past the bound", 1, 0, 855, 570, 283, 285, ScrollAction::StopAtOnce, false},
        {"line right just short of it", 1, 0, 855, 570, 279, 284, ScrollAction::Move, true},
        {"line right, nothing to scroll", 1, 0, 570, 570, 0, 0, ScrollAction::StopAtOnce, false},
        {"line left", 0, 0, 855, 570, 100, 95, ScrollAction::Move, true},
        {"line left onto 0", 0, 0, 855, 570, 5, 0, ScrollAction::StopAtOnce, false},
        {"line left below 0", 0, 0, 855, 570, 3, 0, ScrollAction::StopAtOnce, false},
        {"line left just above", 0, 0, 855, 570, 6, 1, ScrollAction::Move, true},
        // Page steps are bounded like the arrow steps, so the position stays
        // within 0 .. Wg - V.
        {"page left", 2, 0, 855, 570, 100, 95, ScrollAction::Move, true},
        {"page left below 0", 2, 0, 855, 570, 2, 0, ScrollAction::StopAtOnce, false},
        {"page right", 3, 0, 855, 570, 100, 105, ScrollAction::Move, true},
        {"page right onto the bound", 3, 0, 855, 570, 281, 285, ScrollAction::StopAtOnce, false},
        {"thumb position", 4, 200, 855, 570, 7, 200, ScrollAction::Move, true},
        {"thumb position 0", 4, 0, 855, 570, 7, 0, ScrollAction::Move, true},
        {"thumb 32767", 4, 32767, 33341, 570, 0, 32767, ScrollAction::Move, true},
        {"thumb 40000 arrives negative", 4, 40000, 855, 570, 0, 40000 - 65536, ScrollAction::Move, true},
        {"thumb 65535 is -1", 4, 65535, 855, 570, 0, -1, ScrollAction::Move, true},
        {"thumb track moves nothing", 5, 300, 855, 570, 40, 40, ScrollAction::Move, false},
        // Home and End, and the bar's own left and right edge.
        {"left edge", 6, 0, 855, 570, 40, 0, ScrollAction::Move, true},
        {"right edge", 7, 0, 855, 570, 40, 285, ScrollAction::Move, true},
        {"right edge, nothing to scroll", 7, 0, 570, 574, 0, 0, ScrollAction::Move, true},
        {"end scroll", 8, 0, 855, 570, 40, 40, ScrollAction::Move, false},
        {"unknown code", 99, 7, 855, 570, 40, 40, ScrollAction::Move, false},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        ScrollValues s{0, 281, 7, r.posBefore};
        ScrollResult res = ApplyScrollCode(r.code, r.thumb, r.graph, r.visible, s);
        CHECK(s.pos == r.posAfter);
        CHECK(res.action == r.action);
        CHECK(res.updateBar == r.updateBar);
        // The rest of the record is the bar's business, never the handler's.
        CHECK(s.min == 0);
        CHECK(s.max == 281);
        CHECK(s.page == 7u);
    }
}

TEST_CASE("zoom scroll: arrow steps walk the whole range and stop at each end") {
    ScrollValues s{0, 281, 7, 0};
    int moves = 0;
    while (ApplyScrollCode(1, 0, 855, 570, s).action == ScrollAction::Move) REQUIRE(++moves < 100);
    CHECK(moves == 56);  // 5, 10, ..., 280
    CHECK(s.pos == 285);
    moves = 0;
    while (ApplyScrollCode(0, 0, 855, 570, s).action == ScrollAction::Move) REQUIRE(++moves < 100);
    CHECK(moves == 56);  // 280, ..., 5
    CHECK(s.pos == 0);
}

TEST_CASE("zoom scroll: centring a window on the screen") {
    struct Row {
        const char* what;
        std::int32_t screen, lo, hi, offset;
        bool ok;
        std::int32_t out;
    };
    const Row rows[] = {
        {"580 wide on 1366", 1366, 0, 580, 0, true, 393},
        {"580 wide, already elsewhere", 1366, 393, 973, 0, true, 393},
        {"581 wide: 392.5 truncated", 1366, 0, 581, 0, true, 392},
        {"half-pixel result 217.5", 435, 0, 0, 0, true, 217},
        {"-10.5 clamps to 0", 1, 0, 22, 0, true, 0},
        {"screen narrower than the window", 500, 100, 680, 0, true, 0},
        {"500 high on 768", 768, 0, 500, 0, true, 134},
        {"offset added", 1366, 0, 580, 7, true, 400},
        {"offset past the screen edge", 1366, 0, 580, 1000, true, 1366 - 580},
        {"exactly at the screen width is kept", 1366, 0, 0, 683, true, 1366},
        {"zero screen", 0, 0, 580, 0, false, -777},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        std::int32_t out = -777;
        CHECK(CenterOnScreenCoord(r.screen, r.lo, r.hi, r.offset, &out) == r.ok);
        CHECK(out == r.out);
    }
}

TEST_CASE("zoom scroll: centring a window over its owner") {
    struct Row {
        const char* what;
        std::int32_t refLo, refHi, lo, hi, out;
    };
    const Row rows[] = {
        {"217.5 truncated", 0, 435, 0, 0, 217},
        {"-10.5 truncated toward zero", 0, 1, 0, 22, -10},
        {"same size", 393, 973, 0, 580, 393},
        {"smaller window", 393, 973, 0, 300, 533},
        {"odd width", 393, 973, 50, 351, 532},  // 683 - 150.5
        {"larger window goes left of the owner", 0, 100, 0, 400, -150},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CHECK(CenterOnOwnerCoord(r.refLo, r.refHi, r.lo, r.hi) == r.out);
    }
}

TEST_CASE("time axis: ticks a reader counts in, labels as fine as their step") {
    struct Row {
        const char* what;
        double total;
        std::int32_t width, from, to;
        std::size_t count;
        std::int32_t firstColumn;
        const char* firstLabel;
        const char* lastLabel;
    };
    const Row rows[] = {
        {"a minute at 570 columns: every 10 s", 60, 570, 0, 570, 6, 0, "0", "50"},
        {"two hours: every 15 min", 7200, 570, 0, 570, 8, 0, "0", "1:45:00"},
        {"a second, zoomed wide: hundredths", 1, 2000, 0, 2000, 20, 0, "0.00", "0.95"},
        {"only the part painted", 60, 570, 100, 200, 1, 190, "20", "20"},
        {"a painted part between ticks", 60, 570, 100, 180, 0, 0, "", ""},
        {"five minutes: m:ss", 300, 570, 0, 570, 5, 0, "0", "4:00"},
        {"nothing to show", 0, 570, 0, 570, 0, 0, "", ""},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        const std::vector<AxisTick> ticks = AxisTicks(r.total, r.width, r.from, r.to, 60);
        REQUIRE(ticks.size() == r.count);
        if (ticks.empty()) continue;
        const double step = AxisStep(r.total / r.width, 60);
        CHECK(ticks.front().column == r.firstColumn);
        CHECK(AxisLabel(ticks.front().seconds, step) == r.firstLabel);
        CHECK(AxisLabel(ticks.back().seconds, step) == r.lastLabel);
        for (std::size_t i = 1; i < ticks.size(); ++i) CHECK(ticks[i].column - ticks[i - 1].column >= 60);
    }
}

TEST_CASE("time texts: seconds under a minute, then the clock") {
    const struct {
        double seconds;
        const char* text;
    } rows[] = {
        {0, u8"0.000 秒"}, {12.3456, u8"12.345 秒"}, {59.9994, u8"59.999 秒"}, {59.9996, u8"59.999 秒"}, {60, "1:00.000"},
        {62.5, "1:02.500"}, {3723.456, "1:02:03.456"}, {-1, u8"0.000 秒"}, {std::nan(""), u8"0.000 秒"},
        {360000, "100:00:00.000"}, {4e15, "1111111111111:06:40.000"},  // no wrap on a huge time
        {1e300, "2500000000000:00:00.000"},                                // held at 9e15 s
    };
    for (const auto& r : rows) {
        CAPTURE(r.seconds);
        CHECK(TimeText(r.seconds) == r.text);
    }
}
