// The MP3 frame parser, the piece planner and builder and the ID3 tag
// writer on any bytes: a count of cuts (0-4) and their positions, then the
// file (a real MP3 in the seeds). Every frame lies inside the file, every
// piece's source range too, a piece read back by the same parser holds
// exactly its samples, and every ID3v2 tag written is a well-formed list of
// frames with one title.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/cut/mp3_pieces.h"
#include "fuzz/fuzz_support.h"

using namespace tw;

namespace {

std::uint32_t SyncSafe(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 21 | std::uint32_t{p[1]} << 14 | std::uint32_t{p[2]} << 7 | p[3];
}

// A version 2.3/2.4 tag's frames read plainly (written without
// unsynchronisation or extended header): every one inside the tag, one TIT2.
void CheckTag(const std::vector<std::uint8_t>& tag) {
    FUZZ_CHECK(tag.size() >= 10 && std::memcmp(tag.data(), "ID3", 3) == 0 && tag[5] == 0);
    for (int i = 6; i < 10; ++i) FUZZ_CHECK(tag[static_cast<std::size_t>(i)] < 0x80);
    FUZZ_CHECK(SyncSafe(tag.data() + 6) == tag.size() - 10);
    const int version = tag[3];
    const std::size_t head = version == 2 ? 6 : 10, id = version == 2 ? 3 : 4;
    int titles = 0;
    for (std::size_t at = 10; at < tag.size();) {
        FUZZ_CHECK(tag.size() - at >= head);
        const std::uint8_t* f = tag.data() + at;
        const std::size_t size = version == 2   ? (std::size_t{f[3]} << 16 | std::size_t{f[4]} << 8 | f[5])
                                 : version == 4 ? SyncSafe(f + 4)
                                                : (std::size_t{f[4]} << 24 | std::size_t{f[5]} << 16 |
                                                   std::size_t{f[6]} << 8 | f[7]);
        FUZZ_CHECK(size <= tag.size() - at - head);
        if (std::memcmp(f, version == 2 ? "TT2" : "TIT2", id) == 0) ++titles;
        at += head + size;
    }
    FUZZ_CHECK(titles == 1);
}

void CheckStream(const Mp3Stream& s, std::size_t size) {
    std::size_t end = s.id3v2Bytes;
    for (const Mp3Frame& f : s.frames) {
        FUZZ_CHECK(f.offset >= end && f.size >= f.payloadOffset && f.offset + f.size <= s.audioEnd);
        FUZZ_CHECK(f.samples == s.format.samplesPerFrame());
        end = f.offset + f.size;
    }
    FUZZ_CHECK(s.audioEnd <= size);
    FUZZ_CHECK(s.decodedSamples() <= s.frames.size() * static_cast<std::uint64_t>(s.format.samplesPerFrame()));
}

// The piece's bytes parsed again: a gapless decoder's count is the piece's.
void CheckPiece(const std::uint8_t* data, std::size_t size, const Mp3Stream& s, const Mp3PiecePlan& plan) {
    const Mp3PieceBytes piece = BuildMp3Piece(data, size, s, plan, {"タイトル", 3, 7});
    FUZZ_CHECK(piece.sourceBegin <= piece.sourceEnd && piece.sourceEnd <= size);
    std::vector<std::uint8_t> bytes(piece.head);
    bytes.insert(bytes.end(), data + piece.sourceBegin, data + piece.sourceEnd);
    bytes.insert(bytes.end(), piece.tail.begin(), piece.tail.end());
    const std::vector<std::uint8_t> tag(bytes.begin(), bytes.begin() + 10 + SyncSafe(bytes.data() + 6));
    CheckTag(tag);
    if (plan.frames() == 0 || (plan.issues & (kMp3Damaged | kMp3FreeFormat))) return;
    const Mp3Stream again = ParseMp3Stream(bytes.data(), bytes.size());
    // Frame bytes that happen to end like a tag (TAG, APETAGEX) shorten any reading of the piece.
    if (again.audioEnd != bytes.size() - (s.hasId3v1 && size >= 128 ? 128 : 0)) return;
    FUZZ_CHECK(again.found && again.gapless.hasLame && again.skippedBytes == 0);
    FUZZ_CHECK(again.frames.size() == plan.frames() + plan.carrierFrames + plan.trailerFrames);
    FUZZ_CHECK(again.decodedSamples() == plan.endSample - plan.firstSample);
    FUZZ_CHECK(again.reservoirShortFrames == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    std::vector<std::uint32_t> cuts(in.U8() % 5);
    for (std::uint32_t& c : cuts) c = in.U32();
    const fuzz::ExactBytes file(in.rest(), in.left());
    const Mp3Stream s = ParseMp3Stream(file.data(), file.size());
    CheckStream(s, file.size());
    const std::uint64_t total = s.decodedSamples();
    std::uint64_t first = 0;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        const std::uint64_t end = k < cuts.size() ? std::max<std::uint64_t>(first, cuts[k] % (total + 1)) : total;
        const Mp3PiecePlan plan = PlanMp3Piece(s, first, end);
        FUZZ_CHECK(plan.firstSample == first && plan.endSample == end);
        FUZZ_CHECK(plan.delay <= 4095 && plan.padding <= 4095 && plan.endFrame <= s.frames.size());
        FUZZ_CHECK(plan.frames() > 0 || (plan.issues & kMp3BeyondFrames));
        FUZZ_CHECK(Mp3PieceIssueText(plan.issues).size() < 400);
        CheckPiece(file.data(), file.size(), s, plan);
        first = end;
    }
    // The tag writer on the input itself, as the recording's first tag.
    CheckTag(PieceId3v2(file.data(), file.size(), {std::string(reinterpret_cast<const char*>(file.data()),
                                                               std::min<std::size_t>(file.size(), 40)),
                                                   1, 0}));
    return 0;
}
