#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "core/wave/wave_stats.h"
#include "tests/common/xorshift.h"
#include "tests/core/stats_check.h"

using namespace tw;

namespace {


std::vector<std::uint8_t> ToBytes(const std::vector<int>& samples) {
    std::vector<std::uint8_t> bytes;
    for (int s : samples) {
        const unsigned u = static_cast<unsigned>(s) & 0xFFFFu;
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return bytes;
}

using Pattern = std::function<int(std::size_t k, XorShift& rng)>;

struct NamedPattern {
    const char* name;
    Pattern sample;
};

const NamedPattern kPatterns[] = {
    {"random full range", [](std::size_t, XorShift& r) { return r.Between(-32768, 32767); }},
    {"all -32768", [](std::size_t, XorShift&) { return -32768; }},
    {"all 32767", [](std::size_t, XorShift&) { return 32767; }},
    {"silence", [](std::size_t, XorShift&) { return 0; }},
    {"all positive", [](std::size_t, XorShift& r) { return r.Between(1, 32767); }},
    {"alternating extremes", [](std::size_t k, XorShift&) { return k % 2 ? -32768 : 32767; }},
    {"DC +20000", [](std::size_t, XorShift& r) { return 20000 + r.Between(-500, 500); }},
    {"DC -31000", [](std::size_t, XorShift& r) { return -31000 + r.Between(-1700, 1700); }},
    {"small DC drift", [](std::size_t, XorShift& r) { return 7 + r.Between(-9000, 9000); }},
    // Climbs to just under 2^24 and then wanders across it in odd steps.
    {"hover at 2^24", [](std::size_t k, XorShift& r) { return k < 512 ? 32767 : r.Between(-15, 17); }},
    {"mostly zero, rare +-1",
     [](std::size_t, XorShift& r) {
         const int v = r.Between(0, 99);
         return v == 0 ? 1 : v == 1 ? -1 : 0;
     }},
};

std::vector<std::uint8_t> Generate(const Pattern& p, std::size_t samples, std::uint64_t seed = 12345) {
    XorShift rng{seed};
    std::vector<int> s(samples);
    for (std::size_t k = 0; k < samples; ++k) s[k] = p(k, rng);
    return ToBytes(s);
}


const StatsPath kPaths[] = {StatsPath::Scalar, StatsPath::Sse2, StatsPath::Avx2};
const char* PathName(StatsPath p) {
    return p == StatsPath::Scalar ? "scalar" : p == StatsPath::Sse2 ? "sse2" : p == StatsPath::Avx2 ? "avx2" : "best";
}

WaveStats MeasureOn(StatsPath path, const std::uint8_t* data, std::uint64_t dataSize) {
    WaveStats s;
    AccumulateStatsOn(path, s, data, static_cast<std::size_t>(dataSize / 2));
    FinishStats(s, dataSize);
    return s;
}

std::vector<std::size_t> InterestingLengths() {
    std::vector<std::size_t> n;
    for (std::size_t i = 0; i <= 100; ++i) n.push_back(i);
    for (std::size_t edge : {128u, 256u, 512u, 768u, 1024u, 4096u})
        for (std::size_t d = 0; d <= 17; ++d) {
            n.push_back(edge - d);
            n.push_back(edge + d);
        }
    n.push_back(100003);
    return n;
}

}  // namespace

TEST_CASE("wave stats: every path matches the plain loop bit for bit") {
    const std::vector<std::size_t> lengths = InterestingLengths();
    for (const NamedPattern& p : kPatterns) {
        const std::vector<std::uint8_t> bytes = Generate(p.sample, lengths.back());
        for (std::size_t n : lengths) {
            // Even and odd data sizes; an odd last byte belongs to no sample.
            for (std::uint64_t size : {2 * static_cast<std::uint64_t>(n), 2 * static_cast<std::uint64_t>(n) + 1}) {
                if (size > bytes.size()) continue;
                const WaveStats want = MeasureWavePlain(bytes.data(), size);
                for (StatsPath path : kPaths) {
                    CAPTURE(p.name);
                    CAPTURE(size);
                    CAPTURE(PathName(path));
                    CheckSameStats(MeasureOn(path, bytes.data(), size), want);
                }
                CheckSameStats(MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, (size) / 2, size), want);
            }
        }
    }
}

TEST_CASE("wave stats: a DC offset long enough to pass 2^24 and to stop the sum growing") {
    // +30000 with noise: the float sum passes 2^24 after ~560 samples and stops
    // growing near 2^39 (~18 M samples), where whole blocks round back.
    struct Row { int dc; int noise; std::size_t samples; };
    const Row rows[] = {{30000, 700, 20000000}, {-25000, 3000, 2000000}, {3, 12000, 3000000}};
    for (const Row& row : rows) {
        CAPTURE(row.dc);
        const std::vector<std::uint8_t> bytes =
            Generate([&](std::size_t, XorShift& r) { return row.dc + r.Between(-row.noise, row.noise); },
                     row.samples, 99);
        const WaveStats want = MeasureWavePlain(bytes.data(), bytes.size());
        CHECK(std::fabs(want.sum) > 16777216.0f);
        for (StatsPath path : kPaths) {
            CAPTURE(PathName(path));
            CheckSameStats(MeasureOn(path, bytes.data(), bytes.size()), want);
        }
    }
}

TEST_CASE("wave stats: carrying on from a given running sum matches the plain loop") {
    // Sums at the exactness edge, in the rounding binades above it, exact
    // powers of two (narrower spacing below than above) and past the point
    // where 16-bit samples can no longer move them.
    const float starts[] = {16777215.0f, 16777216.0f, -16777216.0f, 16777218.0f, 8388608.0f + 1.0f,
                            33554432.0f, 1073741824.0f, 549755813888.0f, -549755813888.0f,
                            549755813888.0f + 65536.0f, 1099511627776.0f, 3.0e12f};
    for (const NamedPattern& p : kPatterns) {
        const std::vector<std::uint8_t> bytes = Generate(p.sample, 3000, 7);
        for (float start : starts) {
            CAPTURE(p.name);
            CAPTURE(start);
            WaveStats want;
            want.sum = start;
            AccumulateStatsPlain(want, bytes.data(), bytes.size() / 2);
            for (StatsPath path : kPaths) {
                CAPTURE(PathName(path));
                WaveStats got;
                got.sum = start;
                AccumulateStatsOn(path, got, bytes.data(), bytes.size() / 2);
                CheckSameStats(got, want);
            }
        }
    }
}

TEST_CASE("wave stats: feeding in chunks gives the same result as one call") {
    const std::vector<std::vector<std::size_t>> chunkings = {
        {1}, {3, 5}, {7, 8, 9}, {15, 16, 17}, {255, 1, 256, 257}, {1000, 31}, {4093}};
    for (const NamedPattern& p : kPatterns) {
        const std::size_t n = 20011;
        const std::vector<std::uint8_t> bytes = Generate(p.sample, n, 3);
        WaveStats whole;
        AccumulateStats(whole, bytes.data(), n);
        for (const std::vector<std::size_t>& sizes : chunkings) {
            CAPTURE(p.name);
            CAPTURE(sizes.front());
            WaveStats chunked;
            std::size_t done = 0;
            for (std::size_t i = 0; done < n; ++i) {
                const std::size_t m = std::min(sizes[i % sizes.size()], n - done);
                AccumulateStats(chunked, bytes.data() + 2 * done, m);
                done += m;
            }
            CheckSameStats(chunked, whole);
        }
    }
}

TEST_CASE("wave stats: unaligned start pointers") {
    const std::size_t n = 777;
    const std::vector<std::uint8_t> bytes = Generate(kPatterns[0].sample, n, 5);
    const WaveStats want = MeasureWavePlain(bytes.data(), bytes.size());
    std::vector<std::uint8_t> buffer(bytes.size() + 64);
    for (std::size_t offset = 0; offset < 33; ++offset) {
        CAPTURE(offset);
        std::memcpy(buffer.data() + offset, bytes.data(), bytes.size());
        for (StatsPath path : kPaths) {
            CAPTURE(PathName(path));
            CheckSameStats(MeasureOn(path, buffer.data() + offset, bytes.size()), want);
        }
    }
}

TEST_CASE("wave stats: known values") {
    struct Row {
        const char* name;
        std::vector<int> samples;
        std::uint64_t dataSize;
        double peak, nadir, smallestPositive;
        float sum, average;
    };
    const Row rows[] = {
        {"no data", {}, 0, -9999999999.0, 0.0, 9999999999.0, 0.0f, 0.0f},
        {"silence", {0, 0, 0, 0}, 8, 0.0, 0.0, 9999999999.0, 0.0f, 0.0f},
        {"all positive keeps nadir 0", {5, 3, 9}, 6, 9.0, 0.0, 3.0, 17.0f, 17.0f / 3.0f},
        {"all negative", {-5, -3, -9}, 6, -3.0, -9.0, 9999999999.0, -17.0f, -17.0f / 3.0f},
        {"extremes", {-32768, 0, 32767, 1}, 8, 32767.0, -32768.0, 1.0, 0.0f, 0.0f},
        // 7 bytes: three samples, the divisor is 3.5.
        {"odd data size", {1, 2, 3, 0x7F7F}, 7, 3.0, 0.0, 1.0, 6.0f, 6.0f / 3.5f},
        {"one odd byte", {0x1234}, 1, -9999999999.0, 0.0, 9999999999.0, 0.0f, 0.0f},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        const std::vector<std::uint8_t> bytes = ToBytes(r.samples);
        REQUIRE(bytes.size() >= r.dataSize);
        for (const WaveStats& s : {MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, (r.dataSize) / 2, r.dataSize), MeasureWavePlain(bytes.data(), r.dataSize)}) {
            CHECK(s.peak == r.peak);
            CHECK(s.nadir == r.nadir);
            CHECK(s.smallestPositive == r.smallestPositive);
            CHECK(SameBits(s.sum, r.sum));
            CHECK(SameBits(s.average, r.average));
        }
    }
}

TEST_CASE("wave stats: the float sum stops growing where the plain definition does") {
    // 2^25 + 1 samples of 1: past 2^24 each +1 is a tie that rounds back to
    // the even value, so the sum sticks at 2^24.
    const std::vector<std::uint8_t> bytes = ToBytes(std::vector<int>(16777216 + 1000, 1));
    const WaveStats s = MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, (bytes.size()) / 2, bytes.size());
    CHECK(s.sum == 16777216.0f);
    CheckSameStats(s, MeasureWavePlain(bytes.data(), bytes.size()));
}

TEST_CASE("wave stats: sums at the edge of exactness and at rounding ties") {
    struct Row { const char* name; float start; int sample; std::size_t count; };
    const Row rows[] = {
        // Partial sums reach 2^24 + 1 (a tie) and go on: only one-by-one
        // rounding gives the right answer.
        {"ones past 2^24", 16777216.0f - 30.0f, 1, 32},
        {"minus ones past -2^24", -16777216.0f + 30.0f, -1, 32},
        {"ones from 2^24 - 1", 16777215.0f, 1, 64},
        {"twos past 2^24", 16777216.0f - 60.0f, 2, 48},
        // A sample of exactly half the spacing is a tie; an odd mantissa moves.
        {"half spacing up, odd", 274877906944.0f + 32768.0f, 16384, 40},
        {"half spacing up, even", 274877906944.0f, 16384, 40},
        {"half spacing down, odd", 549755813888.0f + 65536.0f, -32768, 40},
        {"half spacing below a power of two", 549755813888.0f, -16384, 40},
        {"just under half spacing", 274877906944.0f + 32768.0f, 16383, 40},
        {"half spacing, negative sum", -274877906944.0f - 32768.0f, -16384, 40},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        const std::vector<std::uint8_t> bytes = ToBytes(std::vector<int>(r.count, r.sample));
        WaveStats want;
        want.sum = r.start;
        AccumulateStatsPlain(want, bytes.data(), r.count);
        for (StatsPath path : kPaths) {
            CAPTURE(PathName(path));
            WaveStats got;
            got.sum = r.start;
            AccumulateStatsOn(path, got, bytes.data(), r.count);
            CheckSameStats(got, want);
        }
    }
}
