#include "core/cut/auto_cut.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "core/support/little_endian.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && !defined(_WIN32) && !defined(TW_NO_AVX2) && (defined(__GNUC__) || defined(__clang__))
// MinGW does not align the stack for AVX spills, so the wide path is kept off
// Windows builds; the SSE2 one is the baseline there.
#define TW_AUTO_CUT_AVX2 1
#include <immintrin.h>
#endif

namespace tw {

namespace {

std::int32_t SampleAt(const std::uint8_t* samples, std::int64_t i) {
    return ReadLeS16(samples + 2 * i);
}

// The constants of one scan. Both scans decide every cut with these
// functions so that their results cannot drift apart.
struct ScanSetup {
    std::int64_t count = 0;    // n, samples
    std::int32_t threshold = 0;
    double columnsPerSample = 0;  // 2W / (D - 1)
};

// False when no cut can be placed at all, whatever the samples.
bool PrepareScan(std::uint64_t dataSize, std::int32_t width, double threshold, ScanSetup* setup) {
    if (!(threshold > -2147483649.0 && threshold < 2147483648.0)) return false;
    setup->threshold = static_cast<std::int32_t>(threshold);
    setup->count = static_cast<std::int64_t>(dataSize / 2);
    // A run needs a quiet sample after sample 0 and a loud one after it.
    if (setup->count < 3) return false;
    setup->columnsPerSample = 2.0 * width / (static_cast<double>(dataSize) - 1);
    return true;
}

std::int32_t CutColumn(std::int64_t midpoint, double columnsPerSample) {
    double x = std::floor(static_cast<double>(midpoint) * columnsPerSample);
    if (!(x > -2147483648.0)) return x < 0 ? INT32_MIN : 0;
    if (x >= 2147483647.0) return INT32_MAX;
    return static_cast<std::int32_t>(x);
}

std::int64_t Midpoint(std::int64_t start, std::int64_t end) {
    return start + (end - start) / 2;
}

bool TooClose(std::int32_t column, double lastCutColumn) {
    return static_cast<double>(column) < lastCutColumn + 10;
}

// The rules one sample at a time; sampleAt(i) is asked for i = 1, 2, ... in
// order, each at most twice, and for i + 1 just before i + 1 comes next.
template <class SampleAtFn>
std::vector<AutoCut> ScanPlain(std::uint64_t dataSize, std::int32_t width, double threshold, SampleAtFn&& sampleAt) {
    std::vector<AutoCut> cuts;
    ScanSetup setup;
    if (!PrepareScan(dataSize, width, threshold, &setup)) return cuts;
    const std::int64_t n = setup.count;
    const std::int64_t t = setup.threshold;
    std::int64_t runStart = -1;
    double lastCutColumn = 0;
    for (std::int64_t i = 1; i < n; ++i) {
        std::int64_t s = sampleAt(i);
        std::int64_t magnitude = s < 0 ? -s : s;
        if (magnitude < t) {
            if (runStart < 0 && i + 1 < n && sampleAt(i + 1) < t) runStart = i;
        } else if (magnitude > t && runStart >= 0) {
            std::int64_t m = Midpoint(runStart, i);
            std::int32_t x = CutColumn(m, setup.columnsPerSample);
            if (TooClose(x, lastCutColumn)) continue;
            cuts.push_back({m, x});
            runStart = -1;
            lastCutColumn = x;
        }
    }
    return cuts;
}

}  // namespace

std::vector<AutoCut> ScanForCutsPlain(const std::uint8_t* samples, std::uint64_t dataSize,
                                      std::int32_t width, double threshold) {
    return ScanPlain(dataSize, width, threshold, [samples](std::int64_t i) { return SampleAt(samples, i); });
}

namespace {

// First index in [from, n) whose sample is quiet (|s| < t) or loud (|s| > t),
// or n. 1 <= t <= 32767, so -t and t are both int16 values.
template <bool kQuiet>
std::int64_t FindScalar(const std::uint8_t* samples, std::int64_t from, std::int64_t n, std::int32_t t) {
    for (std::int64_t i = from; i < n; ++i) {
        std::int32_t s = SampleAt(samples, i);
        std::int32_t magnitude = s < 0 ? -s : s;
        if (kQuiet ? magnitude < t : magnitude > t) return i;
    }
    return n;
}

#if defined(__SSE2__)
template <bool kQuiet>
inline __m128i MatchSse2(__m128i s, __m128i pos, __m128i neg) {
    if (kQuiet) return _mm_and_si128(_mm_cmplt_epi16(s, pos), _mm_cmpgt_epi16(s, neg));
    return _mm_or_si128(_mm_cmpgt_epi16(s, pos), _mm_cmplt_epi16(s, neg));
}

inline int FirstSample(unsigned mask) { return __builtin_ctz(mask) / 2; }

template <bool kQuiet>
std::int64_t FindSse2(const std::uint8_t* samples, std::int64_t from, std::int64_t n, std::int32_t t) {
    const __m128i pos = _mm_set1_epi16(static_cast<std::int16_t>(t));
    const __m128i neg = _mm_set1_epi16(static_cast<std::int16_t>(-t));
    std::int64_t i = from;
    // 32 samples per round: one test of the four vectors' combined mask keeps
    // the loop short when nothing matches, which is the common case.
    for (; i + 32 <= n; i += 32) {
        const std::uint8_t* p = samples + 2 * i;
        __m128i m0 = MatchSse2<kQuiet>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), pos, neg);
        __m128i m1 = MatchSse2<kQuiet>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), pos, neg);
        __m128i m2 = MatchSse2<kQuiet>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), pos, neg);
        __m128i m3 = MatchSse2<kQuiet>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 48)), pos, neg);
        __m128i any = _mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3));
        if (_mm_movemask_epi8(any) == 0) continue;
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m0));
        if (mask) return i + FirstSample(mask);
        mask = static_cast<unsigned>(_mm_movemask_epi8(m1));
        if (mask) return i + 8 + FirstSample(mask);
        mask = static_cast<unsigned>(_mm_movemask_epi8(m2));
        if (mask) return i + 16 + FirstSample(mask);
        return i + 24 + FirstSample(static_cast<unsigned>(_mm_movemask_epi8(m3)));
    }
    for (; i + 8 <= n; i += 8) {
        __m128i m = MatchSse2<kQuiet>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * i)), pos, neg);
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m));
        if (mask) return i + FirstSample(mask);
    }
    return FindScalar<kQuiet>(samples, i, n, t);
}
#endif

#if defined(TW_AUTO_CUT_AVX2)
template <bool kQuiet>
__attribute__((target("avx2"))) inline __m256i MatchAvx2(__m256i s, __m256i pos, __m256i neg) {
    if (kQuiet) return _mm256_and_si256(_mm256_cmpgt_epi16(pos, s), _mm256_cmpgt_epi16(s, neg));
    return _mm256_or_si256(_mm256_cmpgt_epi16(s, pos), _mm256_cmpgt_epi16(neg, s));
}

template <bool kQuiet>
__attribute__((target("avx2"))) std::int64_t FindAvx2(const std::uint8_t* samples, std::int64_t from,
                                                      std::int64_t n, std::int32_t t) {
    const __m256i pos = _mm256_set1_epi16(static_cast<std::int16_t>(t));
    const __m256i neg = _mm256_set1_epi16(static_cast<std::int16_t>(-t));
    std::int64_t i = from;
    for (; i + 64 <= n; i += 64) {
        const std::uint8_t* p = samples + 2 * i;
        __m256i m0 = MatchAvx2<kQuiet>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), pos, neg);
        __m256i m1 = MatchAvx2<kQuiet>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32)), pos, neg);
        __m256i m2 = MatchAvx2<kQuiet>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 64)), pos, neg);
        __m256i m3 = MatchAvx2<kQuiet>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 96)), pos, neg);
        __m256i any = _mm256_or_si256(_mm256_or_si256(m0, m1), _mm256_or_si256(m2, m3));
        if (_mm256_testz_si256(any, any)) continue;
        unsigned mask = static_cast<unsigned>(_mm256_movemask_epi8(m0));
        if (mask) return i + FirstSample(mask);
        mask = static_cast<unsigned>(_mm256_movemask_epi8(m1));
        if (mask) return i + 16 + FirstSample(mask);
        mask = static_cast<unsigned>(_mm256_movemask_epi8(m2));
        if (mask) return i + 32 + FirstSample(mask);
        return i + 48 + FirstSample(static_cast<unsigned>(_mm256_movemask_epi8(m3)));
    }
    return FindSse2<kQuiet>(samples, i, n, t);
}
#endif

using FindFunction = std::int64_t (*)(const std::uint8_t*, std::int64_t, std::int64_t, std::int32_t);

struct Finders {
    FindFunction quiet;
    FindFunction loud;
};

Finders ChooseFinders() {
#if defined(TW_AUTO_CUT_AVX2)
    if (__builtin_cpu_supports("avx2")) return {FindAvx2<true>, FindAvx2<false>};
#endif
#if defined(__SSE2__)
    return {FindSse2<true>, FindSse2<false>};
#else
    return {FindScalar<true>, FindScalar<false>};
#endif
}

// The first end in [from, n) at which a run started at runStart would pass the
// spacing test, or n. The column never falls as the end grows (the midpoint
// does not, the factor is positive and floor is monotone), so the loud samples
// skipped before it could only have failed the same test.
std::int64_t FirstPassingEnd(std::int64_t runStart, std::int64_t from, std::int64_t n,
                             const ScanSetup& setup, double lastCutColumn) {
    std::int64_t lo = from;
    std::int64_t hi = n;
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        if (TooClose(CutColumn(Midpoint(runStart, mid), setup.columnsPerSample), lastCutColumn))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// The samples of 16-bit data, searched where they lie.
class Samples16 {
public:
    Samples16(const std::uint8_t* samples, std::int64_t n, std::int32_t t, const Finders& find)
        : samples_(samples), n_(n), t_(t), find_(find) {}
    std::int64_t Quiet(std::int64_t from) { return find_.quiet(samples_, from, n_, t_); }
    std::int64_t Loud(std::int64_t from) { return find_.loud(samples_, from, n_, t_); }
    std::int32_t At(std::int64_t i) { return SampleAt(samples_, i); }

private:
    const std::uint8_t* samples_;
    std::int64_t n_;
    std::int32_t t_;
    const Finders& find_;
};

// Samples of any other encoding, converted to 16-bit a block at a time as the
// scan reaches them and searched there with the same finders.
class ConvertedSamples {
public:
    ConvertedSamples(const std::uint8_t* data, SampleEncoding encoding, std::int64_t n, std::int32_t t,
                     const Finders& find)
        : data_(data), encoding_(encoding), n_(n), t_(t), find_(find) {}
    std::int64_t Quiet(std::int64_t from) { return Search(find_.quiet, from); }
    std::int64_t Loud(std::int64_t from) { return Search(find_.loud, from); }
    std::int32_t At(std::int64_t i) {
        Hold(i);
        return SampleAt(block_, i - first_);
    }

private:
    static constexpr std::int64_t kBlock = 4096;

    // Makes sample i one of the block's.
    void Hold(std::int64_t i) {
        if (i >= first_ && i < first_ + filled_) return;
        first_ = i;
        filled_ = std::min(kBlock, n_ - i);
        ReadSamplesLe16(data_, encoding_, static_cast<std::uint64_t>(i), static_cast<std::size_t>(filled_), block_);
    }

    std::int64_t Search(FindFunction find, std::int64_t from) {
        while (from < n_) {
            Hold(from);
            const std::int64_t found = find(block_, from - first_, filled_, t_);
            if (found < filled_) return first_ + found;
            from = first_ + filled_;
        }
        return n_;
    }

    const std::uint8_t* data_;
    SampleEncoding encoding_;
    std::int64_t n_;
    std::int32_t t_;
    const Finders& find_;
    std::int64_t first_ = 0;
    std::int64_t filled_ = 0;
    std::uint8_t block_[2 * kBlock];
};

template <class Source>
std::vector<AutoCut> Scan(Source& source, const ScanSetup& setup) {
    std::vector<AutoCut> cuts;
    const std::int32_t t = setup.threshold;
    const std::int64_t n = setup.count;
    double lastCutColumn = 0;
    std::int64_t i = 1;
    while (i < n) {
        // No run open: only a quiet sample with a next sample below T matters.
        std::int64_t q = source.Quiet(i);
        if (q + 1 >= n) break;
        if (source.At(q + 1) >= t) {
            // That next sample is not quiet either (its magnitude is >= T).
            i = q + 2;
            continue;
        }
        const std::int64_t runStart = q;
        // Run open: only loud samples matter; each ends it if the cut is far
        // enough from the last one, otherwise the run stretches on.
        std::int64_t from = q + 1;
        for (;;) {
            std::int64_t e = source.Loud(from);
            if (e >= n) return cuts;
            std::int64_t m = Midpoint(runStart, e);
            std::int32_t x = CutColumn(m, setup.columnsPerSample);
            if (!TooClose(x, lastCutColumn)) {
                cuts.push_back({m, x});
                lastCutColumn = x;
                i = e + 1;
                break;
            }
            from = FirstPassingEnd(runStart, e + 1, n, setup, lastCutColumn);
            if (from >= n) return cuts;
        }
    }
    return cuts;
}

// T <= 0: nothing is quiet. T >= 32768: nothing is loud (|-32768| = 32768 is
// at most equal). A width <= 0 puts every column below 10. None cuts.
bool CanCut(const ScanSetup& setup, std::int32_t width) {
    return setup.threshold > 0 && setup.threshold < 32768 && width > 0;
}

}  // namespace

std::vector<AutoCut> ScanForCuts(const std::uint8_t* samples, std::uint64_t dataSize,
                                 std::int32_t width, double threshold) {
    ScanSetup setup;
    if (!PrepareScan(dataSize, width, threshold, &setup) || !CanCut(setup, width)) return {};
    const Finders find = ChooseFinders();
    Samples16 source(samples, setup.count, setup.threshold, find);
    return Scan(source, setup);
}

std::vector<AutoCut> ScanEncodedForCuts(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t sampleCount,
                                        std::uint64_t scaleSize, std::int32_t width, double threshold) {
    if (encoding == SampleEncoding::Pcm16) return ScanForCuts(data, scaleSize, width, threshold);
    ScanSetup setup;
    if (!PrepareScan(scaleSize, width, threshold, &setup) || !CanCut(setup, width)) return {};
    setup.count = static_cast<std::int64_t>(std::min<std::uint64_t>(sampleCount, static_cast<std::uint64_t>(setup.count)));
    const Finders find = ChooseFinders();
    auto source = std::make_unique<ConvertedSamples>(data, encoding, setup.count, setup.threshold, find);
    return Scan(*source, setup);
}

}  // namespace tw
