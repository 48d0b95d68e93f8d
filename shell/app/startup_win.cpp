// Start-up, the message loop, shutdown and the shell's one state object.
#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

namespace tw {

namespace {

Shell g_shell;

HFONT CreateShellFont() {
    return CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, SHIFTJIS_CHARSET, OUT_STROKE_PRECIS,
                       CLIP_STROKE_PRECIS, DRAFT_QUALITY, FF_SWISS, "ＭＳ Ｐゴシック");
}

void InsertMenuEntry(HMENU menu, UINT position, BOOL byPosition, const char* text, UINT id,
                     HMENU submenu, UINT state) {
    std::vector<char> copy(text, text + lstrlenA(text) + 1);
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;  // 80 on 64-bit Windows; the 44 of old headers is too small here
    item.fMask = MIIM_TYPE | MIIM_STATE | MIIM_ID;
    item.fType = MFT_STRING;
    item.fState = state;
    item.wID = id;
    item.dwTypeData = copy.data();
    if (submenu) {
        item.fMask |= MIIM_SUBMENU;
        item.hSubMenu = submenu;
    }
    InsertMenuItemA(menu, position, byPosition, &item);
}

LRESULT CALLBACK ModalClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK MainClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MainWindowProc(window, message, wParam, lParam);
}

void RegisterShellClass(const char* name, WNDPROC proc, HICON icon, HICON smallIcon) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hIconSm = smallIcon;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = g_shell.background;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

}  // namespace

Shell::Shell() : main(workers, graph) {}

Shell& TheShell() { return g_shell; }

void ReleaseShellResources() {
    MainWindow& main = g_shell.main;
    main.closing = true;
    ReleaseGraphView(main.graph);
    CutEdits(main.graph).Reset();
    SetCurrentWave(main.workers, nullptr);
    SetMenu(main.handle, nullptr);  // the bar is freed here, not with the window
    main.menuBar.reset();
    main.font.reset();
    g_shell.versionFont.reset();
    g_shell.advertisementFont.reset();
    g_shell.background.reset();
    PostQuitMessage(0);
}

void StartUpShell(bool showAdvertisement) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = 0xFF;
    InitCommonControlsEx(&icc);

    MainWindow& main = g_shell.main;
    main.font.reset(CreateShellFont());
    g_shell.versionFont.reset(CreateShellFont());
    g_shell.advertisementFont.reset(CreateShellFont());
    g_shell.background.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
    main.menuBar.reset(CreateMenu());
    main.infoMenu = CreatePopupMenu();
    InsertMenuEntry(main.infoMenu, 0, TRUE, "使い方\tF1", kIdMenuGuide, nullptr, 0);
    InsertMenuEntry(main.infoMenu, 1, TRUE, "バージョン情報", kIdMenuVersion, nullptr, 0);
    InsertMenuEntry(main.menuBar, 0, TRUE, "情報", 0, main.infoMenu, 0);
    // The file menu comes first, as in most programs.
    // Opening and saving first, leaving last, each set apart by a separator.
    main.fileMenu = CreatePopupMenu();
    struct FileItem {
        const char* text;  // nullptr: a separator
        UINT id;
        UINT state;
    };
    static const FileItem kFileItems[] = {
        {"開く...\tCtrl+O", kIdMenuOpen, 0},
        {"カットを保存\tCtrl+S", kIdMenuSaveCuts, 0},
        {nullptr, 0, 0},
        {"名前の一覧を選ぶ...", kIdMenuChooseNames, 0},
        {"名前の一覧をやめる", kIdMenuDropNames, MFS_GRAYED},
        {"ラベルを書き出す...", kIdMenuWriteLabels, 0},
        {"ラベルを読み込む...", kIdMenuReadLabels, 0},
        {nullptr, 0, 0},
        {"終了", kIdMenuExit, 0},
    };
    UINT position = 0;
    for (const FileItem& item : kFileItems) {
        if (item.text)
            InsertMenuEntry(main.fileMenu, position++, TRUE, item.text, item.id, nullptr, item.state);
        else
            InsertMenuA(main.fileMenu, position++, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    }
    InsertMenuEntry(main.menuBar, 0, TRUE, "ファイル", 0, main.fileMenu, 0);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterShellClass("NORMALDLG", ModalClassProc, LoadIconA(nullptr, IDI_APPLICATION), LoadIconA(nullptr, IDI_WINLOGO));
    if (showAdvertisement) RunModalWindow(main.handle, "Advertisement");

    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    RegisterShellClass("NORMAL0", MainClassProc, icon, icon);
    const SIZE size = MainWindow::OpeningSize();
    CreateWindowExA(MainWindow::kExStyle, "NORMAL0", "Tarnwick", WS_VISIBLE | MainWindow::kStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, size.cx, size.cy, nullptr, nullptr, instance, &main);
}

int RunMessageLoop() {
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        if (HandleShellKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void FinishShell() {
    g_shell.main.closing = true;
    FinishSaves(g_shell.workers.saves);
}

int RunTarnwick() {
    StartUpShell(true);
    if (!g_shell.main.handle) {
        MessageBoxA(nullptr, "メインウィンドウを作成できません", "Error", MB_ICONWARNING);
        return 1;
    }
    // After the advertisement, as a drop would be.
    g_shell.main.OpenCommandLine(GetCommandLineW());
    RunMessageLoop();
    FinishShell();
    return 0;
}

}  // namespace tw
