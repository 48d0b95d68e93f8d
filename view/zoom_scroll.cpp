#include "view/zoom_scroll.h"

#include <cmath>

namespace tw {

ZoomResult ZoomInResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current) {
    // Wg - Wm must stay within the 16-bit thumb position.
    const std::int64_t cap = static_cast<std::int64_t>(clientWidth) + 32767;
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

ZoomResult ZoomOutResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current) {
    ZoomResult r{true, 0, current};
    double narrower = graphWidth / 1.5;
    if (narrower <= kGraphStartWidth) {
        r.width = clientWidth;
        r.scroll.max = clientWidth;
        r.scroll.page = static_cast<std::uint32_t>(clientWidth);
    } else {
        r.width = static_cast<std::int32_t>(std::floor(narrower));
        r.scroll.max = static_cast<std::int32_t>(std::floor(narrower - clientWidth));
        r.scroll.page = static_cast<std::uint32_t>(graphWidth);
    }
    r.scroll.pos = 0;
    return r;
}

ScrollResult ApplyScrollCode(int code, std::uint16_t thumb, std::int32_t graphWidth,
                             std::int32_t visible, ScrollValues& state) {
    const std::int64_t upper = static_cast<std::int64_t>(graphWidth) - visible;
    std::int64_t pos = state.pos;
    switch (code) {
        case 4:  // SB_THUMBPOSITION
            state.pos = static_cast<std::int16_t>(thumb);
            return {ScrollAction::Move, true, 1};
        case 0:  // SB_LINELEFT
        case 2:  // SB_PAGELEFT
            pos -= 5;
            if (pos <= 0) {
                state.pos = 0;
                return {ScrollAction::StopAtOnce, false, 0};
            }
            state.pos = static_cast<std::int32_t>(pos);
            return {ScrollAction::Move, true, 1};
        case 1:  // SB_LINERIGHT
        case 3:  // SB_PAGERIGHT
            pos += 5;
            if (pos >= upper) {
                state.pos = static_cast<std::int32_t>(upper);
                return {ScrollAction::StopAtOnce, false, 0};
            }
            state.pos = static_cast<std::int32_t>(pos);
            return {ScrollAction::Move, true, 1};
        case 8:  // SB_ENDSCROLL
            return {ScrollAction::Move, false, 2};
        default:
            return {ScrollAction::Move, false, 1};
    }
}

bool CenterOnScreenCoord(std::int32_t screen, std::int32_t lo, std::int32_t hi, std::int32_t offset,
                         std::int32_t* out) {
    if (screen == 0) return false;
    float half = static_cast<float>(screen) / 2.0f;
    float mid = static_cast<float>(lo + hi) / 2.0f;
    float halfWidth = mid - static_cast<float>(lo);
    float v = half - halfWidth;
    std::int32_t x = static_cast<std::int32_t>(v) + offset;
    if (x < 0) {
        x = 0;
    } else if (x > screen) {
        x = screen - (hi - lo);
    }
    *out = x;
    return true;
}

std::int32_t CenterOnOwnerCoord(std::int32_t refLo, std::int32_t refHi, std::int32_t lo, std::int32_t hi) {
    float refMid = static_cast<float>(refLo + refHi) / 2.0f;
    float mid = static_cast<float>(lo + hi) / 2.0f;
    float halfWidth = mid - static_cast<float>(lo);
    float v = refMid - halfWidth;
    return static_cast<std::int32_t>(v);
}

}  // namespace tw
