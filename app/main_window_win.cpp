// The main window: its 36 controls, command routing, drops and painting.
#include <windows.h>
#include <commctrl.h>

#include "app/child_control_win.h"
#include "app/main_window_ids.h"
#include "app/shell_win.h"
#include "view/view_win.h"
#include "wave/play_win.h"
#include "wave/wave_win.h"

namespace tw {

namespace {

const ChildControl kControls[] = {
    {kIdGraph, "STATIC", "", 3, 0, 570, 165, SS_BLACKRECT | SS_NOTIFY, 0},
    {kIdCuttingMode, "BUTTON", "カッティングモード", 410, 218, 155, 35, BS_AUTOCHECKBOX | BS_PUSHLIKE | BS_CENTER | BS_VCENTER, WS_EX_STATICEDGE},
    {kIdFileGroup, "BUTTON", "WAVファイル情報", 5, 349, 565, 100, BS_GROUPBOX, 0},
    {kIdPath, "EDIT", "", 206, 370, 355, 18, ES_READONLY | ES_AUTOHSCROLL, WS_EX_STATICEDGE},
    {kIdChannelsLabel, "STATIC", "チャンネル数：", 15, 399, 77, 12, SS_LEFT, 0},
    {kIdChannels, "STATIC", "", 91, 399, 57, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdSampleRateLabel, "STATIC", "サンプリングレート：", 163, 399, 104, 12, SS_LEFT, 0},
    {kIdSampleRate, "STATIC", "", 268, 399, 91, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdBitsLabel, "STATIC", "サンプリングビット：", 377, 399, 104, 12, SS_LEFT, 0},
    {kIdBits, "STATIC", "", 475, 399, 65, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdPeakLabel, "STATIC", "ピーク（最大音量）：", 15, 424, 103, 12, SS_LEFT, 0},
    {kIdPeak, "STATIC", "", 117, 424, 40, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdPathLabel, "STATIC", "ドラッグアンドドロップされたファイル：", 15, 373, 189, 12, SS_LEFT, 0},
    {kIdNadirLabel, "STATIC", "ネイダー（最小音量）：", 166, 424, 115, 12, SS_LEFT, 0},
    {kIdNadir, "STATIC", "", 280, 424, 40, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdThresholdLabel, "STATIC", "無音とみなす音量のしきい値：", 9, 298, 157, 12, SS_LEFT, 0},
    {kIdThreshold, "EDIT", "", 166, 294, 70, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdAutoCutGroup, "BUTTON", "オートカッティング", 5, 281, 240, 65, BS_GROUPBOX, 0},
    {kIdOutputGroup, "BUTTON", "出力設定", 249, 281, 320, 65, BS_GROUPBOX, 0},
    {kIdPrefix, "EDIT", "", 347, 293, 215, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdDigitsLabel, "STATIC", "桁の連番で、出力する", 294, 322, 118, 12, SS_LEFT, 0},
    {kIdDigits, "EDIT", "3", 258, 318, 30, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {kIdPrefixLabel, "STATIC", "ファイルの先頭：", 257, 299, 88, 12, SS_LEFT, 0},
    {kIdSmallestPositiveLabel, "STATIC", "非負最小：", 333, 424, 58, 12, SS_LEFT, 0},
    {kIdSmallestPositive, "STATIC", "", 390, 424, 40, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdProgress, "msctls_progress32", "", 197, 259, 370, 21, PBS_SMOOTH, WS_EX_STATICEDGE},
    {kIdStatus, "STATIC", "", 5, 259, 190, 21, SS_CENTER, WS_EX_STATICEDGE},
    {kIdAverageLabel, "STATIC", "平均値：", 439, 424, 45, 12, SS_LEFT, 0},
    {kIdAverage, "STATIC", "", 485, 424, 75, 14, SS_LEFT, WS_EX_STATICEDGE},
    {kIdAutoCut, "BUTTON", "オートカッティングを実行", 51, 317, 146, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdSave, "BUTTON", "カットを保存", 253, 218, 155, 35, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdScrollBar, "SCROLLBAR", "", 4, 168, 565, 17, SBS_HORZ, 0},
    {kIdZoomIn, "BUTTON", "+", 538, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdZoomOut, "BUTTON", "-", 509, 189, 25, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdRedraw, "BUTTON", "グラフの再描画", 382, 189, 122, 25, BS_PUSHBUTTON, WS_EX_STATICEDGE},
    {kIdRedrawLabel, "STATIC", "グラフが消えたら押してください→", 204, 195, 174, 12, SS_LEFT, 0},
};

// Pause cutting's own controls, in the free space just above the auto-cutting
// group so both are seen together; the table above stays as it always was.
const ChildControl kPauseControls[] = {
    {kIdPauseMode, "BUTTON", "間で切る", 9, 226, 84, 20, BS_AUTOCHECKBOX, 0},
    {kIdPauseLabel, "STATIC", "最短の間 (ms)：", 98, 230, 84, 12, SS_LEFT, 0},
    {kIdPauseLength, "EDIT", "400", 182, 226, 54, 21, ES_CENTER | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
};

void InitMainWindow(HWND window) {
    CenterWindowOnScreen(window, 0, 0);
    std::string title = std::string(kTitlePrefix) + kVersionText;
    SetWindowTextA(window, title.c_str());
    CutEdits().Reset();
    InitScrollState();
}

void OnCreate(HWND window) {
    MainWindowHandle = window;
    SetMenu(window, MenuBar);
    for (const ChildControl& c : kControls) CreateChildControl(window, c, MainWindowFont);
    for (const ChildControl& c : kPauseControls) CreateChildControl(window, c, MainWindowFont);
    InitMainWindow(window);
}

void OnCommand(HWND window, int id, int code) {
    if (id == kIdMenuVersion) {
        RunModalWindow(MainWindowHandle, "Version");
        return;
    }
    if (code != 0) return;
    switch (id) {
        case kIdGraph: HandleGraphClick(); break;
        case kIdAutoCut:
            if (SendDlgItemMessageA(window, kIdPauseMode, BM_GETCHECK, 0, 0) == BST_CHECKED)
                RunPauseCutting();
            else
                RunAutoCutting();
            break;
        case kIdSave: StartSaveCuts(); break;
        case kIdZoomIn: ZoomIn(); break;
        case kIdZoomOut: ZoomOut(); break;
        case kIdRedraw: PresentGraph(); break;
        case kIdMenuPlayPiece: PlayPieceAtMenu(); break;
        case kIdMenuPlayFromHere: PlayFromMenu(); break;
        case kIdMenuStop: StopPlayback(); break;
        case kIdMenuDeleteCut: DeleteCutAtMenu(); break;
        case kIdMenuDeleteAllCuts: DeleteAllCuts(); break;
        case kIdMenuUndo: UndoCutChange(); break;
        default: break;
    }
}

void OnPaint(HWND window) {
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    // The graph control would otherwise fill itself after this copy and hide
    // the picture until the redraw button is pressed.
    UpdateWindow(GetDlgItem(window, kIdGraph));
    PresentGraph();
    EndPaint(window, &ps);
}

void OnContextMenu(HWND window, HWND from, LPARAM point) {
    if (from == GetDlgItem(window, kIdGraph)) {
        ShowGraphMenu(point);
    } else {
        DefWindowProcA(window, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(from), point);
    }
}

void OnDrop(HDROP drop) {
    StopPlayback();  // the samples being heard are about to go
    StartWaveLoad(drop);
}

void OnDestroy(HWND window) {
    StopPlayback();
    ReleaseShellResources();
    SetMenu(window, nullptr);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: OnCreate(window); return 0;
        case WM_COMMAND: OnCommand(window, LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_HSCROLL:
            HandleGraphScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_DROPFILES: OnDrop(reinterpret_cast<HDROP>(wParam)); return 0;
        case WM_CONTEXTMENU: OnContextMenu(window, reinterpret_cast<HWND>(wParam), lParam); return 0;
        case WM_PAINT: OnPaint(window); return 0;
        case kMsgPauseCutsReady: FinishPauseCutting(lParam); return 0;
        case WM_CLOSE: DestroyWindow(window); return 0;
        case WM_DESTROY: OnDestroy(window); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace tw
