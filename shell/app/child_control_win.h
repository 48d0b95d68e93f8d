// One row of a window's control table, and creating it the way every window
// of the program does: child, visible, then its font without a redraw.
#pragma once

#include <windows.h>

namespace tw {

struct ChildControl {
    int id;
    const char* className;
    const char* text;
    int x, y, width, height;
    DWORD style;    // besides WS_CHILD | WS_VISIBLE
    DWORD exStyle;
};

inline HWND CreateChildControl(HWND parent, const ChildControl& c, HFONT font) {
    HWND control = CreateWindowExA(c.exStyle, c.className, c.text, WS_CHILD | WS_VISIBLE | c.style, c.x, c.y, c.width,
                                   c.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                   GetModuleHandleA(nullptr), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

}  // namespace tw
