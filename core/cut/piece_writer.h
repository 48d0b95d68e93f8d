// The one writer of a save's pieces, for the window and tarnwick-split alike:
// plan, names, the check that no name is taken, and each piece written new
// and whole. Names and texts are UTF-8; the file operations are the
// platform's (core/support/file_io.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cut/piece_plan.h"
#include "core/cut/piece_rules.h"
#include "core/support/file_io.h"
#include "core/wave/wave_format.h"

namespace tw {

// Why a piece was not written, in the window's words.
extern const char* const kPieceNotCreated;
extern const char* const kPieceNotWritten;

// The path without a final ".wav" (any case).
std::string WithoutWavTail(const std::string& path);
// Up to and including the last folder separator; empty for a bare name.
std::string FolderPart(const std::string& path);
// `name` inside `folder` when it names no folder of its own and a folder is given.
std::string InFolder(const std::string& folder, const std::string& name);

struct PieceSave {
    WaveHeaderBytes pieceHeader{};
    const std::uint8_t* data = nullptr;  // the data chunk, dataSize bytes
    std::vector<Piece> pieces;
    std::vector<std::string> names;      // one per piece
    std::vector<bool> trimmed;           // one per piece: a margin left silence out
};

// Pieces of `data` (samples of sampleBytes) at the sorted cuts, named
// prefix_<number in digits>.wav.
PieceSave PlanPieceSave(const std::vector<double>& sortedCuts, const WaveHeaderBytes& pieceHeader,
                        std::uint32_t sampleBytes, const std::uint8_t* data, std::uint64_t dataSize,
                        const std::string& prefix, std::uint32_t digits);

// Names in place of numbers, in the folder of the numbered ones: list[k] for
// piece k where it is not empty, after the name of each piece that starts at
// a given byte offset (the labels of a label file). Returns the names the save
// then holds twice (case aside, as Windows compares them): it must not be written.
struct NamedStart {
    std::uint64_t offset;
    std::string name;
};
std::vector<std::string> NamePieces(PieceSave* save, const std::vector<std::string>& list,
                                    const std::vector<NamedStart>& starts);

// The save's names that exist already: a save writes nothing when any does,
// so it never mixes with an earlier one.
std::vector<std::string> NamesInTheWay(const PieceSave& save);

// Writes piece k into a file created new; a piece not written whole is removed.
NewFileOutcome WriteSavePiece(const PieceSave& save, std::size_t k, std::string* reason);


// The texts of a save that did not go through: `separator` comes before each
// name (a line break in a box, ", " on one line), `newline` before each failure.
std::string NamesInTheWayText(const std::vector<std::string>& names, const char* separator);
struct PieceFailure {
    std::size_t piece;
    NewFileOutcome outcome;
    std::string reason;
};
std::string PieceFailureLine(const std::string& name, const PieceFailure& failure);
// "N 個中 F 個のファイルを保存できませんでした" and the first few failures.
std::string SaveFailedText(const PieceSave& save, const std::vector<PieceFailure>& failures, const char* newline);

}  // namespace tw
