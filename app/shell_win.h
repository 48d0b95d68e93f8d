// Process-wide state of the Win32 shell and the entry points that start-up,
// the window procedures and the worker threads share.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "cut/cut_edit.h"
#include "cut/cut_list.h"
#include "wave/wave_data_win.h"

namespace tw {

// The cut list and its undo; Cuts() is its list, for reading.
CutBook& CutEdits();
CutList& Cuts();

extern HWND MainWindowHandle;
extern HWND AdvertisementWindowHandle;
extern HWND VersionWindowHandle;
extern HFONT MainWindowFont;
extern HFONT VersionWindowFont;
extern HFONT AdvertisementWindowFont;
extern HBRUSH BackgroundBrush;
extern HMENU MenuBar;
extern HMENU InfoMenu;

// Set once the main window is gone: workers stop before starting new work.
extern std::atomic<bool> ShellClosing;

// Start-up up to and including the creation of the main window.
void StartUpShell(bool showAdvertisement);
// The thread's message loop until WM_QUIT; returns its exit code.
int RunMessageLoop();
// After the loop: lets a piece being written finish so no file is left
// claiming more data than it holds.
void FinishShell();
// The whole program.
int RunTarnwick();

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void ReleaseShellResources();
bool CenterWindowOnScreen(HWND window, int dx, int dy);
void CenterWindowOnOwner(HWND reference, HWND window, int dx, int dy);

int RunModalWindow(HWND owner, const char* name);
void EndModalWindow(HWND window, int code);
LRESULT CALLBACK AdvertisementWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK VersionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Control texts through the main window (any thread).
std::string GetControlText(int id);
void SetControlText(int id, const std::string& text);
// MessageBoxA owned by the main window.
int ShowMessage(const std::string& text, const std::string& caption, UINT style);

// Pieces being written right now (FinishShell waits for 0). BeginPieceWrite
// is false once the window has closed: no new piece is started then.
bool BeginPieceWrite();
void EndPieceWrite();

}  // namespace tw
