#include "core/cut/piece_plan.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tw {

std::vector<Piece> PlanPieces(const std::vector<double>& sortedCuts, std::uint64_t dataSize,
                              std::uint32_t frameBytes, std::uint32_t sampleBytes) {
    if (frameBytes < 1) frameBytes = 2;
    if (sampleBytes < 1) sampleBytes = 2;
    std::vector<Piece> pieces;
    pieces.reserve(sortedCuts.size() + 1);
    const std::uint64_t end = dataSize - dataSize % frameBytes;
    std::uint64_t pos = 0;  // start of the piece being planned
    for (double cut : sortedCuts) {
        const double c = std::trunc(cut);
        if (!(c > 0.0) || c >= static_cast<double>(end) / sampleBytes) continue;
        std::uint64_t boundary = sampleBytes * static_cast<std::uint64_t>(c);
        boundary -= boundary % frameBytes;
        if (boundary <= pos || boundary >= end) continue;
        pieces.push_back({pos, boundary - pos});
        pos = boundary;
    }
    pieces.push_back({pos, end - pos});
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

std::uint32_t PieceDigits(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first != std::string::npos && first == last && text[first] >= '1' && text[first] <= '9')
        return static_cast<std::uint32_t>(text[first] - '0');
    return 3;
}

bool PieceFileName(const std::string& prefix, std::uint32_t number, std::size_t capacity, std::string* name,
                   std::uint32_t digits) {
    if (digits < 1 || digits > 9) digits = 3;
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%0*u.wav", static_cast<int>(digits), static_cast<unsigned>(number));
    std::string result = prefix + tail;
    if (result.size() + 1 > capacity) {
        name->clear();
        return false;
    }
    *name = result;
    return true;
}

}  // namespace tw
