// Which bytes of the data chunk go into each saved piece.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

struct Piece {
    std::uint64_t offset;  // byte offset in the data chunk
    std::uint32_t length;  // bytes
};

// sortedCuts ascending (n entries) -> n + 1 contiguous pieces covering exactly
// dataSize bytes. A cut below 0, beyond dataSize/2 or below the previous one
// runs its piece to the end; every later piece is then empty. Every boundary
// between two pieces is 2 x the cut moved down to a multiple of frameBytes
// (FrameBytes of the header), so no piece starts inside a frame; the last
// piece still ends at dataSize. Samples of sampleBytes other than 2 (the
// container size of the encoding) put a cut c at byte sampleBytes x c and
// beyond the data when c > floor(dataSize / sampleBytes).
std::vector<Piece> PlanPieces(const std::vector<double>& sortedCuts, std::uint32_t dataSize,
                              std::uint32_t frameBytes, std::uint32_t sampleBytes = 2);

// The piece that holds byte `offset` of the data (an empty piece holds none);
// pieces.size() when no piece does (offset at or past the end).
std::size_t PieceHolding(const std::vector<Piece>& pieces, std::uint64_t offset);

// "%s_%03d.wav" into at most `capacity` bytes including the terminating zero.
// Returns false (and leaves name empty) when it does not fit.
bool PieceFileName(const std::string& prefix, std::uint32_t number, std::size_t capacity, std::string* name);

}  // namespace tw
