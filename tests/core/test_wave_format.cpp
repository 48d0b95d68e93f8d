#include <doctest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/cut/piece_plan.h"
#include "core/support/little_endian.h"
#include "core/wave/foreign_format.h"
#include "core/wave/wave_format.h"

using namespace tw;

namespace {
WaveHeaderBytes HeaderWithTags(const char* riff, const char* wave, const char* fmt) {
    WaveHeaderBytes h{};
    std::memcpy(h.data(), riff, 4);
    std::memcpy(h.data() + 8, wave, 4);
    std::memcpy(h.data() + 12, fmt, 4);
    return h;
}
}  // namespace

TEST_CASE("header check compares the RIFF and WAVE tags without regard to case") {
    struct Row { const char* riff; const char* wave; const char* fmt; bool accepted; const char* text; };
    const Row rows[] = {
        {"RIFF", "WAVE", "fmt ", true, "RIFFWAVEfmt "},
        {"riff", "wave", "FMT ", true, "riffwaveFMT "},
        {"RiFf", "wAvE", "FmT ", true, "RiFfwAvEFmT "},
        {"RIFX", "WAVE", "fmt ", false, "RIFXWAVEfmt "},
        {"RIFF", "WAVE", "LIST", true, "RIFFWAVELIST"},
        {"RIFF", "WAVE", "fmt_", true, "RIFFWAVEfmt_"},
        {"RIFF", "AVI ", "fmt ", false, "RIFFAVI fmt "},
        {"RI\0F", "WAVE", "fmt ", false, "RI"},
        {"RIFF", "WAVE", "fm\0 ", true, "RIFFWAVEfm"},
        {"\0IFF", "WAVE", "fmt ", false, ""},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text);
        WaveHeaderBytes h = HeaderWithTags(r.riff, r.wave, r.fmt);
        CHECK(RiffWaveAccepted(h) == r.accepted);
        CHECK(HeaderTagText(h) == r.text);
    }
}

TEST_CASE("files of other kinds are named by their first bytes") {
    struct Row { std::string bytes; const char* name; };
    const std::string ogg = "OggS" + std::string(24, '\0');
    const Row rows[] = {
        {"ID3\x04\0\0\0\0\0\0", "MP3"},
        {"\xFF\xFB\x90\x64", "MP3"},              // MPEG-1 layer III, 128 kbit/s, 44.1 kHz
        {"\xFF\xF3\x48\xC4", "MP3"},              // MPEG-2 layer III
        {"\xFF\xE3\x18\xC4", "MP3"},              // MPEG-2.5
        {"\xFF\xFD\x90\x64", "MP2"},
        {"\xFF\xF1\x50\x80", "AAC"},              // ADTS
        {"\xFF\xFB\xF0\x64", nullptr},            // bit rate index 15: no frame
        {"\xFF\xFB\x9C\x64", nullptr},            // sample rate index 3: no frame
        {"\xFF\xEB\x90\x64", nullptr},            // reserved version
        {"\xFF\xFB\x90", nullptr},                 // too short for a frame header
        {"fLaC\0\0\0\x22", "FLAC"},
        {ogg + "OpusHead", "Opus"},
        {ogg + "\x01vorbis", "Ogg Vorbis"},
        {ogg + "\x7F" "FLAC", "Ogg FLAC"},
        {ogg, "Ogg"},
        {std::string("\0\0\0\x20" "ftypM4A \0\0\0\0", 16), "M4A"},
        {std::string("\0\0\0\x1C" "ftypisom\0\0\x02\0", 16), "MP4"},
        {std::string("\0\0\0\x14" "ftypqt  ", 12), "QuickTime (MOV)"},
        {std::string("FORM\0\0\0\0AIFF", 12), "AIFF"},
        {std::string("FORM\0\0\0\0AIFC", 12), "AIFF-C"},
        {std::string("FORM\0\0\0\0" "8SVX", 12), nullptr},
        {std::string("caff\0\x01\0\0", 8), "CAF"},
        {std::string("RIFF\0\0\0\0AVI LIST", 16), "AVI"},
        {std::string("RIFF\0\0\0\0WAVEfmt ", 16), nullptr},
        {"riff\x2E\x91\xCF\x11\xA5\xD6", "Wave64 (W64)"},
        {"#!AMR\n", "AMR"},
        {"thisnot a wa", nullptr},
        {"", nullptr},
    };
    for (const Row& r : rows) {
        CAPTURE(r.bytes);
        const char* name = ForeignFormatName(reinterpret_cast<const std::uint8_t*>(r.bytes.data()), r.bytes.size());
        CHECK(std::string(name ? name : "-") == std::string(r.name ? r.name : "-"));
    }
    // Only the first bytes count: the window reads no more before it refuses a file.
    const std::string late = std::string(kForeignProbeBytes, 'x') + "fLaC";
    CHECK(ForeignFormatName(reinterpret_cast<const std::uint8_t*>(late.data()), late.size()) == nullptr);
}

TEST_CASE("header fields are little-endian and piece header changes only the sizes") {
    WaveHeaderBytes h = HeaderWithTags("RIFF", "WAVE", "fmt ");
    const std::uint8_t fields[] = {0x10, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    std::memcpy(h.data() + 16, fields, sizeof fields);
    std::memcpy(h.data() + 36, "data", 4);
    WriteLe32(h.data() + 40, 0xFFFFFFFEu);
    CHECK(ReadLe16(h.data() + 22) == 2);
    CHECK(ReadLe32(h.data() + 24) == 44100);
    CHECK(ReadLe16(h.data() + 34) == 16);
    CHECK(ReadLe32(h.data() + 40) == 0xFFFFFFFEu);

    WaveHeaderBytes p = PieceHeader(h, 0);
    CHECK(ReadLe32(p.data() + 4) == 36);
    CHECK(ReadLe32(p.data() + 40) == 0);
    for (std::size_t i = 0; i < kWaveHeaderSize; ++i) {
        if ((i >= 4 && i < 8) || i >= 40) continue;
        CHECK(p[i] == h[i]);
    }
    CHECK(ReadLe32(PieceHeader(h, 1000).data() + 4) == 1036);
    // Near 4 GiB the RIFF size saturates instead of wrapping to a tiny value.
    CHECK(ReadLe32(PieceHeader(h, 0xFFFFFFF0u).data() + 4) == 0xFFFFFFFFu);
}

TEST_CASE("pieces are contiguous and cover the data exactly") {
    struct Row {
        std::vector<double> cuts;
        std::uint64_t dataSize;
        std::vector<std::uint64_t> lengths;
        std::uint32_t frame = 2;
        std::uint32_t sampleBytes = 2;
    };
    const Row rows[] = {
        {{}, 1000, {1000}},
        {{100}, 1000, {200, 800}},
        {{100, 100}, 1000, {200, 800}},                // equal cuts: one boundary
        {{0}, 1000, {1000}},
        {{100, 300}, 1001, {200, 400, 400}},         // the odd last byte goes with no piece
        {{500}, 1000, {1000}},                        // exactly at the end
        {{501}, 1000, {1000}},                        // one past the end
        {{501, 502}, 1000, {1000}},
        {{-5, 10}, 1000, {20, 980}},                  // negative: no boundary
        {{100.9, 200.2}, 1000, {200, 200, 600}},      // fractions dropped
        {{3}, 7, {6}},
        {{4}, 7, {6}},                                // 4 > 3.5 lies beyond the data
        {{10}, 0, {0}},                               // an empty data chunk is one empty piece
        {{300, 100}, 1000, {600, 400}},               // out of order: the lower cut gives no boundary
        {{100, NAN}, 1000, {200, 800}},
        {{1e300}, 1000, {1000}},
        {{2147483647.0}, 1ull << 32, {0xFFFFFFFEu, 2}},  // 2 * cut does not wrap at 32 bits
        {{1.5e9}, 6ull << 30, {4500000000ull, (6ull << 30) - 4500000000ull}, 6, 3},  // 6 GiB of 24-bit stereo
        // Whole frames: every boundary moves down to a multiple of the frame.
        {{101, 300}, 1002, {200, 400, 400}, 4},       // stereo 16-bit: odd cut 101 -> byte 200
        {{100, 301}, 1002, {200, 400, 400}, 4},
        {{}, 616219, {616216}, 4},                    // ends 3 bytes into a frame: they are left out
        {{154054}, 616219, {308108, 308108}, 4},
        {{1, 2, 3}, 1001, {4, 996}, 4},               // boundaries at byte 0 and inside one frame: one
        {{100, 200}, 1000, {198, 198, 600}, 6},       // mono 24-bit (3) and stereo 24-bit (6)
        {{100, 200}, 1000, {198, 201, 600}, 3},
        {{499}, 1001, {992, 8}, 8},                   // the last piece ends at the last whole frame
        {{500}, 1001, {1000}, 8},                     // a cut at the partial frame is no boundary
        {{501}, 1001, {1000}, 8},                     // past the end: no boundary
        {{1000, 1000, 1000.5}, 4000, {2000, 2000}, 4}, // a double automatic run: no empty piece
        // Other sample sizes: cut c at byte c x the sample size, down to the frame.
        {{100, 201}, 3000, {300, 300, 2400}, 6, 3},   // stereo 24-bit: sample 201 -> byte 603 -> 600
        {{101}, 1001, {101, 900}, 1, 1},              // mono 8-bit: every sample is a frame
        {{1000}, 1001, {1000, 1}, 1, 1},              // the last sample is still a boundary
        {{1001}, 1001, {1001}, 1, 1},                 // at the end: no boundary
        {{250, 251}, 1000, {1000}, 4, 4},             // 250 samples of 4 bytes: 250 and 251 lie at or past the end
        {{3}, 1000, {16, 976}, 16, 8},                // stereo float64
    };
    for (const Row& r : rows) {
        CAPTURE(r.frame);
        CAPTURE(r.dataSize);
        CAPTURE(r.sampleBytes);
        auto pieces = PlanPieces(r.cuts, r.dataSize, r.frame, r.sampleBytes);
        REQUIRE(pieces.size() == r.lengths.size());
        std::uint64_t pos = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            CHECK(pieces[k].offset == pos);
            CHECK(pieces[k].length == r.lengths[k]);
            pos += pieces[k].length;
        }
        CHECK(pos == r.dataSize - r.dataSize % r.frame);
    }
}

TEST_CASE("the piece that holds a byte is the one a save writes it into") {
    // 1000 bytes cut at bytes 100, 100 (one boundary), 300 and 600.
    const std::vector<Piece> pieces = PlanPieces({50, 50, 150, 300}, 1000, 4);
    const std::size_t none = pieces.size();
    struct Row { std::uint64_t offset; std::size_t piece; };
    const Row rows[] = {
        {0, 0}, {99, 0}, {100, 1}, {299, 1}, {300, 2}, {599, 2}, {600, 3}, {999, 3}, {1000, none}, {1u << 31, none},
    };
    for (const Row& r : rows) {
        CAPTURE(r.offset);
        CHECK(PieceHolding(pieces, r.offset) == r.piece);
    }
    CHECK(PieceHolding(PlanPieces({0, 900}, 1000, 2), 999) == 0);
    CHECK(PieceHolding(PlanPieces({}, 0, 2), 0) == 1);
}

TEST_CASE("frame bytes are the block alignment when it is sane, else one sample") {
    struct Row { std::uint16_t align; std::uint16_t bits; std::uint32_t frame; };
    const Row rows[] = {{0, 16, 2}, {1, 8, 1}, {2, 16, 2}, {3, 24, 3}, {4, 16, 4}, {6, 24, 6}, {2048, 16, 2048},
                        {8192, 16, 8192}, {8193, 16, 2}, {65535, 16, 2}, {9000, 24, 3}, {0, 64, 8}, {0, 0, 2}, {0, 65, 2}};
    for (const Row& r : rows) {
        WaveHeaderBytes h{};
        h[32] = static_cast<std::uint8_t>(r.align);
        h[33] = static_cast<std::uint8_t>(r.align >> 8);
        h[34] = static_cast<std::uint8_t>(r.bits);
        CAPTURE(r.align);
        CAPTURE(r.bits);
        CHECK(FrameBytes(h) == r.frame);
    }
}

namespace {

// A RIFF/WAVE file: the fmt chunk of `fmtSize` bytes (16 fields, then zeros or
// an extensible tail), then the given chunks as (tag, claimed size, body size).
struct ChunkRow { const char* tag; std::uint32_t size; std::uint32_t body; };
std::vector<std::uint8_t> RiffFile(std::uint32_t fmtSize, std::uint16_t formatTag, std::initializer_list<ChunkRow> chunks) {
    std::vector<std::uint8_t> f(20 + fmtSize + (fmtSize & 1), 0);
    std::memcpy(f.data(), "RIFF\0\0\0\0WAVEfmt ", 16);
    WriteLe32(f.data() + 16, fmtSize);
    const std::uint8_t fields[] = {0, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    std::memcpy(f.data() + 20, fields, std::min<std::size_t>(16, f.size() - 20));
    f[20] = static_cast<std::uint8_t>(formatTag);
    f[21] = static_cast<std::uint8_t>(formatTag >> 8);
    if (fmtSize >= 40) {  // sub-format PCM with the standard GUID tail, to see it carried over
        static const std::uint8_t kTail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        f[44] = 1;
        std::memcpy(f.data() + 46, kTail, sizeof kTail);
    }
    for (const ChunkRow& c : chunks) {
        const std::size_t at = f.size();
        f.resize(at + 8 + c.body, 0x55);
        std::memcpy(f.data() + at, c.tag, 4);
        WriteLe32(f.data() + at + 4, c.size);
    }
    return f;
}

}  // namespace

TEST_CASE("the data chunk is found after any chunks, and only where it is") {
    struct Row {
        const char* name;
        std::vector<std::uint8_t> file;
        LayoutOutcome outcome;
        std::uint64_t offset;
        std::uint32_t size;
        std::uint16_t pieceTag;
    };
    const Row rows[] = {
        {"canonical", RiffFile(16, 1, {{"data", 8, 8}}), LayoutOutcome::Found, 44, 8, 1},
        {"canonical, size past the end", RiffFile(16, 1, {{"data", 1000, 8}}), LayoutOutcome::Found, 44, 1000, 1},
        {"canonical, data tag in lower case", RiffFile(16, 1, {{"DATA", 4, 4}}), LayoutOutcome::Found, 44, 4, 1},
        {"LIST before data", RiffFile(16, 1, {{"LIST", 26, 26}, {"data", 4, 4}}), LayoutOutcome::Found, 36 + 34 + 8, 4, 1},
        {"odd chunk padded", RiffFile(16, 1, {{"JUNK", 3, 4}, {"data", 4, 4}}), LayoutOutcome::Found, 36 + 12 + 8, 4, 1},
        {"fmt of 18 bytes", RiffFile(18, 1, {{"data", 2, 2}}), LayoutOutcome::Found, 38 + 8, 2, 1},
        {"odd fmt size", RiffFile(17, 1, {{"data", 2, 2}}), LayoutOutcome::Found, 38 + 8, 2, 1},
        {"extensible", RiffFile(40, 0xFFFE, {{"fact", 4, 4}, {"data", 6, 6}}), LayoutOutcome::Found, 60 + 12 + 8, 6, 1},
        {"extensible, fmt too short for a sub-format", RiffFile(18, 0xFFFE, {{"data", 2, 2}}), LayoutOutcome::Unsupported, 0, 0, 0},
        {"no data chunk", RiffFile(16, 1, {{"LIST", 4, 4}}), LayoutOutcome::NoDataChunk, 0, 0, 0},
        {"chunk size past the end", RiffFile(16, 1, {{"LIST", 0xFFFFFFFFu, 4}, {"data", 4, 4}}), LayoutOutcome::NoDataChunk, 0, 0, 0},
        {"fmt size past the end", [] { auto f = RiffFile(16, 1, {{"data", 4, 4}}); WriteLe32(f.data() + 16, 0xFFFFFFFFu); return f; }(),
         LayoutOutcome::NoDataChunk, 0, 0, 0},
        {"truncated chunk header", [] { auto f = RiffFile(16, 1, {{"LIST", 4, 4}}); f.resize(f.size() + 5, 'd'); return f; }(),
         LayoutOutcome::NoDataChunk, 0, 0, 0},
        {"44 bytes, LIST at 36", [] { auto f = RiffFile(16, 1, {{"LIST", 0, 0}}); return f; }(), LayoutOutcome::NoDataChunk, 0, 0, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        WaveLayout layout;
        REQUIRE(r.file.size() >= 16);
        CHECK(FindWaveLayoutInBytes(r.file.data(), r.file.size(), &layout) == r.outcome);
        if (r.outcome != LayoutOutcome::Found) continue;
        CHECK(layout.dataOffset == r.offset);
        CHECK(layout.dataSize == r.size);
        const WaveHeaderBytes& p = layout.pieceHeader;
        CHECK(ReadLe16(p.data() + 20) == r.pieceTag);
        CHECK(RiffWaveAccepted(p));
        CHECK(ReadLe32(p.data() + 16) == 16);
        CHECK(std::memcmp(p.data() + 36, r.offset == 44 ? r.file.data() + 36 : reinterpret_cast<const std::uint8_t*>("data"), 4) == 0);
        CHECK(std::memcmp(p.data() + 22, r.file.data() + 22, 14) == 0);  // channels .. bits
        if (r.offset == 44) CHECK(std::memcmp(p.data(), r.file.data(), 44) == 0);  // canonical: the file's own bytes
    }
}

TEST_CASE("the data runs to the end of the file when its size cannot be true") {
    struct Row { std::uint32_t claimed; std::uint64_t fileSize; std::uint64_t size; bool fitted; };
    const Row rows[] = {
        {1000, 44 + 1000, 1000, false},           // as claimed
        {1000, 44 + 2000, 1000, false},           // chunks after the data stay out
        {1000000, 44 + 475790, 475790, true},     // cut short
        {0xFFFFFFFFu, 44 + 477000, 477000, true}, // streamed to a pipe
        {0, 44 + 477000, 477000, true},           // never closed
        {0, 44, 0, false},                        // really empty
        {7, 40, 0, true},                         // data offset past the end
        {0xFFFFFFFFu, 44 + (1ull << 33), 1ull << 33, true},  // streamed beyond 4 GiB: all of it
        {0, 44 + (1ull << 33), 1ull << 33, true},
    };
    for (const Row& r : rows) {
        CAPTURE(r.claimed);
        CAPTURE(r.fileSize);
        WaveLayout layout;
        layout.dataSize = layout.claimedSize = r.claimed;
        CHECK(FitDataToFile(&layout, r.fileSize) == r.fitted);
        CHECK(layout.dataSize == r.size);
        CHECK(layout.claimedSize == r.claimed);
    }
}

TEST_CASE("the chunk walk stops after its bound and on read errors") {
    // 2^16 empty JUNK chunks and then data: the bound is reached first.
    std::vector<std::uint8_t> f = RiffFile(18, 1, {});
    for (std::uint32_t i = 0; i < kMaxChunksWalked; ++i) f.insert(f.end(), {'J', 'U', 'N', 'K', 0, 0, 0, 0});
    f.insert(f.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    WaveLayout layout;
    CHECK(FindWaveLayoutInBytes(f.data(), f.size(), &layout) == LayoutOutcome::NoDataChunk);
    f.erase(f.begin() + 38, f.begin() + 54);  // the fmt chunk counts too: two JUNK fewer, found
    CHECK(FindWaveLayoutInBytes(f.data(), f.size(), &layout) == LayoutOutcome::Found);

    WaveHeaderBytes h{};
    std::memcpy(h.data(), f.data(), 44);
    CHECK(FindWaveLayout(h, [](std::uint64_t, std::uint8_t*, std::uint32_t) -> std::int64_t { return -1; }, &layout) ==
          LayoutOutcome::ReadError);
}

TEST_CASE("piece names are bounded") {
    std::string name;
    CHECK(PieceFileName("", 0, 1024, &name));
    CHECK(name == "_000.wav");
    CHECK(PieceFileName("a\\b", 1000, 1024, &name));
    CHECK(name == "a\\b_1000.wav");
    CHECK(PieceFileName(std::string(1015, 'x'), 7, 1024, &name));  // 1015 + 8 + NUL = 1024
    CHECK_FALSE(PieceFileName(std::string(1016, 'x'), 7, 1024, &name));
    CHECK(name.empty());
    // The digits box: 1 to 9, any other text 3.
    const std::pair<const char*, const char*> digits[] = {
        {"1", "p_7.wav"}, {"5", "p_00007.wav"}, {" 9 ", "p_000000007.wav"}, {"0", "p_007.wav"},
        {"10", "p_007.wav"}, {"abc", "p_007.wav"}, {"", "p_007.wav"}, {"-2", "p_007.wav"},
    };
    for (const auto& d : digits) {
        CHECK(PieceFileName("p", 7, 1024, &name, PieceDigits(d.first)));
        CHECK(name == d.second);
    }
}

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put(Bytes& b, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A fmt chunk's body; sub >= 0 makes it extensible with that sub-format.
Bytes FmtBody(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t align, std::uint16_t bits,
              int sub = -1, std::uint16_t validBits = 0, bool standardGuid = true) {
    Bytes b;
    Put(b, sub >= 0 ? 0xFFFE : tag, 2);
    Put(b, channels, 2);
    Put(b, rate, 4);
    Put(b, std::uint64_t{rate} * align, 4);
    Put(b, align, 2);
    Put(b, bits, 2);
    if (sub >= 0) {
        Put(b, 22, 2);
        Put(b, validBits, 2);
        Put(b, 0, 4);
        Put(b, static_cast<std::uint16_t>(sub), 2);
        const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B,
                                   static_cast<std::uint8_t>(standardGuid ? 0x71 : 0x72)};
        b.insert(b.end(), tail, tail + 14);
    }
    return b;
}

Bytes Chunk(const char* tag, const Bytes& body, std::int64_t claimed = -1) {
    Bytes c(tag, tag + 4);
    Put(c, claimed < 0 ? body.size() : static_cast<std::uint64_t>(claimed), 4);
    c.insert(c.end(), body.begin(), body.end());
    if (body.size() & 1) c.push_back(0);
    return c;
}

Bytes RiffOf(const char* id, std::initializer_list<Bytes> chunks) {
    Bytes f(id, id + 4);
    Put(f, 0, 4);
    f.insert(f.end(), {'W', 'A', 'V', 'E'});
    for (const Bytes& c : chunks) f.insert(f.end(), c.begin(), c.end());
    return f;
}

Bytes Ds64(std::uint64_t dataSize) {
    Bytes b;
    Put(b, 0, 8);  // RIFF size
    Put(b, dataSize, 8);
    Put(b, 0, 8);  // sample count
    Put(b, 0, 4);  // table length
    return b;
}

}  // namespace

TEST_CASE("the fmt chunk says how samples are read, or why they cannot be") {
    using E = SampleEncoding;
    using P = FormatProblem;
    struct Row { const char* name; Bytes body; E encoding; P problem; };
    const Row rows[] = {
        {"8-bit", FmtBody(1, 1, 8000, 1, 8), E::Pcm8, P::None},
        {"16-bit stereo", FmtBody(1, 2, 44100, 4, 16), E::Pcm16, P::None},
        {"24-bit stereo", FmtBody(1, 2, 48000, 6, 24), E::Pcm24, P::None},
        {"32-bit", FmtBody(1, 1, 48000, 4, 32), E::Pcm32, P::None},
        {"12 bits in 16", FmtBody(1, 1, 8000, 2, 12), E::Pcm16, P::None},
        {"float", FmtBody(3, 2, 48000, 8, 32), E::Float32, P::None},
        {"double", FmtBody(3, 1, 48000, 8, 64), E::Float64, P::None},
        {"A-law", FmtBody(6, 1, 8000, 1, 8), E::ALaw, P::None},
        {"mu-law", FmtBody(7, 2, 8000, 2, 8), E::MuLaw, P::None},
        {"extensible 20 of 24 bits", FmtBody(0, 2, 96000, 6, 24, 1, 20), E::Pcm24, P::None},
        {"extensible float", FmtBody(0, 4, 48000, 16, 32, 3, 32), E::Float32, P::None},
        {"extensible mu-law", FmtBody(0, 1, 8000, 1, 8, 7, 8), E::MuLaw, P::None},
        {"IMA ADPCM", FmtBody(0x11, 1, 22050, 256, 4), E::Pcm16, P::Compressed},
        {"MP3", FmtBody(0x55, 2, 44100, 1, 0), E::Pcm16, P::Compressed},
        {"extensible ADPCM", FmtBody(0, 1, 8000, 1, 4, 2, 4), E::Pcm16, P::Compressed},
        {"extensible, unknown GUID", FmtBody(0, 1, 8000, 2, 16, 1, 16, false), E::Pcm16, P::Compressed},
        {"valid bits above the container", FmtBody(0, 1, 8000, 3, 24, 1, 32), E::Pcm16, P::BadValidBits},
        {"extensible cut short", [] { Bytes b = FmtBody(0, 1, 8000, 2, 16, 1, 16); b.resize(22); return b; }(),
         E::Pcm16, P::ShortFmtChunk},
        {"14-byte fmt", [] { Bytes b = FmtBody(1, 1, 8000, 2, 16); b.resize(14); return b; }(), E::Pcm16, P::ShortFmtChunk},
        {"no channels", FmtBody(1, 0, 8000, 0, 16), E::Pcm16, P::NoChannels},
        {"no sample rate", FmtBody(1, 1, 0, 2, 16), E::Pcm16, P::NoSampleRate},
        {"0 bits", FmtBody(1, 1, 8000, 2, 0), E::Pcm16, P::BadBits},
        {"40 bits", FmtBody(1, 1, 8000, 5, 40), E::Pcm16, P::BadBits},
        {"16-bit float", FmtBody(3, 1, 8000, 2, 16), E::Pcm16, P::BadBits},
        {"16-bit A-law", FmtBody(6, 1, 8000, 2, 16), E::Pcm16, P::BadBits},
        {"alignment of one channel", FmtBody(1, 2, 8000, 2, 16), E::Pcm16, P::BadBlockAlign},
        {"alignment 0", FmtBody(1, 1, 8000, 0, 16), E::Pcm16, P::BadBlockAlign},
        {"24-bit in 4 bytes, plain", FmtBody(1, 1, 8000, 4, 24), E::Pcm16, P::BadBlockAlign},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        WaveLayout layout;
        CHECK(ReadFmtChunk(r.body.data(), static_cast<std::uint32_t>(r.body.size()), &layout) == (r.problem == P::None));
        CHECK(layout.problem == r.problem);
        if (r.problem != P::None) continue;
        CHECK(layout.encoding == r.encoding);
        CHECK(layout.channels == ReadLe16(r.body.data() + 2));
        CHECK(layout.sampleRate == ReadLe32(r.body.data() + 4));
        CHECK(layout.bitsPerSample == ReadLe16(r.body.data() + 14));
    }
}

TEST_CASE("chunks before fmt are walked, RF64 sizes come from ds64") {
    const Bytes fmt24 = Chunk("fmt ", FmtBody(1, 2, 48000, 6, 24));
    const Bytes data = Chunk("data", Bytes(12, 0x11));
    struct Row {
        const char* name;
        Bytes file;
        LayoutOutcome outcome;
        std::uint64_t offset;  // Found: data offset, size and samples
        std::uint64_t size;
        std::uint64_t samples;
        FormatProblem problem;
        std::uint64_t present = ~0ull;  // fitted to the file, when not size
    };
    const Row rows[] = {
        {"JUNK first", RiffOf("RIFF", {Chunk("JUNK", Bytes(28)), fmt24, data}), LayoutOutcome::Found, 12 + 36 + 24 + 8, 12, 4,
         FormatProblem::None},
        {"bext first, odd size", RiffOf("RIFF", {Chunk("bext", Bytes(603)), fmt24, data}), LayoutOutcome::Found,
         12 + 612 + 24 + 8, 12, 4, FormatProblem::None},
        {"RF64", RiffOf("RF64", {Chunk("ds64", Ds64(12)), fmt24, Chunk("data", Bytes(12, 0x11), 0xFFFFFFFF)}),
         LayoutOutcome::Found, 12 + 36 + 24 + 8, 12, 4, FormatProblem::None},
        {"RF64 of 4 GiB", RiffOf("RF64", {Chunk("ds64", Ds64(1ull << 32)), fmt24, Chunk("data", Bytes(12), 0xFFFFFFFF)}),
         LayoutOutcome::Found, 12 + 36 + 24 + 8, 1ull << 32, (1ull << 32) / 3, FormatProblem::None, 12},
        {"RF64 without ds64", RiffOf("RF64", {fmt24, Chunk("data", Bytes(12), 0xFFFFFFFF)}), LayoutOutcome::Unsupported, 0, 0,
         0, FormatProblem::NoDs64},
        {"data before fmt", RiffOf("RIFF", {data, fmt24}), LayoutOutcome::Unsupported, 0, 0, 0, FormatProblem::NoFmtChunk},
        {"no fmt at all", RiffOf("RIFF", {Chunk("LIST", Bytes(4)), data}), LayoutOutcome::Unsupported, 0, 0, 0,
         FormatProblem::NoFmtChunk},
        {"compressed", RiffOf("RIFF", {Chunk("fmt ", FmtBody(0x11, 1, 8000, 256, 4)), data}), LayoutOutcome::Unsupported, 0,
         0, 0, FormatProblem::Compressed},
        {"fmt but no data", RiffOf("RIFF", {Chunk("JUNK", Bytes(4)), fmt24}), LayoutOutcome::NoDataChunk, 0, 0, 0,
         FormatProblem::None},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        WaveLayout layout;
        CHECK(FindWaveLayoutInBytes(r.file.data(), r.file.size(), &layout) == r.outcome);
        CHECK(layout.problem == r.problem);
        const WaveCheck check = CheckWaveBytes(r.file.data(), r.file.size());
        CHECK((check.verdict == WaveVerdict::Unsupported) == (r.outcome == LayoutOutcome::Unsupported));
        if (r.outcome != LayoutOutcome::Found) continue;
        CHECK(layout.dataOffset == r.offset);
        CHECK(layout.dataSize == r.size);
        CHECK(layout.sampleCount == r.samples);
        CHECK(layout.encoding == SampleEncoding::Pcm24);
        CHECK(layout.scaleSize() == 2 * r.samples);
        CHECK(check.verdict == WaveVerdict::Accepted);
        CHECK(check.presentBytes == (r.present == ~0ull ? r.size : r.present));
        // Pieces get a plain RIFF header with the fmt chunk's fields.
        const WaveHeaderBytes& p = layout.pieceHeader;
        CHECK(std::memcmp(p.data(), "RIFF", 4) == 0);
        CHECK(ReadLe16(p.data() + 20) == 1);
        CHECK(std::memcmp(p.data() + 22, fmt24.data() + 10, 14) == 0);
    }
    WaveHeaderBytes h{};
    std::memcpy(h.data(), "rf64\0\0\0\0wave", 12);
    CHECK(RiffWaveAccepted(h));
    std::memcpy(h.data(), "RIFX", 4);
    CHECK_FALSE(RiffWaveAccepted(h));
}

TEST_CASE("an RF64 file of 5 GiB on disk is read to its end") {
    // Sparse: only the header takes room. Read as the window reads a file
    // (the chunk walk through reads at offsets, then the data fitted to the
    // file's size), which is CheckWaveBytes over a mapping for tarnwick-split.
    namespace fs = std::filesystem;
    const fs::path path = fs::temp_directory_path() / ("tw_rf64_" + std::to_string(std::random_device{}()) + ".wav");
    const std::uint64_t data = (5ull << 30) / 6 * 6 + 3;  // 24-bit stereo, ending 3 bytes into a frame
    const Bytes head = RiffOf("RF64", {Chunk("ds64", Ds64(data)), Chunk("fmt ", FmtBody(1, 2, 48000, 6, 24)),
                                       Chunk("data", Bytes(), 0xFFFFFFFF)});
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
    fs::resize_file(path, head.size() + data);
    std::ifstream in(path, std::ios::binary);
    WaveHeaderBytes header{};
    in.read(reinterpret_cast<char*>(header.data()), static_cast<std::streamsize>(header.size()));
    WaveLayout layout;
    const LayoutOutcome found = FindWaveLayout(
        header,
        [&in](std::uint64_t offset, std::uint8_t* into, std::uint32_t want) -> std::int64_t {
            in.clear();
            in.seekg(static_cast<std::streamoff>(offset));
            in.read(reinterpret_cast<char*>(into), want);
            return in.gcount();
        },
        &layout);
    const bool fitted = FitDataToFile(&layout, fs::file_size(path));
    in.close();
    std::error_code ignored;
    fs::remove(path, ignored);
    REQUIRE(found == LayoutOutcome::Found);
    CHECK_FALSE(fitted);
    CHECK(layout.dataOffset == head.size());
    CHECK(layout.dataSize == data);
    CHECK(layout.sampleCount == data / 3);
    CHECK(layout.scaleSize() == 2 * (data / 3));
    CHECK(PartialFrameBytes(layout) == 3);
    const std::vector<Piece> pieces = PlanPieces({}, layout.dataSize, FrameBytes(layout.pieceHeader), layout.sampleBytes());
    REQUIRE(pieces.size() == 1);
    CHECK(pieces[0].length == data - 3);
    CHECK(PieceHeaderFor(layout.pieceHeader, pieces[0].length).size() == 80);  // written as RF64
}

TEST_CASE("float and G.711 pieces get an 18-byte fmt chunk and a fact chunk; RIFF sizes past 32 bits make RF64") {
    struct Row { std::uint16_t tag; std::uint16_t align; std::uint16_t bits; std::uint64_t length; std::size_t size; };
    const Row rows[] = {
        {1, 6, 24, 600, 44}, {1, 1, 8, 7, 44}, {3, 8, 32, 800, 58}, {3, 8, 64, 0, 58}, {6, 1, 8, 7, 58}, {7, 2, 8, 10, 58},
        {1, 4, 16, 0xFFFFFFFFu - 36, 44},   // the largest RIFF size 32 bits hold
        {1, 4, 16, 0xFFFFFFFFu - 35, 80},   // one more byte: RF64
        {1, 6, 24, 6ull << 30, 80},
        {3, 8, 32, 0xFFFFFFFFu - 50, 58},
        {3, 8, 32, 0xFFFFFFFFu - 49, 94},
        {7, 2, 8, 5ull << 30, 94},
    };
    auto le64 = [](const std::uint8_t* p) { return ReadLe32(p) | std::uint64_t{ReadLe32(p + 4)} << 32; };
    for (const Row& r : rows) {
        CAPTURE(r.tag);
        CAPTURE(r.length);
        const Bytes fmt = Chunk("fmt ", FmtBody(r.tag, r.align * 8 / r.bits, 8000, r.align, r.bits));
        Bytes file = RiffOf("RIFF", {Chunk("JUNK", Bytes(4)), fmt, Chunk("data", Bytes(std::min<std::uint64_t>(r.length, 16), 1))});
        WaveLayout layout;
        REQUIRE(FindWaveLayoutInBytes(file.data(), file.size(), &layout) == LayoutOutcome::Found);
        const PieceHeaderBytes piece = PieceHeaderFor(layout.pieceHeader, r.length);
        REQUIRE(piece.size() == r.size);
        const std::uint8_t* h = piece.data();
        const bool rf64 = r.size > 58;
        const std::size_t fmtAt = rf64 ? 12 + kDs64ChunkSize : 12;
        CHECK(std::memcmp(h + fmtAt + 8, fmt.data() + 8, 16) == 0);  // format .. bits as in the source
        CHECK(std::memcmp(h + r.size - 8, "data", 4) == 0);
        // Read back as a file of its header, the piece has the source's samples at the length asked.
        WaveLayout back;
        REQUIRE(FindWaveLayoutInBytes(h, piece.size(), &back) == LayoutOutcome::Found);
        CHECK(back.dataOffset == r.size);
        CHECK(back.dataSize == r.length);
        CHECK(back.encoding == layout.encoding);
        CHECK(back.channels == layout.channels);
        if (rf64) {
            CHECK(std::memcmp(h, "RF64", 4) == 0);
            CHECK(ReadLe32(h + 4) == 0xFFFFFFFFu);
            CHECK(std::memcmp(h + 12, "ds64", 4) == 0);
            CHECK(ReadLe32(h + 16) == 28);
            CHECK(le64(h + 20) == r.size - 8 + r.length);
            CHECK(le64(h + 28) == r.length);
            CHECK(le64(h + 36) == r.length / r.align);
            CHECK(ReadLe32(h + 44) == 0);  // an empty table
            CHECK(ReadLe32(h + r.size - 4) == 0xFFFFFFFFu);
            if (r.size == 94) CHECK(ReadLe32(h + fmtAt + 34) == 0xFFFFFFFFu);  // frames: ds64's
            continue;
        }
        CHECK(ReadLe32(h + 4) == r.size - 8 + r.length);
        CHECK(ReadLe32(h + r.size - 4) == r.length);
        if (r.size == 44) {
            CHECK(std::memcmp(h, PieceHeader(layout.pieceHeader, static_cast<std::uint32_t>(r.length)).data(), 44) == 0);
            continue;
        }
        CHECK(ReadLe32(h + 16) == 18);
        CHECK(ReadLe16(h + 36) == 0);
        CHECK(std::memcmp(h + 38, "fact", 4) == 0);
        CHECK(ReadLe32(h + 46) == r.length / r.align);
    }
}
