// The lowest and highest value of every stretch of a recording, made once at
// load so that each column of the graph can show the whole range of the
// samples it covers at any zoom, on any length, without reading them all
// again: a peak or a pause between two columns' first samples is never lost.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/wave/sample_format.h"

namespace tw {

struct ValueRange {
    std::int16_t low = 32767;   // low > high: no sample
    std::int16_t high = -32768;
    bool empty() const { return low > high; }
    void Add(std::int16_t v) {
        if (v < low) low = v;
        if (v > high) high = v;
    }
    void Add(const ValueRange& r) {
        if (r.low < low) low = r.low;
        if (r.high > high) high = r.high;
    }
};

class WaveSummary {
public:
    // Blocks of this many values make the fine level (twice as many for
    // 8-bit samples, so the summary stays under 1% of the data), and
    // kFan blocks one entry of the coarse level.
    static constexpr std::uint32_t kBlockValues = 256;
    static constexpr std::uint32_t kFan = 64;

    WaveSummary() = default;
    // The summary of `count` values of `data`. `threads` split the work (the
    // block ranges are independent); progress(percent) is told as it goes,
    // from the calling thread only; stop() gives up (empty summary).
    static WaveSummary Of(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t count, int threads = 1,
                          const std::function<void(int)>& progress = nullptr,
                          const std::function<bool()>& stop = nullptr);

    // The same made as the samples arrive (a load measuring them): sized for
    // `count` values, the blocks wholly inside the first upTo values summed
    // by each Extend (in rising order), the rest and the coarse level by
    // Finish once all are there.
    static WaveSummary Start(SampleEncoding encoding, std::uint64_t count);
    void Extend(const std::uint8_t* data, std::uint64_t upTo);
    void Finish(const std::uint8_t* data);

    std::uint64_t count() const { return count_; }
    bool complete() const { return complete_; }
    // Lowest and highest value of values [from, to) of the same data.
    ValueRange Range(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) const;
    std::size_t MemoryBytes() const { return (fine_.size() + coarse_.size()) * sizeof(ValueRange); }

private:
    SampleEncoding encoding_ = SampleEncoding::Pcm16;
    std::uint64_t count_ = 0;
    std::uint32_t block_ = kBlockValues;
    bool complete_ = false;
    std::uint64_t summed_ = 0;  // blocks done by Extend
    std::vector<ValueRange> fine_;    // one per block
    std::vector<ValueRange> coarse_;  // one per kFan blocks
    ValueRange Raw(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) const;
    ValueRange Blocks(std::uint64_t from, std::uint64_t to) const;
};

// The values graph column x of `width` covers: those whose column
// floor(i * width / count) is x, i.e. [ColumnStart(x), ColumnStart(x + 1)).
std::uint64_t ColumnStart(std::int64_t x, std::int32_t width, std::uint64_t count);

}  // namespace tw
