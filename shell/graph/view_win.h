// The waveform view on Windows: the off-screen GraphView, the cuts and their
// lines, zoom, scrolling, the ways of cutting and the graph's menu. The main
// window hands it its controls and its report once, then passes each click's
// inputs in; the view reads no other control.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "core/cut/cut_edit.h"
#include "core/cut/cut_list.h"
#include "core/cut/pause_cut.h"
#include "core/cut/piece_plan.h"
#include "shell/graph/graph_state_win.h"
#include "shell/workers/window_report_win.h"

namespace tw {

// The graph control (on the main window), its scroll bar, and where the view
// tells the user what happens. Called once, when the window is made.
void AttachGraph(GraphState& g, WorkerState& workers, HWND graph, HWND scrollBar, WindowReport& report);
// The window's cut list and its undo; Cuts is its list, for reading.
CutBook& CutEdits(GraphState& g);
CutList& Cuts(GraphState& g);

// Items of the graph's right-click menu (commands of the main window).
enum GraphMenuId : int {
    kIdMenuPlayPiece = 1101,
    kIdMenuPlayFromHere = 1102,
    kIdMenuStop = 1103,
    kIdMenuDeleteCut = 1104,
    kIdMenuDeleteAllCuts = 1105,
    kIdMenuUndo = 1106,
};
// Posted to the main window when pause cutting's cuts are ready (lParam:
// the result, for FinishPauseCutting).
constexpr UINT kMsgPauseCutsReady = WM_APP + 1;

// Draws the whole graph for `wave` at the graph control's current size and
// installs it unless a newer drawing was installed meanwhile. Any thread.
// With the marks given, or else those of the plan shown.
void DrawWaveformGraph(GraphState& g, const WavePtr& wave, std::shared_ptr<const PieceMarks> marks = nullptr);
// The graph control's client size: the one place it is looked up.
SIZE GraphControlSize(GraphState& g);
// Runs DrawWaveformGraph on a thread of its own.
void StartGraphThread(GraphState& g, WavePtr wave);
struct CutWithColumn {
    double position;  // appended to the cut list
    double column;    // where its line is drawn now
};
// Appends each position as one step that a drawing being swapped in cannot
// split, and paints once at the end; the lines themselves are drawn here only
// when no plan follows (without cutsChanged), else by the plan's drawing.
void AppendCutsWithLines(GraphState& g, const std::vector<CutWithColumn>& cuts, CutOrigin origin = CutOrigin::Automatic);
// The user's cuts at these positions (a label file's), lines where the
// current zoom shows them, as one undo step.
void AppendUserCuts(GraphState& g, const std::vector<double>& positions);
// Paints the graph control from the installed bitmap now (it paints itself
// whenever Windows asks, too). User-interface thread.
void PresentGraph(GraphState& g);
// The line of the position being heard, painted over the picture on the
// control (never into the bitmap); kNoPlayLine takes it away.
// User-interface thread.
void SetPlayLine(GraphState& g, int column);
int PlayLineColumn(GraphState& g);  // kNoPlayLine when none shows
// The line of a cut being dragged, painted the same way.
void SetDragLine(GraphState& g, int column);
// The graph control's mouse: a press on a cut line in cutting mode drags it
// (held until released; a release where it was pressed is a plain click).
// True when the message was taken; otherwise the control handles it itself.
bool HandleGraphMouse(GraphState& g, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// After cuts were taken away: the whole graph again at the current width,
// lines as the list has them (user-interface thread, like a zoom).
void RedrawGraphForCuts(GraphState& g);
// The pieces the next save writes, marked on the graph from now on (drawn
// at once when the recording is summarised, else by a drawing thread).
// User-interface thread.
void ShowPieceMarks(GraphState& g, std::shared_ptr<const PieceMarks> marks);
// Scrolls the graph so that value `value` of the recording shows, near the
// left of the part shown, and makes its column the one the graph's keys and
// menu act on.
void ScrollGraphToValue(GraphState& g, std::uint64_t value);
// Plays `length` bytes of the recording from byte `offset` (says why not).
void PlayStretch(GraphState& g, std::uint64_t offset, std::uint64_t length);
// Drawings running on graph threads.
int GraphsInFlight(GraphState& g);
// Drops the picture: the graph control shows its own fill again.
void ClearGraphView(GraphState& g);
// Frees the memory DC and bitmap; later drawings are discarded.
void ReleaseGraphView(GraphState& g);

// A zoom step; the column under the pointer stays in place when atPointer
// (the wheel, a key) and the pointer is over the graph, else the left edge.
void ZoomIn(GraphState& g, bool atPointer = false);
void ZoomOut(GraphState& g, bool atPointer = false);
void HandleGraphScroll(GraphState& g, int code, int thumb, HWND scrollBar);
// Unzoomed and unscrolled: the whole recording in view.
void ShowWholeRecording(GraphState& g);
// After the window's size changed: the graph's width when not zoomed and
// its height. A zoomed graph keeps its width while it is wider; the new
// drawing comes once the size has settled (kGraphRedrawTimer on the main
// window, then RedrawAfterResize).
constexpr UINT_PTR kGraphRedrawTimer = 7;
constexpr int kTimeAxisHeight = 14;
void FitGraphToWindow(GraphState& g, int startWidth, int height);
void RedrawAfterResize(GraphState& g);
// The time axis (an owner-drawn strip under the graph) painted, and the
// time and value under the pointer shown when it moved over the graph.
void PaintTimeAxis(GraphState& g, const DRAWITEMSTRUCT& item);
void ShowPointerAt(GraphState& g, int x, int y);
void InitScrollState(GraphState& g);

// Cuts at silences below the threshold box's text; how many it placed.
std::size_t RunAutoCutting(GraphState& g, const std::string& thresholdText);
// A left click on the graph: a cut there when cutting, else its sample's value.
void HandleGraphClick(GraphState& g, bool cutting);
// Pause cutting runs on a worker; its cuts come back to the window's thread
// (kMsgPauseCutsReady) and are drawn and appended there as one undo step.
// An empty threshold text means the estimate. False when it did not start
// (no recording, or a run still going: a second would double every cut).
bool RunPauseCutting(GraphState& g, const std::string& thresholdText, double minPauseMs);
// A pause-cutting run that came back: the threshold its cuts were found at,
// whether it estimated it, its judgement of the recording (for the piece
// rules, which need the same) and its cuts with the columns of their lines.
struct PauseOutcome {
    double threshold = 0;
    bool estimated = false;
    std::shared_ptr<const QuietMap> quiet;
    std::vector<CutWithColumn> cuts;
};
// Takes the run back (lParam of kMsgPauseCutsReady); false when its
// recording is no longer shown. Its cuts go on with AppendCutsWithLines.
bool FinishPauseCutting(GraphState& g, LPARAM result, PauseOutcome* outcome);

// The graph's right-click menu (WM_CONTEXTMENU from the graph control, at
// screen point lParam) and the commands it sends.
void ShowGraphMenu(GraphState& g, LPARAM screenPoint);
// Its items, each for the column the menu was opened at. A piece: the one of
// `bounds` that holds the menu's sample, heard as `played` has it (the same
// piece as the save writes it, trimmed by a margin).
void PlayPieceAtMenu(GraphState& g, const std::vector<Piece>& bounds, const std::vector<Piece>& played);
void PlayFromMenu(GraphState& g);
void DeleteCutAtMenu(GraphState& g);
void DeleteAllCuts(GraphState& g);  // asks first
void UndoCutChange(GraphState& g);

}  // namespace tw
