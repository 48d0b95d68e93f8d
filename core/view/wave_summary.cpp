#include "core/view/wave_summary.h"

#include <algorithm>
#include <thread>

namespace tw {

namespace {

// Values decoded this many at a time: a few blocks, small enough for the cache.
constexpr std::size_t kBatch = 16 * WaveSummary::kBlockValues * 2;

ValueRange RangeOf(const std::int16_t* v, std::size_t n) {
    // Plain min/max loops, which the compiler turns into vector code.
    std::int16_t low = 32767, high = -32768;
    for (std::size_t k = 0; k < n; ++k) low = std::min(low, v[k]);
    for (std::size_t k = 0; k < n; ++k) high = std::max(high, v[k]);
    ValueRange r;
    r.low = low;
    r.high = high;
    return r;
}

// Blocks [first, last) of `fine`.
void SummariseBlocks(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t count, std::uint32_t block,
                     std::uint64_t first, std::uint64_t last, std::vector<ValueRange>& fine,
                     const std::function<void(int)>* progress, const std::function<bool()>* stop) {
    std::vector<std::int16_t> values(kBatch);
    const std::uint64_t perBatch = kBatch / block;
    int told = -1;
    for (std::uint64_t b = first; b < last; b += perBatch) {
        if (stop && *stop && (*stop)()) return;
        const std::uint64_t end = std::min(last, b + perBatch);
        const std::uint64_t from = b * block, to = std::min(count, end * block);
        ReadSamples(data, encoding, from, static_cast<std::size_t>(to - from), values.data());
        for (std::uint64_t k = b; k < end; ++k) {
            const std::uint64_t at = k * block - from;
            fine[k] = RangeOf(values.data() + at, static_cast<std::size_t>(std::min<std::uint64_t>(block, to - from - at)));
        }
        const int percent = static_cast<int>(100 * (end - first) / std::max<std::uint64_t>(1, last - first));
        if (progress && *progress && percent != told) (*progress)(told = percent);
    }
}

}  // namespace

WaveSummary WaveSummary::Of(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t count, int threads,
                            const std::function<void(int)>& progress, const std::function<bool()>& stop) {
    WaveSummary s;
    s.encoding_ = encoding;
    s.count_ = count;
    s.block_ = ContainerBytes(encoding) == 1 ? 2 * kBlockValues : kBlockValues;
    const std::uint64_t blocks = (count + s.block_ - 1) / s.block_;
    s.fine_.resize(static_cast<std::size_t>(blocks));
    // The first half on a helper, the second here (which tells the progress).
    const std::uint64_t split = threads > 1 && blocks > 4 * kFan ? blocks / 2 : 0;
    std::thread helper;
    if (split > 0)
        helper = std::thread([&] { SummariseBlocks(data, encoding, count, s.block_, 0, split, s.fine_, nullptr, &stop); });
    SummariseBlocks(data, encoding, count, s.block_, split, blocks, s.fine_, &progress, &stop);
    if (helper.joinable()) helper.join();
    if (stop && stop()) return WaveSummary();
    s.coarse_.resize(static_cast<std::size_t>((blocks + kFan - 1) / kFan));
    for (std::uint64_t b = 0; b < blocks; ++b) s.coarse_[static_cast<std::size_t>(b / kFan)].Add(s.fine_[static_cast<std::size_t>(b)]);
    s.complete_ = true;
    return s;
}

ValueRange WaveSummary::Raw(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) const {
    std::int16_t values[2 * kBlockValues];
    ValueRange r;
    for (std::uint64_t at = from; at < to;) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(to - at, 2 * kBlockValues));
        ReadSamples(data, encoding_, at, n, values);
        r.Add(RangeOf(values, n));
        at += n;
    }
    return r;
}

// Whole blocks [from, to): coarse entries where kFan of them line up.
ValueRange WaveSummary::Blocks(std::uint64_t from, std::uint64_t to) const {
    ValueRange r;
    std::uint64_t b = from;
    for (; b < to && b % kFan != 0; ++b) r.Add(fine_[static_cast<std::size_t>(b)]);
    for (; b + kFan <= to; b += kFan) r.Add(coarse_[static_cast<std::size_t>(b / kFan)]);
    for (; b < to; ++b) r.Add(fine_[static_cast<std::size_t>(b)]);
    return r;
}

ValueRange WaveSummary::Range(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) const {
    to = std::min(to, count_);
    if (from >= to) return ValueRange();
    if (!complete_) return Raw(data, from, to);
    const std::uint64_t firstWhole = (from + block_ - 1) / block_, lastWhole = to / block_;
    if (firstWhole >= lastWhole) return Raw(data, from, to);
    ValueRange r = Raw(data, from, firstWhole * block_);
    r.Add(Blocks(firstWhole, lastWhole));
    r.Add(Raw(data, lastWhole * block_, to));
    return r;
}

std::uint64_t ColumnStart(std::int64_t x, std::int32_t width, std::uint64_t count) {
    if (x <= 0 || width <= 0) return 0;
    if (x >= width) return count;
    // ceil(x * count / width) without overflow for any length.
    const unsigned __int128 product = static_cast<unsigned __int128>(x) * count;
    return static_cast<std::uint64_t>((product + static_cast<unsigned>(width) - 1) / static_cast<unsigned>(width));
}

}  // namespace tw
