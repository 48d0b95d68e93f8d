// The canonical 44-byte RIFF/WAVE header, read and written byte for byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

// The source header with offset 40 = length and offset 4 = 36 + length
// (saturated at 0xFFFFFFFF rather than wrapping for pieces near 4 GiB).
WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length);

}  // namespace tw
