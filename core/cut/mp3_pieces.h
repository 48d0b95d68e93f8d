// MP3 pieces without re-encoding: the recording's own frames between two
// cuts, led by a silent "carrier" frame whose payload ends with the
// bit-reservoir bytes the first of them borrows, under an Info/Xing + LAME
// tag whose encoder delay and padding make a gapless decoder give exactly
// the samples between the cuts. Positions count decoded samples per channel
// as a gapless decoder gives them (Mp3Stream::decodedSamples), so pieces
// cut at consecutive positions join into the whole recording's decode.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/cut/mp3_tags.h"
#include "core/wave/mp3_frames.h"

namespace tw {

// Why a piece may not hold exactly the samples asked for (bits).
enum Mp3PieceIssue : std::uint8_t {
    kMp3NoGaplessTag = 1,   // the recording has no LAME tag: positions count every decoded sample
    kMp3Damaged = 2,        // bytes that are no frame, or a frame borrowing what the stream never held
    // Free format: few decoders read it (FFmpeg none), and those that do
    // ignore its Info tag, so they play the piece's frames whole.
    kMp3FreeFormat = 4,
    kMp3BeyondFrames = 8,   // no sample of the piece lies within the recording (nothing to write)
    // Shorter than a frame and inside one: decoders that trim per frame
    // (FFmpeg's) cannot take samples off both its ends and play the frame's rest.
    kMp3InsideOneFrame = 16,
};

struct Mp3PiecePlan {
    std::size_t firstFrame = 0;  // the first of the recording's frames in the piece (Mp3Stream::frames)
    std::size_t endFrame = 0;    // one past the last
    std::uint32_t delay = 0;     // the piece's LAME tag: samples before the first wanted one
    std::uint32_t padding = 0;   //   and after the last (the decoder's 529 included)
    std::uint32_t reservoirBytes = 0;  // the carriers' borrowed bytes
    std::uint32_t carrierFrames = 1;   // silent frames before the first, carrying them
    std::uint32_t trailerFrames = 0;   // silent frames after the last, so that a short piece is seen as MP3
    int carrierBitrate = 0;            // their bit-rate index
    std::uint64_t firstSample = 0;     // the samples it holds, [firstSample, endSample)
    std::uint64_t endSample = 0;
    std::uint8_t issues = 0;           // Mp3PieceIssue bits
    std::size_t frames() const { return endFrame - firstFrame; }
};

// The frames and tag numbers of the piece [first, end) (decoded samples,
// clamped to the recording's).
Mp3PiecePlan PlanMp3Piece(const Mp3Stream& stream, std::uint64_t first, std::uint64_t end);

// A piece's bytes: head, then the recording's bytes [sourceBegin, sourceEnd),
// then tail, so a writer copies the frames straight from the source.
struct Mp3PieceBytes {
    std::vector<std::uint8_t> head;  // ID3v2 tag, Info frame, carrier frame
    std::size_t sourceBegin = 0;
    std::size_t sourceEnd = 0;
    std::vector<std::uint8_t> tail;  // trailing silent frames, and the ID3v1 tag when the recording has one
    std::uint64_t size() const { return head.size() + (sourceEnd - sourceBegin) + tail.size(); }
};

// The piece of `plan` from the recording's bytes (the same `bytes` and
// `size` the stream was parsed from).
Mp3PieceBytes BuildMp3Piece(const std::uint8_t* bytes, std::size_t size, const Mp3Stream& stream,
                            const Mp3PiecePlan& plan, const Mp3PieceTags& tags);

// A line for the user about a piece's issues (UTF-8), empty when it has none.
std::string Mp3PieceIssueText(std::uint8_t issues);

}  // namespace tw
