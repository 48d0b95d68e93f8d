#include "wave/wave_format.h"

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

WaveHeaderBytes PieceHeader(const WaveHeaderBytes& source, std::uint32_t length) {
    WaveHeaderBytes piece = source;
    std::uint64_t riff = 36ull + length;
    WriteLe32(piece.data() + 4, riff > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(riff));
    WriteLe32(piece.data() + 40, length);
    return piece;
}

}  // namespace tw
