// Helpers for the Win32 tests: checks with a closing summary, message pumping,
// real in-process drops, message boxes answered as they appear, and files.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "probes_win.h"

namespace twt {

// Prints FAIL lines; the summary "N passed, M failed" is printed by Finish().
bool Check(bool ok, const std::string& what);
template <class A, class B>
bool CheckEq(const A& actual, const B& expected, const std::string& what);
int Finish();  // prints the summary, returns the exit code

// Installs the crash filter and starts the message-box watcher.
void InitHarness();
// Start-up without the notice window, then the main window is checked.
void OpenMainWindow();
// Closes the main window as its close box does, runs the loop to its end and
// lets the shell finish; checks the exit code and that the window is gone.
void CloseMainWindow();

void Pump(DWORD ms);
// Pumps until pred() or the timeout; returns pred().
bool WaitUntil(const std::function<bool()>& pred, DWORD timeoutMs = 20000);
// Waits until no load, graph or save thread runs.
bool WaitIdle(DWORD timeoutMs = 60000);
// Until a graph thread draws, or every load has finished; true only in the first case.
bool WaitForDrawing();

void DropFiles(const std::vector<std::string>& paths);
void DropFilesW(const std::vector<std::wstring>& paths);  // a drop whose names are wide text
// A drop as the user makes it, with cuts unsaved or not (DropFiles counts them saved).
void DropFilesAsking(const std::vector<std::string>& paths);

struct BoxRecord {
    std::string caption;
    std::string text;
    HWND owner;
};
// Every message box seen so far (answered as it appeared, with OK unless
// SetBoxAnswer chose another button).
std::vector<BoxRecord> Boxes();
void SetBoxAnswer(int id);
void ClearBoxes();
bool WaitBoxes(size_t count, DWORD timeoutMs = 20000);

// Posts WM_CLOSE to every visible small window ("NORMALDLG") of this process,
// from any thread; returns how many it asked to close.
int CloseSmallWindows();

std::string ControlText(int id);
HWND Control(int id);
// Bands of rows with ink in what the control shows now: the lines of its
// text (a kana line is one band), 0 for none.
int TextLinesShown(int id);

// Folders from the runner: fixtures made by sox/espeak-ng, and the work folder
// (the current directory) for written files. Windows paths (Z:\...).
std::string Fixture(const std::string& name);
std::string WorkPath(const std::string& name);

std::vector<std::uint8_t> ReadFileBytes(const std::string& path);
// Runs a Linux shell command as another program would (Wine starts it
// natively) in the work folder and waits for it; true when it succeeded.
bool RunLinux(const std::string& commandLine);
bool WriteFileBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
// A canonical 44-byte header for 16-bit PCM with the given data size field.
std::vector<std::uint8_t> WaveFile(const std::vector<std::int16_t>& samples, int channels = 1, int rate = 44100,
                                   std::int64_t dataSizeField = -1);

// Moves the real cursor to a point in the graph control's client area and
// clicks it (WM_LBUTTONDOWN/UP posted to the static).
void ClickGraph(int x, int y);

// The graph's right-click menu as it opened: its items in order (separators
// left out) and its top-left corner on the screen.
struct MenuItem {
    UINT id;
    std::string text;
    bool greyed;
};
struct PopupMenu {
    bool opened = false;
    std::vector<MenuItem> items;
    POINT at{};
    bool Greyed(UINT id) const;
};
// Right-clicks the graph control at (x, y) as the mouse does, reads the menu
// that opens and closes it without a choice (after holdMs, for a screenshot).
// `opened` is false when no menu appeared within ten seconds.
PopupMenu RightClickGraph(int x, int y, DWORD holdMs = 0);
// An item's command, sent to the main window as the popup sends it.
void ChooseMenuItem(UINT id);

// A key pressed as the keyboard does: WM_KEYDOWN and WM_KEYUP posted to the
// control with the focus, Ctrl and Shift held in the thread's key state
// meanwhile (`repeat`: as a key held down repeats), then pumped.
void PressKey(WPARAM key, bool ctrl = false, bool shift = false, bool repeat = false);
// One turn of the wheel (WM_MOUSEWHEEL, or the tilt's WM_MOUSEHWHEEL) posted
// to the control with the focus.
void TurnWheel(int delta, bool ctrl = false, UINT message = WM_MOUSEWHEEL);

std::string Hex(const std::string& bytes);

template <class A, class B>
bool CheckEq(const A& actual, const B& expected, const std::string& what) {
    bool ok = actual == expected;
    if (!ok) {
        std::string a, e;
        if constexpr (std::is_convertible_v<A, std::string>) a = std::string(actual); else a = std::to_string(actual);
        if constexpr (std::is_convertible_v<B, std::string>) e = std::string(expected); else e = std::to_string(expected);
        Check(false, what + ": got [" + a + "] expected [" + e + "]");
        return false;
    }
    return Check(true, what);
}

}  // namespace twt
