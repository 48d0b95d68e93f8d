// Little-endian values in bytes, as RIFF files hold them: the one reader and
// writer of every parser, the sample reader, measuring, cutting and playback.
// Inline, byte by byte: compilers make one load of each, on any alignment.
#pragma once

#include <cstdint>
#include <cstring>

namespace tw {

inline std::uint16_t ReadLe16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(std::uint16_t{p[0]} | (std::uint16_t{p[1]} << 8));
}
// A 16-bit sample.
inline std::int16_t ReadLeS16(const std::uint8_t* p) { return static_cast<std::int16_t>(ReadLe16(p)); }
inline std::uint32_t ReadLe32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t ReadLe64(const std::uint8_t* p) { return ReadLe32(p) | (std::uint64_t{ReadLe32(p + 4)} << 32); }
inline float ReadLeFloat(const std::uint8_t* p) {
    const std::uint32_t bits = ReadLe32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
inline double ReadLeDouble(const std::uint8_t* p) {
    const std::uint64_t bits = ReadLe64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

inline void WriteLe16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void WriteLe32(std::uint8_t* p, std::uint32_t v) {
    WriteLe16(p, static_cast<std::uint16_t>(v));
    WriteLe16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void WriteLe64(std::uint8_t* p, std::uint64_t v) {
    WriteLe32(p, static_cast<std::uint32_t>(v));
    WriteLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace tw
