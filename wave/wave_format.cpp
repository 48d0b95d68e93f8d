#include "wave/wave_format.h"

#include <algorithm>
#include <cstring>

namespace tw {

std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(std::uint16_t{p[0]} | (std::uint16_t{p[1]} << 8));
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

void WriteLe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

std::string HeaderTagText(const WaveHeaderBytes& header) {
    static const int kOffsets[] = {0, 8, 12};
    std::string text;
    for (int offset : kOffsets) {
        for (int i = 0; i < 4; ++i) {
            std::uint8_t c = header[static_cast<std::size_t>(offset + i)];
            if (c == 0) return text;
            text.push_back(static_cast<char>(c));
        }
    }
    return text;
}

namespace {
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

bool HeaderAccepted(const WaveHeaderBytes& header) {
    static const char kExpected[] = "RIFFWAVEFMT ";
    std::string text = HeaderTagText(header);
    if (text.size() != 12) return false;
    for (std::size_t i = 0; i < 12; ++i) {
        if (AsciiUpper(text[i]) != kExpected[i]) return false;
    }
    return true;
}

std::uint16_t HeaderChannelCount(const WaveHeaderBytes& h) { return ReadLe16(h.data() + 22); }
std::uint32_t HeaderSampleRate(const WaveHeaderBytes& h) { return ReadLe32(h.data() + 24); }
std::uint16_t HeaderBitsPerSample(const WaveHeaderBytes& h) { return ReadLe16(h.data() + 34); }
std::uint32_t HeaderDataSize(const WaveHeaderBytes& h) { return ReadLe32(h.data() + 40); }

namespace {

constexpr std::uint16_t kFormatExtensible = 0xFFFE;

bool TagIs(const std::uint8_t* p, const char* tag) {
    for (int i = 0; i < 4; ++i) {
        if (AsciiUpper(static_cast<char>(p[i])) != AsciiUpper(tag[i])) return false;
    }
    return true;
}

// Reads exactly `want` bytes: 1 when all came, 0 at the end of the file, -1 on an error.
int ReadExactly(const ReadAtFn& readAt, std::uint64_t offset, std::uint8_t* into, std::uint32_t want) {
    const std::int64_t n = readAt(offset, into, want);
    if (n < 0) return -1;
    return n >= static_cast<std::int64_t>(want) ? 1 : 0;
}

// A plain PCM-style header carrying the source's fmt fields, so every piece
// of a file with extra chunks or an extensible fmt chunk is a canonical WAV.
WaveHeaderBytes CanonicalPieceHeader(const WaveHeaderBytes& source, std::uint16_t formatTag) {
    WaveHeaderBytes h{};
    std::memcpy(h.data(), "RIFF", 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    WriteLe32(h.data() + 16, 16);
    h[20] = static_cast<std::uint8_t>(formatTag);
    h[21] = static_cast<std::uint8_t>(formatTag >> 8);
    std::memcpy(h.data() + 22, source.data() + 22, 14);  // channels, rate, byte rate, alignment, bits
    std::memcpy(h.data() + 36, "data", 4);
    return h;
}

}  // namespace

LayoutOutcome FindWaveLayout(const WaveHeaderBytes& header, const ReadAtFn& readAt, WaveLayout* layout) {
    const std::uint32_t fmtSize = ReadLe32(header.data() + 16);
    if (fmtSize == 16 && TagIs(header.data() + 36, "data")) {
        layout->dataOffset = kWaveHeaderSize;
        layout->dataSize = layout->claimedSize = HeaderDataSize(header);
        layout->pieceHeader = header;
        return LayoutOutcome::Found;
    }
    std::uint16_t formatTag = ReadLe16(header.data() + 20);
    if (formatTag == kFormatExtensible && fmtSize >= 40) {
        // The sub-format GUID starts with the real format tag.
        std::uint8_t sub[2];
        const int got = ReadExactly(readAt, 20 + 24, sub, 2);
        if (got < 0) return LayoutOutcome::ReadError;
        if (got == 1) formatTag = ReadLe16(sub);
    }
    // 64-bit positions: 20 + at most 2^32 + 1 per chunk, 2^16 chunks.
    std::uint64_t pos = 20ull + fmtSize + (fmtSize & 1u);
    for (std::uint32_t walked = 0; walked < kMaxChunksWalked; ++walked) {
        std::uint8_t chunk[8];
        const int got = ReadExactly(readAt, pos, chunk, 8);
        if (got < 0) return LayoutOutcome::ReadError;
        if (got == 0) return LayoutOutcome::NoDataChunk;
        const std::uint32_t size = ReadLe32(chunk + 4);
        if (TagIs(chunk, "data")) {
            layout->dataOffset = pos + 8;
            layout->dataSize = layout->claimedSize = size;
            layout->pieceHeader = CanonicalPieceHeader(header, formatTag);
            return LayoutOutcome::Found;
        }
        pos += 8ull + size + (size & 1u);
    }
    return LayoutOutcome::NoDataChunk;
}

LayoutOutcome FindWaveLayoutInBytes(const std::uint8_t* file, std::uint64_t size, WaveLayout* layout) {
    WaveHeaderBytes header{};
    if (size > 0) std::memcpy(header.data(), file, static_cast<std::size_t>(std::min<std::uint64_t>(size, header.size())));
    return FindWaveLayout(
        header,
        [file, size](std::uint64_t offset, std::uint8_t* into, std::uint32_t want) -> std::int64_t {
            if (offset >= size) return 0;
            const std::uint64_t n = std::min<std::uint64_t>(want, size - offset);
            std::memcpy(into, file + offset, static_cast<std::size_t>(n));
            return static_cast<std::int64_t>(n);
        },
        layout);
}

WaveCheck CheckWaveBytes(const std::uint8_t* file, std::uint64_t size) {
    WaveCheck check;
    if (size > 0) std::memcpy(check.header.data(), file, static_cast<std::size_t>(std::min<std::uint64_t>(size, kWaveHeaderSize)));
    if (size < kWaveHeaderSize || !HeaderAccepted(check.header)) return check;
    if (FindWaveLayoutInBytes(file, size, &check.layout) != LayoutOutcome::Found) {
        check.verdict = WaveVerdict::NoDataChunk;
        return check;
    }
    check.verdict = WaveVerdict::Accepted;
    check.fitted = FitDataToFile(&check.layout, size);
    check.presentBytes = check.layout.dataSize;
    return check;
}

bool FitDataToFile(WaveLayout* layout, std::uint64_t fileSize) {
    const std::uint64_t held = layout->dataOffset >= fileSize ? 0 : fileSize - layout->dataOffset;
    const std::uint64_t claimed = layout->claimedSize;
    std::uint64_t size = claimed;
    if (claimed > held || claimed == 0xFFFFFFFFull || (claimed == 0 && held > 0)) size = held;
    if (size > 0xFFFFFFFFull) size = 0xFFFFFFFFull;
    layout->dataSize = static_cast<std::uint32_t>(size);
    return size != claimed;
}

std::uint32_t FrameBytes(const WaveHeaderBytes& header) {
    const std::uint32_t b = ReadLe16(header.data() + 32);
    return (b >= 2 && b <= kMaxFrameBytes) ? b : 2;
}

WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length) {
    WaveHeaderBytes piece = source;
    std::uint64_t riff = 36ull + length;
    WriteLe32(piece.data() + 4, riff > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riff));
    WriteLe32(piece.data() + 40, length);
    return piece;
}

}  // namespace tw
