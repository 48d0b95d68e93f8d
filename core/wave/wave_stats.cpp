#include "core/wave/wave_stats.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/support/little_endian.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define TW_STATS_SSE2 1
#endif
// MinGW's GCC does not realign the stack for 32-byte spills, so the wide path
// is native only.
#if defined(TW_STATS_SSE2) && !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TW_STATS_AVX2 1
#endif

namespace tw {
namespace {

// Single-precision addition of integers is exact while every partial sum is
// an integer of magnitude at most 2^24; the float sum is then the integer sum.
constexpr double kExactLimit = 16777216.0;
// Samples per block summed in integers: 256 * 32768 = 2^23, so a block always
// fits while |sum| <= 2^23.
constexpr std::size_t kBlock = 256;
// Smaller blocks for a sum near the limit, where a whole block may not fit.
constexpr std::size_t kSubBlock = 32;

// Smallest positive sample seen so far; kNoPositive while there is none.
constexpr int kNoPositive = 32768;

struct Running {
    float sum;
    int maxSample = -32768;
    int minSample = 32767;
    int minPositive = kNoPositive;
};

inline int SampleAt(const std::uint8_t* p, std::size_t k) {
    return ReadLeS16(p + 2 * k);
}

void SumOneByOne(float& sum, const std::uint8_t* p, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) sum += static_cast<float>(SampleAt(p, k));
}

// True when adding any value in [lo, hi] rounds back to `sum`, so a block in
// that range leaves it unchanged however long it is. This is the usual state
// of a file with a large DC offset once its sum has grown past 2^38 or so.
bool LeavesSumUnchanged(float sum, int lo, int hi) {
    if (!std::isfinite(sum) || sum == 0.0f) return false;
    const float inf = std::numeric_limits<float>::infinity();
    const float up = std::nextafter(sum, inf) - sum;
    const float down = sum - std::nextafter(sum, -inf);
    return static_cast<float>(hi) < 0.5f * up && static_cast<float>(-lo) < 0.5f * down;
}

// Every partial sum of n samples in [lo, hi] started from `sum` lies within
// [sum + n*min(lo,0), sum + n*max(hi,0)].
bool StaysExact(float sum, std::size_t n, int lo, int hi) {
    const double s = sum;
    const double count = static_cast<double>(n);
    return s + count * std::max(hi, 0) <= kExactLimit && s + count * std::min(lo, 0) >= -kExactLimit;
}

// Adds a block whose integer total and range are known, bit-identically to
// one-by-one float additions.
void AddBlockSlow(float& sum, const std::uint8_t* p, std::size_t n, std::int32_t total, int lo, int hi) {
    if (StaysExact(sum, n, lo, hi)) {
        sum += static_cast<float>(total);
        return;
    }
    if (LeavesSumUnchanged(sum, lo, hi)) return;
    if (!(std::fabs(sum) < kExactLimit)) {
        SumOneByOne(sum, p, n);
        return;
    }
    for (std::size_t i = 0; i < n; i += kSubBlock) {
        const std::size_t m = std::min(kSubBlock, n - i);
        const std::uint8_t* q = p + 2 * i;
        std::int32_t t = 0;
        int l = 32767, h = -32768;
        for (std::size_t k = 0; k < m; ++k) {
            const int s = SampleAt(q, k);
            t += s;
            l = std::min(l, s);
            h = std::max(h, s);
        }
        if (StaysExact(sum, m, l, h))
            sum += static_cast<float>(t);
        else
            SumOneByOne(sum, q, m);
    }
}

void AccumulateScalar(Running& r, const std::uint8_t* p, std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        const int s = SampleAt(p, k);
        r.maxSample = std::max(r.maxSample, s);
        r.minSample = std::min(r.minSample, s);
        if (s > 0) r.minPositive = std::min(r.minPositive, s);
        r.sum += static_cast<float>(s);
    }
}

#if defined(TW_STATS_SSE2)

// The smallest positive sample is kept as a signed minimum of s + 0x7FFF
// (wrapping): 1..32767 map to -32768..-2, everything else to -1..32767.
constexpr int kPositiveBias = 0x7FFF;

inline int PositiveFromKey(int key) { return key <= -2 ? key + 32769 : kNoPositive; }

inline int HorizontalMax16(__m128i v) {
    v = _mm_max_epi16(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_max_epi16(v, _mm_shuffle_epi32(v, 0xB1));
    v = _mm_max_epi16(v, _mm_shufflelo_epi16(v, 0xB1));
    return static_cast<std::int16_t>(_mm_cvtsi128_si32(v));
}

inline int HorizontalMin16(__m128i v) {
    v = _mm_min_epi16(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_min_epi16(v, _mm_shuffle_epi32(v, 0xB1));
    v = _mm_min_epi16(v, _mm_shufflelo_epi16(v, 0xB1));
    return static_cast<std::int16_t>(_mm_cvtsi128_si32(v));
}

inline std::int32_t HorizontalSum32(__m128i v) {
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0x4E));
    v = _mm_add_epi32(v, _mm_shuffle_epi32(v, 0xB1));
    return _mm_cvtsi128_si32(v);
}

inline void MergeRanges(Running& r, __m128i maxV, __m128i minV, __m128i keyV) {
    r.maxSample = std::max(r.maxSample, HorizontalMax16(maxV));
    r.minSample = std::min(r.minSample, HorizontalMin16(minV));
    r.minPositive = std::min(r.minPositive, PositiveFromKey(HorizontalMin16(keyV)));
}

// Settles one block's sum: integers when it surely stays exact, else the
// careful path.
inline void AddBlock(float& sum, const std::uint8_t* p, std::size_t n, std::int32_t total, __m128i bmin,
                     __m128i bmax) {
    if (std::fabs(sum) <= kExactLimit - 32768.0 * static_cast<double>(n))
        sum += static_cast<float>(total);
    else
        AddBlockSlow(sum, p, n, total, HorizontalMin16(bmin), HorizontalMax16(bmax));
}

// Whole 8-sample vectors only; returns how many samples it took.
std::size_t AccumulateSse2(Running& r, const std::uint8_t* p, std::size_t n) {
    const std::size_t whole = n & ~static_cast<std::size_t>(7);
    if (whole == 0) return 0;
    const __m128i ones = _mm_set1_epi16(1);
    const __m128i bias = _mm_set1_epi16(kPositiveBias);
    __m128i maxV = _mm_set1_epi16(-32768);
    __m128i minV = _mm_set1_epi16(32767);
    __m128i keyV = _mm_set1_epi16(32767);
    float sum = r.sum;
    for (std::size_t done = 0; done < whole;) {
        const std::size_t m = std::min(kBlock, whole - done);
        const std::uint8_t* b = p + 2 * done;
        __m128i bmax = _mm_set1_epi16(-32768);
        __m128i bmin = _mm_set1_epi16(32767);
        __m128i acc = _mm_setzero_si128();
        for (std::size_t i = 0; i < m; i += 8) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 2 * i));
            bmax = _mm_max_epi16(bmax, v);
            bmin = _mm_min_epi16(bmin, v);
            keyV = _mm_min_epi16(keyV, _mm_add_epi16(v, bias));
            acc = _mm_add_epi32(acc, _mm_madd_epi16(v, ones));
        }
        maxV = _mm_max_epi16(maxV, bmax);
        minV = _mm_min_epi16(minV, bmin);
        AddBlock(sum, b, m, HorizontalSum32(acc), bmin, bmax);
        done += m;
    }
    r.sum = sum;
    MergeRanges(r, maxV, minV, keyV);
    return whole;
}

#endif  // TW_STATS_SSE2

#if defined(TW_STATS_AVX2)

// Whole 16-sample vectors only; returns how many samples it took.
__attribute__((target("avx2"))) std::size_t AccumulateAvx2(Running& r, const std::uint8_t* p, std::size_t n) {
    const std::size_t whole = n & ~static_cast<std::size_t>(15);
    if (whole == 0) return 0;
    const __m256i ones = _mm256_set1_epi16(1);
    const __m256i bias = _mm256_set1_epi16(kPositiveBias);
    __m256i maxV = _mm256_set1_epi16(-32768);
    __m256i minV = _mm256_set1_epi16(32767);
    __m256i keyV = _mm256_set1_epi16(32767);
    float sum = r.sum;
    for (std::size_t done = 0; done < whole;) {
        const std::size_t m = std::min(kBlock, whole - done);
        const std::uint8_t* b = p + 2 * done;
        __m256i bmax = _mm256_set1_epi16(-32768);
        __m256i bmin = _mm256_set1_epi16(32767);
        __m256i acc = _mm256_setzero_si256();
        for (std::size_t i = 0; i < m; i += 16) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 2 * i));
            bmax = _mm256_max_epi16(bmax, v);
            bmin = _mm256_min_epi16(bmin, v);
            keyV = _mm256_min_epi16(keyV, _mm256_add_epi16(v, bias));
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(v, ones));
        }
        maxV = _mm256_max_epi16(maxV, bmax);
        minV = _mm256_min_epi16(minV, bmin);
        const __m128i total = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        const __m128i bmin128 = _mm_min_epi16(_mm256_castsi256_si128(bmin), _mm256_extracti128_si256(bmin, 1));
        const __m128i bmax128 = _mm_max_epi16(_mm256_castsi256_si128(bmax), _mm256_extracti128_si256(bmax, 1));
        AddBlock(sum, b, m, HorizontalSum32(total), bmin128, bmax128);
        done += m;
    }
    r.sum = sum;
    MergeRanges(r, _mm_max_epi16(_mm256_castsi256_si128(maxV), _mm256_extracti128_si256(maxV, 1)),
                _mm_min_epi16(_mm256_castsi256_si128(minV), _mm256_extracti128_si256(minV, 1)),
                _mm_min_epi16(_mm256_castsi256_si128(keyV), _mm256_extracti128_si256(keyV, 1)));
    return whole;
}

bool CpuHasAvx2() { return __builtin_cpu_supports("avx2"); }

#endif  // TW_STATS_AVX2

StatsPath Supported(StatsPath wanted) {
    const StatsPath best = BestStatsPath();
    if (wanted == StatsPath::Best) return best;
    return static_cast<int>(wanted) <= static_cast<int>(best) ? wanted : best;
}

}  // namespace

StatsPath BestStatsPath() {
#if defined(TW_STATS_AVX2)
    if (CpuHasAvx2()) return StatsPath::Avx2;
#endif
#if defined(TW_STATS_SSE2)
    return StatsPath::Sse2;
#else
    return StatsPath::Scalar;
#endif
}

void AccumulateStatsOn(StatsPath path, WaveStats& stats, const std::uint8_t* data, std::size_t sampleCount) {
    if (sampleCount == 0) return;
    Running r;
    r.sum = stats.sum;
    std::size_t done = 0;
    path = Supported(path);
    // The integer blocks are exact only for a whole-number running sum, which
    // is all that feeding chunks can produce; any other starting sum (or NaN)
    // is added one sample at a time like the plain definition.
    if (!(stats.sum == std::trunc(stats.sum))) path = StatsPath::Scalar;
#if defined(TW_STATS_AVX2)
    if (path == StatsPath::Avx2) done += AccumulateAvx2(r, data, sampleCount);
#endif
#if defined(TW_STATS_SSE2)
    if (path != StatsPath::Scalar) done += AccumulateSse2(r, data + 2 * done, sampleCount - done);
#endif
    AccumulateScalar(r, data + 2 * done, sampleCount - done);

    // The per-sample rules reduce to one comparison with the extreme of the
    // chunk, including for a starting value of NaN (never replaced).
    const double maxSample = r.maxSample, minSample = r.minSample;
    if (stats.peak < maxSample) stats.peak = maxSample;
    if (stats.nadir > minSample) stats.nadir = minSample;
    if (r.minPositive != kNoPositive && stats.smallestPositive > r.minPositive)
        stats.smallestPositive = r.minPositive;
    stats.sum = r.sum;
}

void AccumulateStats(WaveStats& stats, const std::uint8_t* data, std::size_t sampleCount) {
    AccumulateStatsOn(StatsPath::Best, stats, data, sampleCount);
}

void AccumulateEncodedStats(WaveStats& stats, const std::uint8_t* data, SampleEncoding encoding,
                            std::uint64_t first, std::size_t count) {
    if (encoding == SampleEncoding::Pcm16) {
        AccumulateStats(stats, data + 2 * first, count);
        return;
    }
    constexpr std::size_t kBlockSamples = 4096;
    std::uint8_t bytes[2 * kBlockSamples];
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kBlockSamples, count - done);
        ReadSamplesLe16(data, encoding, first + done, n, bytes);
        AccumulateStats(stats, bytes, n);
        done += n;
    }
}

void FinishStats(WaveStats& stats, std::uint64_t dataSize) {
    // No data leaves nothing to average; 0 rather than 0/0.
    if (dataSize == 0) {
        stats.average = 0.0f;
        return;
    }
    const float divisor = static_cast<float>(static_cast<double>(dataSize) / 2.0);
    stats.average = stats.sum / divisor;
}

WaveStats MeasureEncodedWave(const std::uint8_t* data, SampleEncoding encoding, std::uint64_t sampleCount,
                             std::uint64_t scaleSize) {
    WaveStats stats;
    AccumulateEncodedStats(stats, data, encoding, 0, static_cast<std::size_t>(sampleCount));
    FinishStats(stats, scaleSize);
    return stats;
}

void AccumulateStatsPlain(WaveStats& stats, const std::uint8_t* data, std::size_t sampleCount) {
    for (std::size_t k = 0; k < sampleCount; ++k) {
        const double s = SampleAt(data, k);
        if (stats.peak < s) stats.peak = s;
        if (stats.nadir > s) stats.nadir = s;
        if (s > 0 && stats.smallestPositive > s) stats.smallestPositive = s;
        // float + exactly converted sample, rounded once: the same as forming
        // the sum in double and rounding that to float.
        stats.sum = stats.sum + static_cast<float>(s);
    }
}

WaveStats MeasureWavePlain(const std::uint8_t* data, std::uint64_t dataSize) {
    WaveStats stats;
    AccumulateStatsPlain(stats, data, static_cast<std::size_t>(dataSize / 2));
    FinishStats(stats, dataSize);
    return stats;
}

}  // namespace tw
