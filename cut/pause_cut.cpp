#include "cut/pause_cut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "support/number_text.h"

namespace tw {

namespace {

// How far above the quietest level around it a stretch may be and still be
// quiet, and how far below the loudest level around it it must be for that:
// a room whose noise rises keeps its pauses, a steady tone never becomes one.
constexpr double kFloorMarginDb = 8.0;
constexpr double kBelowSpeechDb = 15.0;
constexpr double kAroundSeconds = 3.0;
constexpr std::size_t kSmoothWindows = 5;  // 50 ms of windows before the floor is taken

double DbToPower(double db) { return std::pow(10.0, db / 10.0); }

// Sum over the channels of value^2 for each of the frames [first, first + count).
class FrameEnergies {
public:
    explicit FrameEnergies(const PauseAudio& audio) : audio_(audio) {}

    void Read(std::uint64_t first, std::size_t count, std::uint64_t* out) {
        const std::size_t ch = audio_.channels;
        const std::size_t perRead = std::max<std::size_t>(1, kValues / ch);
        for (std::size_t done = 0; done < count;) {
            const std::size_t frames = std::min(count - done, perRead);
            ReadSamples(audio_.data, audio_.encoding, (first + done) * ch, frames * ch, values_);
            const std::int16_t* v = values_;
            for (std::size_t f = 0; f < frames; ++f) {
                std::uint64_t e = 0;
                for (std::size_t c = 0; c < ch; ++c, ++v) e += static_cast<std::uint64_t>(std::int32_t{*v} * std::int32_t{*v});
                out[done + f] = e;
            }
            done += frames;
        }
    }

private:
    static constexpr std::size_t kValues = 4096;
    const PauseAudio& audio_;
    std::int16_t values_[kValues];
};

// Sum of value^2 over n values.
std::uint64_t SumOfSquares(const std::int16_t* v, std::size_t n) {
    std::uint64_t sum = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // Each pair's sum of squares is at most 2^31, so it is read unsigned.
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;  // two 64-bit lanes
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
        const __m128i pairs = _mm_madd_epi16(x, x);
        acc = _mm_add_epi64(acc, _mm_unpacklo_epi32(pairs, zero));
        acc = _mm_add_epi64(acc, _mm_unpackhi_epi32(pairs, zero));
    }
    std::uint64_t lanes[2];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), acc);
    sum = lanes[0] + lanes[1];
#endif
    for (; i < n; ++i) sum += static_cast<std::uint64_t>(std::int32_t{v[i]} * std::int32_t{v[i]});
    return sum;
}

// The level is judged over windows of two half-windows ("blocks"), so every
// window of the window's length holds at least one whole block: a block as
// loud as a window may be makes every window over it loud.
struct Geometry {
    std::uint64_t frames = 0;
    std::uint64_t block = 0;    // frames per half-window; 0 for data shorter than a window
    std::uint64_t window = 0;   // frames per window
    std::uint64_t windows = 0;  // whole windows, at least 1 when there are frames
};

Geometry GeometryOf(const PauseAudio& audio) {
    Geometry g;
    if (audio.channels == 0 || audio.data == nullptr) return g;
    g.frames = audio.sampleCount / audio.channels;
    if (g.frames == 0) return g;
    const double half = std::round(audio.sampleRate * kPauseWindowMs / 2000.0);
    g.block = static_cast<std::uint64_t>(std::max(1.0, half));
    g.window = 2 * g.block;
    if (g.window > g.frames) {
        g.block = 0;
        g.window = g.frames;
    }
    g.windows = g.frames / g.window;
    return g;
}

// Energy of each whole block.
std::vector<std::uint64_t> BlockEnergies(const PauseAudio& audio, const Geometry& g) {
    std::vector<std::uint64_t> energies;
    if (g.block == 0) return energies;
    const std::uint64_t count = g.frames / g.block;
    const std::size_t values = static_cast<std::size_t>(g.block * audio.channels);
    std::vector<std::int16_t> buffer(values);
    energies.resize(count);
    for (std::uint64_t k = 0; k < count; ++k) {
        ReadSamples(audio.data, audio.encoding, k * values, values, buffer.data());
        energies[k] = SumOfSquares(buffer.data(), values);
    }
    return energies;
}

// Mean square of each whole window, all channels together.
std::vector<double> WindowPowers(const PauseAudio& audio, const Geometry& g, const std::vector<std::uint64_t>& blocks) {
    std::vector<double> powers(g.windows);
    const double norm = static_cast<double>(g.window) * audio.channels;
    if (g.block == 0) {  // one window of all the frames
        std::vector<std::uint64_t> energies(g.window);
        FrameEnergies(audio).Read(0, g.window, energies.data());
        std::uint64_t sum = 0;
        for (std::uint64_t e : energies) sum += e;
        powers[0] = static_cast<double>(sum) / norm;
        return powers;
    }
    for (std::uint64_t j = 0; j < g.windows; ++j) powers[j] = static_cast<double>(blocks[2 * j] + blocks[2 * j + 1]) / norm;
    return powers;
}

// Sliding extreme of `values` over [j - back, j + ahead].
template <class Better>
std::vector<double> SlidingExtreme(const std::vector<double>& values, std::size_t back, std::size_t ahead,
                                   Better better) {
    std::vector<double> out(values.size());
    std::deque<std::size_t> keep;
    std::size_t next = 0;
    for (std::size_t j = 0; j < values.size(); ++j) {
        for (; next < values.size() && next <= j + ahead; ++next) {
            while (!keep.empty() && !better(values[keep.back()], values[next])) keep.pop_back();
            keep.push_back(next);
        }
        while (keep.front() + back < j) keep.pop_front();
        out[j] = values[keep.front()];
    }
    return out;
}

// The power below which a window counts as quiet, for each whole window.
std::vector<double> QuietLimits(const std::vector<double>& powers, double threshold, double windowsPerSecond) {
    std::vector<double> smooth(powers.size());
    for (std::size_t j = 0; j < powers.size(); ++j) {
        const std::size_t lo = j >= kSmoothWindows / 2 ? j - kSmoothWindows / 2 : 0;
        const std::size_t hi = std::min(powers.size(), j + kSmoothWindows / 2 + 1);
        double s = 0;
        for (std::size_t k = lo; k < hi; ++k) s += powers[k];
        smooth[j] = s / static_cast<double>(hi - lo);
    }
    const std::size_t reach = static_cast<std::size_t>(std::max(1.0, kAroundSeconds * windowsPerSecond));
    // The floor is the higher of the quietest level before and the quietest
    // after: right after the noise rises, the quiet from before it no longer counts.
    auto lower = [](double a, double b) { return a < b; };
    const std::vector<double> before = SlidingExtreme(smooth, reach, 0, lower);
    const std::vector<double> after = SlidingExtreme(smooth, 0, reach, lower);
    const std::vector<double> loudest = SlidingExtreme(smooth, reach, reach, [](double a, double b) { return a > b; });
    const double fixed = threshold * threshold;
    std::vector<double> limits(powers.size());
    for (std::size_t j = 0; j < powers.size(); ++j) {
        const double floor = std::max(before[j], after[j]);
        const double followed = std::min(floor * DbToPower(kFloorMarginDb), loudest[j] / DbToPower(kBelowSpeechDb));
        limits[j] = std::max(fixed, followed);
    }
    return limits;
}

// Between the noise floor (the level of the quietest tenth of the windows)
// and the speech (the loudest tenth): 30% of the way in decibels, at least
// 6 dB over the floor.
double ThresholdFromPowers(std::vector<double> levels) {
    for (double& p : levels) p = 10.0 * std::log10(std::max(p, 0.25));
    auto percentile = [&](double q) {
        const std::size_t k = static_cast<std::size_t>(q * static_cast<double>(levels.size() - 1));
        std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(k), levels.end());
        return levels[k];
    };
    const double floorDb = percentile(0.10);
    const double speechDb = percentile(0.90);
    const double thresholdDb = floorDb + std::max(6.0, 0.3 * (speechDb - floorDb));
    const double t = std::round(std::sqrt(DbToPower(thresholdDb)));
    return std::min(32768.0, std::max(1.0, t));
}

// Pauses from runs of quiet frames given in order: a loud stretch shorter
// than a window between two runs does not end a pause, and a pause that
// touches either end of the data gets no cut.
class PauseFinder {
public:
    PauseFinder(const Geometry& g, std::uint64_t minFrames) : g_(g), minFrames_(minFrames) {}

    void Quiet(std::uint64_t from, std::uint64_t to) {
        if (from - quietEnd_ >= g_.window) Close();  // the loud stretch before it ended the pause
        if (!open_) {
            open_ = true;
            start_ = from;
        }
        quietEnd_ = to;
    }

    std::vector<std::uint64_t> Finish() {
        if (open_ && g_.frames - quietEnd_ >= g_.window) Close();
        return middles_;
    }

private:
    void Close() {
        if (open_ && start_ > 0 && quietEnd_ - start_ >= minFrames_) middles_.push_back(start_ + (quietEnd_ - start_) / 2);
        open_ = false;
    }

    const Geometry& g_;
    std::uint64_t minFrames_;
    // The start counts as quiet, so a pause that opens the data (or follows a
    // blip shorter than a window) touches it.
    bool open_ = true;
    std::uint64_t start_ = 0;
    std::uint64_t quietEnd_ = 0;
    std::vector<std::uint64_t> middles_;
};

// The exact rule: frame f is quiet when some window [a, a + window) that holds
// it has an energy below the limit of the whole window a lies in.
class Judge {
public:
    Judge(const PauseAudio& audio, const Geometry& g, const std::vector<double>& limits, PauseFinder& finder)
        : reader_(audio), g_(g), limits_(limits), finder_(finder), norm_(static_cast<double>(g.window) * audio.channels) {}

    bool QuietWindow(std::uint64_t a, std::uint64_t energy) const {
        return static_cast<double>(energy) < Limit(a / g_.window);
    }
    double Limit(std::uint64_t j) const { return limits_[std::min<std::uint64_t>(j, g_.windows - 1)] * norm_; }

    // Frames [f0, f1), one at a time.
    void Exactly(std::uint64_t f0, std::uint64_t f1) {
        const std::uint64_t w = g_.window;
        const std::uint64_t lastStart = g_.frames - w;
        const std::uint64_t aFirst = f0 >= w - 1 ? f0 - (w - 1) : 0;
        const std::uint64_t aLast = std::min(f1 - 1, lastStart);
        energies_.resize(static_cast<std::size_t>(aLast + w - aFirst));
        reader_.Read(aFirst, energies_.size(), energies_.data());
        std::uint64_t sum = 0;
        for (std::uint64_t k = 0; k < w; ++k) sum += energies_[k];
        bool any = false;
        std::uint64_t lastQuiet = 0;
        std::uint64_t runStart = 0;
        bool inRun = false;
        std::uint64_t a = aFirst;
        for (std::uint64_t f = aFirst; f < f1; ++f) {
            if (f == a && a <= aLast) {
                if (a > aFirst) sum += energies_[a - aFirst + w - 1] - energies_[a - aFirst - 1];
                if (QuietWindow(a, sum)) {
                    any = true;
                    lastQuiet = a;
                }
                ++a;
            }
            if (f < f0) continue;
            const bool quiet = any && lastQuiet + w > f;
            if (quiet && !inRun) {
                inRun = true;
                runStart = f;
            } else if (!quiet && inRun) {
                inRun = false;
                finder_.Quiet(runStart, f);
            }
        }
        if (inRun) finder_.Quiet(runStart, f1);
    }

private:
    FrameEnergies reader_;
    const Geometry& g_;
    const std::vector<double>& limits_;
    PauseFinder& finder_;
    double norm_;
    std::vector<std::uint64_t> energies_;
};

std::uint64_t MinimumFrames(double minPauseMs, std::uint32_t rate) {
    const double frames = std::ceil(std::max(0.0, minPauseMs) * rate / 1000.0);
    return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::min(frames, 1e18)));
}

PauseCutResult Cuts(const PauseAudio& audio, PauseFinder& finder, double threshold) {
    PauseCutResult result;
    result.threshold = threshold;
    for (std::uint64_t m : finder.Finish()) result.cuts.push_back(static_cast<std::int64_t>(m * audio.channels));
    return result;
}

bool Judgeable(const PauseAudio& audio, const Geometry& g, double threshold) {
    return g.windows > 0 && threshold > 0 && audio.sampleRate > 0;
}

}  // namespace

PauseCutResult FindPauseCutsPlain(const PauseAudio& audio, double threshold, double minPauseMs) {
    const Geometry g = GeometryOf(audio);
    PauseFinder finder(g, MinimumFrames(minPauseMs, audio.sampleRate));
    if (g.windows == 0) return Cuts(audio, finder, std::isnan(threshold) ? 1 : threshold);
    const std::vector<double> powers = WindowPowers(audio, g, BlockEnergies(audio, g));
    if (std::isnan(threshold)) threshold = ThresholdFromPowers(powers);
    if (!Judgeable(audio, g, threshold)) return Cuts(audio, finder, threshold);
    const std::vector<double> limits = QuietLimits(powers, threshold, audio.sampleRate / static_cast<double>(g.window));
    Judge judge(audio, g, limits, finder);
    constexpr std::uint64_t kStretch = 1 << 16;
    for (std::uint64_t f = 0; f < g.frames; f += kStretch) judge.Exactly(f, std::min(g.frames, f + kStretch));
    return Cuts(audio, finder, threshold);
}

PauseCutResult FindPauseCuts(const PauseAudio& audio, double threshold, double minPauseMs) {
    const Geometry g = GeometryOf(audio);
    const std::vector<std::uint64_t> blocks = BlockEnergies(audio, g);
    if (blocks.size() < 4) return FindPauseCutsPlain(audio, threshold, minPauseMs);
    PauseFinder finder(g, MinimumFrames(minPauseMs, audio.sampleRate));
    const std::vector<double> powers = WindowPowers(audio, g, blocks);
    if (std::isnan(threshold)) threshold = ThresholdFromPowers(powers);
    if (!Judgeable(audio, g, threshold)) return Cuts(audio, finder, threshold);
    const std::vector<double> limits = QuietLimits(powers, threshold, audio.sampleRate / static_cast<double>(g.window));
    Judge judge(audio, g, limits, finder);
    const std::uint64_t b = g.block;
    const std::uint64_t w = g.window;
    // Blocks are decided whole where the energies of whole blocks settle it;
    // frame by frame only where quiet and loud meet. The first and last
    // blocks, and the frames after the last whole block, always go frame by frame.
    const std::uint64_t last = blocks.size() - 1;
    judge.Exactly(0, b);
    for (std::uint64_t k = 1; k < last; ++k) {
        const std::uint64_t from = k * b;
        // A window over [from - b, from + b) or [from, from + 2b) that is quiet
        // makes every frame of the block quiet.
        if (judge.QuietWindow(from - b, blocks[k - 1] + blocks[k]) || judge.QuietWindow(from, blocks[k] + blocks[k + 1])) {
            finder.Quiet(from, from + b);
            continue;
        }
        // Every window holding a frame of the block starts in
        // [from - 2b + 1, from + b - 1] and holds block k - 1, k or k + 1 whole.
        const std::uint64_t firstStart = from + 1 >= 2 * b ? from + 1 - 2 * b : 0;
        double limit = 0;
        for (std::uint64_t j = firstStart / w; j <= (from + b - 1) / w; ++j) limit = std::max(limit, judge.Limit(j));
        const bool loud = static_cast<double>(blocks[k - 1]) >= limit && static_cast<double>(blocks[k]) >= limit &&
                          static_cast<double>(blocks[k + 1]) >= limit;
        if (!loud) judge.Exactly(from, from + b);
    }
    judge.Exactly(last * b, g.frames);
    return Cuts(audio, finder, threshold);
}

double EstimatePauseThreshold(const PauseAudio& audio) {
    const Geometry g = GeometryOf(audio);
    if (g.windows == 0) return 1;
    return ThresholdFromPowers(WindowPowers(audio, g, BlockEnergies(audio, g)));
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// A plain decimal number: sign, digits, an optional fraction.
bool PlainDecimal(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
    if (i < s.size() && s[i] == '.') {
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) ++digits;
    }
    return digits > 0 && i == s.size();
}

// "&H" hexadecimal or "&O" octal digits, as the box has always read them.
bool BasedNumber(std::string_view s) {
    if (s.size() < 3 || s[0] != '&') return false;
    const char base = static_cast<char>(s[1] & ~0x20);
    if (base != 'H' && base != 'O') return false;
    for (char c : s.substr(2)) {
        const bool octal = c >= '0' && c <= '7';
        const bool hex = (c >= '0' && c <= '9') || ((c & ~0x20) >= 'A' && (c & ~0x20) <= 'F');
        if (base == 'H' ? !hex : !octal) return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

ThresholdText ReadThresholdText(std::string_view text) {
    ThresholdText t;
    const std::string_view s = Trimmed(text);
    if (s.empty()) return t;
    t.value = ParseNumber(text);
    if (PlainDecimal(s) || BasedNumber(s)) {
        t.kind = ThresholdKind::Number;
        return t;
    }
    if (s.size() > 2 && (s[s.size() - 2] == 'd' || s[s.size() - 2] == 'D') &&
        (s[s.size() - 1] == 'b' || s[s.size() - 1] == 'B')) {
        const std::string_view number = Trimmed(s.substr(0, s.size() - 2));
        if (PlainDecimal(number)) {
            const double db = ParseNumber(number);
            t.kind = db > 0 ? ThresholdKind::AboveFullScale : ThresholdKind::Decibels;
            t.value = 32768.0 * std::pow(10.0, db / 20.0);
            return t;
        }
    }
    t.kind = ThresholdKind::Other;
    return t;
}

}  // namespace tw
