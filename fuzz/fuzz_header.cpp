// Header check, header fields and the piece header on any 44 bytes (a real
// file's first 44 bytes in the seeds), with the piece length taken from the
// bytes after them.
#include <algorithm>
#include <string>

#include "fuzz/fuzz_support.h"
#include "core/support/little_endian.h"
#include "core/wave/wave_format.h"

using namespace tw;

namespace {

std::string ReferenceTagText(const WaveHeaderBytes& h) {
    std::string text;
    for (int offset : {0, 8, 12})
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t c = h[static_cast<std::size_t>(offset + i)];
            if (c == 0) return text;
            text.push_back(static_cast<char>(c));
        }
    return text;
}

// RIFF or RF64 at 0 and WAVE at 8, ASCII case-insensitively.
bool ReferenceAccepted(const WaveHeaderBytes& h) {
    auto lower = [&](std::size_t i) {
        const unsigned char c = h[i];
        return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    };
    auto is = [&](std::size_t at, const char* want) {
        for (std::size_t i = 0; i < 4; ++i)
            if (lower(at + i) != static_cast<unsigned char>(want[i])) return false;
        return true;
    };
    return (is(0, "riff") || is(0, "rf64")) && is(8, "wave");
}

bool TagIs12(const WaveHeaderBytes& h, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>(h[12 + static_cast<std::size_t>(i)]);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        char t = tag[i];
        if (t >= 'a' && t <= 'z') t = static_cast<char>(t - 'a' + 'A');
        if (c != t) return false;
    }
    return true;
}

bool RiffIsPlain(const WaveHeaderBytes& h) { return (h[0] | 0x20) == 'r' && (h[1] | 0x20) == 'i'; }

std::uint32_t Le32(const WaveHeaderBytes& h, std::size_t at) {
    return std::uint32_t{h[at]} | std::uint32_t{h[at + 1]} << 8 | std::uint32_t{h[at + 2]} << 16 |
           std::uint32_t{h[at + 3]} << 24;
}

void CheckPiece(const WaveHeaderBytes& source, std::uint32_t length) {
    const WaveHeaderBytes piece = PieceHeader(source, length);
    for (std::size_t i = 0; i < kWaveHeaderSize; ++i)
        if ((i < 4 || i >= 8) && (i < 40)) FUZZ_CHECK(piece[i] == source[i]);
    FUZZ_CHECK(Le32(piece, 40) == length);
    const std::uint64_t riff = std::min<std::uint64_t>(36ull + length, 0xFFFFFFFFull);
    FUZZ_CHECK(Le32(piece, 4) == riff);
    FUZZ_CHECK(RiffWaveAccepted(piece) == RiffWaveAccepted(source));
    FUZZ_CHECK(ReadLe16(piece.data() + 22) == ReadLe16(source.data() + 22));
    FUZZ_CHECK(ReadLe32(piece.data() + 24) == ReadLe32(source.data() + 24));
    FUZZ_CHECK(ReadLe16(piece.data() + 34) == ReadLe16(source.data() + 34));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WaveHeaderBytes header{};
    std::copy(data, data + std::min(size, kWaveHeaderSize), header.begin());

    const std::string text = HeaderTagText(header);
    FUZZ_CHECK(text == ReferenceTagText(header));
    FUZZ_CHECK(text.size() <= 12);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(RiffWaveAccepted(header) == ReferenceAccepted(header));

    FUZZ_CHECK(ReadLe32(header.data() + 40) == Le32(header, 40));

    // Little-endian helpers round-trip any value at any alignment.
    std::uint8_t buf[7] = {};
    const std::uint32_t v = Le32(header, 40) ^ Le32(header, 4);
    for (int at = 0; at < 4; ++at) {
        WriteLe32(buf + at, v);
        FUZZ_CHECK(ReadLe32(buf + at) == v);
        FUZZ_CHECK(ReadLe16(buf + at) == (v & 0xFFFF));
    }

    // The chunk walk over the whole input as a file: bounded, and what it
    // finds is a data chunk header inside the file. The loader turns away
    // anything shorter than a header before walking.
    WaveLayout layout;
    const LayoutOutcome outcome =
        size >= kWaveHeaderSize ? FindWaveLayoutInBytes(data, size, &layout) : LayoutOutcome::NoDataChunk;
    FUZZ_CHECK(outcome != LayoutOutcome::ReadError);
    if (outcome == LayoutOutcome::Found) {
        FUZZ_CHECK(layout.dataOffset >= 28);  // after "fmt " and its size at the least
        FUZZ_CHECK(layout.dataOffset <= size);
        const std::uint8_t* chunk = data + layout.dataOffset - 8;
        // An RF64 file's 0xFFFFFFFF leaves the size to its ds64 chunk.
        if (RiffIsPlain(header) || ReadLe32(chunk + 4) != 0xFFFFFFFFu) FUZZ_CHECK(ReadLe32(chunk + 4) == layout.dataSize);
        std::string tag(reinterpret_cast<const char*>(chunk), 4);
        for (char& c : tag) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
        FUZZ_CHECK(tag == "DATA");
        FUZZ_CHECK(ReadLe32(layout.pieceHeader.data() + 16) == 16);
        // The pieces carry the fmt chunk's fields, wherever that chunk is.
        FUZZ_CHECK(ReadLe16(layout.pieceHeader.data() + 22) == layout.channels && layout.channels > 0);
        FUZZ_CHECK(ReadLe32(layout.pieceHeader.data() + 24) == layout.sampleRate);
        FUZZ_CHECK(ReadLe16(layout.pieceHeader.data() + 34) == layout.bitsPerSample);
        FUZZ_CHECK(FrameBytes(layout.pieceHeader) % layout.sampleBytes() == 0);
        FUZZ_CHECK(layout.sampleCount == layout.dataSize / layout.sampleBytes());
        // A canonical file's pieces keep its header as it is.
        if (TagIs12(header, "fmt ") && ReadLe32(header.data() + 16) == 16 && layout.dataOffset == kWaveHeaderSize &&
            RiffIsPlain(header))
            FUZZ_CHECK(layout.pieceHeader == header);
        FUZZ_CHECK(FrameBytes(layout.pieceHeader) >= 1 && FrameBytes(layout.pieceHeader) <= kMaxFrameBytes);
    }

    fuzz::Reader rest(data + std::min(size, kWaveHeaderSize), size - std::min(size, kWaveHeaderSize));
    const std::uint32_t length = rest.left() >= 4 ? rest.U32() : static_cast<std::uint32_t>(size);
    for (std::uint32_t l : {length, 0u, 1u, 0xFFFFFFDBu, 0xFFFFFFDCu, 0xFFFFFFFFu, ReadLe32(header.data() + 40)})
        CheckPiece(header, l);
    return 0;
}
