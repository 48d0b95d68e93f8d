// Click, zoom, scroll and window-centring arithmetic for any integers: no
// undefined arithmetic, and results inside the data or the screen whenever
// the inputs make that possible.
//
// Input: mode (1) then the integers read below in order.
#include <cmath>
#include <cstdint>

#include "core/cut/hand_cut.h"
#include "fuzz/fuzz_support.h"
#include "core/view/window_place.h"
#include "core/view/zoom_scroll.h"

using namespace tw;

namespace {

void CheckClick(std::int32_t x, std::int32_t width, std::uint32_t dataSize) {
    double position = -1;
    const bool cut = CutPositionForClick(x, width, dataSize, &position);
    const bool inside = width > 0 && x >= 0 && x < width;
    if (!inside) FUZZ_CHECK(!cut);
    if (cut) {
        FUZZ_CHECK(std::fmod(position, 2.0) == 0.0 && position >= 4);
        // floor(x (D-1) / 2W) + 3, made even: within a sample of the exact value.
        const double exact = std::floor(static_cast<double>(static_cast<std::uint64_t>(x) * (dataSize - 1ull) /
                                                            (2ull * static_cast<std::uint64_t>(width))));
        FUZZ_CHECK(position >= exact + 2 && position <= exact + 5);
    }

    std::uint64_t index = 0;
    const bool shown = SampleIndexForClick(x, width, dataSize, &index);
    if (!inside || dataSize < 4) FUZZ_CHECK(!shown);
    if (inside && dataSize > 0) {
        std::uint64_t i = (dataSize - 1ull) * static_cast<std::uint64_t>(x) / (2ull * static_cast<std::uint64_t>(width));
        if (i == 0) i = 1;
        FUZZ_CHECK(shown == (i < dataSize / 2));
        if (shown) FUZZ_CHECK(index == i);
    }
}

void CheckZoom(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current) {
    const ZoomResult in = ZoomInResult(graphWidth, clientWidth, current);
    if (in.changed) {
        FUZZ_CHECK(in.width > graphWidth);
        FUZZ_CHECK(static_cast<std::int64_t>(in.width) <= static_cast<std::int64_t>(clientWidth) + 32767);
        FUZZ_CHECK(in.width <= std::floor(1.5 * graphWidth));
        FUZZ_CHECK(static_cast<std::int64_t>(in.scroll.max) == static_cast<std::int64_t>(in.width) - clientWidth);
        FUZZ_CHECK(in.scroll.min == 0 && in.scroll.page == 7 && in.scroll.pos == 0);
    } else {
        FUZZ_CHECK(in.width == graphWidth);
    }
    // From the starting width, zooming in step by step stops at the cap.
    if (graphWidth >= kGraphStartWidth && graphWidth <= kGraphMaxWidth && clientWidth == kGraphStartWidth + 4) {
        FUZZ_CHECK(in.width <= kGraphMaxWidth + 4);
    }

    const ZoomResult out = ZoomOutResult(graphWidth, clientWidth, current);
    FUZZ_CHECK(out.scroll.pos == 0 && out.scroll.min == current.min);
    if (graphWidth / 1.5 <= kGraphStartWidth) {
        FUZZ_CHECK(out.width == clientWidth && out.scroll.max == clientWidth);
    } else {
        FUZZ_CHECK(out.width == static_cast<std::int32_t>(std::floor(graphWidth / 1.5)));
        FUZZ_CHECK(out.width < graphWidth);
        FUZZ_CHECK(out.scroll.page == static_cast<std::uint32_t>(graphWidth));
        const std::int64_t wanted = static_cast<std::int64_t>(out.width) - clientWidth;
        if (wanted >= INT32_MIN && wanted <= INT32_MAX) FUZZ_CHECK(out.scroll.max == wanted);
    }
}

void CheckScroll(int code, std::uint16_t thumb, std::int32_t graphWidth, std::int32_t visible, ScrollValues state) {
    const std::int32_t before = state.pos;
    const ScrollResult r = ApplyScrollCode(code, thumb, graphWidth, visible, state);
    std::int64_t upper = static_cast<std::int64_t>(graphWidth) - visible;
    if (upper > INT32_MAX) upper = INT32_MAX;
    if (upper < INT32_MIN) upper = INT32_MIN;
    switch (code) {
        case 4:
            FUZZ_CHECK(r.action == ScrollAction::Move && r.updateBar && state.pos == static_cast<std::int16_t>(thumb));
            break;
        case 0:
        case 2:
            if (r.action == ScrollAction::StopAtOnce) {
                FUZZ_CHECK(state.pos == 0 && static_cast<std::int64_t>(before) - 5 <= 0 && !r.updateBar);
            } else {
                FUZZ_CHECK(r.action == ScrollAction::Move && r.updateBar);
                FUZZ_CHECK(state.pos == static_cast<std::int64_t>(before) - 5 && state.pos > 0);
            }
            break;
        case 1:
        case 3:
            if (r.action == ScrollAction::StopAtOnce) {
                FUZZ_CHECK(state.pos == upper && !r.updateBar);
            } else {
                FUZZ_CHECK(r.action == ScrollAction::Move && r.updateBar);
                FUZZ_CHECK(state.pos == static_cast<std::int64_t>(before) + 5 && state.pos < upper);
            }
            break;
        case 6:
            FUZZ_CHECK(r.action == ScrollAction::Move && r.updateBar && state.pos == 0);
            break;
        case 7:
            FUZZ_CHECK(r.action == ScrollAction::Move && r.updateBar && state.pos == (upper > 0 ? upper : 0));
            break;
        default:
            FUZZ_CHECK(state.pos == before && !r.updateBar);
            break;
    }
}

void CheckCentre(std::int32_t screen, std::int32_t lo, std::int32_t hi, std::int32_t offset, std::int32_t refLo,
                 std::int32_t refHi) {
    std::int32_t x = 0;
    const bool placed = CenterOnScreenCoord(screen, lo, hi, offset, &x);
    FUZZ_CHECK(placed == (screen != 0));
    // A window no wider than a positive screen always lands on it.
    if (placed && screen > 0 && hi >= lo && static_cast<std::int64_t>(hi) - lo <= screen)
        FUZZ_CHECK(x >= 0 && x <= screen);

    const std::int32_t c = CenterOnOwnerCoord(refLo, refHi, lo, hi);
    // Small coordinates are exact in single precision: the window's centre
    // lands on the owner's centre within a pixel.
    const std::int64_t small = 1 << 20;
    if (refLo > -small && refLo < small && refHi > -small && refHi < small && lo > -small && lo < small &&
        hi > -small && hi < small) {
        const double want = (static_cast<double>(refLo) + refHi) / 2 - (static_cast<double>(hi) - lo) / 2;
        FUZZ_CHECK(std::fabs(c - want) <= 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint8_t mode = in.U8();
    std::int32_t x = in.I32();
    std::int32_t width = in.I32();
    std::uint32_t dataSize = in.U32();
    std::int32_t graphWidth = in.I32();
    std::int32_t clientWidth = in.I32();
    ScrollValues scroll;
    scroll.min = in.I32();
    scroll.max = in.I32();
    scroll.page = in.U32();
    scroll.pos = in.I32();
    const int code = in.U8() % 12;
    const std::uint16_t thumb = in.U16();
    std::int32_t visible = in.I32();
    std::int32_t screen = in.I32();
    std::int32_t lo = in.I32();
    std::int32_t hi = in.I32();
    const std::int32_t offset = in.I32();
    const std::int32_t refLo = in.I32();
    const std::int32_t refHi = in.I32();

    if (mode & 1) {
        // Values the window can really produce: a click inside the control,
        // widths from the zoom range, positions around the scroll range.
        width = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(width) % kGraphMaxWidth);
        x = static_cast<std::int32_t>(static_cast<std::uint32_t>(x) % static_cast<std::uint32_t>(width));
        graphWidth = static_cast<std::int32_t>(static_cast<std::uint32_t>(graphWidth) % (2 * kGraphMaxWidth));
        clientWidth = 300 + static_cast<std::int32_t>(static_cast<std::uint32_t>(clientWidth) % 3000);
        visible = 300 + static_cast<std::int32_t>(static_cast<std::uint32_t>(visible) % 3000);
        scroll.pos = static_cast<std::int32_t>(static_cast<std::uint32_t>(scroll.pos) % 70000) - 100;
        screen = 1 + static_cast<std::int32_t>(static_cast<std::uint32_t>(screen) % 8000);
        lo = static_cast<std::int32_t>(static_cast<std::uint32_t>(lo) % 20000) - 10000;
        hi = lo + static_cast<std::int32_t>(static_cast<std::uint32_t>(hi) % 4000);
    }
    if (mode & 2) dataSize %= 10000;

    CheckClick(x, width, dataSize);
    CheckZoom(graphWidth, clientWidth, scroll);
    CheckScroll(code, thumb, graphWidth, visible, scroll);
    CheckCentre(screen, lo, hi, offset, refLo, refHi);
    return 0;
}
