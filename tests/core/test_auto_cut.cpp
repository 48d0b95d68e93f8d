#include <doctest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "core/cut/auto_cut.h"

using namespace tw;

namespace {

// Little-endian bytes, placed one byte into the buffer so the scan never
// relies on the alignment of the sample data, and ending exactly at the data's
// end so a sanitizer build catches any read past it.
struct SampleBytes {
    std::vector<std::uint8_t> storage;
    std::uint32_t dataSize = 0;
    const std::uint8_t* data() const { return storage.data() + 1; }
};

SampleBytes Bytes(const std::vector<int>& samples, bool extraByte = false) {
    SampleBytes b;
    b.storage.assign(1 + samples.size() * 2 + (extraByte ? 1 : 0), 0x5a);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(samples[i]));
        b.storage[1 + 2 * i] = static_cast<std::uint8_t>(u & 0xff);
        b.storage[2 + 2 * i] = static_cast<std::uint8_t>(u >> 8);
    }
    b.dataSize = static_cast<std::uint32_t>(samples.size() * 2 + (extraByte ? 1 : 0));
    return b;
}

std::vector<std::int64_t> Positions(const std::vector<AutoCut>& cuts) {
    std::vector<std::int64_t> out;
    for (const AutoCut& c : cuts) out.push_back(c.position);
    return out;
}

bool Same(const std::vector<AutoCut>& a, const std::vector<AutoCut>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].position != b[i].position || a[i].column != b[i].column) return false;
    return true;
}

// Loud 1000 everywhere except the listed quiet stretches [from, to).
std::vector<int> LoudWithGaps(int count, std::vector<std::pair<int, int>> gaps) {
    std::vector<int> s(count, 1000);
    for (auto g : gaps)
        for (int i = g.first; i < g.second; ++i) s[i] = 0;
    return s;
}

}  // namespace

TEST_CASE("auto cut: runs, their ends and their midpoints") {
    struct Row {
        const char* name;
        std::vector<int> samples;
        double threshold;
        std::vector<std::int64_t> cuts;
    };
    const Row rows[] = {
        {"two quiet then loud", {1000, 1000, 5, 3, 1000}, 10, {3}},
        {"quiet then loud positive opens nothing", {1000, 5, 2000, 1000, 1000}, 10, {}},
        {"quiet then loud negative ends at once", {1000, 5, -2000, 1000, 1000}, 10, {1}},
        {"negative quiet next sample", {1000, -9, -9, 1000}, 10, {2}},
        {"sample equal to T inside a run", {1000, 5, 3, 10, -10, 4, 1000}, 10, {3}},
        {"sample equal to T opens nothing", {1000, 10, 3, -3, 1000}, 10, {3}},
        {"next sample equal to T opens nothing", {1000, 3, 10, 1000, 1000}, 10, {}},
        {"never opens at sample 0", {0, -2000, 1000, 1000}, 10, {}},
        {"silence at the start opens at 1", {0, 0, 0, 1000}, 10, {2}},
        {"silence at the end gives no cut", {1000, 0, 0, 1000, 0, 0, 0}, 10, {2}},
        {"quiet last sample opens nothing", {1000, 1000, 1000, 5}, 10, {}},
        {"threshold truncated toward zero", {1000, 1000, 5, 3, 1000}, 10.99, {3}},
        {"loudest negative sample ends a run", {1000, 0, 0, -32768}, 32767, {2}},
        {"loud with no run open does nothing", {1000, 2000, -3000, 1000}, 10, {}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        SampleBytes b = Bytes(r.samples);
        CHECK(Positions(ScanForCutsPlain(b.data(), b.dataSize, 100000, r.threshold)) == r.cuts);
        CHECK(Positions(ScanForCuts(b.data(), b.dataSize, 100000, r.threshold)) == r.cuts);
    }
}

TEST_CASE("auto cut: spacing of ten columns and stretched runs") {
    // D = 1001 (odd, last byte unused) makes 2W / (D - 1) = W / 500.
    std::vector<int> s = LoudWithGaps(500, {{49, 52}, {54, 57}, {200, 203}});
    SampleBytes b = Bytes(s, true);
    struct Row { std::int32_t width; std::vector<std::int64_t> positions; std::vector<std::int32_t> columns; };
    const Row rows[] = {
        // Columns 50 and 55: the second run stretches until its midpoint maps to 60.
        {500, {50, 60, 201}, {50, 60, 201}},
        // Twice the width: 110 is far enough from 100, so cuts lie closer in samples.
        {1000, {50, 55, 201}, {100, 110, 402}},
        // The first cut must reach column 10: midpoint 50 maps to 9 here, so
        // the first run stretches over the second gap until midpoint 56.
        {90, {56, 201}, {10, 36}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.width);
        for (bool fast : {false, true}) {
            CAPTURE(fast);
            auto cuts = fast ? ScanForCuts(b.data(), b.dataSize, r.width, 10)
                             : ScanForCutsPlain(b.data(), b.dataSize, r.width, 10);
            std::vector<std::int32_t> columns;
            for (const AutoCut& c : cuts) columns.push_back(c.column);
            CHECK(Positions(cuts) == r.positions);
            CHECK(columns == r.columns);
        }
    }
}

TEST_CASE("auto cut: thresholds and sizes that place no cut") {
    std::vector<int> s = LoudWithGaps(400, {{20, 30}, {100, 120}, {300, 310}});
    s[5] = -32768;
    SampleBytes b = Bytes(s);
    REQUIRE(ScanForCutsPlain(b.data(), b.dataSize, 570, 10).size() == 3);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double thresholds[] = {0, 0.99, -0.5, -10, -1e10, 32768, 32769, 1e10,
                                 2147483647.9, 2147483648.0, -2147483649.0, inf, -inf, nan};
    for (double t : thresholds) {
        CAPTURE(t);
        CHECK(ScanForCutsPlain(b.data(), b.dataSize, 570, t).empty());
        CHECK(ScanForCuts(b.data(), b.dataSize, 570, t).empty());
    }
    for (std::int32_t w : {0, -1, -570, INT32_MIN}) {
        CAPTURE(w);
        CHECK(ScanForCutsPlain(b.data(), b.dataSize, w, 10).empty());
        CHECK(ScanForCuts(b.data(), b.dataSize, w, 10).empty());
    }
    // Tiny data: nothing to walk, and D - 1 never divides by zero.
    for (std::uint32_t d = 0; d <= 7; ++d) {
        CAPTURE(d);
        CHECK(ScanForCutsPlain(b.data(), d, 570, 10).empty());
        CHECK(ScanForCuts(b.data(), d, 570, 10).empty());
    }
    CHECK(ScanForCuts(nullptr, 0, 570, 10).empty());
    // The largest width: 2W does not overflow.
    auto wide = ScanForCuts(b.data(), b.dataSize, INT32_MAX, 10);
    CHECK(Same(wide, ScanForCutsPlain(b.data(), b.dataSize, INT32_MAX, 10)));
    CHECK(wide.size() == 3);
}

namespace {

// Bursts of loud noise or tone and pauses of near silence, some pauses too
// short to matter, so runs open inside bursts and get stretched.
std::vector<int> SpeechLike(std::mt19937& rng, int count) {
    std::vector<int> s;
    s.reserve(count);
    std::uniform_int_distribution<int> len(1, 90);
    std::uniform_int_distribution<int> kind(0, 3);
    while (static_cast<int>(s.size()) < count) {
        int k = kind(rng);
        int n = len(rng);
        int amplitude = k == 0 ? 30 : (k == 1 ? 600 : (k == 2 ? 20000 : 32768));
        std::uniform_int_distribution<int> value(-amplitude, amplitude - (k == 3 ? 1 : 0));
        for (int i = 0; i < n && static_cast<int>(s.size()) < count; ++i) s.push_back(value(rng));
    }
    return s;
}

}  // namespace

TEST_CASE("auto cut: the vector scan gives the plain scan's cuts") {
    const std::int32_t widths[] = {1, 570, 33000};
    const double thresholds[] = {1, 2, 31, 100, 601, 20000, 32767};
    std::mt19937 rng(20240611);
    int withCuts = 0, cases = 0;
    for (int seed = 0; seed < 3000; ++seed) {
        int count = seed % 71;  // 0..70 samples around the vector sizes
        std::vector<int> s;
        if (seed % 3 == 0) {
            s = SpeechLike(rng, count);
        } else {
            std::uniform_int_distribution<int> value(-700, 700);
            for (int i = 0; i < count; ++i) s.push_back(value(rng));
        }
        SampleBytes b = Bytes(s, seed % 2 == 1);
        double t = seed % 5 == 0 ? std::uniform_real_distribution<double>(-5, 800)(rng)
                                 : thresholds[seed % 7];
        for (std::int32_t w : widths) {
            auto plain = ScanForCutsPlain(b.data(), b.dataSize, w, t);
            auto fast = ScanForCuts(b.data(), b.dataSize, w, t);
            ++cases;
            if (!plain.empty()) ++withCuts;
            if (!Same(plain, fast)) {
                CAPTURE(seed);
                CAPTURE(count);
                CAPTURE(t);
                CAPTURE(w);
                FAIL("scans differ");
            }
        }
    }
    CHECK(withCuts > cases / 8);

    // Longer speech-like data, where runs stretch over many loud samples.
    for (int seed = 0; seed < 60; ++seed) {
        std::vector<int> s = SpeechLike(rng, 3000 + seed * 997);
        SampleBytes b = Bytes(s, seed % 2 == 1);
        for (std::int32_t w : widths) {
            for (double t : {50.0, 700.0, 25000.0}) {
                auto plain = ScanForCutsPlain(b.data(), b.dataSize, w, t);
                CHECK(Same(plain, ScanForCuts(b.data(), b.dataSize, w, t)));
            }
        }
    }
}
