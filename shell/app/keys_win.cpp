// The main window's keys, wherever its focus is: each is the command of a
// button or menu item. A box being typed in keeps the keys it needs for its
// text; Tab moves through the controls by hand, since IsDialogMessage on a
// window that is no dialog would swallow Enter and Esc.
#include <windows.h>

#include <vector>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/play_win.h"

namespace tw {

namespace {

// The boxes and buttons, visited in the order they were made in. The graph
// shows no focus, so Tab passes it by; a click gives it the keys.
const int kTabStops[] = {kIdCuttingMode, kIdPath,    kIdThreshold, kIdPrefix,     kIdDigits,  kIdAutoCut,
                         kIdSave,        kIdZoomIn,  kIdZoomOut,   kIdRedraw,     kIdPauseMode, kIdPauseLength,
                         kIdLongest,     kIdShortest, kIdPieceCount, kIdMargin, kIdReplace, kIdFolderPerRecording, kIdMp3Pieces, kIdPieceList};

bool ClassIs(HWND window, const char* name) {
    char cls[32] = {0};
    GetClassNameA(window, cls, sizeof cls);
    return lstrcmpiA(cls, name) == 0;
}

bool Held(int key) { return GetKeyState(key) < 0; }

// The main window's graph and workers, found from its handle.
GraphState& GraphOf(HWND main) { return MainWindow::From(main)->graph; }

void Command(HWND main, int id) { SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

// As the bar sends them, its closing SB_ENDSCROLL included: a step that
// reaches an end only sets the position, and the end scroll moves the graph there.
void Scroll(HWND main, int code, int times = 1) {
    const LPARAM bar = reinterpret_cast<LPARAM>(GetDlgItem(main, kIdScrollBar));
    for (int i = 0; i < times; ++i) SendMessageA(main, WM_HSCROLL, MAKEWPARAM(code, 0), bar);
    SendMessageA(main, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), bar);
}

// The next (or previous) control that takes Tab, after `from`, round the end.
void MoveFocus(HWND main, HWND from, bool back) {
    std::vector<HWND> stops;
    for (HWND c = GetWindow(main, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const LONG style = GetWindowLongA(c, GWL_STYLE);
        if ((style & WS_TABSTOP) && IsWindowVisible(c) && IsWindowEnabled(c)) stops.push_back(c);
    }
    if (stops.empty()) return;
    std::size_t at = stops.size();
    for (std::size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == from) at = i;
    std::size_t next;
    if (at == stops.size()) next = back ? stops.size() - 1 : 0;
    else next = back ? (at + stops.size() - 1) % stops.size() : (at + 1) % stops.size();
    // From now on the focus is shown, as after any key in a dialog.
    SendMessageA(main, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    SetFocus(stops[next]);
    if (ClassIs(stops[next], "Edit")) SendMessageA(stops[next], EM_SETSEL, 0, -1);
}

void PlayOrStop(HWND main) {
    if (PlaybackActive(MainWindow::From(main)->workers.play)) {
        Command(main, kIdMenuStop);
        return;
    }
    // In the piece list: the piece selected there.
    if (GetFocus() == GetDlgItem(main, kIdPieceList)) {
        Command(main, kIdMenuPlayListPiece);
        return;
    }
    GraphState& graph = GraphOf(main);
    const int line = PlayLineColumn(graph);
    if (line != kNoPlayLine) graph.clickColumn = line;
    Command(main, kIdMenuPlayPiece);
}

// Keys every control passes on, boxes too.
bool WindowKey(HWND main, HWND focus, WPARAM key, bool repeat) {
    const bool ctrl = Held(VK_CONTROL);
    if (key == VK_TAB && !ctrl) {
        MoveFocus(main, focus, Held(VK_SHIFT));
        return true;
    }
    if (key == VK_ESCAPE && GetCapture() == GraphOf(main).control) {
        ReleaseCapture();  // a drag given up: the cut stays where it was
        return true;
    }
    if (repeat) return key == VK_F1 || (ctrl && (key == 'O' || key == 'S'));
    if (key == VK_F1) {
        Command(main, kIdMenuGuide);
        return true;
    }
    if (ctrl && key == 'O') {
        Command(main, kIdMenuOpen);
        return true;
    }
    if (ctrl && key == 'S') {
        Command(main, kIdMenuSaveCuts);
        return true;
    }
    return false;
}

// Keys of the graph and its commands, for any control that is not a box.
bool GraphKey(HWND main, HWND focus, WPARAM key, bool repeat) {
    const bool ctrl = Held(VK_CONTROL);
    switch (key) {
        case VK_SPACE:
            if (!repeat) PlayOrStop(main);  // held down it would start and stop by turns
            return true;
        case VK_DELETE: Command(main, kIdMenuDeleteCut); return true;
        case 'Z':
            if (!ctrl) return false;
            Command(main, kIdMenuUndo);
            return true;
        case VK_ADD:
        case VK_OEM_PLUS: ZoomIn(GraphOf(main), true); return true;
        case VK_SUBTRACT:
        case VK_OEM_MINUS: ZoomOut(GraphOf(main), true); return true;
        case VK_LEFT: Scroll(main, SB_LINELEFT); return true;
        case VK_RIGHT: Scroll(main, SB_LINERIGHT); return true;
        case VK_HOME: Scroll(main, SB_LEFT); return true;
        case VK_END: Scroll(main, SB_RIGHT); return true;
        case VK_RETURN:
            // Space plays, so Enter presses the button Tab came to.
            if (focus == main || !ClassIs(focus, "Button")) return false;
            if (!repeat) SendMessageA(focus, BM_CLICK, 0, 0);
            return true;
        default: return false;
    }
}

// One step per notch; a fine wheel's small turns add up to one.
bool Wheel(HWND main, const MSG& msg) {
    GraphState& graph = GraphOf(main);
    int& turned = graph.wheelTurned;
    turned += static_cast<short>(HIWORD(msg.wParam));
    const int notches = turned / WHEEL_DELTA;
    turned %= WHEEL_DELTA;
    if (notches == 0) return true;
    const int steps = notches < 0 ? -notches : notches;
    if (msg.message == WM_MOUSEHWHEEL) {
        Scroll(main, notches > 0 ? SB_LINERIGHT : SB_LINELEFT, steps * 3);
        return true;
    }
    if (LOWORD(msg.wParam) & MK_CONTROL) {
        for (int i = 0; i < steps; ++i) notches > 0 ? ZoomIn(graph, true) : ZoomOut(graph, true);
        return true;
    }
    UINT lines = 3;
    SystemParametersInfoA(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == 0 || lines > 100) lines = 3;  // none, or a page a notch
    // Turned away from the user: back towards the start.
    Scroll(main, notches > 0 ? SB_LINELEFT : SB_LINERIGHT, steps * static_cast<int>(lines));
    return true;
}

}  // namespace

void MakeTabStops(HWND main) {
    for (int id : kTabStops) {
        HWND c = GetDlgItem(main, id);
        SetWindowLongA(c, GWL_STYLE, GetWindowLongA(c, GWL_STYLE) | WS_TABSTOP);
    }
}

bool HandleShellKey(const MSG& msg) {
    HWND main = TheShell().main.handle;
    if (!main || !IsWindow(main) || !IsWindowEnabled(main)) return false;  // a modal window has the keys
    if (msg.hwnd != main && !IsChild(main, msg.hwnd)) return false;
    if (msg.message == WM_MOUSEWHEEL || msg.message == WM_MOUSEHWHEEL) return Wheel(main, msg);
    if (msg.message != WM_KEYDOWN) return false;
    const bool repeat = (msg.lParam & (1L << 30)) != 0;
    if (WindowKey(main, msg.hwnd, msg.wParam, repeat)) return true;
    if (ClassIs(msg.hwnd, "Edit")) {
        // The box keeps every other key for its text; Ctrl+A selects it all.
        if (msg.wParam != 'A' || !Held(VK_CONTROL)) return false;
        SendMessageA(msg.hwnd, EM_SETSEL, 0, -1);
        return true;
    }
    return GraphKey(main, msg.hwnd, msg.wParam, repeat);
}

}  // namespace tw
