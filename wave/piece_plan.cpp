#include "wave/piece_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tw {

std::vector<Piece> PlanPieces(const std::vector<double>& sortedCuts, std::uint32_t dataSize,
                              std::uint32_t frameBytes, std::uint32_t sampleBytes) {
    if (frameBytes < 1) frameBytes = 2;
    if (sampleBytes < 1) sampleBytes = 2;
    // The last sample index: data size / 2 as a real number for 16-bit data.
    const double lastCut = sampleBytes == 2 ? static_cast<double>(dataSize) / 2.0
                                            : static_cast<double>(dataSize / sampleBytes);
    std::vector<Piece> pieces;
    pieces.reserve(sortedCuts.size() + 1);
    const std::uint64_t end = dataSize;
    std::uint64_t pos = 0;       // read position in bytes
    double previous = 0.0;       // previous cut, fraction dropped
    for (double cut : sortedCuts) {
        double c = std::trunc(cut);
        std::uint64_t pieceEnd;
        // Not a usable end: negative, past the data, out of order, or NaN.
        if (!(c >= 0.0) || c > lastCut || c < previous || pos >= end) {
            pieceEnd = end;
        } else {
            pieceEnd = sampleBytes * static_cast<std::uint64_t>(c);
            pieceEnd -= pieceEnd % frameBytes;
        }
        if (pieceEnd < pos) pieceEnd = pos;
        pieces.push_back({pos, static_cast<std::uint32_t>(pieceEnd - pos)});
        pos = pieceEnd;
        if (!std::isnan(c)) previous = c;
    }
    pieces.push_back({pos, static_cast<std::uint32_t>(end - pos)});
    return pieces;
}

std::size_t PieceHolding(const std::vector<Piece>& pieces, std::uint64_t offset) {
    // Pieces follow one another, so the last one starting at or before the
    // offset is the only candidate (an empty one there is followed by a piece
    // starting at the same byte, which comes later).
    auto after = std::upper_bound(pieces.begin(), pieces.end(), offset,
                                  [](std::uint64_t at, const Piece& p) { return at < p.offset; });
    if (after == pieces.begin()) return pieces.size();
    const Piece& p = *(after - 1);
    if (offset >= p.offset + p.length) return pieces.size();
    return static_cast<std::size_t>(after - 1 - pieces.begin());
}

bool PieceFileName(const std::string& prefix, std::uint32_t number, std::size_t capacity, std::string* name) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%03u.wav", static_cast<unsigned>(number));
    std::string result = prefix + digits;
    if (result.size() + 1 > capacity) {
        name->clear();
        return false;
    }
    *name = result;
    return true;
}

}  // namespace tw
