#include "wave/sample_format.h"

#include <cmath>
#include <cstring>

namespace tw {

std::uint32_t ContainerBytes(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::Pcm8:
        case SampleEncoding::ALaw:
        case SampleEncoding::MuLaw: return 1;
        case SampleEncoding::Pcm16: return 2;
        case SampleEncoding::Pcm24: return 3;
        case SampleEncoding::Pcm32:
        case SampleEncoding::Float32: return 4;
        case SampleEncoding::Float64: return 8;
    }
    return 2;
}

std::int16_t ALawValue(std::uint8_t code) {
    const int a = code ^ 0x55;
    const int exponent = (a >> 4) & 7;
    int magnitude = (a & 15) << 4;
    magnitude += exponent == 0 ? 8 : 0x108;
    if (exponent > 1) magnitude <<= exponent - 1;
    return static_cast<std::int16_t>((a & 0x80) ? magnitude : -magnitude);
}

std::int16_t MuLawValue(std::uint8_t code) {
    const int u = ~code & 0xFF;
    const int magnitude = ((((u & 15) << 3) + 0x84) << ((u >> 4) & 7)) - 0x84;
    return static_cast<std::int16_t>((u & 0x80) ? -magnitude : magnitude);
}

namespace {

std::int16_t Le16(const std::uint8_t* p) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

std::int16_t FromReal(double f) {
    if (std::isnan(f)) return 0;
    const double v = std::floor(f * 32768.0);
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<std::int16_t>(v);
}

float LeFloat(const std::uint8_t* p) {
    const std::uint32_t bits = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
                               (std::uint32_t{p[3]} << 24);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

double LeDouble(const std::uint8_t* p) {
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

}  // namespace

std::int16_t SampleValue(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t index) {
    const std::uint8_t* p = data + index * ContainerBytes(encoding);
    switch (encoding) {
        case SampleEncoding::Pcm8: return static_cast<std::int16_t>((p[0] - 128) * 256);
        case SampleEncoding::Pcm16: return Le16(p);
        case SampleEncoding::Pcm24: return Le16(p + 1);  // floor(v / 256): the top two bytes
        case SampleEncoding::Pcm32: return Le16(p + 2);  // floor(v / 65536)
        case SampleEncoding::Float32: return FromReal(LeFloat(p));
        case SampleEncoding::Float64: return FromReal(LeDouble(p));
        case SampleEncoding::ALaw: return ALawValue(p[0]);
        case SampleEncoding::MuLaw: return MuLawValue(p[0]);
    }
    return 0;
}

void ReadSamples(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t first, std::size_t count,
                 std::int16_t* out) {
    if (encoding == SampleEncoding::Pcm16) {
        const std::uint8_t* p = data + 2 * first;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        std::memcpy(out, p, 2 * count);  // the file's order is the host's
        return;
#endif
        for (std::size_t k = 0; k < count; ++k) out[k] = Le16(p + 2 * k);
        return;
    }
    for (std::size_t k = 0; k < count; ++k) out[k] = SampleValue(data, encoding, first + k);
}

}  // namespace tw
