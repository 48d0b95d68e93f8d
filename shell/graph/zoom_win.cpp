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
HWND Frame() { return GetParent(GraphControl()); }

void ApplyScrollState() {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    si.nMin = Graph().scroll.min;
    si.nMax = Graph().scroll.max;
    si.nPage = Graph().scroll.page;
    si.nPos = Graph().scroll.pos;
    si.nTrackPos = 0;
    SetScrollInfo(GraphScrollBar(), SB_CTL, &si, TRUE);
}

int MainClientWidth() {
    RECT rc{};
    GetClientRect(Frame(), &rc);
    return rc.right - rc.left;
}

// The graph's left edge in the main window (0 or less once scrolled; 3 at home).
int GraphLeft() {
    RECT r{};
    GetWindowRect(GraphControl(), &r);
    MapWindowPoints(nullptr, Frame(), reinterpret_cast<POINT*>(&r), 2);
    return r.left;
}

// Where a zoom is anchored: when asked for (the wheel, a key) the pointer over
// the part of the graph shown, or else the last click there; otherwise, and
// for the buttons, the left edge of that part.
int ZoomAnchor(bool atPointer) {
    if (!atPointer) return 0;
    POINT at{};
    GetCursorPos(&at);
    ScreenToClient(Frame(), &at);
    RECT graph{};
    GetWindowRect(GraphControl(), &graph);
    MapWindowPoints(nullptr, Frame(), reinterpret_cast<POINT*>(&graph), 2);
    const LONG shownLeft = std::max<LONG>(graph.left, 0), shownRight = std::min<LONG>(graph.right, MainClientWidth());
    if (at.x >= shownLeft && at.x < shownRight && at.y >= graph.top && at.y < graph.bottom) return at.x;
    // Else the last click, while it is in the part shown.
    const LONG click = graph.left + Graph().clickColumn;
    return click >= shownLeft && click < shownRight ? click : 0;
}

// The graph and its time axis at x, `width` wide.
void PlaceGraph(int x, int width) {
    GraphState& g = Graph();
    SetWindowPos(GraphControl(), nullptr, x, 0, width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (g.axis) SetWindowPos(g.axis, nullptr, x, g.height + 1, width, kTimeAxisHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The new width drawn, and the graph placed so the anchored column stays
// where it was and no strip at either end is out of reach.
void ApplyZoom(const ZoomResult& zoom, const WavePtr& wave, bool atPointer) {
    const SIZE size = GraphControlSize();
    const int oldPos = std::max(0, -GraphLeft());
    const int pos = AnchoredScrollPos(size.cx, zoom.width, oldPos, ZoomAnchor(atPointer), MainClientWidth());
    PlaceGraph(pos == 0 ? kGraphHomeX : -pos, zoom.width);
    DrawWaveformGraph(wave);
    Graph().scroll = zoom.scroll;
    Graph().scroll.pos = pos;
    ApplyScrollState();
    PresentGraph();
}

}  // namespace

void InitScrollState() {
    const int start = Graph().startWidth;
    Graph().scroll = ScrollValues{0, start, static_cast<std::uint32_t>(start), 0};
    ApplyScrollState();
}

void FitGraphToWindow(int startWidth, int height) {
    GraphState& g = Graph();
    const SIZE size = GraphControlSize();
    const bool zoomed = size.cx > g.startWidth;
    const int width = zoomed && size.cx > startWidth ? size.cx : startWidth;
    if (startWidth == g.startWidth && height == g.height && width == size.cx) return;
    g.startWidth = startWidth;
    g.height = height;
    const int client = MainClientWidth();
    const int pos = std::min(std::max(0, -GraphLeft()), std::max(0, width - client));
    PlaceGraph(pos == 0 ? kGraphHomeX : -pos, width);
    if (width > client)
        g.scroll = ScrollValues{0, width - client, 7, pos};
    else
        g.scroll = ScrollValues{0, startWidth, static_cast<std::uint32_t>(startWidth), 0};
    ApplyScrollState();
    // One drawing once the size has settled, not one per step of a drag.
    SetTimer(Frame(), kGraphRedrawTimer, 50, nullptr);
}

void RedrawAfterResize() {
    KillTimer(Frame(), kGraphRedrawTimer);
    if (WavePtr wave = CurrentWave()) StartGraphThread(wave);
}

void ZoomIn(bool atPointer) {
    WavePtr wave = CurrentWave();
    if (!wave) return;
    ZoomResult zoom = ZoomInResult(GraphControlSize().cx, MainClientWidth(), Graph().scroll);
    if (!zoom.changed) return;  // at the widest the graph can be
    ApplyZoom(zoom, wave, atPointer);
}

void ZoomOut(bool atPointer) {
    WavePtr wave = CurrentWave();
    if (!wave) return;
    ApplyZoom(ZoomOutResult(GraphControlSize().cx, MainClientWidth(), Graph().scroll, Graph().startWidth), wave, atPointer);
}

void ShowWholeRecording() {
    // Zoomed out as far as it goes (the window's width) already shows it all.
    if (GraphControlSize().cx <= MainClientWidth() && GraphLeft() >= 0) return;
    PlaceGraph(kGraphHomeX, Graph().startWidth);
    InitScrollState();
}

void ScrollGraphToValue(std::uint64_t value) {
    const WavePtr wave = CurrentWave();
    if (!wave) return;
    const int width = GraphControlSize().cx;
    const int column = std::max(0, BoundaryColumn(value, width, wave->scaleSize()) + 1);
    Graph().clickColumn = column;
    const int client = MainClientWidth();
    if (width <= client) return;  // all of it shows
    // A little of what comes before shows too.
    const int pos = std::min(std::max(0, column - client / 10), width - client);
    Graph().scroll.pos = pos;
    ApplyScrollState();
    PlaceGraph(pos == 0 ? kGraphHomeX : -pos, width);
    PresentGraph();
}

void HandleGraphScroll(int code, int thumb, HWND scrollBar) {
    // Only the graph's own bar scrolls the graph.
    if (scrollBar != GraphScrollBar()) return;
    // The graph's home width at this size: the part the bounds keep in view.
    const int visible = Graph().startWidth;
    ScrollResult r = ApplyScrollCode(code, static_cast<std::uint16_t>(thumb), GraphControlSize().cx, visible, Graph().scroll);
    if (r.action != ScrollAction::Move) return;
    if (r.updateBar) ApplyScrollState();
    SetWindowPos(GraphControl(), nullptr, -Graph().scroll.pos, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    if (Graph().axis) SetWindowPos(Graph().axis, nullptr, -Graph().scroll.pos, Graph().height + 1, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    PresentGraph();  // the control paints what moving it uncovered
}

}  // namespace tw
