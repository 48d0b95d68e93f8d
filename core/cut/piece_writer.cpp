#include "core/cut/piece_writer.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>

#include "core/cut/mp3_save.h"

namespace tw {

const char* const kPieceNotCreated = "ファイルハンドルが作成できません";
const char* const kPieceNotWritten = "WAV データの書き出しに失敗しました";

namespace {

const char kNotRenamed[] = "ファイルの名前を付けられません";
const char kFolderNotMade[] = "フォルダーを作成できません";

constexpr std::size_t kNamesShown = 5;  // in a box or a line, then "ほか N 個"

std::string Count(std::size_t n) { return std::to_string(n); }

// Unlikely to meet any name in the folder, and different for every save.
std::string SaveToken() {
    std::random_device device;
    const auto now = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    char token[24];
    std::snprintf(token, sizeof token, "%08x", static_cast<unsigned>(device() ^ now ^ (now >> 32)));
    return token;
}

bool IsSlash(char c) {
#ifdef _WIN32
    return c == '\\' || c == '/';
#else
    return c == '/';
#endif
}

// "out/deeper/" as "out/deeper"; a root ("/", "C:\\") stays as it is.
std::string WithoutTrailingSeparator(const std::string& folder) {
    std::string f = folder;
    while (f.size() > 1 && IsSlash(f.back()) && f[f.size() - 2] != ':') f.pop_back();
    return f;
}

}  // namespace

std::vector<std::string> NamesInTheWay(const PieceSave& save, bool replace) {
    std::vector<std::string> taken;
    for (const std::string& name : save.names) {
        const PathKind kind = KindOf(name);
        if (kind == PathKind::Other || (kind == PathKind::File && !replace)) taken.push_back(name);
    }
    return taken;
}

PieceSetWriter::PieceSetWriter(const PieceSave& save, bool replace)
    : save_(save), replace_(replace), written_(save.names.size(), 0) {
    const std::string token = SaveToken();
    for (const std::string& name : save.names) temporary_.push_back(name + ".~" + token + ".tmp");
    for (const std::string& name : save.names) aside_.push_back(name + ".~" + token + ".old");
}

PieceSetWriter::~PieceSetWriter() {
    if (!committed_) Discard();
}

bool PieceSetWriter::Prepare(PieceFailure* failure) {
    if (save_.folder.empty()) return true;
    // The missing folders from the deepest up, made from the top down.
    std::vector<std::string> missing;
    for (std::string f = WithoutTrailingSeparator(save_.folder); !f.empty() && !PathExists(f);
         f = WithoutTrailingSeparator(FolderPart(f))) {
        missing.push_back(f);
        if (FolderPart(f).empty() || FolderPart(f).size() == f.size()) break;
    }
    for (auto f = missing.rbegin(); f != missing.rend(); ++f) {
        std::string reason;
        if (!MakeFolder(*f, &reason)) {
            *failure = {*f, kFolderNotMade, reason};
            return false;
        }
        madeFolders_.push_back(*f);
    }
    return true;
}

namespace {

// Piece k as it goes into its file: a WAV header and the samples, or an
// MP3 piece's head, the recording's own frames and its tail.
NewFileOutcome WritePieceFile(const PieceSave& save, std::size_t k, const std::string& name, std::string* reason) {
    if (save.mp3) {
        const Mp3PieceBytes bytes = Mp3PieceOf(save, k);
        return WriteNewFile(name, bytes.head.data(), bytes.head.size(), save.mp3->file->bytes() + bytes.sourceBegin,
                            bytes.sourceEnd - bytes.sourceBegin, reason, bytes.tail.data(), bytes.tail.size());
    }
    const Piece& piece = save.pieces[k];
    const PieceHeaderBytes head = PieceHeaderFor(save.pieceHeader, piece.length);
    return WriteNewFile(name, head.data(), head.size(), save.data + piece.offset, piece.length, reason);
}

}  // namespace

bool PieceSetWriter::WritePiece(std::size_t k, PieceFailure* failure) {
    std::string reason;
    const NewFileOutcome outcome = WritePieceFile(save_, k, temporary_[k], &reason);
    if (outcome == NewFileOutcome::Written) {
        written_[k] = 1;
        // Frames read as zeros once the MP3 file went away under its mapping.
        if (!save_.mp3 || !save_.mp3->file->Damaged()) return true;
        *failure = {save_.names[k], "元の MP3 ファイルを読めなくなりました", ""};
        return false;
    }
    const char* notWritten = save_.mp3 ? "MP3 データの書き出しに失敗しました" : kPieceNotWritten;
    *failure = {save_.names[k], outcome == NewFileOutcome::NotCreated ? kPieceNotCreated : notWritten, reason};
    return false;
}

bool PieceSetWriter::WriteAll(int threads, const std::function<bool()>& stop, PieceFailure* failure, bool* stopped) {
    std::mutex mutex;
    std::size_t next = 0, failedPiece = 0;
    bool failed = false;
    *stopped = false;
    auto work = [&] {
        for (;;) {
            std::size_t k;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (*stopped || failed || next == save_.pieces.size()) return;
                if (stop && stop()) {
                    *stopped = true;
                    return;
                }
                k = next++;
            }
            PieceFailure f;
            if (WritePiece(k, &f)) continue;
            std::lock_guard<std::mutex> lock(mutex);
            if (!failed || k < failedPiece) *failure = f, failedPiece = k;
            failed = true;  // the set will not be kept: no need to write more
        }
    };
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) helpers.emplace_back(work);
    work();
    for (std::thread& t : helpers) t.join();
    return !failed && !*stopped;
}

bool PieceSetWriter::Commit(PieceFailure* failure) {
    const std::size_t n = save_.names.size();
    std::string reason;
    std::size_t aside = 0;
    // Old files step aside under names of this save, so each can come back.
    for (; replace_ && aside < n; ++aside) {
        if (KindOf(save_.names[aside]) == PathKind::File && !RenameNoReplace(save_.names[aside], aside_[aside], &reason)) {
            *failure = {save_.names[aside], kNotRenamed, reason};
            Undo(0, aside);
            return false;
        }
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (!RenameNoReplace(temporary_[k], save_.names[k], &reason)) {
            *failure = {save_.names[k], kNotRenamed, reason};
            Undo(k, aside);
            return false;
        }
        written_[k] = 0;
    }
    for (std::size_t k = 0; k < aside; ++k) RemoveFile(aside_[k]);  // absent when there was no old file
    committed_ = true;
    return true;
}

// The first `placed` pieces under their names are removed and the old files
// put back; the temporary ones go with Discard.
bool PieceSetWriter::Undo(std::size_t placed, std::size_t movedAside) {
    std::string reason;
    for (std::size_t k = 0; k < placed; ++k) RemoveFile(save_.names[k]);
    bool restored = true;
    for (std::size_t k = 0; k < movedAside; ++k)
        if (PathExists(aside_[k])) restored = RenameNoReplace(aside_[k], save_.names[k], &reason) && restored;
    return restored;
}

void PieceSetWriter::Discard() {
    for (std::size_t k = 0; k < written_.size(); ++k) {
        if (written_[k]) RemoveFile(temporary_[k]);
        written_[k] = 0;
    }
    for (auto f = madeFolders_.rbegin(); f != madeFolders_.rend(); ++f) RemoveFolder(*f);
    madeFolders_.clear();
}

std::vector<std::string> PieceSetWriter::EarlierPiecesBeyond() const {
    std::vector<std::string> beyond;
    for (std::uint32_t k = static_cast<std::uint32_t>(save_.names.size());; ++k) {
        std::string name;
        if (!PieceFileName(save_.prefix, k, static_cast<std::size_t>(-1), &name, save_.digits) ||
            KindOf(name = WithPieceTail(name, save_.tail)) != PathKind::File)
            break;
        beyond.push_back(name);
    }
    return beyond;
}

std::string NamesInTheWayText(const std::vector<std::string>& names, const char* separator) {
    std::string text = "同じ名前のファイルが既にあるため、何も保存しませんでした (" + Count(names.size()) + " 個)";
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += separator + names[i];
    if (names.size() > kNamesShown) text += separator + ("ほか " + Count(names.size() - kNamesShown) + " 個");
    return text;
}

std::string PieceFailureLine(const PieceFailure& failure) {
    std::string line = failure.name + ": " + failure.what;
    return failure.reason.empty() ? line : line + " (" + failure.reason + ")";
}

std::string SaveFailedText(std::size_t pieces, const PieceFailure& failure, const char* newline) {
    return Count(pieces) + " 個のピースを保存できなかったため、書いたファイルを削除し、何も残していません" + newline +
           "最初の失敗: " + PieceFailureLine(failure) + newline + "元からあったファイルはそのままです";
}

std::string EarlierPiecesText(const std::vector<std::string>& names, const char* separator) {
    std::string text = "前の保存の続きのピース " + Count(names.size()) + " 個は削除せずに残しています";
    for (std::size_t i = 0; i < names.size() && i < kNamesShown; ++i) text += separator + names[i];
    if (names.size() > kNamesShown) text += separator + ("ほか " + Count(names.size() - kNamesShown) + " 個");
    return text;
}

}  // namespace tw
