// Files a WAV reader must refuse, or read without straying outside them,
// shared by the window's tests and the command line's: what each is and
// what the loader makes of it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace twc {

// A canonical 44-byte header for 16-bit PCM; dataSizeField < 0: the real size.
inline std::vector<std::uint8_t> CanonicalWave(const std::vector<std::int16_t>& samples, int channels = 1,
                                               int rate = 8000, std::int64_t dataSizeField = -1) {
    std::vector<std::uint8_t> f(44);
    auto put = [&](std::size_t at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) f[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::memcpy(&f[0], "RIFF", 4);
    put(4, 36 + dataBytes, 4);
    std::memcpy(&f[8], "WAVEfmt ", 8);
    put(16, 16, 4);
    put(20, 1, 2);
    put(22, static_cast<std::uint32_t>(channels), 2);
    put(24, static_cast<std::uint32_t>(rate), 4);
    put(28, static_cast<std::uint32_t>(rate * channels * 2), 4);
    put(32, static_cast<std::uint32_t>(channels * 2), 2);
    put(34, 16, 2);
    std::memcpy(&f[36], "data", 4);
    put(40, dataSizeField < 0 ? dataBytes : static_cast<std::uint32_t>(dataSizeField), 4);
    for (std::int16_t s : samples) {
        f.push_back(static_cast<std::uint8_t>(s & 0xFF));
        f.push_back(static_cast<std::uint8_t>((s >> 8) & 0xFF));
    }
    return f;
}

// Unsupported: a RIFF/WAVE file whose samples cannot be read (the reason
// named in the message).
enum class Verdict { NotWave, NoData, Unsupported, Loads };

struct HostileWave {
    const char* name;
    std::vector<std::uint8_t> bytes;
    Verdict verdict;
    std::string tags;  // NotWave: the tag text the rejection shows
};

inline std::vector<HostileWave> HostileWaves() {
    auto with = [](std::vector<std::uint8_t> f, std::size_t at, const char* bytes, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) f.at(at + i) = static_cast<std::uint8_t>(bytes[i]);
        return f;
    };
    const std::vector<std::uint8_t> base = CanonicalWave({1, 2, 3});
    std::vector<std::uint8_t> truncated = base;
    truncated.resize(43);
    const std::string text = "this is not a wave file at all, just text";
    // A LIST chunk where the data chunk should be, and then the end of the file.
    std::vector<std::uint8_t> listOnly = with(base, 36, "LIST", 4);
    listOnly.resize(44);
    // Chunk sizes that point far beyond the end (the walk must stop, not wrap).
    const std::vector<std::uint8_t> hugeChunk = with(listOnly, 40, "\xF0\xFF\xFF\xFF", 4);
    const std::vector<std::uint8_t> hugeFmt = with(base, 16, "\xFF\xFF\xFF\xFF", 4);
    // Fields no recording has, and a compressed format (IMA ADPCM, 4 bits).
    const std::vector<std::uint8_t> ima = with(with(base, 20, "\x11\0", 2), 32, "\0\1\4\0", 4);
    return {
        {"empty_file.wav", {}, Verdict::NotWave, ""},
        {"short.wav", truncated, Verdict::NotWave, "RIFFWAVEfmt "},
        {"text.wav", std::vector<std::uint8_t>(text.begin(), text.end()), Verdict::NotWave, "thisnot a wa"},
        {"zero_tag.wav", with(base, 10, "\0", 1), Verdict::NotWave, "RIFFWA"},
        {"list_first.wav", with(base, 12, "LIST", 4), Verdict::Unsupported, ""},  // a LIST chunk and data: no fmt
        {"rf64_no_ds64.wav", with(with(base, 0, "RF64", 4), 40, "\xFF\xFF\xFF\xFF", 4), Verdict::Unsupported, ""},
        {"ima_adpcm.wav", ima, Verdict::Unsupported, ""},
        {"no_channels.wav", with(base, 22, "\0\0", 2), Verdict::Unsupported, ""},
        {"no_rate.wav", with(base, 24, "\0\0\0\0", 4), Verdict::Unsupported, ""},
        {"bad_align.wav", with(base, 32, "\3\0", 2), Verdict::Unsupported, ""},
        {"bits_0.wav", with(base, 34, "\0\0", 2), Verdict::Unsupported, ""},
        {"nodata.wav", listOnly, Verdict::NoData, ""},
        {"huge_chunk.wav", hugeChunk, Verdict::NoData, ""},
        {"huge_fmt.wav", hugeFmt, Verdict::NoData, ""},
        {"lower_tags.wav", with(base, 0, "riff", 4), Verdict::Loads, ""},
        {"claims_more.wav", CanonicalWave({1000, -1000}, 1, 8000, 400), Verdict::Loads, ""},
        {"odd_size.wav", CanonicalWave({5, 6, 7}, 1, 8000, 5), Verdict::Loads, ""},
    };
}

}  // namespace twc
