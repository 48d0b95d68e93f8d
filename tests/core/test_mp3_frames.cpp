#include <doctest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/cut/mp3_pieces.h"
#include "core/wave/mp3_frames.h"

using namespace tw;

TEST_CASE("layer III frame headers are read as the standard's tables give them") {
    struct Row {
        std::uint8_t b[4];
        bool ok;
        MpegVersion version;
        int kbps, rate, channels, frameBytes, payloadOffset, samples;
    };
    const MpegVersion M1 = MpegVersion::Mpeg1, M2 = MpegVersion::Mpeg2, M25 = MpegVersion::Mpeg25;
    const Row rows[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, true, M1, 128, 44100, 2, 417, 36, 1152},  // 144*128000/44100 = 417.9
        {{0xFF, 0xFB, 0x92, 0x64}, true, M1, 128, 44100, 2, 418, 36, 1152},  // padded
        {{0xFF, 0xFA, 0xB0, 0x00}, true, M1, 192, 44100, 2, 626, 38, 1152},  // with CRC
        {{0xFF, 0xFB, 0xE0, 0xC4}, true, M1, 320, 44100, 1, 1044, 21, 1152},
        {{0xFF, 0xFB, 0x38, 0xC4}, true, M1, 48, 32000, 1, 216, 21, 1152},
        {{0xFF, 0xFB, 0x94, 0x44}, true, M1, 128, 48000, 2, 384, 36, 1152},
        {{0xFF, 0xF3, 0x80, 0x44}, true, M2, 64, 22050, 2, 208, 21, 576},    // 72*64000/22050 = 208.9
        {{0xFF, 0xF3, 0x48, 0xC4}, true, M2, 32, 16000, 1, 144, 13, 576},
        {{0xFF, 0xE3, 0x18, 0xC4}, true, M25, 8, 8000, 1, 72, 13, 576},
        {{0xFF, 0xFB, 0x00, 0x44}, true, M1, 0, 44100, 2, 0, 36, 1152},       // free format
        {{0xFF, 0xFD, 0x90, 0x64}, false, M1, 0, 0, 0, 0, 0, 0},              // layer II
        {{0xFF, 0xEB, 0x90, 0x64}, false, M1, 0, 0, 0, 0, 0, 0},              // reserved version
        {{0xFF, 0xFB, 0xF0, 0x64}, false, M1, 0, 0, 0, 0, 0, 0},              // bit rate 15
        {{0xFF, 0xFB, 0x9C, 0x64}, false, M1, 0, 0, 0, 0, 0, 0},              // rate 3
        {{0xFF, 0xFB, 0x90, 0x66}, false, M1, 0, 0, 0, 0, 0, 0},              // emphasis 2
        {{0xFF, 0x7B, 0x90, 0x64}, false, M1, 0, 0, 0, 0, 0, 0},              // no sync
    };
    for (const Row& r : rows) {
        CAPTURE(int{r.b[1]});
        CAPTURE(int{r.b[2]});
        Mp3Header h;
        REQUIRE(ParseMp3Header(r.b, &h) == r.ok);
        if (!r.ok) continue;
        CHECK(h.version == r.version);
        CHECK(h.bitrateKbps == r.kbps);
        CHECK(h.sampleRate == r.rate);
        CHECK(h.channels() == r.channels);
        CHECK(h.frameBytes() == static_cast<std::size_t>(r.frameBytes));
        CHECK(h.payloadOffset() == r.payloadOffset);
        CHECK(h.samplesPerFrame() == r.samples);
        std::uint8_t again[4];
        WriteMp3Header(h, (r.b[3] >> 4) & 3, again);
        CHECK(std::memcmp(again, r.b, 3) == 0);  // the 4th byte's copyright/original bits are ours
    }
}

TEST_CASE("the LAME tag CRC is CRC-16/ARC") {
    const char* fox = "The quick brown fox jumps over the lazy dog";
    const auto* p = reinterpret_cast<const std::uint8_t*>(fox);
    CHECK(LameCrc16(reinterpret_cast<const std::uint8_t*>("123456789"), 9) == 0xBB3D);
    CHECK(LameCrc16(p, 43) == 0xFCDF);
    CHECK(LameCrc16(p + 5, 38, LameCrc16(p, 5)) == 0xFCDF);  // in two parts
}

namespace {
// A 128 kbit/s 44.1 kHz frame (417 bytes) with main_data_begin `borrow`.
void PushFrame(std::vector<std::uint8_t>* out, int borrow) {
    const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
    out->insert(out->end(), header, header + 4);
    std::vector<std::uint8_t> body(413, 0x11);
    body[0] = static_cast<std::uint8_t>(borrow >> 1);
    body[1] = static_cast<std::uint8_t>((borrow & 1) << 7);
    out->insert(out->end(), body.begin(), body.end());
}
void PushText(std::vector<std::uint8_t>* out, const std::string& s) { out->insert(out->end(), s.begin(), s.end()); }
}  // namespace

TEST_CASE("a stream's frames, tags and gapless numbers are found around damage") {
    std::vector<std::uint8_t> file;
    PushText(&file, std::string("ID3\x03\0\0\0\0\0\x05", 10) + "xxxxx");  // 15 bytes of ID3v2
    PushFrame(&file, 0);                                                  // the Info frame
    const std::size_t x = 15 + 36;
    std::memcpy(&file[x], "Info\0\0\0\x01\0\0\0\x05", 12);                 // flags 1: 5 frames
    std::memcpy(&file[x + 12], "LAME3.100", 9);
    file[x + 12 + 21] = 0x24, file[x + 12 + 22] = 0x03, file[x + 12 + 23] = 0x4A;  // delay 576, padding 842
    for (int borrow : {10, 100, 511}) PushFrame(&file, borrow);
    PushText(&file, std::string("junk\xFF\xFB\x90\x64junk", 12));      // a false header in damage
    for (int borrow : {20, 0}) PushFrame(&file, borrow);
    PushText(&file, "TAG" + std::string(125, 'a'));

    const Mp3Stream s = ParseMp3Stream(file.data(), file.size());
    REQUIRE(s.found);
    CHECK(s.id3v2Bytes == 15);
    CHECK(s.hasId3v1);
    CHECK(s.audioEnd == file.size() - 128);
    CHECK(s.tagFrameOffset == 15);
    CHECK(s.gapless.hasLame);
    CHECK(s.gapless.frames == 5);
    CHECK(s.gapless.delay == 576);
    CHECK(s.gapless.padding == 842);
    REQUIRE(s.frames.size() == 5);
    const std::size_t offsets[] = {15 + 417, 15 + 834, 15 + 1251, 15 + 1668 + 12, 15 + 2085 + 12};
    const int borrows[] = {10, 100, 511, 20, 0};
    for (std::size_t i = 0; i < 5; ++i) {
        CHECK(s.frames[i].offset == offsets[i]);
        CHECK(s.frames[i].mainDataBegin == borrows[i]);
    }
    CHECK(s.skippedBytes == 12);
    CHECK(s.reservoirShortFrames == 1);  // the first frame borrows from nothing
    CHECK(s.decodedSamples() == 5 * 1152 - 576 - 842);
}

TEST_CASE("a short MP3 piece gets silent frames after its last, as many as its padding can drop") {
    std::vector<std::uint8_t> file;
    PushFrame(&file, 0);  // the Info frame: delay 576, padding 842
    std::memcpy(&file[36], "Info\0\0\0\x01\0\0\0\x0C", 12);
    std::memcpy(&file[48], "LAME3.100", 9);
    file[48 + 21] = 0x24, file[48 + 22] = 0x03, file[48 + 23] = 0x4A;
    for (int i = 0; i < 12; ++i) PushFrame(&file, 0);
    const Mp3Stream s = ParseMp3Stream(file.data(), file.size());
    // Samples [2000, 2100): raw 3105 to 3205, in frame 2, decoded from frame 1
    // on; one carrier. Padding 3 x 1152 + 529 - 3205 = 780, and 2 more frames
    // (2,304 samples) fit the 12 bits where 3 would not: Info, carrier, 2 + 2.
    const Mp3PiecePlan plan = PlanMp3Piece(s, 2000, 2100);
    CHECK(plan.frames() == 2);
    CHECK(plan.carrierFrames == 1);
    CHECK(plan.trailerFrames == 2);
    CHECK(plan.padding == 780 + 2304);
    const Mp3PieceBytes piece = BuildMp3Piece(file.data(), file.size(), s, plan, {"t", 1, 1});
    std::vector<std::uint8_t> bytes(piece.head);
    bytes.insert(bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(piece.sourceBegin),
                 file.begin() + static_cast<std::ptrdiff_t>(piece.sourceEnd));
    bytes.insert(bytes.end(), piece.tail.begin(), piece.tail.end());
    const Mp3Stream again = ParseMp3Stream(bytes.data(), bytes.size());
    CHECK(again.frames.size() == 5);
    CHECK(again.gapless.frames == 5);
    CHECK(again.decodedSamples() == 100);
    // A long piece needs none.
    CHECK(PlanMp3Piece(s, 0, 9000).trailerFrames == 0);
}
