#include <doctest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <vector>

#include "../common/xorshift.h"
#include "cut/pause_cut.h"

using namespace tw;

namespace {

// 1000 frames a second, so a 10 ms window is 10 frames and 1 ms one frame.
constexpr std::uint32_t kRate = 1000;

struct Audio {
    std::vector<std::uint8_t> bytes;
    PauseAudio audio;
};

// Frames of `channels` values, 16-bit (or 24-bit) little-endian.
Audio Make(const std::vector<int>& values, std::uint32_t channels = 1, SampleEncoding encoding = SampleEncoding::Pcm16) {
    Audio a;
    const std::uint32_t size = ContainerBytes(encoding);
    for (int v : values) {
        const std::uint32_t u = static_cast<std::uint32_t>(v) << (8 * (size - 2));
        for (std::uint32_t b = 0; b < size; ++b) a.bytes.push_back(static_cast<std::uint8_t>(u >> (8 * b)));
    }
    a.audio.data = a.bytes.data();
    a.audio.sampleCount = values.size();
    a.audio.encoding = encoding;
    a.audio.channels = channels;
    a.audio.sampleRate = kRate;
    return a;
}

// A loud square wave (+-amp) with the given [from, to) frames set to `quiet`.
std::vector<int> Square(int frames, std::vector<std::pair<int, int>> gaps, int amp = 10000, int quiet = 0) {
    std::vector<int> s(frames);
    for (int i = 0; i < frames; ++i) s[i] = (i & 1) ? amp : -amp;
    for (auto g : gaps)
        for (int i = g.first; i < g.second; ++i) s[i] = quiet;
    return s;
}

std::vector<std::int64_t> Cuts(const Audio& a, double threshold, double ms) {
    return FindPauseCuts(a.audio, threshold, ms).cuts;
}

}  // namespace

TEST_CASE("pause cutting: which stretches are pauses and where their cut goes") {
    std::vector<int> spiky = Square(1000, {{300, 600}});
    spiky[450] = 32767;  // one noise peak inside the pause
    std::vector<int> crossings = Square(1000, {});
    for (int i = 400; i < 403; ++i) crossings[i] = 0;  // a zero crossing lingers
    struct Row {
        const char* what;
        std::vector<int> samples;
        double ms;
        std::vector<std::int64_t> cuts;
    } rows[] = {
        {"a pause exactly the minimum long", Square(1000, {{300, 400}}), 100, {350}},
        {"one frame shorter", Square(1000, {{300, 399}}), 100, {}},
        {"a noise peak does not break it", spiky, 250, {450}},
        {"a zero crossing is no pause", crossings, 1, {}},
        {"silence at the start and the end", Square(1000, {{0, 200}, {400, 600}, {800, 1000}}), 100, {500}},
        {"a blip shorter than a window still touches the start", Square(1000, {{3, 200}}), 100, {}},
        {"two pauses", Square(2000, {{300, 500}, {1200, 1800}}), 150, {400, 1500}},
        {"no samples", {}, 100, {}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.what);
        CHECK(Cuts(Make(r.samples), 300, r.ms) == r.cuts);
    }
}

TEST_CASE("pause cutting: channels, encodings and thresholds") {
    // Stereo, the right channel silent: the left decides, cuts land on frames.
    std::vector<int> stereo;
    for (int v : Square(1000, {{301, 500}})) {
        stereo.push_back(v);
        stereo.push_back(0);
    }
    CHECK(Cuts(Make(stereo, 2), 300, 100) == std::vector<std::int64_t>{800});
    // A 24-bit copy reads as the same values.
    CHECK(Cuts(Make(Square(1000, {{300, 500}}), 1, SampleEncoding::Pcm24), 300, 100) == std::vector<std::int64_t>{400});
    // No threshold, no pause; a steady tone never becomes one however the
    // threshold follows the room.
    CHECK(Cuts(Make(Square(1000, {{300, 500}})), 0, 100).empty());
    CHECK(Cuts(Make(Square(3000, {}, 2000)), 300, 100).empty());
}

TEST_CASE("pause cutting: the threshold follows noise that rises above it") {
    // Speech bursts at 20000 over room noise of +-60, then of +-700 (a fan
    // starts during the second burst): at T = 300 the pauses after it are
    // under the fan's noise and still found.
    XorShift rng{7};
    std::vector<int> s(12000);
    for (int i = 0; i < 12000; ++i) {
        const int noise = i < 5000 ? 60 : 700;
        s[i] = static_cast<int>(rng.Next() % (2 * noise + 1)) - noise;
        const bool speech = (i >= 1000 && i < 2500) || (i >= 4000 && i < 5500) || (i >= 7000 && i < 8500) ||
                            (i >= 10000 && i < 11500);
        if (speech) s[i] += (i & 1) ? 20000 : -20000;
    }
    const Audio a = Make(s);
    const std::vector<std::int64_t> cuts = Cuts(a, 300, 400);
    REQUIRE(cuts.size() == 3);
    CHECK(std::llabs(cuts[0] - 3250) < 30);
    CHECK(std::llabs(cuts[1] - 6250) < 30);
    CHECK(std::llabs(cuts[2] - 9250) < 30);
    // The estimate lies between that noise and the speech, and finds the same.
    const double t = EstimatePauseThreshold(a.audio);
    CHECK(t > 60);
    CHECK(t < 5000);
    CHECK(Cuts(a, t, 400).size() == 3);
}

TEST_CASE("threshold text: sample values and decibels") {
    struct Row {
        const char* text;
        ThresholdKind kind;
        double value;
    } rows[] = {
        {"", ThresholdKind::Empty, 0},
        {"  ", ThresholdKind::Empty, 0},
        {"300", ThresholdKind::Number, 300},
        {" 12.5 ", ThresholdKind::Number, 12.5},
        {"-40dB", ThresholdKind::Decibels, 327.68},
        {"-40 dB", ThresholdKind::Decibels, 327.68},
        {"-20db", ThresholdKind::Decibels, 3276.8},
        {"0 DB", ThresholdKind::Decibels, 32768},
        {"300dB", ThresholdKind::AboveFullScale, 32768e15},  // a typo for -30dB: louder than any sample
        {"+3dB", ThresholdKind::AboveFullScale, 46286.0302622},
        {"0.001dB", ThresholdKind::AboveFullScale, 32771.7727726},
        {"dB", ThresholdKind::Other, 0},
        {"loud", ThresholdKind::Other, 0},
        {"300x", ThresholdKind::Other, 300},  // the box always read its leading number
        {"&H12C", ThresholdKind::Number, 300},
        {"&H12G", ThresholdKind::Other, 18},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text);
        const ThresholdText t = ReadThresholdText(r.text);
        CHECK(t.kind == r.kind);
        CHECK(t.value == doctest::Approx(r.value).epsilon(1e-9));
    }
}

TEST_CASE("pause cutting: whole blocks decide as every frame one by one would") {
    // Bursts and gaps of random lengths and levels near the threshold, so
    // quiet and loud meet everywhere and inside blocks.
    XorShift rng{11};
    for (int round = 0; round < 40; ++round) {
        CAPTURE(round);
        const std::uint32_t channels = 1 + round % 3;
        std::vector<int> s;
        while (s.size() < 30000u * channels) {
            const int level = rng.Between(0, 3) == 0 ? rng.Between(200, 450) : rng.Between(0, 1) ? 30 : 8000;
            const int length = rng.Between(1, 700);
            for (int i = 0; i < length * static_cast<int>(channels); ++i) s.push_back(rng.Between(-level, level));
        }
        Audio a = Make(s, channels);
        a.audio.sampleRate = 1000 + 997 * static_cast<std::uint32_t>(round % 5);
        const double t = 250 + round;
        const double ms = 20 + 10 * (round % 7);
        const PauseCutResult fast = FindPauseCuts(a.audio, t, ms);
        CHECK(fast.cuts == FindPauseCutsPlain(a.audio, t, ms).cuts);
        CHECK(!fast.cuts.empty());
    }
}
