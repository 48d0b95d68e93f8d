// Rules for a save's pieces beyond the cuts themselves: a longest and a
// shortest piece, and a margin of silence kept around each piece's sound.
// The cuts a user placed are never moved or removed; only automatic ones are.
#pragma once

#include <cstdint>
#include <vector>

#include "core/cut/pause_cut.h"
#include "core/cut/piece_plan.h"

namespace tw {

struct PieceRules {
    double longestSeconds = 0;   // > 0: a longer piece gets more cuts
    double shortestSeconds = 0;  // > 0: a shorter piece is joined to a neighbour
    double marginMs = -1;        // >= 0: each piece keeps this much around its sound, no more
    std::uint32_t pieceCount = 0;  // > 0: the best pauses get cuts until there are this many pieces
};

// The recording the rules are judged on.
struct RuleAudio {
    std::uint64_t sampleCount = 0;  // samples, all channels
    std::uint32_t channels = 1;
    std::uint32_t sampleRate = 44100;
};

// What a rule could not do as a listener would, for the user to check.
struct RuleNote {
    enum class Kind {
        UncertainBoundary,  // a number of pieces took a place well over the recording's floor
        ShortKept,          // a piece shorter than the shortest that the user's cuts make
    } kind;
    std::uint64_t frame;    // the boundary, or the piece's first frame
    double overFloorDb = 0; // UncertainBoundary: how far its pause stands over the floor
    double seconds = 0;     // ShortKept: the piece as it is written
};

// The cuts after the longest and shortest piece, ascending: the user's as
// they are, the automatic ones that stay, and new ones in the longest and
// quietest pauses inside a long piece (or, where its longest allowed stretch
// holds no pause, at its quietest window), preferring pauses that leave no
// piece shorter than the shortest (without one, a tenth of the longest).
// Where the two conflict, the
// longest piece wins: a short piece stays short rather than make one too long.
// Lengths are those written: with a margin, each piece as the margin trims it.
// No rule leaves a piece of bare room where an automatic cut can go instead.
std::vector<double> ApplyPieceRules(const std::vector<double>& automatic, const std::vector<double>& user,
                                    const RuleAudio& audio, const QuietMap& quiet, const PieceRules& rules,
                                    std::vector<RuleNote>* notes = nullptr);

// Each piece from its first sound less the margin to its last sound plus the
// margin, inside its own bounds and in whole frames; *trimmed says which
// changed. A piece without sound stays whole. The sound reaches over a word's
// decay, its faint last consonant and the closure before a last syllable.
// A piece the margin would make shorter than shortestSeconds keeps more of
// its room, as far as its bounds allow.
std::vector<Piece> TrimPieces(const std::vector<Piece>& pieces, const QuietMap& quiet, double marginMs,
                              const RuleAudio& audio, std::uint32_t sampleBytes, std::vector<bool>* trimmed,
                              double shortestSeconds = 0);

}  // namespace tw
