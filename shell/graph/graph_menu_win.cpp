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

int GraphWidth() { return GraphControlSize().cx; }

bool HasSamples(const WavePtr& wave) { return wave && wave->dataSize() > 0; }

bool NearestLine(const WavePtr& wave, double* position) {
    if (!HasSamples(wave)) return false;
    return NearestCutLine(Cuts().Snapshot(), Graph().clickColumn, GraphWidth(), wave->scaleSize(), kCutLineReach, position);
}

// The sample under the last click's column, as a left click in value mode finds it.
bool SampleUnderMenu(const WavePtr& wave, std::uint64_t* index) {
    return HasSamples(wave) && SampleIndexForClick(Graph().clickColumn, GraphWidth(), wave->scaleSize(), index);
}

// The line of the sample being heard, where a cut there would have its line.
// The end of a playback is told by its watcher thread: the line goes on the
// window's thread.
void ShowHeard(const WaveData* wave, std::uint64_t sample) {
    std::int32_t column;
    if (!wave)
        GraphReport().OnWindowThread([] { SetPlayLine(kNoPlayLine); });
    else if (CutLineColumn(static_cast<double>(sample), GraphWidth(), wave->scaleSize(), &column))
        SetPlayLine(column);
}

void Play(const WavePtr& wave, std::uint64_t offset, std::uint64_t length) {
    const MMRESULT result = StartPlayback(wave, offset, length, ShowHeard);
    if (result != MMSYSERR_NOERROR)
        GraphReport().Message("音声を再生できません\r\n" + PlaybackErrorText(result), "Error", MB_ICONWARNING | MB_OK);
}

void AddItem(HMENU menu, UINT id, const char* text, bool enabled) {
    AppendMenuA(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), id, text);
}

}  // namespace

void ShowGraphMenu(LPARAM screenPoint) {
    POINT at{static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (at.x == -1 && at.y == -1) GetCursorPos(&at);  // from the keyboard: where the pointer is
    POINT column = at;
    ScreenToClient(GraphControl(), &column);
    Graph().clickColumn = column.x;

    const WavePtr wave = CurrentWave();
    double position;
    const bool samples = HasSamples(wave);
    HMENU menu = CreatePopupMenu();
    // With no device the play items stay enabled and say so when chosen.
    AddItem(menu, kIdMenuPlayPiece, "このピースを再生\tSpace", samples);
    AddItem(menu, kIdMenuPlayFromHere, "ここから再生", samples);
    AddItem(menu, kIdMenuStop, "停止", PlaybackActive());
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kIdMenuDeleteCut, "このカットを削除\tDel", NearestLine(wave, &position));
    AddItem(menu, kIdMenuDeleteAllCuts, "すべてのカットを削除", Cuts().Count() > 0);
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AddItem(menu, kIdMenuUndo, "元に戻す\tCtrl+Z", CutEdits().CanUndo());
    // The chosen item comes back as WM_COMMAND to the main window.
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, GetParent(GraphControl()), nullptr);
    DestroyMenu(menu);
}

// The piece around the point, as the next save writes it.
void PlayPieceAtMenu(const std::vector<Piece>& bounds, const std::vector<Piece>& played) {
    WavePtr wave = CurrentWave();
    std::uint64_t index;
    if (!SampleUnderMenu(wave, &index)) return;
    const std::size_t k = PieceHolding(bounds, wave->sampleBytes() * index);
    if (k < bounds.size() && k < played.size()) Play(wave, played[k].offset, played[k].length);
}

void PlayStretch(std::uint64_t offset, std::uint64_t length) {
    if (WavePtr wave = CurrentWave()) Play(wave, offset, length);
}

void PlayFromMenu() {
    WavePtr wave = CurrentWave();
    std::uint64_t index;
    if (!SampleUnderMenu(wave, &index)) return;
    const std::uint64_t frame = FrameBytes(wave->layout.pieceHeader);
    const std::uint64_t at = wave->sampleBytes() * index;
    const std::uint64_t offset = at - at % frame;
    Play(wave, offset, wave->dataSize() - offset);
}

void DeleteCutAtMenu() {
    double position;
    if (!NearestLine(CurrentWave(), &position)) return;
    if (CutEdits().RemoveAll(position)) RedrawGraphForCuts();
}

void DeleteAllCuts() {
    if (Cuts().Count() == 0) return;
    if (GraphReport().Message("すべてのカットを削除しますか？", "確認", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    if (CutEdits().ClearAll()) RedrawGraphForCuts();
}

void UndoCutChange() {
    if (CutEdits().Undo()) RedrawGraphForCuts();
}

}  // namespace tw
