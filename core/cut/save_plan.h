// The plan of a save from everything the user chose, in one place for the
// window and tarnwick-split so the two can never cut or name differently:
// automatic and user cuts, the piece rules, a list of names and a label file.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/cut/piece_names.h"
#include "core/cut/piece_plan.h"
#include "core/cut/mp3_pieces.h"
#include "core/cut/piece_rules.h"
#include "core/wave/recording_source.h"
#include "core/wave/wave_format.h"

namespace tw {

// A time as a cut: the nearest whole frame, as the index of its first sample.
double CutAtSeconds(double seconds, std::uint32_t sampleRate, std::uint32_t channels);
// The cuts of a label file: each label's start and end (a point label once).
std::vector<double> LabelCuts(const std::vector<Label>& labels, std::uint32_t sampleRate, std::uint32_t channels);

// True when any rule is set: without one the pieces are exactly the cuts'.
bool RulesSet(const PieceRules& rules);

struct SaveRequest {
    std::vector<double> automatic;  // automatic or pause cutting's
    std::vector<double> user;       // clicks, -c, label files: never moved or removed
    PieceRules rules;
    // The quiet map's threshold: a pause run's own when it was given, NaN to estimate.
    double quietThreshold = std::numeric_limits<double>::quiet_NaN();
    // Given: that judgement (MapQuiet at quietThreshold), not made again.
    std::shared_ptr<const QuietMap> quiet;
    std::vector<std::string> names;  // a list: piece k's name, "" keeps its number
    std::vector<Label> labels;       // a label file's names, by where each starts
    std::string prefix;              // UTF-8
    std::uint32_t digits = 3;
    // The pieces' folder is made when missing (-d, a folder per recording);
    // otherwise a missing folder fails the save.
    bool makeFolder = false;
    // Pieces (as cut, before a margin trims them) the user left out: not
    // written, the others keeping their numbers and names.
    std::vector<Piece> leftOut;
    // Given: an MP3 recording's frames, and its pieces are written from them.
    std::shared_ptr<const Mp3Source> mp3;
};

// What a save writes: each piece's bytes and name, and how they were named.
struct PieceSave {
    WaveHeaderBytes pieceHeader{};
    const std::uint8_t* data = nullptr;  // the data chunk
    std::vector<Piece> pieces;
    std::vector<std::string> names;      // one per piece
    std::vector<bool> trimmed;           // one per piece: a margin left silence out
    std::string prefix;                  // of the numbered names
    std::uint32_t digits = 3;
    std::string folder;                  // to be made when missing ("" for none)
    std::string tail = ".wav";           // every name's
    // MP3 pieces: the recording's frames and each piece's plan of them.
    std::shared_ptr<const Mp3Source> mp3;
    std::vector<Mp3PiecePlan> mp3Plans;
};

struct SavePlan {
    PieceSave save;
    std::vector<double> cuts;        // the cuts the pieces are cut at, ascending
    std::vector<Piece> uncut;        // the pieces before a margin trimmed them
    std::vector<std::string> twice;  // names given to two pieces: nothing may be written
    std::vector<std::string> notes;  // what the planner wants the user to know, UTF-8, a line each
};

// Pieces of `data` (layout.dataSize bytes) as the request asks; uncut and
// save.pieces hold the same pieces, those left out taken from both.
SavePlan PlanSave(const SaveRequest& request, const WaveLayout& layout, const std::uint8_t* data);

// One line for each note of the rules, in UTF-8, with the time of its place.
std::vector<std::string> RuleNoteTexts(const std::vector<RuleNote>& notes, std::uint32_t sampleRate);

// "同じ名前のピースがあるため、何も保存しませんでした: a, b"
std::string NamesTwiceText(const std::vector<std::string>& twice);

// A piece's name without its folder and the save's tail: the names list's
// line, or the prefix and number.
std::string BarePieceName(const PieceSave& save, const std::string& name);

// The label file of a save: each piece's name without its folder and ".wav".
std::string SaveLabelsText(const PieceSave& save, const WaveLayout& layout);

}  // namespace tw
