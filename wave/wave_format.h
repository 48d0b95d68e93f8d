// The canonical 44-byte RIFF/WAVE header, read and written byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace tw {

constexpr std::size_t kWaveHeaderSize = 44;
using WaveHeaderBytes = std::array<std::uint8_t, kWaveHeaderSize>;

std::uint16_t ReadLe16(const std::uint8_t* p);
std::uint32_t ReadLe32(const std::uint8_t* p);
void WriteLe32(std::uint8_t* p, std::uint32_t v);

// The 12 bytes at offsets 0, 8 and 12 as text, ended early at a zero byte.
std::string HeaderTagText(const WaveHeaderBytes& header);
// ASCII case-insensitive comparison of HeaderTagText with "RIFFWAVEfmt ".
bool HeaderAccepted(const WaveHeaderBytes& header);

std::uint16_t HeaderChannelCount(const WaveHeaderBytes& header);   // offset 22
std::uint32_t HeaderSampleRate(const WaveHeaderBytes& header);     // offset 24
std::uint16_t HeaderBitsPerSample(const WaveHeaderBytes& header);  // offset 34
std::uint32_t HeaderDataSize(const WaveHeaderBytes& header);       // offset 40

// Where the samples of an accepted file are, and the header its pieces get.
struct WaveLayout {
    std::uint64_t dataOffset = kWaveHeaderSize;  // file offset of the first data byte
    std::uint32_t dataSize = 0;     // bytes of data to use: FitDataToFile makes it what the file holds
    std::uint32_t claimedSize = 0;  // as the data chunk claims
    // PieceHeader's source: the file's own 44 bytes when its layout is
    // canonical, otherwise a canonical header built from its fmt fields.
    WaveHeaderBytes pieceHeader{};
};

enum class LayoutOutcome { Found, NoDataChunk, ReadError };

// Reads up to `want` bytes at a file offset; fewer at the end of the file,
// < 0 on a read error.
using ReadAtFn = std::function<std::int64_t(std::uint64_t offset, std::uint8_t* into, std::uint32_t want)>;

// For a header that HeaderAccepted: a canonical file (fmt size 16, "data" at
// 36) has its data at 44 with the size at 40, as always. Any other walks the
// chunks after the fmt chunk (tag, size, body padded to even) to "data". The
// walk is bounded and never overflows, whatever the sizes say.
LayoutOutcome FindWaveLayout(const WaveHeaderBytes& header, const ReadAtFn& readAt, WaveLayout* layout);
// The same over a file held in memory (mapped, or a test's bytes).
LayoutOutcome FindWaveLayoutInBytes(const std::uint8_t* file, std::uint64_t size, WaveLayout* layout);

// A data chunk that claims more than the file holds, or 0xFFFFFFFF (a
// recording streamed to a pipe), or 0 with bytes behind it (a recorder that
// never closed its file) runs to the end of the file: dataSize becomes what
// the file holds (at most 0xFFFFFFFF), claimedSize stays for the message.
// True when dataSize changed, i.e. the user should be told.
bool FitDataToFile(WaveLayout* layout, std::uint64_t fileSize);

// The loader's verdict on a whole file held in memory: fewer than 44 bytes or
// tags that HeaderAccepted refuses are not a WAV file; an accepted header
// without a data chunk has no data. The layout is fitted to the file
// (FitDataToFile); presentBytes is its dataSize.
enum class WaveVerdict { Accepted, NotWave, NoDataChunk };
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
// block alignment when it is 2 to kMaxFrameBytes, otherwise 2 (one sample).
constexpr std::uint32_t kMaxFrameBytes = 8192;
std::uint32_t FrameBytes(const WaveHeaderBytes& header);

// The source header with offset 40 = length and offset 4 = 36 + length
// (saturated at 0xFFFFFFFF rather than wrapping for pieces near 4 GiB).
WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length);

}  // namespace tw
