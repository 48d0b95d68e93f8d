// The one writer of a save's pieces, for the window and tarnwick-split alike:
// a save is written whole or not at all. Every piece goes under a temporary
// name in its own folder first; only when all are whole do they take their
// names (replacing pieces of the same names when asked), so a full disk or a
// window closed half-way leaves nothing of the save and every file that was
// there before. Names and texts are UTF-8; the file operations are the
// platform's (core/support/file_io.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/cut/save_plan.h"
#include "core/support/file_io.h"

namespace tw {

// Why a piece was not written, in the window's words.
extern const char* const kPieceNotCreated;
extern const char* const kPieceNotWritten;

// The save's names that exist already. Without `replace` any of them stops
// the save, so it never mixes with an earlier one; with it, only what is not
// a file (a folder of that name) does.
std::vector<std::string> NamesInTheWay(const PieceSave& save, bool replace);

// What went wrong first: the file (or folder) named, why, and the system's words.
struct PieceFailure {
    std::string name;
    std::string what;
    std::string reason;
};

class PieceSetWriter {
public:
    PieceSetWriter(const PieceSave& save, bool replace);
    PieceSetWriter(const PieceSetWriter&) = delete;
    PieceSetWriter& operator=(const PieceSetWriter&) = delete;
    // A set not committed is discarded.
    ~PieceSetWriter();

    // The pieces' folder made when the plan asks and it is missing.
    bool Prepare(PieceFailure* failure);
    // Piece k under its temporary name; several threads may write different pieces at once.
    bool WritePiece(std::size_t k, PieceFailure* failure);
    // Every piece, on `threads` threads each taking the next piece as it
    // finishes one; `stop` (when given) is asked before each. False at a
    // failure (the earliest piece's in *failure) or a stop (*stopped set).
    bool WriteAll(int threads, const std::function<bool()>& stop, PieceFailure* failure, bool* stopped);
    // Once every piece is written: each takes its name, the old file of that
    // name (with `replace`) going only now. False, with nothing kept, when any cannot.
    bool Commit(PieceFailure* failure);
    // Removes what this save wrote (and a folder it made, when empty).
    void Discard();
    // After a commit: numbered pieces of an earlier save past this one's last.
    std::vector<std::string> EarlierPiecesBeyond() const;

private:
    bool Undo(std::size_t placed, std::size_t movedAside);
    const PieceSave& save_;
    const bool replace_;
    std::vector<std::string> temporary_;  // piece k's name while it is written
    std::vector<std::string> aside_;      // an old file of piece k's name while the new ones take theirs
    std::vector<char> written_;           // char, not bool: threads write their own pieces' flags
    std::vector<std::string> madeFolders_;
    bool committed_ = false;
};

// The texts of a save that did not go through: `separator` comes before each
// name (a line break in a box, ", " on one line), `newline` between lines.
std::string NamesInTheWayText(const std::vector<std::string>& names, const char* separator);
std::string PieceFailureLine(const PieceFailure& failure);
// "N 個のピースを保存できなかったため、何も残していません", the first failure,
// and that the files there before are as they were.
std::string SaveFailedText(std::size_t pieces, const PieceFailure& failure, const char* newline);
// The pieces of an earlier save a replacing save left as they were.
std::string EarlierPiecesText(const std::vector<std::string>& names, const char* separator);

}  // namespace tw
