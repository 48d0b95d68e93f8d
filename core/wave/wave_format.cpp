#include "core/wave/wave_format.h"

#include <algorithm>
#include <cstring>

namespace tw {

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

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatALaw = 6;
constexpr std::uint16_t kFormatMuLaw = 7;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// What every standard sub-format GUID holds after its leading format tag.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

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

// A plain header carrying the fmt chunk's fields, so every piece of a file
// with extra chunks or an extensible fmt chunk is a canonical WAV.
WaveHeaderBytes CanonicalPieceHeader(const std::uint8_t* fmtBody, std::uint16_t formatTag) {
    WaveHeaderBytes h{};
    std::memcpy(h.data(), "RIFF", 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    WriteLe32(h.data() + 16, 16);
    WriteLe16(h.data() + 20, formatTag);
    std::memcpy(h.data() + 22, fmtBody + 2, 14);  // channels, rate, byte rate, alignment, bits
    std::memcpy(h.data() + 36, "data", 4);
    return h;
}

bool Refuse(WaveLayout* layout, FormatProblem problem) {
    layout->problem = problem;
    return false;
}

}  // namespace

std::uint64_t WaveLayout::scaleSize() const {
    return encoding == SampleEncoding::Pcm16 ? dataSize : 2 * sampleCount;
}

bool ReadFmtChunk(const std::uint8_t* body, std::uint32_t size, WaveLayout* layout) {
    if (size < 16) return Refuse(layout, FormatProblem::ShortFmtChunk);
    std::uint16_t tag = ReadLe16(body);
    layout->formatTag = tag;
    layout->channels = ReadLe16(body + 2);
    layout->sampleRate = ReadLe32(body + 4);
    const std::uint16_t align = ReadLe16(body + 12);
    const std::uint16_t bits = ReadLe16(body + 14);
    layout->bitsPerSample = bits;
    if (tag == kFormatExtensible) {
        if (size < 40) return Refuse(layout, FormatProblem::ShortFmtChunk);
        // The sub-format GUID starts with the real format tag; any other GUID
        // is a format of its own.
        if (std::memcmp(body + 26, kSubFormatTail, sizeof kSubFormatTail) != 0)
            return Refuse(layout, FormatProblem::Compressed);
        tag = ReadLe16(body + 24);
        layout->formatTag = tag;
        // Fewer valid bits than the container are read by the container.
        if (ReadLe16(body + 18) > bits) return Refuse(layout, FormatProblem::BadValidBits);
    }
    SampleEncoding encoding;
    switch (tag) {
        case kFormatPcm:
            if (bits == 0 || bits > 32) return Refuse(layout, FormatProblem::BadBits);
            // Bits short of a whole byte are read by the bytes that hold them.
            encoding = bits <= 8    ? SampleEncoding::Pcm8
                       : bits <= 16 ? SampleEncoding::Pcm16
                       : bits <= 24 ? SampleEncoding::Pcm24
                                    : SampleEncoding::Pcm32;
            break;
        case kFormatFloat:
            if (bits != 32 && bits != 64) return Refuse(layout, FormatProblem::BadBits);
            encoding = bits == 32 ? SampleEncoding::Float32 : SampleEncoding::Float64;
            break;
        case kFormatALaw:
        case kFormatMuLaw:
            if (bits != 8) return Refuse(layout, FormatProblem::BadBits);
            encoding = tag == kFormatALaw ? SampleEncoding::ALaw : SampleEncoding::MuLaw;
            break;
        default:
            return Refuse(layout, FormatProblem::Compressed);
    }
    layout->encoding = encoding;
    if (layout->channels == 0) return Refuse(layout, FormatProblem::NoChannels);
    if (layout->sampleRate == 0) return Refuse(layout, FormatProblem::NoSampleRate);
    if (align != std::uint32_t{layout->channels} * ContainerBytes(encoding))
        return Refuse(layout, FormatProblem::BadBlockAlign);
    layout->problem = FormatProblem::None;
    return true;
}

bool RiffWaveAccepted(const WaveHeaderBytes& header) {
    return (TagIs(header.data(), "RIFF") || TagIs(header.data(), "RF64")) && TagIs(header.data() + 8, "WAVE");
}

namespace {

// What the chunk walk has met before the data.
struct ChunkWalk {
    bool rf64 = false;
    std::uint64_t ds64DataSize = 0;
    bool haveDs64 = false;
    std::uint8_t fmtBody[40] = {};
    std::uint64_t fmtAt = 0;
    std::uint32_t fmtSize = 0;
    bool haveFmt = false;
};

LayoutOutcome Unsupported(WaveLayout* layout, FormatProblem problem) {
    layout->problem = problem;
    return LayoutOutcome::Unsupported;
}

// The data chunk whose header is at pos, `size` the size that header gives.
LayoutOutcome PlaceData(const ChunkWalk& walk, const WaveHeaderBytes& header, std::uint64_t pos, std::uint32_t size,
                        WaveLayout* layout) {
    if (!walk.haveFmt) return Unsupported(layout, FormatProblem::NoFmtChunk);
    std::uint64_t dataSize = size;
    if (walk.rf64 && size == 0xFFFFFFFFu) {
        // The real size is in ds64; without one it is unknown.
        if (!walk.haveDs64) return Unsupported(layout, FormatProblem::NoDs64);
        dataSize = walk.ds64DataSize;
    }
    layout->dataOffset = pos + 8;
    layout->dataSize = layout->claimedSize = dataSize;
    layout->sampleCount = layout->dataSize / layout->sampleBytes();
    const bool canonical = !walk.rf64 && walk.fmtAt == 12 && walk.fmtSize == 16 && pos == 36;
    layout->pieceHeader = canonical ? header : CanonicalPieceHeader(walk.fmtBody, layout->formatTag);
    return LayoutOutcome::Found;
}

// A chunk before the data: its fmt or ds64 fields read, any other skipped.
// Found to walk on; NoDataChunk when the file ends inside it; else what the
// whole walk comes to.
LayoutOutcome ReadChunkBefore(ChunkWalk& walk, const std::uint8_t chunk[8], std::uint64_t pos, const ReadAtFn& readAt,
                              WaveLayout* layout) {
    const std::uint32_t size = ReadLe32(chunk + 4);
    if (TagIs(chunk, "fmt ") && !walk.haveFmt) {
        // A size past the end of the file still has its fields read: the
        // walk after it then finds no data, as for any such chunk.
        const std::int64_t n = readAt(pos + 8, walk.fmtBody, std::min<std::uint32_t>(size, sizeof walk.fmtBody));
        if (n < 0) return LayoutOutcome::ReadError;
        if (!ReadFmtChunk(walk.fmtBody, static_cast<std::uint32_t>(std::min<std::uint64_t>(size, n)), layout))
            return LayoutOutcome::Unsupported;
        walk.haveFmt = true;
        walk.fmtAt = pos;
        walk.fmtSize = size;
    } else if (walk.rf64 && TagIs(chunk, "ds64") && size >= 24 && !walk.haveDs64) {
        std::uint8_t body[24];
        const int got = ReadExactly(readAt, pos + 8, body, sizeof body);
        if (got < 0) return LayoutOutcome::ReadError;
        if (got == 0) return LayoutOutcome::NoDataChunk;
        walk.ds64DataSize = ReadLe64(body + 8);  // after the RIFF size
        walk.haveDs64 = true;
    }
    return LayoutOutcome::Found;
}

}  // namespace

LayoutOutcome FindWaveLayout(const WaveHeaderBytes& header, const ReadAtFn& readAt, WaveLayout* layout) {
    *layout = WaveLayout{};
    ChunkWalk walk;
    walk.rf64 = TagIs(header.data(), "RF64");
    // 64-bit positions: 12 + at most 2^32 + 9 per chunk, 2^16 chunks.
    std::uint64_t pos = 12;
    for (std::uint32_t walked = 0; walked < kMaxChunksWalked; ++walked) {
        std::uint8_t chunk[8];
        const int got = ReadExactly(readAt, pos, chunk, 8);
        if (got < 0) return LayoutOutcome::ReadError;
        if (got == 0) break;
        const std::uint32_t size = ReadLe32(chunk + 4);
        if (TagIs(chunk, "data")) return PlaceData(walk, header, pos, size, layout);
        const LayoutOutcome before = ReadChunkBefore(walk, chunk, pos, readAt, layout);
        if (before == LayoutOutcome::NoDataChunk) break;
        if (before != LayoutOutcome::Found) return before;
        pos += 8ull + size + (size & 1u);
    }
    if (!walk.haveFmt) return Unsupported(layout, FormatProblem::NoFmtChunk);
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
    if (size < kWaveHeaderSize || !RiffWaveAccepted(check.header)) return check;
    const LayoutOutcome outcome = FindWaveLayoutInBytes(file, size, &check.layout);
    if (outcome != LayoutOutcome::Found) {
        check.verdict = outcome == LayoutOutcome::Unsupported ? WaveVerdict::Unsupported : WaveVerdict::NoDataChunk;
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
    layout->dataSize = size;
    if (layout->sampleBytes() > 0) layout->sampleCount = layout->dataSize / layout->sampleBytes();
    return size != claimed;
}

std::uint32_t FrameBytes(const WaveHeaderBytes& header) {
    const std::uint32_t b = ReadLe16(header.data() + 32);
    if (b >= 1 && b <= kMaxFrameBytes) return b;
    // One sample, so that a piece still never starts inside one.
    const std::uint32_t bits = ReadLe16(header.data() + 34);
    return bits >= 1 && bits <= 64 ? (bits + 7) / 8 : 2;
}

WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length) {
    WaveHeaderBytes piece = source;
    std::uint64_t riff = 36ull + length;
    WriteLe32(piece.data() + 4, riff > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riff));
    WriteLe32(piece.data() + 40, length);
    return piece;
}

std::uint64_t PartialFrameBytes(const WaveLayout& layout) { return layout.dataSize % FrameBytes(layout.pieceHeader); }

namespace {


}  // namespace

PieceHeaderBytes PieceHeaderFor(const WaveHeaderBytes& source, std::uint64_t length) {
    PieceHeaderBytes piece;
    const std::uint16_t tag = ReadLe16(source.data() + 20);
    const bool withFact = tag == kFormatFloat || tag == kFormatALaw || tag == kFormatMuLaw;
    const std::size_t plainSize = withFact ? 58 : kWaveHeaderSize;
    const std::uint16_t align = ReadLe16(source.data() + 32);
    const std::uint64_t frames = align ? length / align : 0;
    const bool rf64 = plainSize - 8 + length > 0xFFFFFFFFull;
    // In RF64 every long size is ds64's; the 32-bit fields say so with 0xFFFFFFFF.
    auto size32 = [rf64](std::uint64_t v) { return rf64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v); };
    if (!withFact && !rf64) {
        const WaveHeaderBytes plain = PieceHeader(source, static_cast<std::uint32_t>(length));
        std::memcpy(piece.bytes.data(), plain.data(), plain.size());
        piece.used = plain.size();
        return piece;
    }
    std::uint8_t* h = piece.bytes.data();
    piece.used = plainSize + (rf64 ? kDs64ChunkSize : 0);
    const std::uint64_t riff = piece.used - 8 + length;
    std::memcpy(h, rf64 ? "RF64" : "RIFF", 4);
    WriteLe32(h + 4, size32(riff));
    std::memcpy(h + 8, "WAVE", 4);
    std::uint8_t* at = h + 12;
    if (rf64) {
        std::memcpy(at, "ds64", 4);
        WriteLe32(at + 4, kDs64ChunkSize - 8);
        WriteLe64(at + 8, riff);
        WriteLe64(at + 16, length);
        WriteLe64(at + 24, frames);
        WriteLe32(at + 32, 0);  // no table of other long chunks
        at += kDs64ChunkSize;
    }
    std::memcpy(at, "fmt ", 4);
    if (withFact) {
        WriteLe32(at + 4, 18);
        std::memcpy(at + 8, source.data() + 20, 16);  // format .. bits; a cbSize of 0 follows
        at[24] = at[25] = 0;
        std::memcpy(at + 26, "fact", 4);
        WriteLe32(at + 30, 4);
        WriteLe32(at + 34, size32(frames));
        at += 38;
    } else {
        WriteLe32(at + 4, 16);
        std::memcpy(at + 8, source.data() + 20, 16);  // format .. bits
        at += 24;
    }
    std::memcpy(at, "data", 4);
    WriteLe32(at + 4, size32(length));
    return piece;
}

}  // namespace tw
