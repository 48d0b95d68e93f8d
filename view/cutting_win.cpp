// Automatic cutting at silences and cuts by hand on the graph.
#include <windows.h>

#include <cstring>

#include "app/main_window_ids.h"
#include "support/number_text.h"
#include "view/auto_cut.h"
#include "view/hand_cut.h"
#include "view/view_win.h"

namespace tw {

namespace {

int GraphClientWidth() {
    RECT rc{};
    GetClientRect(GetDlgItem(MainWindowHandle, kIdGraph), &rc);
    return rc.right - rc.left;
}

}  // namespace

void RunAutoCutting() {
    WavePtr wave = CurrentWave();
    if (!wave) return;
    const int width = GraphClientWidth();
    const double threshold = ParseNumber(GetControlText(kIdThreshold));
    std::vector<AutoCut> found =
        ScanEncodedForCuts(wave->bytes, wave->encoding(), wave->sampleCount(), wave->scaleSize(), width, threshold);
    std::vector<CutWithColumn> cuts;
    cuts.reserve(found.size());
    for (const AutoCut& c : found) cuts.push_back({static_cast<double>(c.position), static_cast<double>(c.column)});
    if (!cuts.empty()) AppendCutsWithLines(cuts);
}

void HandleGraphClick() {
    const bool cutting = SendDlgItemMessageA(MainWindowHandle, kIdCuttingMode, BM_GETCHECK, 0, 0) == BST_CHECKED;
    WavePtr wave = CurrentWave();
    if (!wave) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(GetDlgItem(MainWindowHandle, kIdGraph), &cursor);
    const int width = GraphClientWidth();
    if (cutting) {
        double position;
        if (!CutPositionForClick(cursor.x, width, wave->scaleSize(), &position)) return;
        AppendCutsWithLines({{position, static_cast<double>(cursor.x)}});
    } else {
        std::uint64_t index;
        if (!SampleIndexForClick(cursor.x, width, wave->scaleSize(), &index)) return;
        ShowMessage(FormatNumber(wave->sample(index)), "ボリューム", MB_OK);
    }
}

}  // namespace tw
