// Running the two small windows modally: created by name, own procedure,
// owner disabled, a nested loop until EndModalWindow posts WM_QUIT.
#include <windows.h>

#include <cstring>

#include "shell/app/shell_win.h"

namespace tw {

namespace {

// The modal window whose EndModalWindow posted the pending quit.

// The two small windows, by name: how each is made.
struct SmallWindow {
    const char* name;
    DWORD style;
    int x, y, width, height;
    HWND* handle;
    WNDPROC procedure;
    bool icon;  // set from resource 101 after WM_INITDIALOG
};

const SmallWindow* FindSmallWindow(const char* name) {
    static const SmallWindow kWindows[] = {
        {"Version", WS_CAPTION | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 365, 180, &TheShell().version,
         VersionWindowProc, false},
        {"Advertisement", WS_CAPTION, -1, -1, 320, 180, &TheShell().advertisement, AdvertisementWindowProc, true},
    };
    for (const SmallWindow& w : kWindows)
        if (std::strcmp(w.name, name) == 0) return &w;
    return nullptr;
}

}  // namespace

int RunModalWindow(HWND owner, const char* name) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    TheShell().endedModal = nullptr;
    const SmallWindow* kind = FindSmallWindow(name);
    if (!kind) return 0;
    HWND window = CreateWindowExA(0, "NORMALDLG", kind->name, kind->style, kind->x, kind->y, kind->width, kind->height,
                                  owner, nullptr, instance, nullptr);
    *kind->handle = window;
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(kind->procedure));
    SendMessageA(window, WM_INITDIALOG, 0, 0);
    if (kind->icon) {
        HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(101));
        SendMessageA(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    ShowWindow(window, SW_SHOW);
    if (owner) EnableWindow(owner, FALSE);
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            // A quit not posted by EndModalWindow belongs to the main loop
            // (the main window was destroyed, and this window with it, while
            // it was open): pass it on, or the program would never end.
            if (TheShell().endedModal != window) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (HandleShellKey(msg)) continue;  // only while the main window takes input
        if (IsWindow(window) && IsDialogMessageA(window, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        // Ended inside a loop of its own that a message started (a popup
        // menu's takes every message, the quit too): nothing would ever come
        // to end this one. The quit, should it still wait, goes with it.
        if (!IsWindow(window) && TheShell().endedModal == window) {
            MSG quit{};
            msg.wParam = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) ? quit.wParam : 0;
            break;
        }
    }
    return static_cast<int>(msg.wParam);
}

void EndModalWindow(HWND window, int code) {
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner) EnableWindow(owner, TRUE);
    DestroyWindow(window);
    TheShell().endedModal = window;
    PostMessageA(nullptr, WM_QUIT, static_cast<WPARAM>(code), 0);
}

}  // namespace tw
