#include "core/wave/sample_format.h"

#include <cmath>
#include <cstring>

#include "core/support/little_endian.h"

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

std::int16_t FromReal(double f) {
    if (std::isnan(f)) return 0;
    const double v = std::floor(f * 32768.0);
    if (v >= 32767.0) return 32767;
    if (v <= -32768.0) return -32768;
    return static_cast<std::int16_t>(v);
}

struct G711Table {
    explicit G711Table(std::int16_t (*decode)(std::uint8_t)) {
        for (int c = 0; c < 256; ++c) values[c] = decode(static_cast<std::uint8_t>(c));
    }
    std::int16_t values[256];
};

}  // namespace

std::int16_t SampleValue(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t index) {
    const std::uint8_t* p = data + index * ContainerBytes(encoding);
    switch (encoding) {
        case SampleEncoding::Pcm8: return static_cast<std::int16_t>((p[0] - 128) * 256);
        case SampleEncoding::Pcm16: return ReadLeS16(p);
        case SampleEncoding::Pcm24: return ReadLeS16(p + 1);  // floor(v / 256): the top two bytes
        case SampleEncoding::Pcm32: return ReadLeS16(p + 2);  // floor(v / 65536)
        case SampleEncoding::Float32: return FromReal(ReadLeFloat(p));
        case SampleEncoding::Float64: return FromReal(ReadLeDouble(p));
        case SampleEncoding::ALaw: return ALawValue(p[0]);
        case SampleEncoding::MuLaw: return MuLawValue(p[0]);
    }
    return 0;
}

namespace {

// The top two bytes of each container of `bytes` bytes: floor(v / 2^(8 (bytes - 2))).
template <std::size_t kBytes>
void TopTwoBytes(const std::uint8_t* p, std::size_t count, std::int16_t* out) {
    for (std::size_t k = 0; k < count; ++k) out[k] = ReadLeS16(p + kBytes * k + (kBytes - 2));
}

}  // namespace

// One loop per encoding rather than SampleValue's switch per sample: the
// measurement of a whole long recording runs through here.
void ReadSamples(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t first, std::size_t count,
                 std::int16_t* out) {
    const std::uint8_t* p = data + first * ContainerBytes(encoding);
    switch (encoding) {
        case SampleEncoding::Pcm8:
            for (std::size_t k = 0; k < count; ++k) out[k] = static_cast<std::int16_t>((p[k] - 128) * 256);
            return;
        case SampleEncoding::Pcm16:
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
            std::memcpy(out, p, 2 * count);  // the file's order is the host's
            return;
#endif
            TopTwoBytes<2>(p, count, out);
            return;
        case SampleEncoding::Pcm24: TopTwoBytes<3>(p, count, out); return;
        case SampleEncoding::Pcm32: TopTwoBytes<4>(p, count, out); return;
        case SampleEncoding::Float32:
            for (std::size_t k = 0; k < count; ++k) out[k] = FromReal(ReadLeFloat(p + 4 * k));
            return;
        case SampleEncoding::Float64:
            for (std::size_t k = 0; k < count; ++k) out[k] = FromReal(ReadLeDouble(p + 8 * k));
            return;
        case SampleEncoding::ALaw: {
            static const G711Table table(ALawValue);
            for (std::size_t k = 0; k < count; ++k) out[k] = table.values[p[k]];
            return;
        }
        case SampleEncoding::MuLaw: {
            static const G711Table table(MuLawValue);
            for (std::size_t k = 0; k < count; ++k) out[k] = table.values[p[k]];
            return;
        }
    }
    for (std::size_t k = 0; k < count; ++k) out[k] = 0;
}

namespace {

// The top two bytes of each container as they are: already the value's
// little-endian bytes.
template <std::size_t kBytes>
void TopTwoBytesLe(const std::uint8_t* p, std::size_t count, std::uint8_t* out) {
    for (std::size_t k = 0; k < count; ++k) {
        out[2 * k] = p[kBytes * k + kBytes - 2];
        out[2 * k + 1] = p[kBytes * k + kBytes - 1];
    }
}

}  // namespace

void ReadSamplesLe16(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t first, std::size_t count,
                     std::uint8_t* out) {
    const std::uint8_t* p = data + first * ContainerBytes(encoding);
    switch (encoding) {
        case SampleEncoding::Pcm16: std::memcpy(out, p, 2 * count); return;
        case SampleEncoding::Pcm24: TopTwoBytesLe<3>(p, count, out); return;
        case SampleEncoding::Pcm32: TopTwoBytesLe<4>(p, count, out); return;
        case SampleEncoding::Pcm8:
            // (u - 128) x 256: a zero low byte and u - 128 as the high byte.
            for (std::size_t k = 0; k < count; ++k) {
                out[2 * k] = 0;
                out[2 * k + 1] = static_cast<std::uint8_t>(p[k] ^ 0x80);
            }
            return;
        default: break;
    }
    constexpr std::size_t kBlock = 1024;
    std::int16_t values[kBlock];
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = count - done < kBlock ? count - done : kBlock;
        ReadSamples(data, encoding, first + done, n, values);
        for (std::size_t k = 0; k < n; ++k) {
            const auto v = static_cast<std::uint16_t>(values[k]);
            out[2 * (done + k)] = static_cast<std::uint8_t>(v);
            out[2 * (done + k) + 1] = static_cast<std::uint8_t>(v >> 8);
        }
        done += n;
    }
}

}  // namespace tw
