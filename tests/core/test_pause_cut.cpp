#include <doctest.h>

#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "../common/xorshift.h"
#include "core/cut/pause_cut.h"

using namespace tw;

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Audio {
    std::vector<std::uint8_t> bytes;
    PauseAudio audio;
};

// Frames of `channels` values, 16-bit (or 24-bit) little-endian.
Audio Make(const std::vector<int>& values, std::uint32_t rate, std::uint32_t channels = 1,
           SampleEncoding encoding = SampleEncoding::Pcm16) {
    Audio a;
    const std::uint32_t size = ContainerBytes(encoding);
    for (int v : values) {
        const std::uint32_t u = static_cast<std::uint32_t>(std::max(-32768, std::min(32767, v))) << (8 * (size - 2));
        for (std::uint32_t b = 0; b < size; ++b) a.bytes.push_back(static_cast<std::uint8_t>(u >> (8 * b)));
    }
    a.audio.data = a.bytes.data();
    a.audio.sampleCount = values.size();
    a.audio.encoding = encoding;
    a.audio.channels = channels;
    a.audio.sampleRate = rate;
    return a;
}

// A recording built from parts laid one after another over room noise.
// Voice: harmonics of 150 Hz up to 600 Hz, as voiced speech; hiss: white
// noise, no speech (a breath), counted as part of the pause; gap: the room alone.
enum class Kind { Voice, Hiss, Gap };
struct Part {
    Kind kind;
    double seconds;
    double amp = 0;
};

struct Scene {
    std::uint32_t rate = 8000;
    std::vector<Part> parts;
    int room = 30;        // white noise under everything
    double humAmp = 0;    // 50 Hz
};

std::vector<int> Render(const Scene& scene, std::vector<std::pair<double, double>>* gaps = nullptr) {
    XorShift rng{5};
    std::vector<int> s;
    for (const Part& p : scene.parts) {
        const std::size_t from = s.size();
        const std::size_t n = static_cast<std::size_t>(p.seconds * scene.rate);
        if (gaps && p.kind != Kind::Voice) gaps->push_back({static_cast<double>(from), static_cast<double>(from + n)});
        for (std::size_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(from + i) / scene.rate;
            double v = 0;
            if (p.kind == Kind::Voice)
                for (int h = 1; h <= 4; ++h) v += p.amp / h * std::sin(2 * kPi * 150 * h * t);
            if (p.kind == Kind::Hiss) v = rng.Between(-static_cast<int>(p.amp), static_cast<int>(p.amp));
            v += scene.humAmp * std::sin(2 * kPi * 50 * t) + rng.Between(-scene.room, scene.room);
            s.push_back(static_cast<int>(std::lround(v)));
        }
    }
    return s;
}

// How many cuts fall in each gap of the scene, and how many elsewhere.
struct Placed {
    std::vector<int> perGap;
    int elsewhere = 0;
};

Placed Place(const std::vector<std::int64_t>& cuts, const std::vector<std::pair<double, double>>& gaps,
             std::uint32_t channels) {
    Placed p;
    p.perGap.assign(gaps.size(), 0);
    for (std::int64_t c : cuts) {
        const double frame = static_cast<double>(c / channels);
        bool in = false;
        for (std::size_t g = 0; g < gaps.size(); ++g)
            if (frame >= gaps[g].first && frame < gaps[g].second) {
                ++p.perGap[g];
                in = true;
            }
        if (!in) ++p.elsewhere;
    }
    return p;
}

}  // namespace

TEST_CASE("pause cutting: a listener's pauses, at the estimated threshold") {
    const Part loud{Kind::Voice, 1.2, 9000};
    const Part word{Kind::Voice, 0.35, 9000};
    const Part quietWord{Kind::Voice, 0.35, 250};  // 31 dB below the loud speaker, 15 dB over the room
    const Part softWord{Kind::Voice, 0.35, 1130};  // 18 dB below the loud speaker, 28 dB over the room
    const Part pause{Kind::Gap, 0.7};
    const Part longPause{Kind::Gap, 1.2};
    const Part wordGap{Kind::Gap, 0.3};
    struct Row {
        const char* what;
        Scene scene;
        std::vector<int> perGap;  // cuts expected in each gap, in order
    } rows[] = {
        {"one pause between two utterances", {8000, {loud, pause, loud}}, {1}},
        {"the gap between two words is no pause", {8000, {word, wordGap, word, pause, word, wordGap, word}}, {0, 1, 0}},
        {"a quiet speaker between loud ones: words kept, pauses cut",
         {8000, {loud, longPause, quietWord, wordGap, quietWord, wordGap, quietWord, longPause, loud}}, {1, 0, 0, 1}},
        {"hum under everything is not speech", {8000, {loud, pause, loud, pause, loud}, 30, 3000}, {1, 1}},
        {"a breath of hiss inside a pause does not split it",
         {8000, {loud, {Kind::Gap, 0.25}, {Kind::Hiss, 0.25, 300}, {Kind::Gap, 0.25}, loud}}, {0, 1, 0}},
        {"at 44.1 kHz as at 8 kHz", {44100, {word, wordGap, word, pause, loud}}, {0, 1}},
        {"silence at the start and the end gets no cut", {8000, {longPause, loud, pause, loud, longPause}}, {0, 1, 0}},
        {"0.5 s pauses beside a speaker 18 dB under the others are cut; their word gaps are not",
         {16000, {loud, {Kind::Gap, 0.5}, softWord, wordGap, softWord, {Kind::Gap, 0.5}, loud}}, {1, 0, 1}},
        {"and beside a speaker barely over the room",
         {16000, {loud, {Kind::Gap, 0.5}, quietWord, wordGap, quietWord, {Kind::Gap, 0.5}, loud}}, {1, 0, 1}},
    };
    for (const Row& r : rows) {
        const std::string what = r.what;
        CAPTURE(what);
        std::vector<std::pair<double, double>> gaps;
        const Audio a = Make(Render(r.scene, &gaps), r.scene.rate);
        const PauseCutResult found = FindPauseCuts(a.audio, std::nan(""), kDefaultPauseMs);
        const Placed placed = Place(found.cuts, gaps, 1);
        std::string got;
        for (int k : placed.perGap) got += std::to_string(k) + " ";
        CAPTURE(got);
        CHECK(placed.perGap == r.perGap);
        CHECK(placed.elsewhere == 0);
        // The estimate shown lies between the room and the speech, and typed
        // back it gives the same cuts.
        CHECK(found.threshold > r.scene.room / 2.0);
        CHECK(found.threshold < 2000);
        CHECK(FindPauseCuts(a.audio, found.threshold, kDefaultPauseMs).cuts == found.cuts);
        CHECK(EstimatePauseThreshold(a.audio) == found.threshold);
        // The quiet map judges alike: its long pauses' middles are the cuts, and it has the shorter ones too.
        const QuietMap map = MapQuiet(a.audio, std::nan(""));
        std::vector<std::int64_t> middles;
        for (const SoundSpan& p : map.pauses)
            if (p.end - p.first >= std::ceil(kDefaultPauseMs * r.scene.rate / 1000)) middles.push_back(p.first + (p.end - p.first) / 2);
        CHECK(middles == found.cuts);
        CHECK(PauseCutsOf(map, 1, r.scene.rate, kDefaultPauseMs) == found.cuts);
        CHECK(map.threshold == found.threshold);
        CHECK(map.speech.size() == map.pauses.size() + 1);
        for (std::size_t i = 0; i < map.pauses.size(); ++i) {
            CHECK(map.speech[i].end == map.pauses[i].first);
            CHECK(map.pauses[i].end == map.speech[i + 1].first);
        }
    }
}

TEST_CASE("pause cutting: edges, channels, encodings and thresholds") {
    const Part loud{Kind::Voice, 1.0, 9000};
    std::vector<std::pair<double, double>> gaps;
    const std::vector<int> mono = Render({8000, {loud, {Kind::Gap, 0.6}, loud}}, &gaps);
    const Audio a = Make(mono, 8000);
    const std::vector<std::int64_t> cuts = FindPauseCuts(a.audio, std::nan(""), 400).cuts;
    REQUIRE(cuts.size() == 1);
    CHECK(std::llabs(cuts[0] - 10400) < 80);  // the middle of the pause, within a window
    // A click inside the pause does not break it.
    std::vector<int> clicked = mono;
    clicked[11000] = 32767;
    CHECK(FindPauseCuts(Make(clicked, 8000).audio, std::nan(""), 400).cuts.size() == 1);
    // Stereo with a silent right channel: the cut lands on a whole frame.
    std::vector<int> stereo;
    for (int v : mono) {
        stereo.push_back(v);
        stereo.push_back(0);
    }
    const std::vector<std::int64_t> stereoCuts = FindPauseCuts(Make(stereo, 8000, 2).audio, std::nan(""), 400).cuts;
    REQUIRE(stereoCuts.size() == 1);
    CHECK(stereoCuts[0] % 2 == 0);
    CHECK(std::llabs(stereoCuts[0] / 2 - cuts[0]) < 80);
    // A 24-bit copy reads as the same values.
    CHECK(FindPauseCuts(Make(mono, 8000, 1, SampleEncoding::Pcm24).audio, std::nan(""), 400).cuts == cuts);
    // A pause shorter than asked gets no cut; a typed threshold of 0 finds none.
    CHECK(FindPauseCuts(a.audio, std::nan(""), 700).cuts.empty());
    CHECK(FindPauseCuts(a.audio, 0, 400).cuts.empty());
    // A steady tone never becomes a pause, whatever the threshold follows.
    const Audio tone = Make(Render({8000, {{Kind::Voice, 8.0, 2000}}}), 8000);
    CHECK(FindPauseCuts(tone.audio, 300, 100).cuts.empty());
    CHECK(FindPauseCuts(tone.audio, std::nan(""), 100).cuts.empty());
    // A typed threshold only adds quiet: bursts of hiss at about -18 dBFS between
    // pauses of digital silence are sound at any threshold below them.
    const Part burst{Kind::Hiss, 0.8, 7000};
    std::vector<std::pair<double, double>> silences;
    Scene bursts{16000, {burst, {Kind::Gap, 0.7}, burst, {Kind::Gap, 0.7}, burst}, 0};
    const Audio hiss = Make(Render(bursts, &silences), 16000);
    for (double typed : {100.0, 300.0, 2000.0}) {
        CAPTURE(typed);
        const Placed placed = Place(FindPauseCuts(hiss.audio, typed, 400).cuts, silences, 1);
        std::string got;
        for (int k : placed.perGap) got += std::to_string(k) + " ";
        CAPTURE(got);
        CHECK(placed.perGap == std::vector<int>{0, 1, 0, 1, 0});
        CHECK(placed.elsewhere == 0);
    }
    // Too little data to judge, and none at all.
    CHECK(FindPauseCuts(Make({1, 2, 3}, 8000).audio, std::nan(""), 1).cuts.empty());
    CHECK(FindPauseCuts(Make({}, 8000).audio, std::nan(""), 100).cuts.empty());
}

TEST_CASE("pause cutting: the threshold follows noise that rises above it") {
    // Speech over room noise of +-60, then of +-700 (a fan starts during the
    // second utterance): at T = 300 the pauses after it are under the fan's
    // noise and still found.
    Scene quiet{8000, {{Kind::Voice, 1.5, 9000}, {Kind::Gap, 1.5}, {Kind::Voice, 0.8, 9000}}, 60};
    Scene fan{8000, {{Kind::Voice, 0.7, 9000}, {Kind::Gap, 1.5}, {Kind::Voice, 1.5, 9000}, {Kind::Gap, 1.5},
                     {Kind::Voice, 1.5, 9000}},
              700};
    std::vector<std::pair<double, double>> gaps, fanGaps;
    std::vector<int> s = Render(quiet, &gaps);
    const std::vector<int> loud = Render(fan, &fanGaps);
    for (auto g : fanGaps) gaps.push_back({g.first + s.size(), g.second + s.size()});
    s.insert(s.end(), loud.begin(), loud.end());
    const Audio a = Make(s, 8000);
    for (double t : {300.0, std::nan("")}) {
        CAPTURE(t);
        const Placed placed = Place(FindPauseCuts(a.audio, t, 400).cuts, gaps, 1);
        CHECK(placed.perGap == std::vector<int>{1, 1, 1});
        CHECK(placed.elsewhere == 0);
    }
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

TEST_CASE("pause cutting: a long recording, filtered in stretches side by side, misses no pause") {
    // 260 s: the band is filtered in halves on two threads, each in four
    // lanes; every seam must judge as if there were none.
    Scene scene;
    for (int i = 0; i < 150; ++i) {
        scene.parts.push_back({Kind::Voice, 1.0 + 0.01 * (i % 7), 9000});
        scene.parts.push_back({Kind::Gap, 0.7});
    }
    scene.parts.push_back({Kind::Voice, 1.0, 9000});
    std::vector<std::pair<double, double>> gaps;
    const Audio a = Make(Render(scene, &gaps), 8000);
    const Placed placed = Place(FindPauseCuts(a.audio, std::nan(""), 400).cuts, gaps, 1);
    CHECK(placed.perGap == std::vector<int>(gaps.size(), 1));
    CHECK(placed.elsewhere == 0);
}
