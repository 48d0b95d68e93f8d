#include "harness_win.h"

#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

#include "shell/app/shell_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

namespace twt {

namespace {

int g_passed = 0;
int g_failed = 0;
std::mutex g_boxMutex;
std::vector<BoxRecord> g_boxes;
std::atomic<int> g_boxAnswer{IDOK};

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* info) {
    std::printf("CRASH: exception 0x%08lx at %p\n", info->ExceptionRecord->ExceptionCode,
                info->ExceptionRecord->ExceptionAddress);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 99);
    return EXCEPTION_EXECUTE_HANDLER;
}

BOOL CALLBACK FindBoxes(HWND window, LPARAM) {
    char cls[32] = {0};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    static std::set<HWND> answered;  // watcher thread only
    if (answered.count(window)) return TRUE;
    char caption[512] = {0};
    char text[4096] = {0};
    GetWindowTextA(window, caption, sizeof caption);
    GetDlgItemTextA(window, 0xFFFF, text, sizeof text);
    // A box closing between the checks above and the reads is not a new box.
    if (!IsWindow(window)) return TRUE;
    answered.insert(window);
    {
        std::lock_guard<std::mutex> lock(g_boxMutex);
        g_boxes.push_back({caption, text, GetWindow(window, GW_OWNER)});
    }
    // Hide first so the same box is not recorded twice before it closes.
    ShowWindow(window, SW_HIDE);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(g_boxAnswer.load(), BN_CLICKED), 0);
    return TRUE;
}

void WatchBoxes() {
    for (;;) {
        EnumWindows(FindBoxes, 0);
        Sleep(15);
    }
}

std::string EnvPath(const char* var, const std::string& name) {
    char buffer[2048] = {0};
    GetEnvironmentVariableA(var, buffer, sizeof buffer);
    std::string base(buffer);
    if (base.empty()) base = ".";
    return base + "\\" + name;
}

}  // namespace

bool Check(bool ok, const std::string& what) {
    if (ok) {
        ++g_passed;
    } else {
        ++g_failed;
        std::printf("FAIL: %s\n", what.c_str());
        std::fflush(stdout);
    }
    return ok;
}

int Finish() {
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    std::fflush(stdout);
    return g_failed == 0 ? 0 : 1;
}

void InitHarness() {
    SetUnhandledExceptionFilter(CrashFilter);
    setvbuf(stdout, nullptr, _IONBF, 0);
    std::thread(WatchBoxes).detach();
}

void OpenMainWindow() {
    tw::StartUpShell(false);
    Check(tw::TheShell().main.handle != nullptr, "main window created");
    Pump(200);
}

void CloseMainWindow() {
    SendMessageA(tw::TheShell().main.handle, WM_CLOSE, 0, 0);
    Check(tw::RunMessageLoop() == 0, "loop ends with exit code 0");
    Check(!IsWindow(tw::TheShell().main.handle), "main window destroyed");
    tw::FinishShell();
}

void Pump(DWORD ms) {
    DWORD start = GetTickCount();
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (tw::HandleShellKey(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= ms) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - elapsed, QS_ALLINPUT);
    }
}

bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) return false;
        Pump(5);
    }
    return true;
}

// A missed moment costs no time: it returns as soon as nothing is loading.
// Looks without sleeping: a drawing from the summary takes a few milliseconds.
bool WaitForDrawing() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
        if (twt::GraphsInFlight() > 0) return true;
        if (twt::LoadsInFlight() == 0) return false;
        MSG msg;  // only the messages the load sends and waits for
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    return false;
}

bool WaitIdle(DWORD timeoutMs) {
    bool ok = WaitUntil([] { return twt::LoadsInFlight() == 0 && twt::GraphsInFlight() == 0 && twt::SavesInFlight() == 0 &&
                                     twt::PauseCutsInFlight() == 0 && tw::TheShell().main.PlansInFlight() == 0; },
                        timeoutMs);
    Pump(20);
    return ok;
}

namespace {
// An in-process drop of the given paths, ANSI or wide, as the shell builds it.
template <class Char>
void DropPaths(const std::vector<std::basic_string<Char>>& paths, BOOL wide, bool asking = false) {
    // The tests' drops are those of a user with nothing to lose: the cuts
    // shown count as saved, so no question comes between (DropFilesAsking
    // drops as they are).
    if (const tw::WavePtr wave = twt::CurrentWave(); wave && !asking)
        tw::TheShell().main.Saved(wave->recording, twt::CutEdits().Revision());
    size_t chars = 1;
    for (const auto& p : paths) chars += p.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(Char));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = wide;
    Char* out = reinterpret_cast<Char*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const auto& p : paths) {
        std::memcpy(out, p.c_str(), (p.size() + 1) * sizeof(Char));
        out += p.size() + 1;
    }
    *out = 0;
    GlobalUnlock(memory);
    SendMessageA(tw::TheShell().main.handle, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}
}  // namespace

void DropFiles(const std::vector<std::string>& paths) { DropPaths(paths, FALSE); }
void DropFilesAsking(const std::vector<std::string>& paths) { DropPaths(paths, FALSE, true); }
void DropFilesW(const std::vector<std::wstring>& paths) { DropPaths(paths, TRUE); }

std::vector<BoxRecord> Boxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    return g_boxes;
}

void SetBoxAnswer(int id) { g_boxAnswer = id; }

void ClearBoxes() {
    std::lock_guard<std::mutex> lock(g_boxMutex);
    g_boxes.clear();
}

bool WaitBoxes(size_t count, DWORD timeoutMs) {
    return WaitUntil([count] { return Boxes().size() >= count; }, timeoutMs);
}

namespace {
// This process's visible top-level windows of one class.
std::vector<HWND> OwnWindows(const char* className) {
    struct Search {
        const char* className;
        std::vector<HWND> found;
    } search{className, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            char cls[32] = {0};
            GetClassNameA(window, cls, sizeof cls);
            DWORD pid = 0;
            GetWindowThreadProcessId(window, &pid);
            if (pid == GetCurrentProcessId() && std::strcmp(cls, s->className) == 0 && IsWindowVisible(window))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

int CloseSmallWindows() {
    const std::vector<HWND> windows = OwnWindows("NORMALDLG");
    for (HWND window : windows) PostMessageA(window, WM_CLOSE, 0, 0);
    return static_cast<int>(windows.size());
}

HWND Control(int id) { return GetDlgItem(tw::TheShell().main.handle, id); }

std::string ControlText(int id) {
    char buffer[4096] = {0};
    GetDlgItemTextA(tw::TheShell().main.handle, id, buffer, sizeof buffer);
    return buffer;
}

int TextLinesShown(int id) {
    HWND control = Control(id);
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT client{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    // Rows that hold ink (text is drawn in the button-text colour on the face).
    std::vector<bool> inked(static_cast<size_t>(client.bottom), false);
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right && !inked[static_cast<size_t>(y)]; ++x) {
            const COLORREF c = GetPixel(dc, x, y);
            inked[static_cast<size_t>(y)] = GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 96;
        }
    ReleaseDC(control, dc);
    int lines = 0;
    for (size_t y = 0; y < inked.size(); ++y) lines += inked[y] && (y == 0 || !inked[y - 1]);
    return lines;
}

std::string Fixture(const std::string& name) { return EnvPath("TW_FIXTURES", name); }
std::string WorkPath(const std::string& name) { return EnvPath("TW_WORK", name); }

bool RunLinux(const std::string& commandLine) {
    // Wine hands back no exit code of a Linux process and may signal its
    // handle before it ends: the shell leaves a marker once the command has
    // succeeded.
    const std::string marker = "run_linux.done";
    DeleteFileA(marker.c_str());
    std::string line = "/bin/sh -c \"" + commandLine + " && touch " + marker + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int waited = 0; waited < 30000; waited += 10) {
        if (GetFileAttributesA(marker.c_str()) != INVALID_FILE_ATTRIBUTES) return DeleteFileA(marker.c_str()), true;
        Sleep(10);
    }
    return false;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::wstring wide(path.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    if (path.size() >= MAX_PATH) wide.insert(0, L"\\\\?\\");
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size;
    GetFileSizeEx(h, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty()) ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    bytes.resize(got);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::vector<std::uint8_t> WaveFile(const std::vector<std::int16_t>& samples, int channels, int rate,
                                   std::int64_t dataSizeField) {
    std::vector<std::uint8_t> f(44);
    auto put32 = [&](size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto put16 = [&](size_t at, std::uint16_t v) {
        f[at] = static_cast<std::uint8_t>(v);
        f[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    std::uint32_t dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::uint32_t field = dataSizeField < 0 ? dataBytes : static_cast<std::uint32_t>(dataSizeField);
    std::memcpy(&f[0], "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(&f[8], "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, static_cast<std::uint16_t>(channels));
    put32(24, static_cast<std::uint32_t>(rate));
    put32(28, static_cast<std::uint32_t>(rate * channels * 2));
    put16(32, static_cast<std::uint16_t>(channels * 2));
    put16(34, 16);
    std::memcpy(&f[36], "data", 4);
    put32(40, field);
    for (std::int16_t s : samples) {
        f.push_back(static_cast<std::uint8_t>(s & 0xFF));
        f.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return f;
}

namespace {
// Moves the real cursor over a point of the graph and posts a press and a
// release of one mouse button there.
void PressOnGraph(int x, int y, UINT down, UINT up, WPARAM held) {
    HWND graph = Control(1000);
    POINT p{x, y};
    ClientToScreen(graph, &p);
    SetCursorPos(p.x, p.y);
    WaitUntil([&] {
        POINT now;
        GetCursorPos(&now);
        return now.x == p.x && now.y == p.y;
    }, 2000);
    LPARAM at = MAKELPARAM(x, y);
    PostMessageA(graph, down, held, at);
    PostMessageA(graph, up, 0, at);
}

// Read inside the menu's own loop, where this timer is served.
PopupMenu g_menu;
DWORD g_menuHold = 0;
DWORD g_menuSeen = 0;  // tick when the menu was first seen

void CALLBACK ReadMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    const std::vector<HWND> menus = OwnWindows("#32768");
    if (menus.empty()) return;
    HWND window = menus.front();
    if (!g_menuSeen) g_menuSeen = GetTickCount();
    if (GetTickCount() - g_menuSeen < g_menuHold) return;
    KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
    RECT rc{};
    GetWindowRect(window, &rc);
    g_menu.opened = true;
    g_menu.at = {rc.left, rc.top};
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[256] = {0};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = sizeof text;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info) || (info.fType & MFT_SEPARATOR)) continue;
        g_menu.items.push_back({info.wID, text, (info.fState & MFS_GRAYED) != 0});
    }
    EndMenu();
}
}  // namespace

bool PopupMenu::Greyed(UINT id) const {
    for (const MenuItem& item : items)
        if (item.id == id) return item.greyed;
    Check(false, "menu has item " + std::to_string(id));
    return true;
}

void ClickGraph(int x, int y) {
    PressOnGraph(x, y, WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON);
    Pump(30);
}

PopupMenu RightClickGraph(int x, int y, DWORD holdMs) {
    g_menu = PopupMenu{};
    g_menuHold = holdMs;
    g_menuSeen = 0;
    // The timer stays until it has closed a menu: on a busy machine the menu
    // may open after the wait below, and nothing else would close it.
    SetTimer(nullptr, 0, 20, ReadMenu);
    PressOnGraph(x, y, WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON);
    WaitUntil([] { return g_menu.opened; }, 10000 + holdMs);
    Pump(20);
    return g_menu;
}

void ChooseMenuItem(UINT id) {
    PostMessageA(tw::TheShell().main.handle, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    Pump(30);
}

namespace {
// Runs f with Ctrl and Shift as given in the thread's key state, as a key
// posted meanwhile finds them.
void WithModifiers(bool ctrl, bool shift, const std::function<void()>& f) {
    BYTE saved[256], state[256];
    GetKeyboardState(saved);
    std::memcpy(state, saved, sizeof state);
    state[VK_CONTROL] = state[VK_LCONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = state[VK_LSHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    f();
    SetKeyboardState(saved);
}
}  // namespace

void PressKey(WPARAM key, bool ctrl, bool shift, bool repeat) {
    WithModifiers(ctrl, shift, [&] {
        HWND to = GetFocus();
        PostMessageA(to, WM_KEYDOWN, key, repeat ? 0x40000001 : 1);
        PostMessageA(to, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        Pump(60);
    });
}

void TurnWheel(int delta, bool ctrl, UINT message) {
    POINT at{};
    GetCursorPos(&at);
    PostMessageA(GetFocus(), message, MAKEWPARAM(ctrl ? MK_CONTROL : 0, static_cast<WORD>(delta)), MAKELPARAM(at.x, at.y));
    Pump(60);
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", c);
        out += b;
    }
    return out;
}

}  // namespace twt
