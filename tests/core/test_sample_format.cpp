#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/cut/auto_cut.h"
#include "core/cut/pause_cut.h"
#include "tests/common/xorshift.h"
#include "core/wave/sample_format.h"
#include "core/wave/wave_stats.h"

using namespace tw;

namespace {

using E = SampleEncoding;
const E kEncodings[] = {E::Pcm8, E::Pcm16, E::Pcm24, E::Pcm32, E::Float32, E::Float64, E::ALaw, E::MuLaw};

// The values as 16-bit little-endian data, the form the 16-bit code reads.
std::vector<std::uint8_t> Le16Of(const std::uint8_t* data, E encoding, std::size_t count) {
    std::vector<std::uint8_t> out;
    for (std::size_t k = 0; k < count; ++k) {
        const auto v = static_cast<std::uint16_t>(SampleValue(data, encoding, k));
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    return out;
}

// A 16-bit signal written in another encoding exactly as sox writes a copy:
// 24/32-bit shifted up, float divided by 32768.
std::vector<std::uint8_t> Widened(const std::vector<std::int16_t>& s, E encoding) {
    std::vector<std::uint8_t> out;
    for (std::int16_t v : s) {
        std::uint8_t b[8];
        std::size_t n = ContainerBytes(encoding);
        if (encoding == E::Float32) {
            const float f = static_cast<float>(v) / 32768.0f;
            std::memcpy(b, &f, 4);
        } else if (encoding == E::Float64) {
            const double d = v / 32768.0;
            std::memcpy(b, &d, 8);
        } else {
            const std::uint32_t w = static_cast<std::uint32_t>(static_cast<std::int32_t>(v)) << (8 * (n - 2));
            for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(w >> (8 * i));
        }
        out.insert(out.end(), b, b + n);
    }
    return out;
}

}  // namespace

TEST_CASE("sample values on the 16-bit scale") {
    struct Row { E encoding; std::vector<std::uint8_t> bytes; std::int16_t value; };
    auto f32 = [](float f) { std::vector<std::uint8_t> b(4); std::memcpy(b.data(), &f, 4); return b; };
    auto f64 = [](double d) { std::vector<std::uint8_t> b(8); std::memcpy(b.data(), &d, 8); return b; };
    const Row rows[] = {
        {E::Pcm8, {0x80}, 0}, {E::Pcm8, {0x00}, -32768}, {E::Pcm8, {0xFF}, 32512}, {E::Pcm8, {0x81}, 256},
        {E::Pcm16, {0x34, 0x12}, 0x1234}, {E::Pcm16, {0x00, 0x80}, -32768},
        {E::Pcm24, {0xFF, 0xFF, 0xFF}, -1},                      // floor(-1 / 256)
        {E::Pcm24, {0xFF, 0x00, 0x00}, 0}, {E::Pcm24, {0x00, 0x00, 0x80}, -32768}, {E::Pcm24, {0xFF, 0xFF, 0x7F}, 32767},
        {E::Pcm32, {0xFF, 0xFF, 0xFF, 0xFF}, -1}, {E::Pcm32, {0x00, 0x00, 0x01, 0x00}, 1},
        {E::Float32, f32(0.5f), 16384}, {E::Float32, f32(-1.0f), -32768}, {E::Float32, f32(1.0f), 32767},
        {E::Float32, f32(-2.0f), -32768}, {E::Float32, f32(-1e-9f), -1}, {E::Float32, f32(NAN), 0},
        {E::Float32, f32(INFINITY), 32767}, {E::Float64, f64(0.999999), 32767}, {E::Float64, f64(-0.25), -8192},
        {E::ALaw, {0xD5}, 8}, {E::ALaw, {0x55}, -8}, {E::ALaw, {0xAA}, 32256}, {E::ALaw, {0x2A}, -32256},
        {E::MuLaw, {0xFF}, 0}, {E::MuLaw, {0x7F}, 0}, {E::MuLaw, {0x80}, 32124}, {E::MuLaw, {0x00}, -32124},
    };
    for (const Row& r : rows) {
        CAPTURE(static_cast<int>(r.encoding));
        CAPTURE(r.value);
        REQUIRE(r.bytes.size() == ContainerBytes(r.encoding));
        CHECK(SampleValue(r.bytes.data(), r.encoding, 0) == r.value);
    }
}

TEST_CASE("the block readers, the measurement and the scan give what one sample at a time gives") {
    XorShift random{0x5EED};
    for (E encoding : kEncodings) {
        CAPTURE(static_cast<int>(encoding));
        const std::size_t n = 9001;  // not a whole number of blocks
        std::vector<std::uint8_t> data(n * ContainerBytes(encoding) + 1);
        for (auto& b : data) b = static_cast<std::uint8_t>(random.Next());
        if (encoding == E::Float32 || encoding == E::Float64) {  // mostly sane values, some wild ones
            for (std::size_t k = 0; k < n; ++k)
                if (k % 7) {
                    const double v = random.Between(-40000, 40000) / 32768.0;
                    const float f = static_cast<float>(v);
                    if (encoding == E::Float32) std::memcpy(&data[4 * k], &f, 4);
                    else std::memcpy(&data[8 * k], &v, 8);
                }
        }
        const std::vector<std::uint8_t> want = Le16Of(data.data(), encoding, n);

        std::vector<std::int16_t> values(n - 5);
        ReadSamples(data.data(), encoding, 5, n - 5, values.data());
        std::vector<std::uint8_t> le(2 * (n - 5));
        ReadSamplesLe16(data.data(), encoding, 5, n - 5, le.data());
        bool same = true;
        for (std::size_t k = 0; k < n - 5; ++k) same = same && values[k] == SampleValue(data.data(), encoding, k + 5);
        CHECK(same);
        CHECK(std::equal(le.begin(), le.end(), want.begin() + 10));

        // Measured in uneven chunks: the 16-bit measurement of the values,
        // averaged over 2n for every encoding but 16-bit.
        WaveStats stats;
        for (std::size_t at = 0; at < n;) {
            const std::size_t m = std::min<std::size_t>(n - at, 1 + random.Next() % 5000);
            AccumulateEncodedStats(stats, data.data(), encoding, at, m);
            at += m;
        }
        FinishStats(stats, 2 * n);
        const WaveStats plain = MeasureWavePlain(want.data(), want.size());
        CHECK(stats.peak == plain.peak);
        CHECK(stats.nadir == plain.nadir);
        CHECK(stats.smallestPositive == plain.smallestPositive);
        CHECK(stats.average == plain.average);
        const WaveStats whole = MeasureEncodedWave(data.data(), encoding, n, 2 * n);
        CHECK(whole.average == plain.average);

        // Cut as the 16-bit values would be, with D = 2n.
        for (double threshold : {3000.0, 20000.0}) {
            const auto cuts = ScanEncodedForCuts(data.data(), encoding, n, 2 * n, 570, threshold);
            const auto ref = ScanForCutsPlain(want.data(), static_cast<std::uint32_t>(want.size()), 570, threshold);
            REQUIRE(cuts.size() == ref.size());
            for (std::size_t i = 0; i < cuts.size(); ++i) {
                CHECK(cuts[i].position == ref[i].position);
                CHECK(cuts[i].column == ref[i].column);
            }
        }
    }
}

TEST_CASE("a 24-bit, 32-bit or float copy of a 16-bit recording is measured and cut as the original") {
    // Bursts and pauses with an odd data size in 16-bit samples.
    std::vector<std::int16_t> s;
    XorShift random{7};
    for (int burst = 0; burst < 20; ++burst) {
        for (int i = 0; i < 900; ++i) s.push_back(static_cast<std::int16_t>(random.Between(-30000, 30000)));
        for (int i = 0; i < 2000 + 100 * burst; ++i) s.push_back(static_cast<std::int16_t>(random.Between(-40, 40)));
    }
    s.push_back(-32768);
    const std::vector<std::uint8_t> original = Widened(s, E::Pcm16);
    const auto size = static_cast<std::uint32_t>(original.size());
    const WaveStats want = MeasureEncodedWave(original.data(), SampleEncoding::Pcm16, (size) / 2, size);
    const auto wantCuts = ScanForCuts(original.data(), size, 855, 300);
    REQUIRE(wantCuts.size() > 10);
    PauseAudio audio;
    audio.data = original.data();
    audio.sampleCount = s.size();
    audio.sampleRate = 8000;
    const PauseCutResult wantPauses = FindPauseCuts(audio, std::nan(""), 100);
    REQUIRE(wantPauses.cuts.size() >= 3);
    for (E encoding : {E::Pcm24, E::Pcm32, E::Float32, E::Float64}) {
        CAPTURE(static_cast<int>(encoding));
        const std::vector<std::uint8_t> copy = Widened(s, encoding);
        const WaveStats got = MeasureEncodedWave(copy.data(), encoding, s.size(), 2 * s.size());
        CHECK(got.peak == want.peak);
        CHECK(got.nadir == want.nadir);
        CHECK(got.smallestPositive == want.smallestPositive);
        CHECK(got.average == want.average);
        const auto cuts = ScanEncodedForCuts(copy.data(), encoding, s.size(), 2 * s.size(), 855, 300);
        REQUIRE(cuts.size() == wantCuts.size());
        for (std::size_t i = 0; i < cuts.size(); ++i) CHECK(cuts[i].position == wantCuts[i].position);
        PauseAudio wide = audio;
        wide.data = copy.data();
        wide.encoding = encoding;
        const PauseCutResult pauses = FindPauseCuts(wide, std::nan(""), 100);
        CHECK(pauses.cuts == wantPauses.cuts);
        CHECK(pauses.threshold == wantPauses.threshold);
    }
}
