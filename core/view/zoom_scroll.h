// Zoom widths and scroll positions of the graph control.
#pragma once

#include <cstdint>

namespace tw {

// The graph's widths, at which automatic cutting's 10-column spacing is
// measured: the first, and the widest (the widest window the system makes:
// wider sizes are cut to this, and the scroll range would then not match the
// control; it also keeps the bitmap creatable and Wg - Wm within the 16-bit
// thumb position).
constexpr std::int32_t kGraphStartWidth = 570;
constexpr std::int32_t kGraphMaxWidth = 32767;

struct ScrollValues {
    std::int32_t min = 0;
    std::int32_t max = 570;
    std::uint32_t page = 570;
    std::int32_t pos = 0;
};

struct ZoomResult {
    bool changed;          // false: nothing to do (already at the cap)
    std::int32_t width;    // new control width
    ScrollValues scroll;   // new scroll record
};

// clientWidth = Wm.
ZoomResult ZoomInResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current);
// Zooming out stops at the client width once the graph would be no wider
// than startWidth (the graph's width before any zoom at this window size).
ZoomResult ZoomOutResult(std::int32_t graphWidth, std::int32_t clientWidth, const ScrollValues& current,
                         std::int32_t startWidth = kGraphStartWidth);

// The scroll position after a zoom from oldWidth to newWidth that keeps the
// graph column under `anchor` (pixels from the left of the part shown) where
// it was, within 0 .. newWidth - visible so no strip is ever hidden.
std::int32_t AnchoredScrollPos(std::int32_t oldWidth, std::int32_t newWidth, std::int32_t oldPos, std::int32_t anchor,
                               std::int32_t visible);

enum class ScrollAction {
    None,        // code not handled: nothing at all
    StopAtOnce,  // position set to a bound; bar not updated, nothing moved
    Move,        // bar updated (codes 0..4), control moved and painted
};

struct ScrollResult {
    ScrollAction action;
    bool updateBar;     // pass the record to the bar
};

// Applies one WM_HSCROLL code to state.pos. graphWidth = Wg, visible = V.
ScrollResult ApplyScrollCode(int code, std::uint16_t thumb, std::int32_t graphWidth,
                             std::int32_t visible, ScrollValues& state);

}  // namespace tw
