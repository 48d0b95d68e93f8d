// Which bytes of the data chunk go into each saved piece.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

struct Piece {
    std::uint64_t offset;  // byte offset in the data chunk
    std::uint64_t length;  // bytes
};

// sortedCuts ascending -> contiguous pieces covering the whole frames of
// dataSize bytes. Each cut's boundary is 2 x the cut moved down to a multiple
// of frameBytes (FrameBytes of the header), so no piece starts inside a frame;
// the last piece ends at the last whole frame, leaving out the bytes of a
// frame the data ends inside of. Cuts that give no new boundary (equal cuts,
// two cuts in one frame, cuts at 0, at or past the end, NaN) make no piece, so
// no piece is empty, except the one piece of an empty data chunk. Samples of
// sampleBytes other than 2 (the container size of the encoding) put a cut c
// at byte sampleBytes x c.
std::vector<Piece> PlanPieces(const std::vector<double>& sortedCuts, std::uint64_t dataSize,
                              std::uint32_t frameBytes, std::uint32_t sampleBytes = 2);

// The piece that holds byte `offset` of the data (an empty piece holds none);
// pieces.size() when no piece does (offset at or past the end).
std::size_t PieceHolding(const std::vector<Piece>& pieces, std::uint64_t offset);

// The digits box: "1" to "9" (blanks around allowed) is that many digits;
// any other text is 3.
std::uint32_t PieceDigits(const std::string& text);

// "%s_%0<digits>u.wav" (digits 1 to 9, else 3) into at most `capacity` bytes including the terminating zero.
// Returns false (and leaves name empty) when it does not fit.
bool PieceFileName(const std::string& prefix, std::uint32_t number, std::size_t capacity, std::string* name,
                   std::uint32_t digits = 3);

// The path without a final ".wav" (any case).
std::string WithoutWavTail(const std::string& path);
// The path without the extension of a recording's kind (".wav", ".mp3", ".flac", ...).
std::string WithoutRecordingTail(const std::string& path);
// Up to and including the last folder separator; empty for a bare name.
std::string FolderPart(const std::string& path);
// `name` inside `folder` when it names no folder of its own and a folder is given.
std::string InFolder(const std::string& folder, const std::string& name);
// The prefix moved into a folder of the recording's own, named after it
// without ".wav": "cuts/part" for "talk.wav" gives "cuts/talk/part".
std::string InRecordingFolder(const std::string& prefix, const std::string& recording);

}  // namespace tw
