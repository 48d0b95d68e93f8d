// Zoom buttons and the horizontal scroll bar of the graph.
#include <windows.h>

#include <algorithm>

#include "shell/graph/view_win.h"
#include "core/view/piece_marks.h"
#include "core/view/zoom_scroll.h"

namespace tw {

namespace {

// Where the graph control sits before any scrolling.
constexpr int kGraphHomeX = 3;

// The main window, which the graph control scrolls inside.
HWND Frame(GraphState& g) { return GetParent(g.control); }

void ApplyScrollState(GraphState& g) {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    si.nMin = g.scroll.min;
    si.nMax = g.scroll.max;
    si.nPage = g.scroll.page;
    si.nPos = g.scroll.pos;
    si.nTrackPos = 0;
    SetScrollInfo(g.scrollBar, SB_CTL, &si, TRUE);
}

int MainClientWidth(GraphState& g) {
    RECT rc{};
    GetClientRect(Frame(g), &rc);
    return rc.right - rc.left;
}

// The graph's left edge in the main window (0 or less once scrolled; 3 at home).
int GraphLeft(GraphState& g) {
    RECT r{};
    GetWindowRect(g.control, &r);
    MapWindowPoints(nullptr, Frame(g), reinterpret_cast<POINT*>(&r), 2);
    return r.left;
}

// Where a zoom is anchored: when asked for (the wheel, a key) the pointer over
// the part of the graph shown, or else the last click there; otherwise, and
// for the buttons, the left edge of that part.
int ZoomAnchor(GraphState& g, bool atPointer) {
    if (!atPointer) return 0;
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(Frame(g), &at);
    RECT graph{};
    GetWindowRect(g.control, &graph);
    MapWindowPoints(nullptr, Frame(g), reinterpret_cast<POINT*>(&graph), 2);
    const LONG shownLeft = std::max<LONG>(graph.left, 0), shownRight = std::min<LONG>(graph.right, MainClientWidth(g));
    if (at.x >= shownLeft && at.x < shownRight && at.y >= graph.top && at.y < graph.bottom) return at.x;
    // Else the last click, while it is in the part shown.
    const LONG click = graph.left + g.clickColumn;
    return click >= shownLeft && click < shownRight ? click : 0;
}

// The graph and its time axis at x, `width` wide.
void PlaceGraph(GraphState& g, int x, int width) {
    SetWindowPos(g.control, nullptr, x, 0, width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (g.axis) SetWindowPos(g.axis, nullptr, x, g.height + 1, width, kTimeAxisHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The new width drawn, and the graph placed so the anchored column stays
// where it was and no strip at either end is out of reach.
void ApplyZoom(GraphState& g, const ZoomResult& zoom, const WavePtr& wave, bool atPointer) {
    const SIZE size = GraphControlSize(g);
    const int oldPos = std::max(0, -GraphLeft(g));
    const int pos = AnchoredScrollPos(size.cx, zoom.width, oldPos, ZoomAnchor(g, atPointer), MainClientWidth(g));
    PlaceGraph(g, pos == 0 ? kGraphHomeX : -pos, zoom.width);
    DrawWaveformGraph(g, wave);
    g.scroll = zoom.scroll;
    g.scroll.pos = pos;
    ApplyScrollState(g);
    PresentGraph(g);
}

}  // namespace

void InitScrollState(GraphState& g) {
    const int start = g.startWidth;
    g.scroll = ScrollValues{0, start, static_cast<std::uint32_t>(start), 0};
    ApplyScrollState(g);
}

void FitGraphToWindow(GraphState& g, int startWidth, int height) {
    const SIZE size = GraphControlSize(g);
    const bool zoomed = size.cx > g.startWidth;
    const int width = zoomed && size.cx > startWidth ? size.cx : startWidth;
    if (startWidth == g.startWidth && height == g.height && width == size.cx) return;
    g.startWidth = startWidth;
    g.height = height;
    const int client = MainClientWidth(g);
    const int pos = std::min(std::max(0, -GraphLeft(g)), std::max(0, width - client));
    PlaceGraph(g, pos == 0 ? kGraphHomeX : -pos, width);
    if (width > client)
        g.scroll = ScrollValues{0, width - client, 7, pos};
    else
        g.scroll = ScrollValues{0, startWidth, static_cast<std::uint32_t>(startWidth), 0};
    ApplyScrollState(g);
    // One drawing once the size has settled, not one per step of a drag.
    SetTimer(Frame(g), kGraphRedrawTimer, 50, nullptr);
}

void RedrawAfterResize(GraphState& g) {
    KillTimer(Frame(g), kGraphRedrawTimer);
    if (WavePtr wave = CurrentWave(*g.workers)) StartGraphThread(g, wave);
}

void ZoomIn(GraphState& g, bool atPointer) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return;
    ZoomResult zoom = ZoomInResult(GraphControlSize(g).cx, MainClientWidth(g), g.scroll);
    if (!zoom.changed) return;  // at the widest the graph can be
    ApplyZoom(g, zoom, wave, atPointer);
}

void ZoomOut(GraphState& g, bool atPointer) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return;
    ApplyZoom(g, ZoomOutResult(GraphControlSize(g).cx, MainClientWidth(g), g.scroll, g.startWidth), wave, atPointer);
}

void ShowWholeRecording(GraphState& g) {
    // Zoomed out as far as it goes (the window's width) already shows it all.
    if (GraphControlSize(g).cx <= MainClientWidth(g) && GraphLeft(g) >= 0) return;
    PlaceGraph(g, kGraphHomeX, g.startWidth);
    InitScrollState(g);
}

void ScrollGraphToValue(GraphState& g, std::uint64_t value) {
    const WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return;
    const int width = GraphControlSize(g).cx;
    const int column = std::max(0, BoundaryColumn(value, width, wave->scaleSize()) + 1);
    g.clickColumn = column;
    const int client = MainClientWidth(g);
    if (width <= client) return;  // all of it shows
    // A little of what comes before shows too.
    const int pos = std::min(std::max(0, column - client / 10), width - client);
    g.scroll.pos = pos;
    ApplyScrollState(g);
    PlaceGraph(g, pos == 0 ? kGraphHomeX : -pos, width);
    PresentGraph(g);
}

void HandleGraphScroll(GraphState& g, int code, int thumb, HWND scrollBar) {
    // Only the graph's own bar scrolls the graph.
    if (scrollBar != g.scrollBar) return;
    // The graph's home width at this size: the part the bounds keep in view.
    const int visible = g.startWidth;
    ScrollResult r = ApplyScrollCode(code, static_cast<std::uint16_t>(thumb), GraphControlSize(g).cx, visible, g.scroll);
    if (r.action != ScrollAction::Move) return;
    if (r.updateBar) ApplyScrollState(g);
    SetWindowPos(g.control, nullptr, -g.scroll.pos, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    if (g.axis) SetWindowPos(g.axis, nullptr, -g.scroll.pos, g.height + 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PresentGraph(g);  // the control paints what moving it uncovered
}

}  // namespace tw
