// Reading a data chunk into its block piece by piece while the calling thread
// measures what has already landed, so the measurement (a sequential
// single-precision sum, often the slow part) hides behind the read instead of
// following it. Header-only: the read is a callback, so tests drive it with
// plain bytes and the shell with ReadFile.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <system_error>
#include <thread>

#include "core/wave/wave_stats.h"

namespace tw {

enum class ReadOutcome {
    Complete,   // read to the data size or to the end of the file
    ReadError,  // a read failed; nothing measured is meaningful
    Stopped,    // stop() asked to give up
};

struct ReadMeasureResult {
    ReadOutcome outcome = ReadOutcome::Complete;
    std::uint64_t bytesRead = 0;  // from the start of the block; the rest is left as it was
    WaveStats stats;              // finished over the whole size when Complete
};

namespace read_measure_detail {

// Reads consecutive pieces of at most chunkBytes from the start of the block,
// calling landed(bytes read so far) after each piece. A piece shorter than
// asked for is the end of the file.
template <class Read, class Stop, class Landed>
ReadOutcome ReadPieces(std::uint8_t* block, std::uint64_t size, std::uint32_t chunkBytes, Read& read, Stop& stop,
                       Landed&& landed, std::uint64_t& filled) {
    while (filled < size) {
        const std::uint32_t want = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkBytes, size - filled));
        std::uint32_t got = 0;
        while (got < want) {
            const std::int64_t n = read(block + filled + got, want - got);
            if (n < 0 || n > static_cast<std::int64_t>(want - got)) return ReadOutcome::ReadError;
            if (n == 0) break;
            got += static_cast<std::uint32_t>(n);
        }
        filled += got;
        landed(filled);
        if (got < want) return ReadOutcome::Complete;
        if (filled < size && stop()) return ReadOutcome::Stopped;
    }
    return ReadOutcome::Complete;
}

}  // namespace read_measure_detail

// Fills block[0, size) from read(into, want) -> bytes placed (0 at the end of
// the file, < 0 on an error), in pieces of at most chunkBytes (> 0), and
// measures all floor(size / 2) samples: those read, then whatever the block
// holds beyond the end of the file (zeros when it came zero-filled). The
// result is bit-identical to MeasureWavePlain over the block as it ends up.
//
// With `concurrent`, read and stop run on a second thread while this one
// measures; read is never called concurrently with itself and always for the
// next range in order. stop() is asked after each piece but the last.
//
// Samples of another encoding are measured as their values on the 16-bit
// scale: floor(size / ContainerBytes) of them, averaged over twice that.
namespace read_measure_detail {

// Reads on a second thread while this one measures what has landed; false
// when no second thread is to be had (nothing has been read then).
//
// Plain atomics and a 1 ms sleep rather than a condition variable: under
// Wine every blocking wait and wake is a round trip to the server, which on
// a busy machine costs more than the pieces. Not shorter: MinGW rounds a
// sleep below 1 ms down to a yield, and a yielding measurer takes the CPU the
// reader needs.
template <class Read, class Stop, class Measure>
bool ReadAlongside(std::uint8_t* block, std::uint64_t size, std::uint32_t chunkBytes, std::uint32_t sampleBytes,
                   Read& read, Stop& stop, Measure& measureTo, const std::uint64_t& measured, std::uint64_t& filled,
                   ReadOutcome* outcome) {
    std::atomic<std::uint64_t> landed{0};
    std::atomic<bool> finished{false};
    ReadOutcome result = ReadOutcome::Complete;  // published by `finished`
    std::thread reader;
    try {
        reader = std::thread([&] {
            result = ReadPieces(block, size, chunkBytes, read, stop,
                                [&](std::uint64_t bytes) { landed.store(bytes, std::memory_order_release); }, filled);
            finished.store(true, std::memory_order_release);
        });
    } catch (const std::system_error&) {
        return false;
    }
    for (;;) {
        // `finished` first: once it is seen, `landed` is final.
        const bool last = finished.load(std::memory_order_acquire);
        const std::uint64_t upTo = landed.load(std::memory_order_acquire);
        if (last) {
            if (result == ReadOutcome::Complete) measureTo(upTo);
            break;
        }
        if (upTo / sampleBytes > measured)
            measureTo(upTo);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    reader.join();
    *outcome = result;
    return true;
}

}  // namespace read_measure_detail

// measuredTo(n), when given, is told after each step that the first n
// samples are measured: more work on them while they are in the cache.
template <class Read, class Stop>
ReadMeasureResult ReadAndMeasure(std::uint8_t* block, std::uint64_t size, std::uint32_t chunkBytes, bool concurrent,
                                 Read&& read, Stop&& stop, SampleEncoding encoding = SampleEncoding::Pcm16,
                                 const std::function<void(std::uint64_t)>& measuredTo = nullptr) {
    using read_measure_detail::ReadPieces;
    ReadMeasureResult result;
    const std::uint32_t sampleBytes = ContainerBytes(encoding);
    std::uint64_t measured = 0;  // samples
    auto measureTo = [&](std::uint64_t bytes) {
        const std::uint64_t ready = bytes / sampleBytes;
        if (ready > measured)
            AccumulateEncodedStats(result.stats, block, encoding, measured, static_cast<std::size_t>(ready - measured));
        measured = std::max(measured, ready);
        if (measuredTo) measuredTo(measured);
    };

    std::uint64_t filled = 0;
    const bool alongside = concurrent && read_measure_detail::ReadAlongside(block, size, chunkBytes, sampleBytes, read, stop,
                                                                            measureTo, measured, filled, &result.outcome);
    if (!alongside) result.outcome = ReadPieces(block, size, chunkBytes, read, stop, measureTo, filled);

    result.bytesRead = filled;
    if (result.outcome == ReadOutcome::Complete) {
        measureTo(size);  // the tail beyond a short file
        FinishStats(result.stats, encoding == SampleEncoding::Pcm16 ? size : 2 * measured);
    }
    return result;
}

}  // namespace tw
