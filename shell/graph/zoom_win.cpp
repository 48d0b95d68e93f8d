// Zoom buttons and the horizontal scroll bar of the graph.
#include <windows.h>

#include "shell/graph/view_win.h"
#include "core/view/zoom_scroll.h"

namespace tw {

namespace {

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

void ApplyZoom(const ZoomResult& zoom, const WavePtr& wave) {
    SIZE size = GraphControlSize();
    SetWindowPos(GraphControl(), nullptr, 0, 0, zoom.width, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    DrawWaveformGraph(wave);
    Graph().scroll = zoom.scroll;
    ApplyScrollState();
    PresentGraph();
}

}  // namespace

void InitScrollState() {
    Graph().scroll = ScrollValues{0, kGraphStartWidth, static_cast<std::uint32_t>(kGraphStartWidth), 0};
    ApplyScrollState();
}

void ZoomIn() {
    WavePtr wave = CurrentWave();
    if (!wave) return;
    ZoomResult zoom = ZoomInResult(GraphControlSize().cx, MainClientWidth(), Graph().scroll);
    if (!zoom.changed) return;  // at the widest the graph can be
    ApplyZoom(zoom, wave);
}

void ZoomOut() {
    WavePtr wave = CurrentWave();
    if (!wave) return;
    ApplyZoom(ZoomOutResult(GraphControlSize().cx, MainClientWidth(), Graph().scroll), wave);
}

void HandleGraphScroll(int code, int thumb, HWND scrollBar) {
    // Only the graph's own bar scrolls the graph.
    if (scrollBar != GraphScrollBar()) return;
    RECT outer{};
    GetWindowRect(Frame(), &outer);
    const int visible = (outer.right - outer.left) - 10;
    ScrollResult r = ApplyScrollCode(code, static_cast<std::uint16_t>(thumb), GraphControlSize().cx, visible, Graph().scroll);
    if (r.action != ScrollAction::Move) return;
    if (r.updateBar) ApplyScrollState();
    SetWindowPos(GraphControl(), nullptr, -Graph().scroll.pos, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    PresentGraph();  // the control paints what moving it uncovered
}

}  // namespace tw
