#include <doctest.h>

#include <cmath>
#include <cstring>

#include "wave/piece_plan.h"
#include "wave/wave_format.h"

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

TEST_CASE("header check compares the three tags without regard to case") {
    struct Row { const char* riff; const char* wave; const char* fmt; bool accepted; const char* text; };
    const Row rows[] = {
        {"RIFF", "WAVE", "fmt ", true, "RIFFWAVEfmt "},
        {"riff", "wave", "FMT ", true, "riffwaveFMT "},
        {"RiFf", "wAvE", "FmT ", true, "RiFfwAvEFmT "},
        {"RIFX", "WAVE", "fmt ", false, "RIFXWAVEfmt "},
        {"RIFF", "WAVE", "LIST", false, "RIFFWAVELIST"},
        {"RIFF", "WAVE", "fmt_", false, "RIFFWAVEfmt_"},
        {"RIFF", "AVI ", "fmt ", false, "RIFFAVI fmt "},
        {"RI\0F", "WAVE", "fmt ", false, "RI"},
        {"RIFF", "WAVE", "fm\0 ", false, "RIFFWAVEfm"},
        {"\0IFF", "WAVE", "fmt ", false, ""},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text);
        WaveHeaderBytes h = HeaderWithTags(r.riff, r.wave, r.fmt);
        CHECK(HeaderAccepted(h) == r.accepted);
        CHECK(HeaderTagText(h) == r.text);
    }
}

TEST_CASE("header fields are little-endian and piece header changes only the sizes") {
    WaveHeaderBytes h = HeaderWithTags("RIFF", "WAVE", "fmt ");
    const std::uint8_t fields[] = {0x10, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
    std::memcpy(h.data() + 16, fields, sizeof fields);
    std::memcpy(h.data() + 36, "data", 4);
    WriteLe32(h.data() + 40, 0xFFFFFFFEu);
    CHECK(HeaderChannelCount(h) == 2);
    CHECK(HeaderSampleRate(h) == 44100);
    CHECK(HeaderBitsPerSample(h) == 16);
    CHECK(HeaderDataSize(h) == 0xFFFFFFFEu);

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
    struct Row { std::vector<double> cuts; std::uint32_t dataSize; std::vector<std::uint32_t> lengths; };
    const Row rows[] = {
        {{}, 1000, {1000}},
        {{100}, 1000, {200, 800}},
        {{100, 100}, 1000, {200, 0, 800}},
        {{0}, 1000, {0, 1000}},
        {{100, 300}, 1001, {200, 400, 401}},         // odd last byte goes with the last piece
        {{500}, 1000, {1000, 0}},                     // exactly at the end
        {{501}, 1000, {1000, 0}},                     // one past the end
        {{501, 502}, 1000, {1000, 0, 0}},
        {{-5, 10}, 1000, {1000, 0, 0}},               // negative: runs to the end
        {{100.9, 200.2}, 1000, {200, 200, 600}},      // fractions dropped
        {{3}, 7, {6, 1}},
        {{4}, 7, {7, 0}},                             // 4 > 3.5 lies beyond the data
        {{10}, 0, {0, 0}},
        {{300, 100}, 1000, {600, 400, 0}},            // out of order: runs to the end
        {{100, NAN}, 1000, {200, 800, 0}},
        {{1e300}, 1000, {1000, 0}},
        {{2147483647.0}, 0xFFFFFFFFu, {0xFFFFFFFEu, 1}},  // 2 * cut does not wrap at 32 bits
    };
    for (const Row& r : rows) {
        auto pieces = PlanPieces(r.cuts, r.dataSize);
        REQUIRE(pieces.size() == r.lengths.size());
        std::uint64_t pos = 0;
        for (std::size_t k = 0; k < pieces.size(); ++k) {
            CHECK(pieces[k].offset == pos);
            CHECK(pieces[k].length == r.lengths[k]);
            pos += pieces[k].length;
        }
        CHECK(pos == r.dataSize);
    }
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
}
