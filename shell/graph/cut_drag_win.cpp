// The graph control's mouse: which column was clicked last, and dragging a
// cut line to another place in cutting mode. A press on a line is held back
// until the pointer moves sideways (a drag) or is released where it was (the
// plain click it always was, placing a cut there).
#include <windows.h>

#include <cstdlib>

#include "core/cut/cut_edit.h"
#include "core/cut/hand_cut.h"
#include "core/view/time_axis.h"
#include "platform/win/text_win.h"
#include "shell/graph/view_win.h"
#include "core/wave/wave_format.h"

namespace tw {

namespace {

POINT PointOf(LPARAM lParam) {
    // Signed: with the capture held the pointer may be left of the control.
    return {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

int Clamp(int x, int width) { return x < 0 ? 0 : (x >= width ? width - 1 : x); }

// The position a click at column x would place: where the cut goes.
bool DropPosition(GraphState& g, const WaveData& wave, int x, double* position) {
    const int width = GraphControlSize(g).cx;
    return CutPositionForClick(Clamp(x, width), width, wave.scaleSize(), position);
}

// The time under the pointer, as the status line shows it.
void ShowTime(GraphState& g, const WaveData& wave, double position) {
    const double perSecond = static_cast<double>(wave.layout.channels) * wave.layout.sampleRate;
    if (perSecond > 0 && position >= 0 && g.pointerText)
        SetWindowTextA(g.pointerText, AnsiFromUtf8(TimeText(position / perSecond)).c_str());
}

bool PressOnLine(GraphState& g, HWND control, WPARAM wParam, LPARAM lParam) {
    const WavePtr wave = CurrentWave(*g.workers);
    if (!wave || !g.cutting || !g.cutting()) return false;
    const POINT at = PointOf(lParam);
    double from;
    if (!NearestCutLine(Cuts(g).Snapshot(), at.x, GraphControlSize(g).cx, wave->scaleSize(), kCutLineReach, &from))
        return false;
    CutDrag& drag = g.drag;
    drag = CutDrag{};
    drag.pressed = true;
    drag.from = from;
    drag.recording = wave->recording;
    drag.at = at;
    drag.keys = wParam;
    drag.point = lParam;
    SetCapture(control);
    return true;
}

void Follow(GraphState& g, LPARAM lParam) {
    CutDrag& drag = g.drag;
    const POINT at = PointOf(lParam);
    if (!drag.moving && std::abs(at.x - drag.at.x) <= GetSystemMetrics(SM_CXDRAG)) return;
    const WavePtr wave = CurrentWave(*g.workers);
    double position;
    if (!wave || wave->recording != drag.recording || !DropPosition(g, *wave, at.x, &position)) return;
    drag.moving = true;
    SetDragLine(g, Clamp(at.x, GraphControlSize(g).cx));
    ShowTime(g, *wave, position);
}

void Release(GraphState& g, HWND control, LPARAM lParam) {
    const CutDrag drag = g.drag;
    g.drag = CutDrag{};  // before the capture goes, so losing it cancels nothing
    ReleaseCapture();
    SetDragLine(g, kNoPlayLine);
    if (!drag.moving) {
        // The press as the control would have had it: its click places a cut.
        CallWindowProcA(g.staticProc, control, WM_LBUTTONDOWN, drag.keys, drag.point);
        return;
    }
    const WavePtr wave = CurrentWave(*g.workers);
    double to;
    if (!wave || wave->recording != drag.recording || !DropPosition(g, *wave, PointOf(lParam).x, &to)) return;
    if (CutEdits(g).Move(drag.from, to)) RedrawGraphForCuts(g);
}

void Cancel(GraphState& g) {
    g.drag = CutDrag{};
    SetDragLine(g, kNoPlayLine);
}

}  // namespace

bool HandleGraphMouse(GraphState& g, HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
            // The graph takes the keys from a box typed in before.
            if (GetFocus() != control) SetFocus(control);
            if (message == WM_RBUTTONDOWN) return false;
            g.clickColumn = PointOf(lParam).x;
            return message == WM_LBUTTONDOWN && PressOnLine(g, control, wParam, lParam);
        case WM_MOUSEMOVE:
            if (!g.drag.pressed) return false;
            Follow(g, lParam);
            return true;
        case WM_LBUTTONUP:
            if (!g.drag.pressed) return false;
            Release(g, control, lParam);
            return true;
        case WM_CAPTURECHANGED:
            if (g.drag.pressed) Cancel(g);
            return false;
        default:
            return false;
    }
}

}  // namespace tw
