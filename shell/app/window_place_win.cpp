// Placing windows: centred on the screen or over their owner.
#include <windows.h>

#include "shell/app/shell_win.h"
#include "core/view/window_place.h"

namespace tw {

bool CenterWindowOnScreen(HWND window, int dx, int dy) {
    RECT r;
    GetWindowRect(window, &r);
    int sw = GetSystemMetrics(SM_CXSCREEN);
    int sh = GetSystemMetrics(SM_CYSCREEN);
    if (sw == 0 || sh == 0) return false;
    int x = 0, y = 0;
    CenterOnScreenCoord(sw, r.left, r.right, dx, &x);
    CenterOnScreenCoord(sh, r.top, r.bottom, dy, &y);
    return SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE) != 0;
}

void CenterWindowOnOwner(HWND reference, HWND window, int dx, int dy) {
    RECT ref, own;
    GetWindowRect(reference, &ref);
    GetWindowRect(window, &own);
    int x = CenterOnOwnerCoord(ref.left, ref.right, own.left, own.right) + dx;
    int y = CenterOnOwnerCoord(ref.top, ref.bottom, own.top, own.bottom) + dy;
    SetWindowPos(window, HWND_TOP, x, y, 0, 0, SWP_NOSIZE);
}

}  // namespace tw
