#include <doctest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/wave/read_measure.h"
#include "tests/core/stats_check.h"
#include "core/wave/wave_stats.h"

using namespace tw;

namespace {

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint64_t seed, int dc, int noise) {
    std::vector<std::uint8_t> out(n);
    std::uint64_t x = seed;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        int s = dc + static_cast<int>(x % static_cast<std::uint64_t>(2 * noise + 1)) - noise;
        s = s < -32768 ? -32768 : s > 32767 ? 32767 : s;
        out[i] = static_cast<std::uint8_t>(s & 0xFF);
        out[i + 1] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
    }
    if (n % 2) out[n - 1] = static_cast<std::uint8_t>(x >> 11);
    return out;
}


// A file as the read callback sees it: hands out its bytes in order, at most
// `most` per call (0: whatever is asked), optionally failing at a byte offset.
struct FakeFile {
    const std::vector<std::uint8_t>* bytes;
    std::size_t most = 0;
    std::size_t failAt = SIZE_MAX;
    std::size_t pos = 0;
    int calls = 0;

    std::int64_t operator()(std::uint8_t* into, std::uint32_t want) {
        ++calls;
        if (pos >= failAt) return -1;
        std::size_t n = std::min<std::size_t>(want, bytes->size() - pos);
        if (most) n = std::min(n, most);
        if (failAt != SIZE_MAX) n = std::min(n, failAt - pos);
        if (n > 0) std::memcpy(into, bytes->data() + pos, n);
        pos += n;
        return static_cast<std::int64_t>(n);
    }
};

struct Case {
    std::size_t fileBytes;  // bytes of data the file holds
    std::uint32_t size;     // data size from the header
    std::uint32_t chunk;
};

// The load's contract: the block ends up as the file's bytes then zeros, and
// the measurement is the plain one over that block.
void CheckLoad(const Case& c, std::size_t most, bool concurrent, int dc) {
    const std::vector<std::uint8_t> file = Bytes(c.fileBytes, 77 + c.fileBytes, dc, 9000);
    std::vector<std::uint8_t> block(c.size, 0);
    FakeFile f{&file, most};
    const ReadMeasureResult r = ReadAndMeasure(block.data(), c.size, c.chunk, concurrent, f, [] { return false; });

    std::vector<std::uint8_t> expected(c.size, 0);
    const std::size_t read = std::min<std::size_t>(c.size, file.size());
    if (read > 0) std::memcpy(expected.data(), file.data(), read);
    CHECK(r.outcome == ReadOutcome::Complete);
    CHECK(r.bytesRead == read);
    CHECK(block == expected);
    CheckSameStats(r.stats, MeasureWavePlain(expected.data(), c.size));
}

const Case kCases[] = {
    // empty and tiny data, odd sizes
    {0, 0, 4},      {10, 0, 4},     {1, 1, 4},      {2, 2, 4},     {3, 3, 1},     {7, 7, 2},
    {7, 7, 3},      {44, 44, 44},   {45, 45, 44},   {43, 43, 44},
    // data sizes on and around piece boundaries, even and odd pieces
    {4095, 4095, 1024}, {4096, 4096, 1024}, {4097, 4097, 1024}, {8191, 8191, 4096},
    {3001, 3001, 7},    {3000, 3000, 3},    {2048, 2048, 2048}, {2049, 2049, 2048},
    {10000, 10000, 4096},
    // files shorter than their data size: the tail stays zero and is measured
    {0, 6, 4},      {1, 6, 4},      {5, 6, 4},      {4096, 8192, 1024}, {4097, 9999, 1024},
    {3, 4096, 4096}, {1023, 4096, 1024},
    // files longer than their data size: only the data size is read
    {5000, 4097, 1024}, {9, 7, 8},
    // many small pieces (dozens of handovers between the threads)
    {100003, 100003, 999}, {262144, 262144, 4096},
};

}  // namespace

TEST_CASE("read and measure: block and measurement match the plain reference") {
    for (const Case& c : kCases) {
        for (std::size_t most : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(1000)}) {
            if (most == 1 && c.size > 20000) continue;  // byte by byte only where it stays quick
            for (bool concurrent : {false, true}) {
                for (int dc : {0, 25000}) {  // 25000: the sum passes 2^24 within a piece or two
                    CAPTURE(c.fileBytes);
                    CAPTURE(c.size);
                    CAPTURE(c.chunk);
                    CAPTURE(most);
                    CAPTURE(concurrent);
                    CAPTURE(dc);
                    CheckLoad(c, most, concurrent, dc);
                }
            }
        }
    }
}

TEST_CASE("read and measure: a failed read is reported, whatever was read before it") {
    const std::vector<std::uint8_t> file = Bytes(50000, 5, 0, 20000);
    for (std::size_t failAt : {std::size_t(0), std::size_t(1), std::size_t(4096), std::size_t(4097), std::size_t(49999)}) {
        for (bool concurrent : {false, true}) {
            CAPTURE(failAt);
            CAPTURE(concurrent);
            std::vector<std::uint8_t> block(file.size(), 0);
            FakeFile f{&file, 0, failAt};
            const ReadMeasureResult r =
                ReadAndMeasure(block.data(), 50000, 4096, concurrent, f, [] { return false; });
            CHECK(r.outcome == ReadOutcome::ReadError);
            CHECK(r.bytesRead <= failAt);
        }
    }
}

TEST_CASE("read and measure: a read that claims more than it was asked for is an error") {
    std::vector<std::uint8_t> block(100, 0);
    for (bool concurrent : {false, true}) {
        const ReadMeasureResult r = ReadAndMeasure(
            block.data(), 100, 64, concurrent, [](std::uint8_t*, std::uint32_t want) -> std::int64_t { return want + 1; },
            [] { return false; });
        CHECK(r.outcome == ReadOutcome::ReadError);
    }
}

TEST_CASE("read and measure: stop is asked after every piece and ends the read") {
    const std::vector<std::uint8_t> file = Bytes(40960, 9, 0, 20000);
    for (bool concurrent : {false, true}) {
        for (int stopAfter : {1, 2, 7}) {
            CAPTURE(concurrent);
            CAPTURE(stopAfter);
            std::vector<std::uint8_t> block(file.size(), 0);
            FakeFile f{&file};
            std::atomic<int> asked{0};
            const ReadMeasureResult r = ReadAndMeasure(block.data(), 40960, 4096, concurrent, f,
                                                       [&] { return ++asked >= stopAfter; });
            CHECK(r.outcome == ReadOutcome::Stopped);
            CHECK(asked.load() == stopAfter);
            CHECK(f.calls == stopAfter);  // no read after the stop
            CHECK(r.bytesRead == 4096u * static_cast<unsigned>(stopAfter));
        }
    }
    // The last piece is not followed by a question: nothing is left to stop.
    std::vector<std::uint8_t> block(4096, 0);
    FakeFile f{&file};
    const ReadMeasureResult r = ReadAndMeasure(block.data(), 4096, 4096, true, f, [] { return true; });
    CHECK(r.outcome == ReadOutcome::Complete);
}

TEST_SUITE("threads") {
TEST_CASE("read and measure: a slow reader and a measurer that catches up with it") {
    // The measurer keeps running dry and waiting; the result must still be
    // the plain one, with every byte in place.
    const std::vector<std::uint8_t> file = Bytes(3 * 65536 + 5, 21, 31000, 1500);
    std::vector<std::uint8_t> block(file.size(), 0);
    int calls = 0;
    std::size_t pos = 0;
    const ReadMeasureResult r = ReadAndMeasure(
        block.data(), static_cast<std::uint32_t>(file.size()), 8191, true,
        [&](std::uint8_t* into, std::uint32_t want) -> std::int64_t {
            if (++calls % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            const std::size_t n = std::min<std::size_t>({want, file.size() - pos, 5003});
            std::memcpy(into, file.data() + pos, n);
            pos += n;
            return static_cast<std::int64_t>(n);
        },
        [] { return false; });
    CHECK(r.outcome == ReadOutcome::Complete);
    CHECK(block == file);
    CheckSameStats(r.stats, MeasureWavePlain(file.data(), file.size()));
}
}
