// RIFF/WAVE files: the canonical 44-byte header, read and written byte for
// byte; the walk to the fmt and data chunks of any other layout (RF64
// included); how the fmt chunk says the samples are encoded; and the headers
// the pieces get.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/support/little_endian.h"
#include "core/wave/sample_format.h"

namespace tw {

constexpr std::size_t kWaveHeaderSize = 44;
using WaveHeaderBytes = std::array<std::uint8_t, kWaveHeaderSize>;

// The 12 bytes at offsets 0, 8 and 12 as text, ended early at a zero byte.
std::string HeaderTagText(const WaveHeaderBytes& header);
// A RIFF/WAVE or RF64/WAVE file, whatever chunk comes first (tags compared
// ASCII case-insensitively): the files the chunk walk looks into.
bool RiffWaveAccepted(const WaveHeaderBytes& header);

// Why a RIFF/WAVE file's samples cannot be read.
enum class FormatProblem : std::uint8_t {
    None,
    NoFmtChunk,       // no "fmt " chunk before the data
    ShortFmtChunk,    // fewer bytes than its format needs
    Compressed,       // a format tag that is not PCM, float or G.711 (formatTag)
    NoChannels,
    NoSampleRate,
    BadBits,          // bits per sample the format cannot have (bits)
    BadValidBits,     // extensible: more valid bits than the container holds
    BadBlockAlign,    // not channels x container bytes
    NoDs64,           // RF64 whose data size is in a ds64 chunk it lacks
};

// Where the samples of an accepted file are, how they are encoded, and the
// header its pieces get.
struct WaveLayout {
    std::uint64_t dataOffset = kWaveHeaderSize;  // file offset of the first data byte
    std::uint64_t dataSize = 0;     // bytes of data to use: FitDataToFile makes it what the file holds
    std::uint64_t claimedSize = 0;  // as the data chunk (or an RF64 file's ds64) claims
    // PieceHeader's source: the file's own 44 bytes when its layout is
    // canonical, otherwise a canonical header built from its fmt fields.
    WaveHeaderBytes pieceHeader{};

    SampleEncoding encoding = SampleEncoding::Pcm16;
    std::uint16_t formatTag = 1;   // the real format: an extensible file's sub-format
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint16_t bitsPerSample = 0;  // as the fmt chunk says (shown)
    std::uint64_t sampleCount = 0;    // whole samples in dataSize
    FormatProblem problem = FormatProblem::None;

    std::uint32_t sampleBytes() const { return ContainerBytes(encoding); }
    // The data size D as the formulas of measurement, graph and cutting take
    // it: the real size for 16-bit samples, 2 x sampleCount for any other
    // encoding, so a 24-bit or float copy of a 16-bit recording shows the
    // same numbers, picture and cuts as the original.
    std::uint64_t scaleSize() const;
};

// Fills the sample fields of `layout` from a fmt chunk's body; false with
// layout->problem set when the samples cannot be read.
bool ReadFmtChunk(const std::uint8_t* body, std::uint32_t size, WaveLayout* layout);

enum class LayoutOutcome { Found, NoDataChunk, ReadError, Unsupported };

// Reads up to `want` bytes at a file offset; fewer at the end of the file,
// < 0 on a read error.
using ReadAtFn = std::function<std::int64_t(std::uint64_t offset, std::uint8_t* into, std::uint32_t want)>;

// For a header that RiffWaveAccepted: walks the chunks from offset 12 (tag,
// size, body padded to even) to "fmt " and then "data"; an RF64 file's sizes
// come from its ds64 chunk. A canonical file (fmt size 16, "data" at 36) has
// its data at 44 with the size at 40, as always. Unsupported: no fmt chunk,
// or one whose samples cannot be read (layout->problem says why). The walk
// is bounded and never overflows, whatever the sizes say.
LayoutOutcome FindWaveLayout(const WaveHeaderBytes& header, const ReadAtFn& readAt, WaveLayout* layout);
// The same over a file held in memory (mapped, or a test's bytes).
LayoutOutcome FindWaveLayoutInBytes(const std::uint8_t* file, std::uint64_t size, WaveLayout* layout);

// A data chunk that claims more than the file holds, or 0xFFFFFFFF (a
// recording streamed to a pipe), or 0 with bytes behind it (a recorder that
// never closed its file) runs to the end of the file: dataSize becomes what
// the file holds, claimedSize stays for the message.
// True when dataSize changed, i.e. the user should be told.
bool FitDataToFile(WaveLayout* layout, std::uint64_t fileSize);

// The loader's verdict on a whole file held in memory: fewer than 44 bytes or
// tags that RiffWaveAccepted refuses are not a WAV file; samples that cannot
// be read are Unsupported (layout.problem says why); an accepted header
// without a data chunk has no data. The layout is fitted to the file
// (FitDataToFile); presentBytes is its dataSize.
enum class WaveVerdict { Accepted, NotWave, NoDataChunk, Unsupported };
struct WaveCheck {
    WaveVerdict verdict = WaveVerdict::NotWave;
    WaveHeaderBytes header{};  // the first 44 bytes, zero beyond a short file
    WaveLayout layout;
    std::uint64_t presentBytes = 0;
    bool fitted = false;  // FitDataToFile changed the data size
};
WaveCheck CheckWaveBytes(const std::uint8_t* file, std::uint64_t size);

// Chunks walked at most before a file counts as having no data chunk.
constexpr std::uint32_t kMaxChunksWalked = 1u << 16;

// Bytes of one frame (block alignment, offset 32) where pieces may begin: the
// block alignment when it is 1 to kMaxFrameBytes, otherwise one sample (the
// bytes that hold the bits at offset 34; 2 without a usable bit count).
constexpr std::uint32_t kMaxFrameBytes = 8192;
std::uint32_t FrameBytes(const WaveHeaderBytes& header);

// Bytes at the end of the data that do not make a whole frame (a file cut
// short inside one): no piece holds them.
std::uint64_t PartialFrameBytes(const WaveLayout& layout);

// The source header with offset 40 = length and offset 4 = 36 + length, for
// a piece whose sizes fit the RIFF header's 32-bit fields.
WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length);

// A piece's whole header. PCM: PieceHeader's 44 bytes. Float and G.711 (format
// 3, 6, 7 at offset 20): the same fields in an 18-byte fmt chunk and a fact
// chunk with the piece's frame count, as readers of those formats expect.
// A piece whose RIFF size does not fit 32 bits is RF64: "RF64" with size
// 0xFFFFFFFF, then a ds64 chunk (RIFF size, data size, frames, no table)
// before the same chunks, whose 32-bit sizes then read 0xFFFFFFFF.
constexpr std::size_t kDs64ChunkSize = 8 + 28;
struct PieceHeaderBytes {
    std::array<std::uint8_t, 58 + kDs64ChunkSize> bytes{};
    std::size_t used = 0;
    const std::uint8_t* data() const { return bytes.data(); }
    std::size_t size() const { return used; }
};
PieceHeaderBytes PieceHeaderFor(const WaveHeaderBytes& source, std::uint64_t length);

}  // namespace tw
