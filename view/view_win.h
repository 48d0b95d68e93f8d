// The waveform view on Windows: the off-screen GraphView, cut lines, zoom,
// scrolling and the two ways of cutting.
#pragma once

#include <windows.h>

#include <vector>

#include "app/shell_win.h"
#include "cut/cut_edit.h"

namespace tw {

// Draws the whole graph for `wave` at the graph control's current size and
// installs it unless a newer drawing was installed meanwhile. Any thread.
void DrawWaveformGraph(const WavePtr& wave);
// The graph control and its client size: the one place they are looked up.
HWND GraphControl();
SIZE GraphControlSize();
// Runs DrawWaveformGraph on a thread of its own.
void StartGraphThread(WavePtr wave);
struct CutWithColumn {
    double position;  // appended to the cut list
    double column;    // where its line is drawn now
};
// Draws each line and appends each position as one step that a drawing being
// swapped in cannot split; copies the bitmap once at the end.
void AppendCutsWithLines(const std::vector<CutWithColumn>& cuts);
// Copies the installed bitmap onto the graph control.
void PresentGraph();
// The line of the position being heard, drawn over the picture on the control
// (never into the bitmap); kNoPlayLine takes it away. User-interface thread.
constexpr int kNoPlayLine = -0x7FFFFFFF - 1;
void SetPlayLine(int column);
// After cuts were taken away: the whole graph again at the current width,
// lines as the list has them (user-interface thread, like a zoom).
void RedrawGraphForCuts();
// Drawings running on graph threads.
int GraphsInFlight();
// Drops the picture: the graph control shows its own fill again.
void ClearGraphView();
// Frees the memory DC and bitmap; later drawings are discarded.
void ReleaseGraphView();

void ZoomIn();
void ZoomOut();
void HandleGraphScroll(int code, int thumb, HWND scrollBar);
void InitScrollState();

void RunAutoCutting();
void HandleGraphClick();
// Pause cutting runs on a worker; its cuts come back to the window's thread
// (kMsgPauseCutsReady) and are drawn and appended there as one undo step.
void RunPauseCutting();
void FinishPauseCutting(LPARAM result);


// The graph's right-click menu (WM_CONTEXTMENU from the graph control, at
// screen point lParam) and the commands it sends.
void ShowGraphMenu(LPARAM screenPoint);
// Its items, each for the column the menu was opened at.
void PlayPieceAtMenu();
void PlayFromMenu();
void DeleteCutAtMenu();
void DeleteAllCuts();  // asks first
void UndoCutChange();

}  // namespace tw
