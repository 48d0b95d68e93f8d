#include "core/view/wave_summary.h"

#include <algorithm>
#include <cstring>
#include <thread>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace tw {

namespace {

// Values decoded this many at a time: a few blocks, small enough for the cache.
constexpr std::size_t kBatch = 16 * WaveSummary::kBlockValues * 2;

// Lowest and highest of n 16-bit little-endian values at p (any alignment):
// eight at a time where the machine has the vector unit every x86-64 has.
ValueRange RangeOf(const void* bytes, std::size_t n) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    ValueRange r;
    std::size_t k = 0;
#if (defined(__SSE2__) || defined(_M_X64)) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    if (n >= 8) {
        __m128i low = _mm_set1_epi16(32767), high = _mm_set1_epi16(-32768);
        for (; k + 8 <= n; k += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * k));
            low = _mm_min_epi16(low, v);
            high = _mm_max_epi16(high, v);
        }
        std::int16_t lows[8], highs[8];
        std::memcpy(lows, &low, sizeof lows);
        std::memcpy(highs, &high, sizeof highs);
        for (int i = 0; i < 8; ++i) {
            r.Add(lows[i]);
            r.Add(highs[i]);
        }
    }
#endif
    for (; k < n; ++k) {
        std::int16_t v;
        std::memcpy(&v, p + 2 * k, sizeof v);
        r.Add(v);
    }
    return r;
}

// Blocks [first, last) of `fine`.
void SummariseBlocks(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t count, std::uint32_t block,
                     std::uint64_t first, std::uint64_t last, std::vector<ValueRange>& fine,
                     const std::function<void(int)>* progress, const std::function<bool()>* stop) {
    std::vector<std::int16_t> values(kBatch);
    const std::uint64_t perBatch = kBatch / block;
    // 16-bit samples are read where they are; others decoded a batch at a time.
    const bool direct = encoding == SampleEncoding::Pcm16;
    int told = -1;
    for (std::uint64_t b = first; b < last; b += perBatch) {
        if (stop && *stop && (*stop)()) return;
        const std::uint64_t end = std::min(last, b + perBatch);
        const std::uint64_t from = b * block, to = std::min(count, end * block);
        const std::uint8_t* batch = data + 2 * from;
        if (!direct) {
            ReadSamples(data, encoding, from, static_cast<std::size_t>(to - from), values.data());
            batch = reinterpret_cast<const std::uint8_t*>(values.data());
        }
        for (std::uint64_t k = b; k < end; ++k) {
            const std::uint64_t at = k * block - from;
            fine[k] = RangeOf(batch + 2 * at, static_cast<std::size_t>(std::min<std::uint64_t>(block, to - from - at)));
        }
        const int percent = static_cast<int>(100 * (end - first) / std::max<std::uint64_t>(1, last - first));
        if (progress && *progress && percent != told) (*progress)(told = percent);
    }
}

}  // namespace

WaveSummary WaveSummary::Start(SampleEncoding encoding, std::uint64_t count) {
    WaveSummary s;
    s.encoding_ = encoding;
    s.count_ = count;
    s.block_ = ContainerBytes(encoding) == 1 ? 2 * kBlockValues : kBlockValues;
    s.fine_.resize(static_cast<std::size_t>((count + s.block_ - 1) / s.block_));
    return s;
}

void WaveSummary::Extend(const std::uint8_t* data, std::uint64_t upTo) {
    const std::uint64_t whole = std::min<std::uint64_t>(upTo, count_) / block_;
    if (whole <= summed_) return;
    SummariseBlocks(data, encoding_, count_, block_, summed_, whole, fine_, nullptr, nullptr);
    summed_ = whole;
}

void WaveSummary::Finish(const std::uint8_t* data) {
    const std::uint64_t blocks = fine_.size();
    if (summed_ < blocks) SummariseBlocks(data, encoding_, count_, block_, summed_, blocks, fine_, nullptr, nullptr);
    summed_ = blocks;
    coarse_.assign(static_cast<std::size_t>((blocks + kFan - 1) / kFan), ValueRange());
    for (std::uint64_t b = 0; b < blocks; ++b) coarse_[static_cast<std::size_t>(b / kFan)].Add(fine_[static_cast<std::size_t>(b)]);
    complete_ = true;
}

WaveSummary WaveSummary::Of(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t count, int threads,
                            const std::function<void(int)>& progress, const std::function<bool()>& stop) {
    WaveSummary s = Start(encoding, count);
    const std::uint64_t blocks = s.fine_.size();
    // The first half on a helper, the second here (which tells the progress).
    const std::uint64_t split = threads > 1 && blocks > 4 * kFan ? blocks / 2 : 0;
    std::thread helper;
    if (split > 0)
        helper = std::thread([&] { SummariseBlocks(data, encoding, count, s.block_, 0, split, s.fine_, nullptr, &stop); });
    SummariseBlocks(data, encoding, count, s.block_, split, blocks, s.fine_, &progress, &stop);
    if (helper.joinable()) helper.join();
    if (stop && stop()) return WaveSummary();
    s.summed_ = blocks;
    s.Finish(data);
    return s;
}

ValueRange WaveSummary::Raw(const std::uint8_t* data, std::uint64_t from, std::uint64_t to) const {
    if (encoding_ == SampleEncoding::Pcm16) return RangeOf(data + 2 * from, static_cast<std::size_t>(to - from));
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
