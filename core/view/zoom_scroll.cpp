#include "core/view/zoom_scroll.h"

#include "core/view/saturate.h"

#include <cmath>
#include <cstdint>

namespace tw {

ZoomResult ZoomInResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current) {
    // The control cannot be wider than the system allows, and Wg - Wm must
    // stay within the 16-bit thumb position.
    std::int64_t cap = static_cast<std::int64_t>(clientWidth) + 32767;
    if (cap > kGraphMaxWidth) cap = kGraphMaxWidth;
    std::int64_t wider = static_cast<std::int64_t>(std::floor(1.5 * graphWidth));
    if (wider > cap) wider = cap;
    if (wider <= graphWidth) return {false, graphWidth, current};
    ZoomResult r{true, static_cast<std::int32_t>(wider), current};
    r.scroll.min = 0;
    r.scroll.max = static_cast<std::int32_t>(wider - clientWidth);
    r.scroll.page = 7;
    r.scroll.pos = 0;
    return r;
}

ZoomResult ZoomOutResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current,
                         std::int32_t startWidth) {
    ZoomResult r{true, 0, current};
    double narrower = graphWidth / 1.5;
    if (narrower <= startWidth) {
        r.width = clientWidth;
        r.scroll.max = clientWidth;
        r.scroll.page = static_cast<std::uint32_t>(clientWidth);
    } else {
        r.width = static_cast<std::int32_t>(std::floor(narrower));
        r.scroll.max = Saturate(static_cast<std::int64_t>(r.width) - clientWidth);
        r.scroll.page = static_cast<std::uint32_t>(graphWidth);
    }
    r.scroll.pos = 0;
    return r;
}

std::int32_t AnchoredScrollPos(std::int32_t oldWidth, std::int32_t newWidth, std::int32_t oldPos, std::int32_t anchor,
                               std::int32_t visible) {
    const std::int64_t upper = static_cast<std::int64_t>(newWidth) - visible;
    if (oldWidth <= 0 || upper <= 0) return 0;
    const double column = static_cast<double>(oldPos) + anchor;
    const double pos = std::floor(column * newWidth / oldWidth + 0.5) - anchor;
    if (pos <= 0) return 0;
    return pos >= static_cast<double>(upper) ? Saturate(upper) : static_cast<std::int32_t>(pos);
}

ScrollResult ApplyScrollCode(int code, std::uint16_t thumb, std::int32_t graphWidth,
                             std::int32_t visible, ScrollValues& state) {
    // Clamped so that the bound itself is a position the record can hold.
    const std::int64_t upper = Saturate(static_cast<std::int64_t>(graphWidth) - visible);
    std::int64_t pos = state.pos;
    switch (code) {
        case 4:  // SB_THUMBPOSITION
            state.pos = static_cast<std::int16_t>(thumb);
            return {ScrollAction::Move, true};
        case 0:  // SB_LINELEFT
        case 2:  // SB_PAGELEFT
            pos -= 5;
            if (pos <= 0) {
                state.pos = 0;
                return {ScrollAction::StopAtOnce, false};
            }
            state.pos = static_cast<std::int32_t>(pos);
            return {ScrollAction::Move, true};
        case 1:  // SB_LINERIGHT
        case 3:  // SB_PAGERIGHT
            pos += 5;
            if (pos >= upper) {
                state.pos = static_cast<std::int32_t>(upper);
                return {ScrollAction::StopAtOnce, false};
            }
            state.pos = static_cast<std::int32_t>(pos);
            return {ScrollAction::Move, true};
        case 6:  // SB_LEFT (Home)
            state.pos = 0;
            return {ScrollAction::Move, true};
        case 7:  // SB_RIGHT (End); a graph no wider than the window stays at 0
            state.pos = static_cast<std::int32_t>(upper > 0 ? upper : 0);
            return {ScrollAction::Move, true};
        default:  // SB_ENDSCROLL, tracking
            return {ScrollAction::Move, false};
    }
}

}  // namespace tw
