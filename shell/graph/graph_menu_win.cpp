// The graph's right-click menu: listening to a piece or from a point, and
// taking cuts away again (one, all, or the last change undone).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/cut/cut_edit.h"
#include "core/cut/hand_cut.h"
#include "core/cut/piece_plan.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "shell/workers/play_win.h"
#include "core/wave/wave_format.h"

namespace tw {

namespace {

int GraphWidth(GraphState& g) { return GraphControlSize(g).cx; }

bool HasSamples(const WavePtr& wave) { return wave && wave->dataSize() > 0; }

bool NearestLine(GraphState& g, const WavePtr& wave, double* position) {
    if (!HasSamples(wave)) return false;
    return NearestCutLine(Cuts(g).Snapshot(), g.clickColumn, GraphWidth(g), wave->scaleSize(), kCutLineReach, position);
}

// The sample under the last click's column, as a left click in value mode finds it.
bool SampleUnderMenu(GraphState& g, const WavePtr& wave, std::uint64_t* index) {
    return HasSamples(wave) && SampleIndexForClick(g.clickColumn, GraphWidth(g), wave->scaleSize(), index);
}

// The line of the sample being heard, where a cut there would have its line.
// The end of a playback is told by its watcher thread: the line goes on the
// window's thread.
void ShowHeard(GraphState& g, const WaveData* wave, std::uint64_t sample) {
    std::int32_t column;
    if (!wave)
        (*g.report).OnWindowThread([&g] { SetPlayLine(g, kNoPlayLine); });
    else if (CutLineColumn(static_cast<double>(sample), GraphWidth(g), wave->scaleSize(), &column))
        SetPlayLine(g, column);
}

void Play(GraphState& g, const WavePtr& wave, std::uint64_t offset, std::uint64_t length) {
    const MMRESULT result = StartPlayback(g.workers->play, g.control, wave, offset, length,
                                          [&g](const WaveData* heard, std::uint64_t sample) { ShowHeard(g, heard, sample); });
    if (result != MMSYSERR_NOERROR)
        (*g.report).Message("音声を再生できません\r\n" + PlaybackErrorText(result), "Error", MB_ICONWARNING | MB_OK);
}

void AddItem(HMENU menu, UINT id, const char* text, bool enabled) {
    AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text);
}

}  // namespace

void ShowGraphMenu(GraphState& g, LPARAM screenPoint) {
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (at.x == -1 && at.y == -1) GetCursorPos(&at);  // from the keyboard: where the pointer is
    POINT column = at;
    ScreenToClient(g.control, &column);
    g.clickColumn = column.x;

    const WavePtr wave = CurrentWave(*g.workers);
    double position;
    const bool samples = HasSamples(wave);
    HMENU menu = CreatePopupMenu();
    // With no device the play items stay enabled and say so when chosen.
    AddItem(menu, kIdMenuPlayPiece, "このピースを再生\tSpace", samples);
    AddItem(menu, kIdMenuPlayFromHere, "ここから再生", samples);
    AddItem(menu, kIdMenuStop, "停止", PlaybackActive(g.workers->play));
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kIdMenuDeleteCut, "このカットを削除\tDel", NearestLine(g, wave, &position));
    AddItem(menu, kIdMenuDeleteAllCuts, "すべてのカットを削除", Cuts(g).Count() > 0);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kIdMenuUndo, "元に戻す\tCtrl+Z", CutEdits(g).CanUndo());
    // The chosen item comes back as WM_COMMAND to the main window.
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, GetParent(g.control), nullptr);
    DestroyMenu(menu);
}

// The piece around the point, as the next save writes it.
void PlayPieceAtMenu(GraphState& g, const std::vector<Piece>& bounds, const std::vector<Piece>& played) {
    WavePtr wave = CurrentWave(*g.workers);
    std::uint64_t index;
    if (!SampleUnderMenu(g, wave, &index)) return;
    const std::size_t k = PieceHolding(bounds, wave->sampleBytes() * index);
    if (k < bounds.size() && k < played.size()) Play(g, wave, played[k].offset, played[k].length);
}

void PlayStretch(GraphState& g, std::uint64_t offset, std::uint64_t length) {
    if (WavePtr wave = CurrentWave(*g.workers)) Play(g, wave, offset, length);
}

void PlayFromMenu(GraphState& g) {
    WavePtr wave = CurrentWave(*g.workers);
    std::uint64_t index;
    if (!SampleUnderMenu(g, wave, &index)) return;
    const std::uint64_t frame = FrameBytes(wave->layout.pieceHeader);
    const std::uint64_t at = wave->sampleBytes() * index;
    const std::uint64_t offset = at - at % frame;
    Play(g, wave, offset, wave->dataSize() - offset);
}

void DeleteCutAtMenu(GraphState& g) {
    double position;
    if (!NearestLine(g, CurrentWave(*g.workers), &position)) return;
    if (CutEdits(g).RemoveAll(position)) RedrawGraphForCuts(g);
}

void DeleteAllCuts(GraphState& g) {
    if (Cuts(g).Count() == 0) return;
    if ((*g.report).Message("すべてのカットを削除しますか？", "確認", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (CutEdits(g).ClearAll()) RedrawGraphForCuts(g);
}

void UndoCutChange(GraphState& g) {
    if (CutEdits(g).Undo()) RedrawGraphForCuts(g);
}

}  // namespace tw
