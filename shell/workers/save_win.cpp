// Saving the cut pieces on worker threads through the shared piece writer:
// every name checked first, the whole set written or none of it, and one
// message at the end that says what happened.
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

// A save's writing, from its first piece to its last rename or removal:
// FinishSaves waits for it, so closing the window never leaves a half-made set.
class WritingTurn {
public:
    explicit WritingTurn(SaveState& saves) : saves_(saves) {
        std::lock_guard<std::mutex> lock(saves_.writeMutex);
        began_ = !saves_.finishing;
        if (began_) ++saves_.writing;
    }
    ~WritingTurn() {
        if (!began_) return;
        {
            std::lock_guard<std::mutex> lock(saves_.writeMutex);
            --saves_.writing;
        }
        saves_.writeDone.notify_all();
    }
    bool Began() const { return began_; }

private:
    SaveState& saves_;
    bool began_ = false;
};

bool Stopping(SaveState& saves, WindowReport& report) {
    std::lock_guard<std::mutex> lock(saves.writeMutex);
    return saves.finishing || report.Closing();
}

void Warn(WindowReport& report, const std::string& text, const std::string& caption) {
    if (!report.Closing()) report.Message(text, caption, MB_ICONWARNING | MB_OK);
}

// The folder as a full path (a name box may have given a relative one);
// "C:\cuts\" is shown as "C:\cuts", a drive's root as it is.
std::string FullFolderText(const std::string& name) {
    std::wstring folder = WideFromUtf8(FolderPart(name));
    if (folder.empty()) folder = L".";
    const DWORD need = GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr);
    if (need > 0) {
        std::wstring full(need, L'\0');
        const DWORD got = GetFullPathNameW(folder.c_str(), need, &full[0], nullptr);
        if (got > 0 && got < need) folder = full.substr(0, got);
    }
    if (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return AnsiFromUtf8(Utf8FromWide(folder));
}

// How many pieces were written and the folder they are in; pieces of an
// earlier save that a replacing one left are named below.
std::string SavedText(const PieceSave& save, const std::vector<std::string>& earlier) {
    std::string text = std::to_string(save.pieces.size()) + " 個のピースを保存しました";
    if (!save.names.empty()) text += "\r\n" + FullFolderText(save.names[0]);
    if (!earlier.empty()) text += "\r\n" + AnsiFromUtf8(EarlierPiecesText(earlier, "\r\n"));
    return text;
}

// Pieces are written by two threads, taking the next piece as they finish
// one: each new file page costs a page of fresh memory, which on some
// machines (a VM that hands out memory at first touch) is the whole cost of
// a save, and two threads take those pages in about the time of one.
constexpr int kWriters = 2;

// Every piece under a temporary name, then all take their names; false (the
// set discarded) when that did not happen, with *failure set unless the
// window closed.
bool WriteSet(PieceSetWriter& writer, SaveState& saves, WindowReport& report, bool* stopped, PieceFailure* failure) {
    if (!writer.Prepare(failure)) return false;
    const bool whole = writer.WriteAll(kWriters, [&] { return Stopping(saves, report); }, failure, stopped) &&
                       writer.Commit(failure);
    if (!whole) writer.Discard();
    return whole;
}

void SaveCuts(SaveState& saves, const SaveJob& job, WindowReport& report) {
    if (!job.wave) {
        Warn(report, "保存するWAVファイルが読み込まれていません", "Error");
        return;
    }
    const SavePlan plan = PlanSave(job.request, job.wave->layout, job.wave->bytes);
    if (!plan.twice.empty()) {
        Warn(report, AnsiFromUtf8(NamesTwiceText(plan.twice)), "Error");
        return;
    }
    // Without replacing, a save never mixes with an earlier one: one name
    // taken and nothing is written. A folder in a piece's place is never replaced.
    const std::vector<std::string> taken = NamesInTheWay(plan.save, job.replace);
    if (!taken.empty()) {
        Warn(report, AnsiFromUtf8(NamesInTheWayText(taken, "\r\n")), "Error");
        return;
    }
    WritingTurn turn(saves);
    if (!turn.Began()) return;  // the window has closed
    PieceSetWriter writer(plan.save, job.replace);
    bool stopped = false;
    PieceFailure failure;
    if (!WriteSet(writer, saves, report, &stopped, &failure)) {
        if (!stopped) Warn(report, AnsiFromUtf8(SaveFailedText(plan.save.pieces.size(), failure, "\r\n")), "エラー");
        return;
    }
    const std::vector<std::string> earlier = job.replace ? writer.EarlierPiecesBeyond() : std::vector<std::string>();
    if (report.Closing()) return;
    report.Saved(job.wave->recording, job.cutRevision);
    // What the rules could not make as asked stays in view after the box.
    std::string notes;
    for (const std::string& n : plan.notes) notes += (notes.empty() ? "" : "  ") + n;
    if (!notes.empty()) report.Status(AnsiFromUtf8(notes));
    report.Message(SavedText(plan.save, earlier), "", MB_OK);
}

}  // namespace

std::string PiecePrefixFor(const std::string& nameBox, const WaveData& wave, bool folderPerRecording) {
    // An empty box names the pieces after the recording, a bare name puts them beside it.
    const std::string prefix =
        nameBox.empty() ? WithoutRecordingTail(wave.sourcePath) : InFolder(FolderPart(wave.sourcePath), Utf8FromAnsi(nameBox));
    return folderPerRecording ? InRecordingFolder(prefix, wave.sourcePath) : prefix;
}

void StartSaveCuts(SaveState& saves, SaveJob job, WindowReport& report) {
    ++saves.inFlight;
    std::thread([&saves, job = std::move(job), &report] {
        SaveCuts(saves, job, report);
        --saves.inFlight;
    }).detach();
}

void FinishSaves(SaveState& saves) {
    std::unique_lock<std::mutex> lock(saves.writeMutex);
    saves.finishing = true;
    saves.writeDone.wait_for(lock, std::chrono::minutes(2), [&saves] { return saves.writing == 0; });
}

int SavesInFlight(const SaveState& saves) { return saves.inFlight.load(); }

}  // namespace tw
