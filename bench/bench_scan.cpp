// Silence scan speed: the vector scan against the plain one-sample-at-a-time
// walk on 1 GiB of data, with identical results required.
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/cut/auto_cut.h"
#include "tests/common/xorshift.h"

namespace {

constexpr std::uint32_t kBytes = 1u << 30;
constexpr int kRate = 44100;

void Put(std::uint8_t* p, std::size_t i, int v) {
    auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    p[2 * i] = static_cast<std::uint8_t>(u & 0xff);
    p[2 * i + 1] = static_cast<std::uint8_t>(u >> 8);
}

// Bursts of noise or tone (0.2 to 2 s) and pauses of near silence (0.1 to
// 0.8 s), like someone talking with breaks.
void FillSpeechLike(std::uint8_t* p, std::size_t count) {
    tw::XorShift rng{0x9e3779b97f4a7c15ull};
    std::size_t i = 0;
    bool burst = true;
    while (i < count) {
        std::size_t len = burst ? rng.Between(kRate / 5, 2 * kRate) : rng.Between(kRate / 10, 4 * kRate / 5);
        if (len > count - i) len = count - i;
        if (!burst) {
            for (std::size_t k = 0; k < len; ++k) Put(p, i + k, rng.Between(-40, 40));
        } else if (rng.Between(0, 1) == 0) {
            int amplitude = rng.Between(3000, 20000);
            for (std::size_t k = 0; k < len; ++k) Put(p, i + k, rng.Between(-amplitude, amplitude));
        } else {
            double freq = rng.Between(120, 400);
            double amplitude = rng.Between(3000, 20000);
            double stepPhase = 2 * 3.141592653589793 * freq / kRate;
            double c = std::cos(stepPhase), s = std::sin(stepPhase), re = 1, im = 0;
            for (std::size_t k = 0; k < len; ++k) {
                Put(p, i + k, static_cast<int>(amplitude * im) + rng.Between(-200, 200));
                double nre = re * c - im * s;
                im = re * s + im * c;
                re = nre;
                if ((k & 1023) == 0) {  // keep the rotation on the unit circle
                    double norm = std::sqrt(re * re + im * im);
                    re /= norm;
                    im /= norm;
                }
            }
        }
        i += len;
        burst = !burst;
    }
}

// 441 Hz at 44100 Hz: exactly 100 samples per period.
void FillTone(std::uint8_t* p, std::size_t count, int amplitude) {
    int period[100];
    for (int k = 0; k < 100; ++k)
        period[k] = static_cast<int>(std::lround(amplitude * std::sin(2 * 3.141592653589793 * (k + 0.5) / 100)));
    for (std::size_t i = 0; i < count; ++i) Put(p, i, period[i % 100]);
}

using Scan = std::vector<tw::AutoCut> (*)(const std::uint8_t*, std::uint64_t, std::int32_t, double);

double Time(Scan scan, const std::uint8_t* p, std::int32_t width, double threshold, int repeats,
            std::vector<tw::AutoCut>* cuts) {
    double best = 1e30;
    for (int r = 0; r < repeats; ++r) {
        auto start = std::chrono::steady_clock::now();
        *cuts = scan(p, kBytes, width, threshold);
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (s < best) best = s;
    }
    return best;
}

bool Same(const std::vector<tw::AutoCut>& a, const std::vector<tw::AutoCut>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].position != b[i].position || a[i].column != b[i].column) return false;
    return true;
}

bool Run(const char* name, const std::uint8_t* p, std::int32_t width, double threshold) {
    std::vector<tw::AutoCut> plain, fast;
    double tPlain = Time(tw::ScanForCutsPlain, p, width, threshold, 1, &plain);
    double tFast = Time(tw::ScanForCuts, p, width, threshold, 3, &fast);
    double gb = kBytes / 1e9;
    bool same = Same(plain, fast);
    std::printf("%-34s W=%-5d T=%-6g cuts=%-4zu plain %.3f s %6.2f GB/s | vector %.4f s %7.2f GB/s | x%.1f %s\n",
                name, width, threshold, plain.size(), tPlain, gb / tPlain, tFast, gb / tFast, tPlain / tFast,
                same ? "same" : "MISMATCH");
    return same;
}

}  // namespace

int main() {
    std::vector<std::uint8_t> buffer(kBytes);
    std::uint8_t* p = buffer.data();
    const std::size_t count = kBytes / 2;
    bool ok = true;

    FillSpeechLike(p, count);
    // Most of the data lies inside stretched runs that the vector scan jumps over.
    ok &= Run("speech-like", p, 2000, 300);
    ok &= Run("speech-like, wide graph", p, 1000000, 300);

    FillTone(p, count, 10000);
    ok &= Run("tone, all quiet (run never ends)", p, 570, 12000);
    ok &= Run("tone, nothing quiet", p, 2000, 100);

    if (!ok) {
        std::printf("results differ\n");
        return 1;
    }
    return 0;
}
