// How the data chunk's bytes become sample values. Every reader of samples
// (measurement, graph, the value under a click, both ways of cutting, the
// command line) goes through here, so all of them see the same values on
// the 16-bit scale whatever the file's encoding, on any host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw {

enum class SampleEncoding : std::uint8_t {
    Pcm8,     // unsigned, 128 is zero
    Pcm16,
    Pcm24,
    Pcm32,
    Float32,
    Float64,
    ALaw,
    MuLaw,
};

// Bytes of one sample (one channel's value) in the data chunk.
std::uint32_t ContainerBytes(SampleEncoding encoding);

// The value of sample `index` (one channel's value, interleaved order) on the
// 16-bit scale: 8-bit (u - 128) x 256, 24-bit floor(v / 256), 32-bit
// floor(v / 65536), float floor(f x 32768) clamped (NaN 0), G.711 its linear
// value.
std::int16_t SampleValue(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t index);

// Values of samples [first, first + count) into out.
void ReadSamples(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t first, std::size_t count,
                 std::int16_t* out);

// The same values as 16-bit little-endian bytes (2 x count), the form the
// 16-bit code (measurement, silence scan) reads, on any host.
void ReadSamplesLe16(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t first, std::size_t count,
                     std::uint8_t* out);

// G.711 decoding to the 16-bit scale.
std::int16_t ALawValue(std::uint8_t code);
std::int16_t MuLawValue(std::uint8_t code);

}  // namespace tw
