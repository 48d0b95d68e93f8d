// Saving the cut pieces on worker threads through the shared piece writer:
// every name checked first, each piece written new and whole, and one message
// at the end that says what happened.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/cut/piece_writer.h"
#include "core/cut/save_plan.h"
#include "platform/win/text_win.h"
#include "core/wave/wave_format.h"
#include "shell/workers/wave_win.h"
#include "shell/workers/worker_state_win.h"

namespace tw {

namespace {

// False once the window has closed: no new piece is started then.
bool BeginPieceWrite(WindowReport& report) {
    std::lock_guard<std::mutex> lock(Workers().saves.writeMutex);
    if (Workers().saves.finishing || report.Closing()) return false;
    ++Workers().saves.piecesInFlight;
    return true;
}

void EndPieceWrite() {
    {
        std::lock_guard<std::mutex> lock(Workers().saves.writeMutex);
        --Workers().saves.piecesInFlight;
    }
    Workers().saves.writeDone.notify_all();
}

void Warn(WindowReport& report, const std::string& text, const std::string& caption) {
    if (!report.Closing()) report.Message(text, caption, MB_ICONWARNING | MB_OK);
}

// How many pieces were written and the folder they are in, as a full path
// (a name box may have given a relative one).
std::string SavedText(const PieceSave& save) {
    std::string text = std::to_string(save.pieces.size()) + " 個のピースを保存しました";
    if (save.names.empty()) return text;
    std::wstring folder = WideFromUtf8(FolderPart(save.names[0]));
    if (folder.empty()) folder = L".";
    const DWORD need = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (need > 0) {
        std::wstring full(need, L'\0');
        const DWORD got = GetFullPathNameW(folder.c_str(), need, &full[0], nullptr);
        if (got > 0 && got < need) folder = full.substr(0, got);
    }
    // "C:\cuts\" is shown as "C:\cuts", a drive's root as it is.
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return text + "\r\n" + AnsiFromUtf8(Utf8FromWide(folder));
}

// Pieces are written by two threads, taking the next piece as they finish
// one: each new file page costs a page of fresh memory, which on some
// machines (a VM that hands out memory at first touch) is the whole cost of
// a save, and two threads take those pages in about the time of one.
constexpr int kWriters = 2;

struct SaveRun {
    SaveRun(const SaveJob& job, WindowReport& report)
        : plan(PlanSave(job.request, job.wave->layout, job.wave->bytes)), save(plan.save), report(report) {}
    const SavePlan plan;
    const PieceSave& save;
    WindowReport& report;
    std::mutex mutex;
    std::vector<PieceFailure> failures;
    std::size_t next = 0;   // the next piece nobody has taken
    bool stopped = false;   // the window has closed
};

void WritePieces(SaveRun& run) {
    for (;;) {
        std::size_t k;
        {
            // Pieces start in order, so a save cut short by closing the
            // window leaves its first pieces, never one after a gap.
            std::lock_guard<std::mutex> lock(run.mutex);
            if (run.stopped || run.next == run.save.pieces.size()) return;
            if (!BeginPieceWrite(run.report)) {
                run.stopped = true;
                return;
            }
            k = run.next++;
        }
        std::string reason;
        const NewFileOutcome outcome = WriteSavePiece(run.save, k, &reason);
        EndPieceWrite();
        if (outcome != NewFileOutcome::Written) {
            std::lock_guard<std::mutex> lock(run.mutex);
            run.failures.push_back({k, outcome, reason});
        }
    }
}

void SaveCuts(const SaveJob& job, WindowReport& report) {
    if (!job.wave) {
        Warn(report, "保存するWAVファイルが読み込まれていません", "Error");
        return;
    }
    SaveRun run(job, report);
    if (!run.plan.twice.empty()) {
        Warn(report, AnsiFromUtf8(NamesTwiceText(run.plan.twice)), "Error");
        return;
    }
    // A save never mixes with an earlier one: one name taken and nothing is written.
    const std::vector<std::string> taken = NamesInTheWay(run.save);
    if (!taken.empty()) {
        Warn(report, AnsiFromUtf8(NamesInTheWayText(taken, "\r\n")), "Error");
        return;
    }
    std::vector<std::thread> writers;
    for (int i = 0; i < kWriters; ++i) writers.emplace_back(WritePieces, std::ref(run));
    for (std::thread& writer : writers) writer.join();
    if (run.stopped || report.Closing()) return;
    if (run.failures.empty()) {
        report.Saved(job.wave->recording, job.cutRevision);
        // What the rules could not make as asked stays in view after the box.
        std::string notes;
        for (const std::string& n : RuleNoteTexts(run.plan.notes, job.wave->layout.sampleRate)) notes += (notes.empty() ? "" : "  ") + n;
        if (!notes.empty()) report.Status(AnsiFromUtf8(notes));
        report.Message(SavedText(run.save), "", MB_OK);
        return;
    }
    std::sort(run.failures.begin(), run.failures.end(),
              [](const PieceFailure& a, const PieceFailure& b) { return a.piece < b.piece; });
    Warn(report, AnsiFromUtf8(SaveFailedText(run.save, run.failures, "\r\n")), "エラー");
}

}  // namespace

std::string PiecePrefixFor(const std::string& nameBox, const WaveData& wave) {
    // An empty box names the pieces after the recording, a bare name puts them beside it.
    return nameBox.empty() ? WithoutWavTail(wave.sourcePath) : InFolder(FolderPart(wave.sourcePath), Utf8FromAnsi(nameBox));
}

void StartSaveCuts(SaveJob job, WindowReport& report) {
    ++Workers().saves.inFlight;
    std::thread([job = std::move(job), &report] {
        SaveCuts(job, report);
        --Workers().saves.inFlight;
    }).detach();
}

void FinishSaves() {
    std::unique_lock<std::mutex> lock(Workers().saves.writeMutex);
    Workers().saves.finishing = true;
    Workers().saves.writeDone.wait_for(lock, std::chrono::minutes(2), [] { return Workers().saves.piecesInFlight == 0; });
}

int SavesInFlight() { return Workers().saves.inFlight.load(); }

}  // namespace tw
