// The graph's summary: what making it once at load adds to the drop (1 GiB of
// 16-bit samples, already in memory as after the measurement), its size
// against the data, and a whole redraw's ranges at every zoom width.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <vector>

#include "core/view/wave_summary.h"
#include "tests/common/xorshift.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
    const std::uint64_t bytes = 1ull << 30, count = bytes / 2;
    std::vector<std::uint8_t> data(bytes);
    tw::XorShift random{0x5EED};
    for (std::uint64_t i = 0; i < bytes; i += 8) {
        const std::uint64_t v = random.Next();
        for (int k = 0; k < 8; ++k) data[i + k] = static_cast<std::uint8_t>(v >> (8 * k));
    }
    // CPU time beside the wall clock: on a busy machine the first is what the
    // pass costs a core of its own.
    for (int threads : {1, 2}) {
        const auto start = std::chrono::steady_clock::now();
        const std::clock_t cpu = std::clock();
        const tw::WaveSummary summary = tw::WaveSummary::Of(data.data(), tw::SampleEncoding::Pcm16, count, threads);
        std::printf("summary of 1 GiB, %d thread(s): %.3f s (%.3f s of CPU), %.2f MiB (%.2f%% of the data)\n", threads,
                    Seconds(start), static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC, summary.MemoryBytes() / 1048576.0,
                    100.0 * summary.MemoryBytes() / bytes);
    }
    const tw::WaveSummary summary = tw::WaveSummary::Of(data.data(), tw::SampleEncoding::Pcm16, count, 2);
    for (int width = 570; width <= 32767; width = width * 3 / 2 > 32767 && width < 32767 ? 32767 : width * 3 / 2) {
        const auto start = std::chrono::steady_clock::now();
        std::int64_t sink = 0;
        for (int x = 0; x < width; ++x) {
            const tw::ValueRange r =
                summary.Range(data.data(), tw::ColumnStart(x, width, count), tw::ColumnStart(x + 1, width, count));
            sink += r.high - r.low;
        }
        std::printf("ranges of %5d columns: %.4f s (%lld)\n", width, Seconds(start), static_cast<long long>(sink % 7));
        if (width == 32767) break;
    }
    return 0;
}
