// What the workers keep between runs: the recording shown, the order of the
// loads, the playback and the pieces being written. One WorkerState is owned
// by the shell's state and passed to every worker function that uses it.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "core/wave/shared_holder.h"
#include "shell/workers/play_win.h"
#include "shell/workers/wave_data_win.h"

namespace tw {

// Loads run one after another in the order of their drops, so the last file
// dropped is the one shown. A load whose drop is already followed by another
// is skipped before it lets go of the samples held; once it has let go it
// runs to its end, so the window never shows a file whose samples are gone.
struct LoadTurns {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t lastServed = 0;  // drops are numbered from 1
    std::atomic<std::uint64_t> latestDrop{0};
    std::atomic<int> inFlight{0};
};

struct Playback {
    HWAVEOUT device = nullptr;
    WAVEHDR buffer{};
    WavePtr wave;  // keeps the samples alive while the device reads them
    std::uint64_t offset = 0;
    HANDLE signal = nullptr;   // set by the device; owned by the watcher
    std::uint64_t number = 0;  // of this playback, so a watcher knows its own
    HeardFn heard;
    HWND clock = nullptr;      // whose timer tells `heard` where the sound is
};

struct PlayState {
    // Guards now. Held while `heard` is told (the play line takes the graph's
    // lock inside it), so that lock is never held while this one is taken.
    std::mutex mutex;
    Playback now;
    std::uint64_t lastNumber = 0;
};

struct SaveState {
    std::atomic<int> inFlight{0};
    // Saves writing their set right now (pieces, renames or removals);
    // FinishSaves waits for none, and none begins once it has been called.
    std::mutex writeMutex;
    std::condition_variable writeDone;
    int writing = 0;
    bool finishing = false;
};

struct WorkerState {
    SharedHolder<WaveData> wave;  // the recording shown
    std::atomic<std::uint64_t> recordings{0};
    LoadTurns loads;
    PlayState play;
    SaveState saves;
};

}  // namespace tw
