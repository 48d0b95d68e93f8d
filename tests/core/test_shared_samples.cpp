// The shell holds the loaded samples as a shared pointer to an immutable
// block: workers take their own copy of the pointer and measure or scan it
// while a new load swaps in another block. Each reader must keep getting the
// results of the block it took, and the number text routines must give the
// same answers on every thread at once.
#include <doctest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/cut/auto_cut.h"
#include "core/support/number_text.h"
#include "core/wave/shared_holder.h"
#include "core/wave/wave_stats.h"

using namespace tw;

namespace {

struct LoadedSamples {
    int id;
    std::vector<std::uint8_t> bytes;
};
using SamplesPtr = std::shared_ptr<const LoadedSamples>;

// What the main window keeps its recording in.
using CurrentSamples = SharedHolder<LoadedSamples>;

// Tone bursts separated by silences whose length and level depend on the id,
// so every block measures and scans differently.
std::vector<std::uint8_t> MakeBytes(int id) {
    std::vector<std::uint8_t> bytes;
    const int count = 3000 + 500 * id + (id % 2);  // odd ids leave an odd byte
    for (int i = 0; i < count; ++i) {
        const int period = 400 + 60 * id;
        const bool loud = (i % period) < period - 120 - 10 * id;
        int s = loud ? static_cast<int>((8000 + 3000 * id) * std::sin(i * (0.05 + 0.01 * id))) : (i % 7) - 3;
        s += id * 11;  // a different DC offset per block
        const auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(s));
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    if (id % 2) bytes.push_back(0x7F);
    return bytes;
}

SamplesPtr MakeSamples(int id) {
    auto block = std::make_shared<LoadedSamples>();
    block->id = id;
    block->bytes = MakeBytes(id);
    return block;
}

struct Expected {
    WaveStats stats;
    std::vector<AutoCut> cuts;
};

bool SameStats(const WaveStats& a, const WaveStats& b) {
    return a.peak == b.peak && a.nadir == b.nadir && a.smallestPositive == b.smallestPositive &&
           std::memcmp(&a.sum, &b.sum, sizeof a.sum) == 0 && std::memcmp(&a.average, &b.average, sizeof a.average) == 0;
}

bool SameCuts(const std::vector<AutoCut>& a, const std::vector<AutoCut>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].position != b[i].position || a[i].column != b[i].column) return false;
    return true;
}

constexpr int kBlocks = 5;
constexpr std::int32_t kWidth = 2000;
constexpr double kThreshold = 200;

}  // namespace

TEST_SUITE("threads") {

TEST_CASE("shared samples: readers keep the results of the block they took while loads replace it") {
    std::vector<Expected> expected(kBlocks);
    for (int id = 0; id < kBlocks; ++id) {
        const std::vector<std::uint8_t> bytes = MakeBytes(id);
        const auto size = static_cast<std::uint32_t>(bytes.size());
        expected[id].stats = MeasureWavePlain(bytes.data(), size);
        expected[id].cuts = ScanForCutsPlain(bytes.data(), size, kWidth, kThreshold);
    }
    // The blocks must differ, or a reader that saw the wrong one could pass.
    for (int id = 1; id < kBlocks; ++id) REQUIRE_FALSE(SameStats(expected[id].stats, expected[0].stats));
    REQUIRE(!expected[0].cuts.empty());

    CurrentSamples current;
    current.Set(MakeSamples(0));
    std::atomic<bool> loading{true};
    std::atomic<int> mismatches{0};
    std::atomic<int> readings{0};

    auto reader = [&](int kind) {
        int done = 0;
        while (loading.load() || done < 20) {
            const SamplesPtr mine = current.Get();
            const auto size = static_cast<std::uint32_t>(mine->bytes.size());
            const Expected& want = expected[static_cast<std::size_t>(mine->id)];
            // Measuring (the load), scanning (auto cutting), both (the graph).
            if (kind != 1 && !SameStats(MeasureEncodedWave(mine->bytes.data(), SampleEncoding::Pcm16, (size) / 2, size), want.stats)) ++mismatches;
            if (kind != 0 && !SameCuts(ScanForCuts(mine->bytes.data(), size, kWidth, kThreshold), want.cuts))
                ++mismatches;
            // Still the same block after a newer load may have replaced it.
            if (mine->bytes != MakeBytes(mine->id)) ++mismatches;
            ++done;
            ++readings;
        }
    };

    std::vector<std::thread> threads;
    for (int kind = 0; kind < 3; ++kind) threads.emplace_back(reader, kind);
    std::thread writer([&] {
        for (int load = 1; load <= 60; ++load) {
            if (load % 2) {
                current.Set(MakeSamples(load % kBlocks));
            } else {
                // As the loader swaps its own copy in: only over what it put there.
                const SamplesPtr seen = current.Get();
                if (!current.Replace(seen, MakeSamples(load % kBlocks))) ++mismatches;
                if (current.Replace(seen, nullptr)) ++mismatches;
            }
            std::this_thread::yield();
        }
        loading = false;
    });
    writer.join();
    for (auto& t : threads) t.join();

    CHECK(mismatches.load() == 0);
    CHECK(readings.load() >= 60);
    // The last load is what is held now; every older block has been freed by
    // its last user (the shared pointer is the only owner left).
    const SamplesPtr last = current.Get();
    CHECK(last->id == 60 % kBlocks);
    CHECK(last.use_count() == 2);
}

TEST_CASE("shared samples: number text is the same on every thread at once") {
    const std::vector<double> values = {0.0, -0.0, 1.0 / 3, -1.0 / 7, 32767, -32768, 44100, 0.00012345, 1e-100,
                                        1e20, 123456789012345.0, 9.99999999999999, std::sqrt(113.0),
                                        std::nan(""), HUGE_VAL, -HUGE_VAL, 4.9e-324, 0.1 + 0.2, 9999999999.0};
    const std::vector<std::string> texts = {"  42", "\t7", "-5", "3.25", ".5", "-.5", "0.15", "12abc", "1e5",
                                            "&H1A2B", "&o777", "-&H10", "&HFFFFFFFFFFFFFFFFF", "--5",
                                            std::string(400, '9'), "0.000099999"};
    std::vector<std::string> formatted;
    for (double v : values) formatted.push_back(FormatNumber(v));
    std::vector<double> parsed;
    for (const std::string& t : texts) parsed.push_back(ParseNumber(t));

    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                // Threads walk the tables from different places so that the
                // same and different calls overlap.
                for (std::size_t k = 0; k < values.size(); ++k) {
                    const std::size_t i = (k + static_cast<std::size_t>(t * 5 + round)) % values.size();
                    if (FormatNumber(values[i]) != formatted[i]) ++mismatches;
                }
                for (std::size_t k = 0; k < texts.size(); ++k) {
                    const std::size_t i = (k + static_cast<std::size_t>(t * 3 + round)) % texts.size();
                    const double v = ParseNumber(texts[i]);
                    if (std::memcmp(&v, &parsed[i], sizeof v) != 0) ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    CHECK(mismatches.load() == 0);
    CHECK(formatted[2] == "0.333333333333333");
    CHECK(parsed[9] == 6699);
}

}  // TEST_SUITE("threads")
