// Start-up when the advertisement is closed during its countdown (a process
// of its own: the advertisement runs once per start), and RunModalWindow with
// names it does not know.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "shell/app/shell_win.h"
#include "harness_win.h"

using namespace twt;

namespace {

std::string Text(HWND window) {
    char buffer[256] = {0};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

HWND ShownModal() {
    HWND w = FindWindowA("NORMALDLG", nullptr);
    DWORD pid = 0;
    if (w) GetWindowThreadProcessId(w, &pid);
    return (w && pid == GetCurrentProcessId() && IsWindowVisible(w)) ? w : nullptr;
}

void CheckCloseDuringCountdown() {
    std::atomic<bool> done{false};
    std::string shownWhenClosed;
    bool okWhenClosed = true, goneAtOnce = false, mainBefore = true;
    DWORD startedAt = GetTickCount();
    std::thread script([&] {
        HWND ad = nullptr;
        while (!(ad = ShownModal()) && GetTickCount() - startedAt < 15000) Sleep(2);
        if (ad) {
            // Wait for the second tick, then close it the way the system would.
            HWND number = GetDlgItem(ad, 1009);
            DWORD seen = GetTickCount();
            while (Text(number) != "3" && GetTickCount() - seen < 10000) Sleep(5);
            shownWhenClosed = Text(number);
            okWhenClosed = IsWindowEnabled(GetDlgItem(ad, 1029)) != FALSE;
            mainBefore = FindWindowA("NORMAL0", nullptr) != nullptr;
            SendMessageA(ad, WM_CLOSE, 0, 0);
            goneAtOnce = !IsWindow(ad);
        }
        done = true;
    });
    tw::StartUpShell(true);
    DWORD tookMs = GetTickCount() - startedAt;
    WaitUntil([&] { return done.load(); }, 30000);
    script.join();

    CheckEq(shownWhenClosed, std::string("3"), "closed during the countdown");
    Check(!okWhenClosed, "OK still greyed when closed");
    Check(!mainBefore, "no main window before the advertisement closed");
    Check(goneAtOnce, "WM_CLOSE destroys the advertisement at once");
    Check(tookMs < 5000, "start-up went on without waiting for the countdown (" + std::to_string(tookMs) + " ms)");
    Check(tw::TheShell().main.handle != nullptr && IsWindowVisible(tw::TheShell().main.handle), "main window created");
    Check(IsWindowEnabled(tw::TheShell().main.handle), "main window enabled");
    MSG quit;
    Check(!PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE), "the advertisement's quit stayed in its loop");
    // Its timer died with it: nothing ticks on afterwards.
    Pump(1300);
    Check(!IsWindow(tw::TheShell().advertisement), "advertisement stays destroyed");
    Check(ShownModal() == nullptr, "no modal window left");
}

void CheckUnknownNames() {
    const char* names[] = {"", "version", "VERSION", "Version ", "advertisement", "Advert", "NORMALDLG", "About"};
    HWND main = tw::TheShell().main.handle;
    for (const char* name : names) {
        std::string what = std::string("name [") + name + "]";
        // A quit already queued shows whether a nested loop ran: a loop would
        // consume it and return its code.
        PostMessageA(nullptr, WM_QUIT, 42, 0);
        int result = tw::RunModalWindow(main, name);
        MSG quit;
        bool stillQueued = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 42;
        CheckEq(result, 0, what + " returns 0");
        Check(stillQueued, what + " runs no loop");
        Check(IsWindowEnabled(main), what + " leaves the owner enabled");
        Check(ShownModal() == nullptr, what + " shows nothing");
    }
    // With no owner at all.
    PostMessageA(nullptr, WM_QUIT, 42, 0);
    CheckEq(tw::RunModalWindow(nullptr, "Other"), 0, "unknown name without owner returns 0");
    MSG quit;
    Check(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, "unknown name without owner runs no loop");
}

}  // namespace

int main() {
    InitHarness();
    CheckCloseDuringCountdown();
    if (tw::TheShell().main.handle) {
        CheckUnknownNames();
        SendMessageA(tw::TheShell().main.handle, WM_CLOSE, 0, 0);
        CheckEq(tw::RunMessageLoop(), 0, "loop ends with exit code 0");
        Check(!IsWindow(tw::TheShell().main.handle), "main window destroyed");
    }
    tw::FinishShell();
    return Finish();
}
