// The start-up notice with its five-second countdown.
#include <windows.h>

#include "shell/app/child_control_win.h"
#include "shell/app/shell_win.h"
#include "core/support/number_text.h"

namespace tw {

namespace {

enum AdvertisementControlId : int {
    kAdCountdown = 1009,
    kAdOk = 1029,
};
constexpr UINT_PTR kCountdownTimer = 0;


const ChildControl kAdControls[] = {
    {1004, "STATIC", "ソフトウェアのアイコンを募集中！", 17, 13, 175, 12, 0, 0},
    {1005, "STATIC", "「*.ico」形式で、作成してくださる方を募集しております。", 17, 36, 281, 12, 0, 0},
    {1006, "STATIC", "詳しくは、付属のテキストを御覧ください。", 17, 61, 211, 12, 0, 0},
    {1007, "STATIC", "この広告は、アイコンが集まり次第非表示にします。", 17, 86, 267, 12, 0, 0},
    {1008, "STATIC", "残り", 3, 136, 30, 12, SS_CENTER, 0},
    {1009, "STATIC", "", 38, 136, 50, 13, SS_CENTER, WS_EX_STATICEDGE},
    {1010, "STATIC", "秒", 92, 136, 20, 12, 0, 0},
    {1029, "BUTTON", "OK", 182, 112, 123, 35, WS_DISABLED | BS_PUSHBUTTON, WS_EX_STATICEDGE},
};

void OnInit(HWND window) {
    TheShell().advertisement = window;
    for (const ChildControl& c : kAdControls) CreateChildControl(window, c, TheShell().advertisementFont);
    CenterWindowOnScreen(window, 0, 0);
    SetWindowTextA(window, "広告");
    TheShell().advertisementCountdown = 5;
    SetTimer(window, kCountdownTimer, 1000, nullptr);
}

void OnTimer(HWND window, UINT_PTR id) {
    if (id != kCountdownTimer) return;
    if (TheShell().advertisementCountdown == 0) {
        KillTimer(window, kCountdownTimer);
        EnableWindow(GetDlgItem(window, kAdOk), TRUE);
        return;
    }
    --TheShell().advertisementCountdown;
    SetDlgItemTextA(window, kAdCountdown, FormatNumber(TheShell().advertisementCountdown).c_str());
}

}  // namespace

LRESULT CALLBACK AdvertisementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(window); return 0;
        case WM_TIMER: OnTimer(window, wParam); return 0;
        case WM_COMMAND:
            // A greyed button still reports a BM_CLICK (automation, Wine), so
            // the click counts only once the countdown has enabled OK.
            if (LOWORD(wParam) == kAdOk && HIWORD(wParam) == 0 && IsWindowEnabled(GetDlgItem(window, kAdOk)))
                SendMessageA(TheShell().advertisement, WM_CLOSE, 0, 0);
            return 0;
        case WM_CLOSE: EndModalWindow(window, 0); return 0;
        case WM_DESTROY: return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace tw
