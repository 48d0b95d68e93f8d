// The two modal windows in the real shell: the start-up notice with its
// countdown (driven from a helper thread while start-up sits in the nested
// loop) and the Version window opened over the main window.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

struct ExpectedChild {
    int id;
    const char* className;
    const char* text;  // nullptr: checked elsewhere
    int x, y, w, h;
    DWORD style;    // besides WS_CHILD | WS_VISIBLE; SS_/BS_ types compared exactly
    DWORD exStyle;  // the edge styles compared exactly
};

const ExpectedChild kAdChildren[] = {
    {1004, "Static", "ソフトウェアのアイコンを募集中！", 17, 13, 175, 12, SS_LEFT, 0},
    {1005, "Static", "「*.ico」形式で、作成してくださる方を募集しております。", 17, 36, 281, 12, SS_LEFT, 0},
    {1006, "Static", "詳しくは、付属のテキストを御覧ください。", 17, 61, 211, 12, SS_LEFT, 0},
    {1007, "Static", "この広告は、アイコンが集まり次第非表示にします。", 17, 86, 267, 12, SS_LEFT, 0},
    {1008, "Static", "残り", 3, 136, 30, 12, SS_CENTER, 0},
    {1009, "Static", "", 38, 136, 50, 13, SS_CENTER, WS_EX_STATICEDGE},
    {1010, "Static", "秒", 92, 136, 20, 12, SS_LEFT, 0},
    {1029, "Button", "OK", 182, 112, 123, 35, WS_DISABLED | BS_PUSHBUTTON, WS_EX_STATICEDGE},
};

const ExpectedChild kVersionChildren[] = {
    {1000, "Static", "", 13, 11, 32, 32, SS_ICON, 0},
    {1004, "Static", "Tarnwick", 67, 13, 120, 12, SS_LEFT, 0},
    {1005, "Static", "Version", 93, 34, 50, 12, SS_LEFT, 0},
    {1006, "Static", "0.20", 145, 34, 60, 13, SS_CENTER, WS_EX_STATICEDGE},
    {1007, "Static", "Editon", 217, 34, 50, 12, SS_LEFT, 0},
    {1008, "Static", "mail:", 11, 72, 50, 12, SS_CENTER, 0},
    {1003, "Edit", nullptr, 69, 67, 275, 21, ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
    {1009, "Static", "site:", 11, 103, 50, 12, SS_CENTER, 0},
    {1016, "Edit", nullptr, 69, 98, 275, 21, ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
};

std::string Text(HWND window) {
    char buffer[1024] = {0};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND window) {
    char buffer[64] = {0};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

RECT Outer(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// A visible top-level window of this process with the class (and caption).
HWND FindShown(const char* cls, const char* caption) {
    HWND w = FindWindowA(cls, caption);
    DWORD pid = 0;
    if (w) GetWindowThreadProcessId(w, &pid);
    return (w && pid == GetCurrentProcessId() && IsWindowVisible(w)) ? w : nullptr;
}

HWND WaitShown(const char* cls, const char* caption, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND w = FindShown(cls, caption)) return w;
        if (GetTickCount() - start > timeoutMs) return nullptr;
        Sleep(2);
    }
}

// The centring over another window, worked out independently: half the
// reference's coordinate sum less half the window's extent, truncated.
int CentredOver(int refLo, int refHi, int extent) {
    return static_cast<int>((refLo + refHi) / 2.0 - extent / 2.0);
}

void CheckFont(HFONT font, const std::string& what) {
    LOGFONTA lf{};
    if (!Check(font && GetObjectA(font, sizeof lf, &lf) == sizeof lf, what + " is a font")) return;
    Check(lf.lfHeight == -12 && lf.lfWeight == 400 && lf.lfCharSet == SHIFTJIS_CHARSET && !lf.lfItalic,
          what + " attributes");
    CheckEq(std::string(lf.lfFaceName), std::string("ＭＳ Ｐゴシック"), what + " face");
}

// Class, text, rectangle (client coordinates of the parent), styles and font
// of every child, and that there are no others.
void CheckChildren(HWND window, const ExpectedChild* table, size_t count, HFONT font, const std::string& what) {
    size_t children = 0;
    for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++children;
    CheckEq(children, count, what + " child count");
    for (size_t i = 0; i < count; ++i) {
        const ExpectedChild& e = table[i];
        std::string id = what + " control " + std::to_string(e.id);
        HWND c = GetDlgItem(window, e.id);
        if (!Check(c != nullptr, id + " exists")) continue;
        CheckEq(ClassOf(c), std::string(e.className), id + " class");
        if (e.text) Check(Text(c) == e.text, id + " text [" + Hex(Text(c)) + "]");
        RECT r = Outer(c);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
        Check(r.left == e.x && r.top == e.y && r.right - r.left == e.w && r.bottom - r.top == e.h,
              id + " rectangle " + std::to_string(r.left) + "," + std::to_string(r.top) + " " +
                  std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
        DWORD style = static_cast<DWORD>(GetWindowLongA(c, GWL_STYLE));
        DWORD flags = WS_CHILD | WS_VISIBLE | (e.style & WS_DISABLED);
        Check((style & flags) == flags, id + " child, visible" + ((e.style & WS_DISABLED) ? ", disabled" : ""));
        if (e.style & WS_DISABLED) Check(!IsWindowEnabled(c), id + " disabled");
        if (e.className[0] == 'S') CheckEq(style & SS_TYPEMASK, e.style & SS_TYPEMASK, id + " static type");
        if (e.className[0] == 'B') CheckEq(style & BS_TYPEMASK, e.style & BS_TYPEMASK, id + " button type");
        if (e.className[0] == 'E') {
            Check((style & (ES_READONLY | ES_AUTOHSCROLL)) == (ES_READONLY | ES_AUTOHSCROLL), id + " read-only, scrolls");
            Check((style & ES_MULTILINE) == 0, id + " single line");
        }
        DWORD ex = static_cast<DWORD>(GetWindowLongA(c, GWL_EXSTYLE)) & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE);
        CheckEq(ex, e.exStyle, id + " edge");
        // An icon static keeps no font.
        if ((style & SS_TYPEMASK) != SS_ICON || e.className[0] != 'S')
            Check(SendMessageA(c, WM_GETFONT, 0, 0) == reinterpret_cast<LRESULT>(font), id + " font");
    }
}

// ---------------------------------------------------------------------------
// Advertisement

// Countdown ticks as the nested loop takes them off the queue.
std::mutex g_tickMutex;
std::vector<DWORD> g_adTicks;

LRESULT CALLBACK GetMessageHook(int code, WPARAM removal, LPARAM lParam) {
    if (code == HC_ACTION && removal == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(lParam);
        if (m->message == WM_TIMER && m->wParam == 0 && m->hwnd && m->hwnd == tw::TheShell().advertisement) {
            std::lock_guard<std::mutex> lock(g_tickMutex);
            g_adTicks.push_back(GetTickCount());
        }
    }
    return CallNextHookEx(nullptr, code, removal, lParam);
}

size_t TickCount() {
    std::lock_guard<std::mutex> lock(g_tickMutex);
    return g_adTicks.size();
}

struct AdState {
    DWORD at;  // ms since the window was first seen
    std::string number;
    bool okEnabled;
    bool operator==(const AdState& o) const { return number == o.number && okEnabled == o.okEnabled; }
};

void CheckAdWindowShape(HWND ad) {
    CheckEq(ClassOf(ad), std::string("NORMALDLG"), "advertisement class");
    Check(Text(ad) == "広告", "advertisement caption [" + Hex(Text(ad)) + "]");
    Check(GetWindow(ad, GW_OWNER) == nullptr && GetParent(ad) == nullptr, "advertisement has no owner");
    LONG style = GetWindowLongA(ad, GWL_STYLE);
    Check((style & WS_CAPTION) == WS_CAPTION, "advertisement has a caption");
    Check((style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0,
          "advertisement: no system menu, close box, min/max box or sizing border");
    RECT r = Outer(ad);
    CheckEq(r.right - r.left, 320, "advertisement width");
    CheckEq(r.bottom - r.top, 180, "advertisement height");
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    // Created at (-1, -1), so its coordinate sums are odd; still a plain centre.
    CheckEq(static_cast<int>(r.left), CentredOver(0, sw, 320), "advertisement centred x");
    CheckEq(static_cast<int>(r.top), CentredOver(0, sh, 180), "advertisement centred y");
    if (sw == 1366 && sh == 768) Check(r.left == 523 && r.top == 294, "advertisement at (523, 294) on 1366x768");
    HICON small = reinterpret_cast<HICON>(SendMessageA(ad, WM_GETICON, ICON_SMALL, 0));
    Check(small != nullptr, "advertisement small icon set");
    Check(small == LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(101)), "advertisement small icon is resource 101");
    CheckChildren(ad, kAdChildren, sizeof kAdChildren / sizeof kAdChildren[0], tw::TheShell().advertisementFont,
                  "advertisement");
    CheckFont(tw::TheShell().advertisementFont, "advertisement font");
    Check(tw::TheShell().advertisementFont != tw::TheShell().versionFont && tw::TheShell().advertisementFont != tw::TheShell().main.font,
          "each window has a font of its own");
}

// Runs on a helper thread while start-up sits in the advertisement's loop.
void AdvertisementScript() {
    HWND ad = WaitShown("NORMALDLG", nullptr, 15000);
    DWORD t0 = GetTickCount();
    if (!Check(ad != nullptr, "advertisement shown at start-up")) return;
    HWND ok = GetDlgItem(ad, 1029);
    HWND number = GetDlgItem(ad, 1009);
    std::vector<AdState> seen;
    seen.push_back({0, Text(number), IsWindowEnabled(ok) != FALSE});
    Check(FindWindowA("NORMAL0", nullptr) == nullptr, "no main window while the advertisement is up");
    CheckAdWindowShape(ad);

    bool mainSeen = false, poked = false, closedEarly = false;
    while (GetTickCount() - t0 < 12000) {
        if (!IsWindow(ad)) {
            closedEarly = true;
            break;
        }
        AdState now{GetTickCount() - t0, Text(number), IsWindowEnabled(ok) != FALSE};
        if (!(now == seen.back())) seen.push_back(now);
        if (FindWindowA("NORMAL0", nullptr)) mainSeen = true;
        if (now.okEnabled) break;
        if (!poked && now.at >= 2500) {
            poked = true;
            // A click on the greyed OK, a tick of a foreign timer and OK
            // notifications other than a click change nothing.
            SendMessageA(ok, BM_CLICK, 0, 0);
            PostMessageA(ad, WM_TIMER, 7, 0);
            SendMessageA(ad, WM_COMMAND, MAKEWPARAM(1029, BN_DOUBLECLICKED), reinterpret_cast<LPARAM>(ok));
            SendMessageA(ad, WM_COMMAND, MAKEWPARAM(1004, 0), 0);
            Check(IsWindow(ad) && IsWindowVisible(ad), "clicking the greyed OK leaves the advertisement open");
        }
        Sleep(10);
    }
    Check(!closedEarly, "advertisement stays until it is closed");
    Check(!mainSeen, "main window created only after the advertisement");
    Check(poked, "greyed OK was clicked during the countdown");

    // The whole sequence, each state lasting about one tick.
    const AdState want[] = {{0, "", false}, {0, "4", false}, {0, "3", false}, {0, "2", false},
                            {0, "1", false}, {0, "0", false}, {0, "0", true}};
    std::string got;
    for (const AdState& s : seen) got += "[" + s.number + (s.okEnabled ? " on" : " off") + " @" + std::to_string(s.at) + "]";
    bool same = seen.size() == 7;
    for (size_t i = 0; same && i < 7; ++i) same = seen[i] == want[i];
    Check(same, "countdown sequence " + got);
    if (same) Check(seen[6].at >= 5000, "OK enabled only after about six seconds " + got);
    {
        // One tick a second, on average over the run (single ticks may jitter).
        std::lock_guard<std::mutex> lock(g_tickMutex);
        if (Check(g_adTicks.size() == 6, "six ticks until OK is enabled")) {
            DWORD mean = (g_adTicks[5] - g_adTicks[0]) / 5;
            Check(mean >= 900 && mean <= 2000, "ticks about a second apart (" + std::to_string(mean) + " ms)");
        }
    }

    // Sixth tick stopped the timer: no more ticks, nothing changes.
    Sleep(1600);
    CheckEq(TickCount(), size_t{6}, "countdown ticks before the timer stops");
    Check(Text(number) == "0" && IsWindowEnabled(ok), "after the countdown: 0 shown, OK enabled");

    // The enabled OK closes the window at once.
    SendMessageA(ok, BM_CLICK, 0, 0);
    Check(!IsWindow(ad), "OK closes the advertisement");
}

void CheckStartUpWithAdvertisement() {
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, GetMessageHook, nullptr, GetCurrentThreadId());
    std::atomic<bool> done{false};
    std::thread script([&] {
        AdvertisementScript();
        done = true;
        // Never leave start-up stuck in the nested loop.
        if (HWND ad = FindShown("NORMALDLG", nullptr)) PostMessageA(ad, WM_CLOSE, 0, 0);
    });
    tw::StartUpShell(true);
    WaitUntil([&] { return done.load(); }, 30000);
    script.join();
    UnhookWindowsHookEx(hook);

    Check(tw::TheShell().main.handle != nullptr && IsWindowVisible(tw::TheShell().main.handle), "main window created after OK");
    Check(FindWindowA("NORMAL0", nullptr) == tw::TheShell().main.handle, "one main window");
    Check(!IsWindow(tw::TheShell().advertisement), "advertisement destroyed");
    Check(IsWindowEnabled(tw::TheShell().main.handle), "main window enabled");
    MSG quit;
    Check(!PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), "the advertisement's quit did not leak out");
}

// ---------------------------------------------------------------------------
// Version

// Opens the Version window (through the menu or RunModalWindow directly) and
// runs `script` on a helper thread while the nested loop runs; the window is
// closed by the script or, failing that, afterwards. Returns what
// RunModalWindow returned (-1 through the menu).
int WithVersionWindow(bool viaMenu, const std::function<void(HWND)>& script) {
    std::atomic<bool> done{false};
    DWORD uiThread = GetCurrentThreadId();
    std::thread helper([&] {
        HWND v = WaitShown("NORMALDLG", "Version", 10000);
        // Shown first, then the owner is disabled as the nested loop starts.
        DWORD start = GetTickCount();
        while (v && IsWindowEnabled(tw::TheShell().main.handle) && GetTickCount() - start < 3000) Sleep(2);
        if (Check(v != nullptr, "Version window shown")) {
            script(v);
            if (IsWindow(v)) SendMessageA(v, WM_CLOSE, 0, 0);
        } else {
            PostThreadMessageA(uiThread, WM_QUIT, 0, 0);
        }
        done = true;
    });
    int result = -1;
    if (viaMenu) {
        PostMessageA(tw::TheShell().main.handle, WM_COMMAND, MAKEWPARAM(1036, 0), 0);
    } else {
        result = tw::RunModalWindow(tw::TheShell().main.handle, "Version");
    }
    WaitUntil([&] { return done.load(); }, 60000);
    helper.join();
    return result;
}

void CheckEditBox(HWND edit, const std::string& what) {
    std::string text = Text(edit);
    int length = static_cast<int>(text.size());
    SendMessageA(edit, EM_SETSEL, 0, -1);
    DWORD from = 0, to = 0;
    SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    Check(from == 0 && to == static_cast<DWORD>(length), what + " text can be selected");

    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    SendMessageA(edit, WM_COPY, 0, 0);
    std::string copied;
    if (OpenClipboard(nullptr)) {
        if (HANDLE data = GetClipboardData(CF_TEXT)) {
            if (const char* p = static_cast<const char*>(GlobalLock(data))) copied = p;
            GlobalUnlock(data);
        }
        CloseClipboard();
    }
    CheckEq(copied, text, what + " copied to the clipboard");

    // Put something else on the clipboard so a paste would show.
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
        std::memcpy(GlobalLock(block), "zzz", 4);
        GlobalUnlock(block);
        SetClipboardData(CF_TEXT, block);
        CloseClipboard();
    }
    struct Attempt {
        const char* name;
        UINT message;
        WPARAM wParam;
    };
    const Attempt attempts[] = {
        {"typing", WM_CHAR, 'x'},       {"backspace", WM_CHAR, VK_BACK}, {"delete key", WM_KEYDOWN, VK_DELETE},
        {"cut", WM_CUT, 0},             {"paste", WM_PASTE, 0},          {"clear", WM_CLEAR, 0},
    };
    for (const Attempt& a : attempts) {
        SendMessageA(edit, EM_SETSEL, 0, -1);
        SendMessageA(edit, a.message, a.wParam, a.message == WM_KEYDOWN ? 1 : 0);
        if (a.message == WM_KEYDOWN) SendMessageA(edit, WM_KEYUP, a.wParam, 0xC0000001);
        CheckEq(Text(edit), text, what + " unchanged by " + a.name);
    }
}

void CheckVersionWindow(HWND v, bool full) {
    HWND main = tw::TheShell().main.handle;
    Check(!IsWindowEnabled(main), "main window disabled while Version is open");
    Check(GetWindow(v, GW_OWNER) == main, "Version owned by the main window");
    CheckEq(ClassOf(v), std::string("NORMALDLG"), "Version class");
    CheckEq(Text(v), std::string("Version"), "Version caption");
    LONG style = GetWindowLongA(v, GWL_STYLE);
    Check((style & (WS_CAPTION | WS_SYSMENU)) == (WS_CAPTION | WS_SYSMENU), "Version has a close box");
    Check((style & (WS_CHILD | WS_THICKFRAME)) == 0, "Version: top-level, fixed size");
    RECT r = Outer(v), m = Outer(main);
    CheckEq(r.right - r.left, 365, "Version width");
    CheckEq(r.bottom - r.top, 180, "Version height");
    CheckEq(static_cast<int>(r.left), CentredOver(m.left, m.right, 365), "Version centred over main x");
    CheckEq(static_cast<int>(r.top), CentredOver(m.top, m.bottom, 180), "Version centred over main y");
    if (!full) return;

    HWND iconControl = GetDlgItem(v, 1000);
    HICON icon = reinterpret_cast<HICON>(SendMessageA(iconControl, STM_GETICON, 0, 0));
    ICONINFO info{};
    if (Check(icon && GetIconInfo(icon, &info), "Version icon control shows an icon")) {
        BITMAP bm{};
        GetObjectA(info.hbmMask, sizeof bm, &bm);
        CheckEq(static_cast<int>(bm.bmWidth), GetSystemMetrics(SM_CXICON), "Version icon at the default size");
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    CheckChildren(v, kVersionChildren, sizeof kVersionChildren / sizeof kVersionChildren[0], tw::TheShell().versionFont,
                  "Version");
    CheckFont(tw::TheShell().versionFont, "Version font");
    std::string mail = Text(GetDlgItem(v, 1003)), site = Text(GetDlgItem(v, 1016));
    Check(mail.size() > 12 && mail.compare(mail.size() - 12, 12, "@example.com") == 0, "mail address " + mail);
    Check(site.find("example.com") != std::string::npos && site.compare(0, 4, "http") == 0, "web address " + site);
    CheckEditBox(GetDlgItem(v, 1003), "mail box");
    CheckEditBox(GetDlgItem(v, 1016), "site box");
}

void CheckVersionFromMenu() {
    WithVersionWindow(true, [](HWND v) {
        CheckVersionWindow(v, true);
        // The close box sends WM_SYSCOMMAND SC_CLOSE, which becomes WM_CLOSE.
        SendMessageA(v, WM_SYSCOMMAND, SC_CLOSE, 0);
        Check(!IsWindow(v), "close box closes Version");
        Check(IsWindowEnabled(tw::TheShell().main.handle), "main window enabled again");
    });
    Check(IsWindowEnabled(tw::TheShell().main.handle), "main window enabled after the menu's Version");
}

void CheckVersionPlacement() {
    HWND main = tw::TheShell().main.handle;
    RECT home = Outer(main);
    struct Place {
        int x, y;
    };
    // Partly off the left and top edges, and beyond the right one: no clamping.
    const Place places[] = {{-300, -50}, {1200, 600}, {11, 7}};
    for (const Place& p : places) {
        SetWindowPos(main, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        Pump(20);
        RECT m = Outer(main);
        std::string at = " (main at " + std::to_string(m.left) + "," + std::to_string(m.top) + ")";
        Check(m.left == p.x && m.top == p.y, "main window moved" + at);
        int result = WithVersionWindow(false, [&](HWND v) {
            CheckVersionWindow(v, false);
            RECT r = Outer(v);
            Check(r.left == CentredOver(m.left, m.right, 365) && r.top == CentredOver(m.top, m.bottom, 180),
                  "Version placed" + at + " at " + std::to_string(r.left) + "," + std::to_string(r.top));
            SendMessageA(v, WM_CLOSE, 0, 0);
            Check(!IsWindow(v), "WM_CLOSE closes Version" + at);
        });
        CheckEq(result, 0, "RunModalWindow returns 0" + at);
        Check(IsWindowEnabled(main), "main enabled after close" + at);
    }
    // The half is dropped toward zero on both sides of the origin.
    CheckEq(CentredOver(-300, 280, 365), -192, "expected x off screen");
    CheckEq(CentredOver(393, 973, 365), 500, "expected x centred");
    SetWindowPos(main, nullptr, home.left, home.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump(20);
}

bool IconAlive(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return false;
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return true;
}

void CheckRepeatedOpening() {
    HANDLE self = GetCurrentProcess();
    DWORD gdi10 = 0, user10 = 0;
    std::vector<HICON> icons;
    int closedOk = 0;
    for (int i = 0; i < 50; ++i) {
        HICON icon = nullptr;
        int result = WithVersionWindow(false, [&](HWND v) {
            icon = reinterpret_cast<HICON>(SendDlgItemMessageA(v, 1000, STM_GETICON, 0, 0));
            SendMessageA(v, (i % 2) ? WM_CLOSE : WM_SYSCOMMAND, (i % 2) ? 0 : SC_CLOSE, 0);
        });
        if (result == 0 && IsWindowEnabled(tw::TheShell().main.handle) && !IsWindow(tw::TheShell().version)) ++closedOk;
        if (icon && icons.size() < 5) icons.push_back(icon);
        if (i == 9) {
            gdi10 = GetGuiResources(self, GR_GDIOBJECTS);
            user10 = GetGuiResources(self, GR_USEROBJECTS);
        }
    }
    CheckEq(closedOk, 50, "50 openings each closed cleanly");
    DWORD gdi50 = GetGuiResources(self, GR_GDIOBJECTS), user50 = GetGuiResources(self, GR_USEROBJECTS);
    std::printf("GUI objects after 10 and 50 openings: GDI %lu -> %lu, USER %lu -> %lu\n", gdi10, gdi50, user10, user50);
    Check(gdi50 <= gdi10 + 2, "GDI objects do not grow with openings");
    Check(user50 <= user10 + 2, "USER objects do not grow with openings");
    // Each closing destroys the icon that opening loaded.
    size_t alive = 0;
    for (HICON icon : icons) alive += IconAlive(icon) ? 1 : 0;
    Check(icons.size() == 5 && alive == 0, "icons of closed Version windows are destroyed");
}

bool GraphShowsWave() {
    SIZE size = twt::GraphViewSize();
    if (size.cx <= 0 || size.cy <= 0) return false;
    std::vector<std::uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
    if (!twt::ReadGraphPixels(pixels.data(), size.cx, size.cy)) return false;
    size_t blue = 0;
    for (std::uint32_t p : pixels) blue += (p & 0xFFFFFF) == 0x0000FF ? 1 : 0;
    return blue > 100;
}

void CheckWorkersServedWhileOpen() {
    // A drop just before opening: the load and graph threads can only talk
    // to the main window through the nested loop.
    std::string speech = Fixture("speech.wav");
    DropFiles({speech});
    WithVersionWindow(false, [&](HWND v) {
        DWORD start = GetTickCount();
        while ((twt::LoadsInFlight() || twt::GraphsInFlight()) && GetTickCount() - start < 30000) Sleep(10);
        Check(twt::LoadsInFlight() == 0 && twt::GraphsInFlight() == 0, "load and graph finish under Version");
        Check(IsWindow(v) && !IsWindowEnabled(tw::TheShell().main.handle), "Version still open, main still disabled");
        CheckEq(ControlText(1003), speech, "path shown while Version is open");
        CheckEq(ControlText(1005), std::string("1"), "channels shown while Version is open");
        CheckEq(ControlText(1007), std::string("22050"), "rate shown while Version is open");
        Check(!ControlText(1011).empty() && !ControlText(1028).empty(), "measurements shown while Version is open");
        CheckEq(ControlText(1026), std::string(""), "status line cleared after drawing");
        Check(GraphShowsWave(), "graph drawn while Version is open");

        // A second drop that arrives while the window is open.
        std::string mono = Fixture("stereo16.wav");
        DropFiles({mono});
        start = GetTickCount();
        Sleep(20);
        while ((twt::LoadsInFlight() || twt::GraphsInFlight()) && GetTickCount() - start < 30000) Sleep(10);
        CheckEq(ControlText(1003), mono, "second drop shown while Version is open");
        CheckEq(ControlText(1005), std::string("2"), "second drop channels");
        Check(GraphShowsWave(), "second graph drawn");
    });
    Check(WaitIdle(), "workers idle after Version closed");
}

// The main window closed from outside while Version is open (its owned
// window goes with it): the program must still end.
void CheckMainClosedUnderVersion() {
    HWND main = tw::TheShell().main.handle;
    bool bothGone = false;
    std::thread helper([&] {
        HWND v = WaitShown("NORMALDLG", "Version", 10000);
        if (v) {
            SendMessageA(main, WM_CLOSE, 0, 0);
            bothGone = !IsWindow(v) && !IsWindow(main);
        } else {
            PostMessageA(main, WM_CLOSE, 0, 0);
        }
    });
    int result = tw::RunModalWindow(main, "Version");
    helper.join();  // it sends nothing more to this thread
    CheckEq(result, 0, "RunModalWindow returns 0 when the main window goes");
    Check(bothGone, "closing the main window takes Version with it");
    MSG quit;
    bool pending = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
    if (Check(pending, "the quit request reaches the main loop")) CheckEq(tw::RunMessageLoop(), 0, "loop ends with 0");
}

}  // namespace

int main() {
    InitHarness();
    CheckStartUpWithAdvertisement();
    if (tw::TheShell().main.handle) {
        Pump(100);
        CheckVersionFromMenu();
        CheckVersionPlacement();
        CheckWorkersServedWhileOpen();
        CheckRepeatedOpening();
        CheckMainClosedUnderVersion();
    }
    tw::FinishShell();
    return Finish();
}
