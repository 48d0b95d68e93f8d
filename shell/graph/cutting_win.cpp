// Automatic cutting at silences and cuts by hand on the graph.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

#include "core/cut/auto_cut.h"
#include "core/cut/hand_cut.h"
#include "core/cut/pause_cut.h"
#include "core/support/number_text.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "core/wave/wave_format.h"

namespace tw {

namespace {

int GraphClientWidth(GraphState& g) { return GraphControlSize(g).cx; }

// What a pause-cutting worker hands back to the window's thread.
struct PauseJob {
    WavePtr wave;
    double threshold = 0;    // NaN: estimate it
    double minPauseMs = 0;
    std::shared_ptr<const QuietMap> quiet;
    std::vector<std::int64_t> cuts;
};

}  // namespace

bool RunPauseCutting(GraphState& g, const std::string& thresholdText, double minPauseMs) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave || g.pauseJobs.load() > 0) return false;
    auto job = std::make_unique<PauseJob>();
    job->wave = wave;
    const ThresholdText text = ReadThresholdText(thresholdText);
    job->threshold = text.kind == ThresholdKind::Empty ? std::nan("") : text.value;
    job->minPauseMs = minPauseMs;
    ++g.pauseJobs;
    std::thread([&g, job = std::move(job)]() mutable {
        // The map, not only the cuts: the piece rules reuse it.
        job->quiet = std::make_shared<const QuietMap>(
            MapQuiet(PauseAudioOf(job->wave->bytes, job->wave->layout), job->threshold));
        job->cuts = PauseCutsOf(*job->quiet, job->wave->layout.channels, job->wave->layout.sampleRate, job->minPauseMs);
        PauseJob* done = job.release();
        if (!PostMessageA(GetParent(g.control), kMsgPauseCutsReady, 0, reinterpret_cast<LPARAM>(done))) {
            delete done;  // the window is gone
            --g.pauseJobs;
        }
    }).detach();
    return true;
}

bool FinishPauseCutting(GraphState& g, LPARAM result, PauseOutcome* outcome) {
    std::unique_ptr<PauseJob> job(reinterpret_cast<PauseJob*>(result));
    --g.pauseJobs;
    // Cuts found for a recording no longer shown belong to no file.
    WavePtr shown = CurrentWave(*g.workers);
    if (!shown || shown->recording != job->wave->recording) return false;
    outcome->threshold = job->quiet->threshold;
    outcome->estimated = std::isnan(job->threshold);
    outcome->quiet = job->quiet;
    const int width = GraphClientWidth(g);
    outcome->cuts.clear();
    outcome->cuts.reserve(job->cuts.size());
    for (std::int64_t c : job->cuts) {
        std::int32_t column = 0;
        const double position = static_cast<double>(c);
        if (!CutLineColumn(position, width, shown->scaleSize(), &column)) column = -1;
        outcome->cuts.push_back({position, static_cast<double>(column)});
    }
    return true;
}

int PauseCutsInFlight(GraphState& g) { return g.pauseJobs.load(); }

std::size_t RunAutoCutting(GraphState& g, const std::string& thresholdText) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return 0;
    const int width = GraphClientWidth(g);
    const double threshold = ReadThresholdText(thresholdText).value;
    std::vector<AutoCut> found =
        ScanEncodedForCuts(wave->bytes, wave->encoding(), wave->sampleCount(), wave->scaleSize(), width, threshold);
    std::vector<CutWithColumn> cuts;
    cuts.reserve(found.size());
    for (const AutoCut& c : found) cuts.push_back({static_cast<double>(c.position), static_cast<double>(c.column)});
    if (!cuts.empty()) AppendCutsWithLines(g, cuts);
    return cuts.size();
}

void AppendUserCuts(GraphState& g, const std::vector<double>& positions) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave || positions.empty()) return;
    const int width = GraphClientWidth(g);
    std::vector<CutWithColumn> cuts;
    for (double position : positions) {
        std::int32_t column = 0;
        if (!CutLineColumn(position, width, wave->scaleSize(), &column)) column = -1;
        cuts.push_back({position, static_cast<double>(column)});
    }
    AppendCutsWithLines(g, cuts, CutOrigin::User);
}

void HandleGraphClick(GraphState& g, bool cutting) {
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return;
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(g.control, &cursor);
    const int width = GraphClientWidth(g);
    if (cutting) {
        double position;
        if (!CutPositionForClick(cursor.x, width, wave->scaleSize(), &position)) return;
        AppendCutsWithLines(g, {{position, static_cast<double>(cursor.x)}}, CutOrigin::User);
    } else {
        std::uint64_t index;
        if (!SampleIndexForClick(cursor.x, width, wave->scaleSize(), &index)) return;
        (*g.report).Message(FormatNumber(wave->sample(index)), "ボリューム", MB_OK);
    }
}

}  // namespace tw
