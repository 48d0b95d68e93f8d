// What the tests and benchmarks look at inside the shell: the workers still
// running, the picture installed, the cuts and the recording shown. The
// product's probes are defined beside what they count and declared here so
// its headers carry no test hooks; the short forms below find the one
// window's state in the process's Shell.
#pragma once

#include <windows.h>

#include <cstdint>

#include "shell/app/shell_win.h"
#include "shell/workers/wave_win.h"

namespace tw {

int SavesInFlight(const SaveState& saves);
// Pause-cutting runs whose cuts have not been appended yet.
int PauseCutsInFlight(GraphState& g);
// Size of the installed bitmap (0, 0 when none).
SIZE GraphViewSize(GraphState& g);
// Copies the installed bitmap's pixels (32 bpp, top-down).
bool ReadGraphPixels(GraphState& g, std::uint32_t* pixels, int width, int height);

}  // namespace tw

namespace twt {

inline tw::GraphState& Graph() { return tw::TheShell().graph; }
inline tw::WorkerState& Workers() { return tw::TheShell().workers; }
inline int LoadsInFlight() { return tw::LoadsInFlight(Workers()); }
inline int SavesInFlight() { return tw::SavesInFlight(Workers().saves); }
inline int PauseCutsInFlight() { return tw::PauseCutsInFlight(Graph()); }
inline int GraphsInFlight() { return tw::GraphsInFlight(Graph()); }
inline SIZE GraphViewSize() { return tw::GraphViewSize(Graph()); }
inline bool ReadGraphPixels(std::uint32_t* pixels, int width, int height) {
    return tw::ReadGraphPixels(Graph(), pixels, width, height);
}
inline tw::WavePtr CurrentWave() { return tw::CurrentWave(Workers()); }
inline tw::CutList& Cuts() { return tw::Cuts(Graph()); }
inline tw::CutBook& CutEdits() { return tw::CutEdits(Graph()); }
inline void AppendUserCuts(const std::vector<double>& positions) { tw::AppendUserCuts(Graph(), positions); }
inline void RedrawGraphForCuts() { tw::RedrawGraphForCuts(Graph()); }
inline void StartGraphThread(tw::WavePtr wave) { tw::StartGraphThread(Graph(), std::move(wave)); }
inline bool PlaybackActive() { return tw::PlaybackActive(Workers().play); }
inline void StopPlayback() { tw::StopPlayback(Workers().play); }

}  // namespace twt
