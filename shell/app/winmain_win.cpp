#include <windows.h>

#include "shell/app/shell_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int code = tw::RunTarnwick();
    ExitProcess(static_cast<UINT>(code));
}
