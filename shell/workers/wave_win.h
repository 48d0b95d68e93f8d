// Loading a dropped or opened file and saving the cut pieces on worker threads; each
// tells the user what happens through the window's report.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/cut/save_plan.h"
#include "shell/workers/window_report_win.h"
#include "shell/workers/worker_state_win.h"

namespace tw {

// Loads the first file of a drop (the status line says when there were more).
void StartWaveLoad(WorkerState& workers, HDROP drop, WindowReport& report);
// Loads one file, as a drop does; `notice` goes on the status line once the
// graph is up ("" for none).
// Loads still running (reading, or copying the samples into private memory).
int LoadsInFlight(const WorkerState& workers);
void StartWaveLoad(WorkerState& workers, const std::wstring& path, WindowReport& report, const std::string& notice = std::string());

// What one save works on, taken at the click so a drop or a cut that follows
// at once can never slip into it.
struct SaveJob {
    WavePtr wave;          // kept alive by the job while a new file loads
    SaveRequest request;   // cuts, rules, names, prefix (PiecePrefixFor) and digits
    bool replace = false;  // pieces of the same names are replaced (once the whole set is written)
    std::uint64_t cutRevision = 0;  // of the cuts taken (CutBook::Revision)
};
// The pieces' prefix, UTF-8, from the name box (window's code page), in a
// folder of the recording's own when asked.
std::string PiecePrefixFor(const std::string& nameBox, const WaveData& wave, bool folderPerRecording);
void StartSaveCuts(SaveState& saves, SaveJob job, WindowReport& report);
// Lets a save being written finish or remove what it wrote (no set is left
// half-made) and starts no more.
void FinishSaves(SaveState& saves);

}  // namespace tw
