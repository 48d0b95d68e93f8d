// Speed of the one-pass measurement against the plain per-sample loop on
// 1 GiB of samples in memory. Prints GB/s, the ratio, and MISMATCH (exit 1)
// if the two ever disagree in a single bit.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "core/wave/wave_stats.h"
#include "tests/common/xorshift.h"

using namespace tw;

namespace {

constexpr std::size_t kBytes = std::size_t(1) << 30;
constexpr std::size_t kSamples = kBytes / 2;


// A 440 Hz tone at 44.1 kHz plus differentiated white noise (no DC content,
// like recorded audio after the usual high-pass), offset by `dc`.
void FillAudio(std::vector<std::uint8_t>& bytes, int dc, int noise) {
    std::vector<int> sine(4096);
    for (std::size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int>(std::lround(12000.0 * std::sin(2.0 * 3.141592653589793 * i / 4096.0)));
    const std::uint32_t step = static_cast<std::uint32_t>(440.0 / 44100.0 * 4294967296.0);
    std::uint32_t phase = 0;
    XorShift rng{0x9E3779B97F4A7C15ull};
    int previous = 0;
    for (std::size_t k = 0; k < kSamples; ++k) {
        const int r = rng.Between(-noise, noise);
        int s = dc + sine[phase >> 20] + (r - previous);
        previous = r;
        phase += step;
        s = std::min(32767, std::max(-32768, s));
        const unsigned u = static_cast<unsigned>(s) & 0xFFFFu;
        bytes[2 * k] = static_cast<std::uint8_t>(u & 0xFF);
        bytes[2 * k + 1] = static_cast<std::uint8_t>(u >> 8);
    }
}

double BestSeconds(const std::function<WaveStats()>& run, WaveStats& result) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        result = run();
        const auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    return best;
}

bool SameBits(const WaveStats& a, const WaveStats& b) {
    return std::memcmp(&a.peak, &b.peak, 8) == 0 && std::memcmp(&a.nadir, &b.nadir, 8) == 0 &&
           std::memcmp(&a.smallestPositive, &b.smallestPositive, 8) == 0 && std::memcmp(&a.sum, &b.sum, 4) == 0 &&
           std::memcmp(&a.average, &b.average, 4) == 0;
}

const char* PathName(StatsPath p) {
    return p == StatsPath::Avx2 ? "avx2" : p == StatsPath::Sse2 ? "sse2" : "scalar";
}

}  // namespace

int main() {
    struct Case { const char* name; int dc; int noise; };
    const Case cases[] = {
        {"zero-mean audio (tone + noise)", 0, 3000},
        {"large DC offset (+20000)", 20000, 2000},
        {"small DC offset (+5)", 5, 3000},
    };
    std::vector<std::uint8_t> bytes(kBytes);
    const double gb = static_cast<double>(kBytes) / 1e9;
    std::printf("1 GiB of 16-bit samples in memory; best of 3; widest path here: %s\n",
                PathName(BestStatsPath()));
    bool ok = true;
    for (const Case& c : cases) {
        FillAudio(bytes, c.dc, c.noise);
        WaveStats plain, fast, sse2;
        const double tPlain = BestSeconds([&] { return MeasureWavePlain(bytes.data(), kBytes); }, plain);
        const double tFast = BestSeconds([&] { return MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, kBytes / 2, kBytes); }, fast);
        const double tSse2 = BestSeconds(
            [&] {
                WaveStats s;
                AccumulateStatsOn(StatsPath::Sse2, s, bytes.data(), kSamples);
                FinishStats(s, kBytes);
                return s;
            },
            sse2);
        std::printf("%s: sum %.0f average %g peak %.0f nadir %.0f\n", c.name, plain.sum, plain.average, plain.peak,
                    plain.nadir);
        std::printf("  plain      %7.3f s %6.2f GB/s\n", tPlain, gb / tPlain);
        std::printf("  MeasureWave%7.3f s %6.2f GB/s  x%.1f\n", tFast, gb / tFast, tPlain / tFast);
        std::printf("  sse2 only  %7.3f s %6.2f GB/s  x%.1f\n", tSse2, gb / tSse2, tPlain / tSse2);
        if (!SameBits(plain, fast) || !SameBits(plain, sse2)) {
            std::printf("MISMATCH: sums %.9g / %.9g / %.9g\n", plain.sum, fast.sum, sse2.sum);
            ok = false;
        }
    }
    // The same audio as 24-bit samples, 1 GiB of them: read through the
    // sample reader a block at a time; must match the 16-bit measurement of
    // the values bit for bit.
    FillAudio(bytes, 0, 3000);
    const std::size_t samples24 = kBytes / 3;
    std::vector<std::uint8_t> wide(3 * samples24);
    for (std::size_t k = 0; k < samples24; ++k) {
        wide[3 * k] = static_cast<std::uint8_t>(k * 37);  // low bits a recorder would have
        wide[3 * k + 1] = bytes[2 * k];
        wide[3 * k + 2] = bytes[2 * k + 1];
    }
    WaveStats wide16, wide24;
    const double t16 = BestSeconds([&] { return MeasureEncodedWave(bytes.data(), SampleEncoding::Pcm16, samples24, 2 * samples24); }, wide16);
    const double t24 =
        BestSeconds([&] { return MeasureEncodedWave(wide.data(), SampleEncoding::Pcm24, samples24, 2 * samples24); }, wide24);
    std::printf("24-bit, %zu samples (1 GiB): %7.3f s %6.2f GB/s of 24-bit data (16-bit values alone: %.3f s)\n",
                samples24, t24, static_cast<double>(wide.size()) / 1e9 / t24, t16);
    if (!SameBits(wide16, wide24)) {
        std::printf("MISMATCH 24-bit: sums %.9g / %.9g\n", wide16.sum, wide24.sum);
        ok = false;
    }
    return ok ? 0 : 1;
}
