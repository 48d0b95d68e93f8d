// Saving the cut pieces on a worker thread: one numbered WAV file per piece,
// written straight from the loaded samples, failures reported in order and
// passed over.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window_ids.h"
#include "app/shell_win.h"
#include "support/number_text.h"
#include "wave/piece_plan.h"
#include "wave/wave_format.h"
#include "wave/wave_win.h"

namespace tw {

namespace {

std::atomic<int> g_savesInFlight{0};
constexpr std::size_t kNameCapacity = 1024;

void Warn(const std::string& text, const std::string& caption) {
    if (!ShellClosing) ShowMessage(text, caption, MB_ICONWARNING | MB_OK);
}

void WriteFailed(std::uint32_t number) {
    Warn("WAV データの書き出しに失敗しました", FormatNumber(number) + "個目");
}

bool WriteAll(HANDLE file, const void* data, std::uint32_t size) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr)) return false;
    return written == size;  // a short write is a failure
}

enum class PieceOutcome { Pending, Written, NotCreated, NotWritten };

// Writes one piece. A piece that could not be written completely is removed,
// so no file is left whose header claims more data than it holds.
PieceOutcome WritePiece(const std::string& name, const WaveData& wave, const Piece& piece) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return PieceOutcome::NotCreated;
    const PieceHeaderBytes header = PieceHeaderFor(wave.pieceHeader, piece.length);
    bool ok = WriteAll(file, header.data(), static_cast<std::uint32_t>(header.size()));
    if (ok && piece.length > 0) ok = WriteAll(file, wave.bytes + piece.offset, piece.length);
    CloseHandle(file);
    if (!ok) DeleteFileA(name.c_str());
    return ok ? PieceOutcome::Written : PieceOutcome::NotWritten;
}

// What one save works on. Taken on the user-interface thread at the click, so
// a drop or a cut that follows the click at once can never slip into it.
struct SaveJob {
    std::string prefix;
    WavePtr wave;               // kept alive by the job while a new file loads
    std::vector<double> cuts;   // ascending
};

// Pieces are written by two threads, taking the next piece as they finish
// one: each new file page costs a page of fresh memory, which on some
// machines (a VM that hands out memory at first touch) is the whole cost of
// a save, and two threads take those pages in about the time of one.
constexpr int kWriters = 2;

struct SaveRun {
    explicit SaveRun(const SaveJob& j)
        : job(j), pieces(PlanPieces(j.cuts, j.wave->dataSize, FrameBytes(j.wave->pieceHeader), j.wave->sampleBytes())),
          outcomes(pieces.size(), PieceOutcome::Pending) {}
    const SaveJob& job;
    std::vector<Piece> pieces;
    std::mutex mutex;
    std::condition_variable written;
    std::vector<PieceOutcome> outcomes;  // Pending until its writer is done
    std::size_t next = 0;                // the next piece nobody has taken
    bool stopped = false;                // the window has closed
};

void WritePieces(SaveRun& run) {
    for (;;) {
        std::size_t k;
        {
            // Pieces start in order, so a save cut short by closing the
            // window leaves its first pieces, never one after a gap.
            std::lock_guard<std::mutex> lock(run.mutex);
            if (run.stopped || run.next == run.pieces.size()) return;
            if (!BeginPieceWrite()) {
                run.stopped = true;
                run.written.notify_all();
                return;
            }
            k = run.next++;
        }
        std::string name;
        PieceOutcome outcome = PieceOutcome::NotCreated;  // also a name too long for the buffer
        if (PieceFileName(run.job.prefix, static_cast<std::uint32_t>(k), kNameCapacity, &name))
            outcome = WritePiece(name, *run.job.wave, run.pieces[k]);
        EndPieceWrite();
        {
            std::lock_guard<std::mutex> lock(run.mutex);
            run.outcomes[k] = outcome;
        }
        run.written.notify_all();
    }
}

void SaveCuts(const SaveJob& job) {
    if (!job.wave) {
        Warn("保存するWAVファイルが読み込まれていません", "Error");
        return;
    }
    SaveRun run(job);
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i) writers.emplace_back(WritePieces, std::ref(run));
    // This thread reports each piece's outcome in order while the writers
    // go on; a message box waits for the user without holding them up.
    bool whole = true;
    for (std::uint32_t k = 0; k < run.pieces.size(); ++k) {
        PieceOutcome outcome;
        {
            std::unique_lock<std::mutex> lock(run.mutex);
            run.written.wait(lock, [&] { return run.outcomes[k] != PieceOutcome::Pending || run.stopped; });
            outcome = run.outcomes[k];
        }
        if (outcome == PieceOutcome::Pending || ShellClosing) {
            whole = false;
            break;
        }
        if (outcome == PieceOutcome::NotCreated) Warn("ファイルハンドルが作成できません", "エラーやん");
        if (outcome != PieceOutcome::Written) WriteFailed(k);
    }
    {
        std::lock_guard<std::mutex> lock(run.mutex);
        if (!whole) run.stopped = true;
    }
    for (std::thread& writer : writers) writer.join();
    if (whole && !ShellClosing) ShowMessage("保存しました", "", MB_OK);
}

}  // namespace

void StartSaveCuts() {
    SaveJob job;
    job.prefix = GetControlText(kIdPrefix);
    job.wave = CurrentWave();
    // The list itself is left sorted, as a save always leaves it.
    if (job.wave) job.cuts = Cuts().SortAndSnapshot();
    ++g_savesInFlight;
    std::thread([job = std::move(job)] {
        SaveCuts(job);
        --g_savesInFlight;
    }).detach();
}

int SavesInFlight() { return g_savesInFlight.load(); }

}  // namespace tw
