#include <doctest.h>

#include <cstdint>
#include <vector>

#include "core/view/piece_marks.h"
#include "core/view/wave_summary.h"
#include "tests/common/xorshift.h"

using namespace tw;

TEST_CASE("summary ranges are the lowest and highest of exactly the samples asked for") {
    struct Row {
        SampleEncoding encoding;
        std::uint64_t count;
        int threads;
    };
    // Around the block (256, 512 for 8-bit) and coarse (64 blocks) edges.
    const Row rows[] = {
        {SampleEncoding::Pcm16, 0, 1},      {SampleEncoding::Pcm16, 1, 1},      {SampleEncoding::Pcm16, 255, 1},
        {SampleEncoding::Pcm16, 257, 2},    {SampleEncoding::Pcm16, 70000, 2},  {SampleEncoding::Pcm8, 40000, 2},
        {SampleEncoding::Pcm24, 33000, 1},  {SampleEncoding::Float32, 20000, 2}, {SampleEncoding::MuLaw, 17000, 1},
    };
    XorShift random{0x5EED};
    for (const Row& r : rows) {
        CAPTURE(static_cast<int>(r.encoding));
        CAPTURE(r.count);
        std::vector<std::uint8_t> data(static_cast<std::size_t>(r.count * ContainerBytes(r.encoding)) + 1);
        for (auto& b : data) b = static_cast<std::uint8_t>(random.Next());
        if (r.encoding == SampleEncoding::Float32)  // whole floats in range, not NaNs
            for (std::size_t i = 0; i + 4 <= data.size(); i += 4) data[i + 3] = static_cast<std::uint8_t>(0x3E + (data[i + 3] & 1));
        // Made at once, or as a load makes it: in steps as the samples arrive.
        WaveSummary summary = WaveSummary::Of(data.data(), r.encoding, r.count, r.threads);
        CHECK(summary.complete());
        if (r.threads == 1) {
            summary = WaveSummary::Start(r.encoding, r.count);
            for (std::uint64_t upTo = 0; upTo < r.count; upTo += 1 + random.Next() % 3000) summary.Extend(data.data(), upTo);
            summary.Finish(data.data());
        }
        for (int k = 0; k < 200; ++k) {
            std::uint64_t from = r.count ? random.Next() % (r.count + 1) : 0, to = r.count ? random.Next() % (r.count + 1) : 0;
            if (k % 3 == 0) to = std::min<std::uint64_t>(r.count, from + random.Next() % 600);
            if (from > to) std::swap(from, to);
            ValueRange want;
            for (std::uint64_t i = from; i < to; ++i) want.Add(SampleValue(data.data(), r.encoding, i));
            const ValueRange got = summary.Range(data.data(), from, to);
            CHECK(got.low == want.low);
            CHECK(got.high == want.high);
        }
    }
}

TEST_CASE("the summary is at most 1% of the data it sums up") {
    struct Row {
        SampleEncoding encoding;
        std::uint64_t count;
    };
    const Row rows[] = {{SampleEncoding::Pcm8, 1u << 24}, {SampleEncoding::Pcm16, 1u << 23}, {SampleEncoding::Pcm24, 1u << 22}};
    for (const Row& r : rows) {
        std::vector<std::uint8_t> data(static_cast<std::size_t>(r.count * ContainerBytes(r.encoding)));
        const WaveSummary summary = WaveSummary::Of(data.data(), r.encoding, r.count);
        CHECK(summary.MemoryBytes() * 100 <= data.size());
    }
}

TEST_CASE("columns cover the samples in order, and piece marks follow the plan") {
    // ceil(x n / W), worked by hand.
    struct Row {
        std::int64_t x;
        std::int32_t width;
        std::uint64_t count, start;
    };
    const Row rows[] = {{0, 570, 1000, 0},    {1, 570, 1000, 2},         {569, 570, 1000, 999},
                        {570, 570, 1000, 1000}, {3, 4, 2, 2},            {1, 32767, 317520000ull, 9691},
                        {-5, 570, 10, 0},      {32767, 32767, 1ull << 62, 1ull << 62}};
    for (const Row& r : rows) {
        CAPTURE(r.x);
        CHECK(ColumnStart(r.x, r.width, r.count) == r.start);
    }
    // Pieces of 1000 values at 400 and 700, the second trimmed to [450, 650).
    SavePlan plan;
    plan.uncut = {{0, 800}, {800, 600}, {1400, 600}};
    plan.save.pieces = {{0, 800}, {900, 400}, {1400, 600}};
    const PieceMarks marks = MarksOfPlan(plan, 2, 1000, 2000);
    CHECK(marks.starts == std::vector<std::uint64_t>{0, 400, 700});
    REQUIRE(marks.dropped.size() == 2);
    CHECK(marks.dropped[0].from == 400);
    CHECK(marks.dropped[0].to == 450);
    CHECK(marks.dropped[1].from == 650);
    CHECK(marks.dropped[1].to == 700);
    // At 100 columns: lines at floor(2 x 100 x 400 / 2000 - 1) = 39 and 69.
    CHECK(PieceColumns(marks, 0, 100).first == 0);
    CHECK(PieceColumns(marks, 0, 100).last == 39);
    CHECK(PieceColumns(marks, 1, 100).first == 40);
    CHECK(PieceColumns(marks, 1, 100).last == 69);
    CHECK(PieceColumns(marks, 2, 100).last == 99);
}
