// Start-up, the message loop, shutdown and the process-wide shell state.
#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "app/main_window_ids.h"
#include "app/shell_win.h"
#include "view/view_win.h"

namespace tw {

HWND MainWindowHandle = nullptr;
HWND AdvertisementWindowHandle = nullptr;
HWND VersionWindowHandle = nullptr;
HFONT MainWindowFont = nullptr;
HFONT VersionWindowFont = nullptr;
HFONT AdvertisementWindowFont = nullptr;
HBRUSH BackgroundBrush = nullptr;
HMENU MenuBar = nullptr;
HMENU InfoMenu = nullptr;
std::atomic<bool> ShellClosing{false};

namespace {

CutBook g_cutBook;

std::mutex g_writeMutex;
std::condition_variable g_writeDone;
int g_piecesInFlight = 0;

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
    wc.hbrBackground = BackgroundBrush;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

}  // namespace

CutBook& CutEdits() { return g_cutBook; }
CutList& Cuts() { return g_cutBook.List(); }

std::string GetControlText(int id) {
    HWND control = GetDlgItem(MainWindowHandle, id);
    int length = GetWindowTextLengthA(control);
    if (length < 0) length = 0;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    GetDlgItemTextA(MainWindowHandle, id, buffer.data(), length + 1);
    return std::string(buffer.data());
}

void SetControlText(int id, const std::string& text) { SetDlgItemTextA(MainWindowHandle, id, text.c_str()); }

int ShowMessage(const std::string& text, const std::string& caption, UINT style) {
    return MessageBoxA(MainWindowHandle, text.c_str(), caption.c_str(), style);
}

bool BeginPieceWrite() {
    std::lock_guard<std::mutex> lock(g_writeMutex);
    if (ShellClosing) return false;
    ++g_piecesInFlight;
    return true;
}

void EndPieceWrite() {
    {
        std::lock_guard<std::mutex> lock(g_writeMutex);
        --g_piecesInFlight;
    }
    g_writeDone.notify_all();
}

void ReleaseShellResources() {
    ShellClosing = true;
    ReleaseGraphView();
    g_cutBook.Reset();
    SetCurrentWave(nullptr);
    DestroyMenu(InfoMenu);
    DestroyMenu(MenuBar);
    DeleteObject(MainWindowFont);
    DeleteObject(VersionWindowFont);
    DeleteObject(AdvertisementWindowFont);
    DeleteObject(BackgroundBrush);
    PostQuitMessage(0);
}

void StartUpShell(bool showAdvertisement) {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof icc;
    icc.dwICC = 0xFF;
    InitCommonControlsEx(&icc);

    MainWindowFont = CreateShellFont();
    VersionWindowFont = CreateShellFont();
    AdvertisementWindowFont = CreateShellFont();
    BackgroundBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
    MenuBar = CreateMenu();
    InfoMenu = CreatePopupMenu();
    InsertMenuEntry(InfoMenu, 0, TRUE, "バージョン情報", kIdMenuVersion, nullptr, 0);
    InsertMenuEntry(MenuBar, 0, TRUE, "情報", 0, InfoMenu, 0);

    HINSTANCE instance = GetModuleHandleA(nullptr);
    RegisterShellClass("NORMALDLG", ModalClassProc, LoadIconA(nullptr, IDI_APPLICATION), LoadIconA(nullptr, IDI_WINLOGO));
    if (showAdvertisement) RunModalWindow(MainWindowHandle, "Advertisement");

    HICON icon = LoadIconA(instance, MAKEINTRESOURCEA(101));
    RegisterShellClass("NORMAL0", MainClassProc, icon, icon);
    CreateWindowExA(WS_EX_ACCEPTFILES, "NORMAL0", "Tarnwick", WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                    CW_USEDEFAULT, CW_USEDEFAULT, kMainWidth, kMainHeight, nullptr, nullptr, instance, nullptr);
}

int RunMessageLoop() {
    MSG msg{};
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}

void FinishShell() {
    std::unique_lock<std::mutex> lock(g_writeMutex);
    ShellClosing = true;
    g_writeDone.wait_for(lock, std::chrono::minutes(2), [] { return g_piecesInFlight == 0; });
}

int RunTarnwick() {
    StartUpShell(true);
    if (!MainWindowHandle) {
        MessageBoxA(nullptr, "メインウィンドウを作成できません", "Error", MB_ICONWARNING);
        return 1;
    }
    RunMessageLoop();
    FinishShell();
    return 0;
}

}  // namespace tw
