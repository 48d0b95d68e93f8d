// The Version window: icon, name, version and two copyable addresses.
#include <windows.h>

#include "shell/app/child_control_win.h"
#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"

namespace tw {

namespace {

const ChildControl kVersionControls[] = {
    {1004, "STATIC", "Tarnwick", 67, 13, 120, 12, 0, 0},
    {1005, "STATIC", "Version", 93, 34, 50, 12, 0, 0},
    {1006, "STATIC", "n", 145, 34, 60, 13, SS_CENTER, WS_EX_STATICEDGE},
    {1007, "STATIC", "Editon", 217, 34, 50, 12, 0, 0},
    {1008, "STATIC", "mail:", 11, 72, 50, 12, SS_CENTER, 0},
    {1003, "EDIT", "tarnwick@example.com", 69, 67, 275, 21, ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1009, "STATIC", "site:", 11, 103, 50, 12, SS_CENTER, 0},
    {1016, "EDIT", "https://example.com/tarnwick/", 69, 98, 275, 21, ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
};

HWND CreateChild(HWND window, const ChildControl& c) { return CreateChildControl(window, c, TheShell().versionFont); }

void OnInit(HWND window) {
    TheShell().version = window;
    HWND iconControl = CreateChild(window, {1000, "STATIC", "", 13, 11, 32, 32, SS_ICON, 0});
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(window, GWLP_HINSTANCE));
    HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(101), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    SendMessageA(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    for (const ChildControl& c : kVersionControls) CreateChild(window, c);
    CenterWindowOnOwner(TheShell().main.handle, window, 0, 0);
    SetDlgItemTextA(window, 1006, kVersionText);
}

// The icon is kept by this window's own icon control, so two windows never
// share or free each other's icon.
void OnDestroy(HWND window) {
    HICON icon = reinterpret_cast<HICON>(SendDlgItemMessageA(window, 1000, STM_GETICON, 0, 0));
    if (icon) DestroyIcon(icon);
}

}  // namespace

LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: OnInit(window); return 0;
        case WM_CLOSE: EndModalWindow(window, 0); return 0;
        case WM_DESTROY: OnDestroy(window); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace tw
