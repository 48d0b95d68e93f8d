#include "view/pause_cut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

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

// Frames of one channel count, read a block at a time in the 16-bit values.
class FrameEnergies {
public:
    explicit FrameEnergies(const PauseAudio& audio) : audio_(audio) {}

    // Sum over the channels of value^2 for frames [first, first + count).
    void Read(std::uint64_t first, std::size_t count, std::uint64_t* out) {
        const std::size_t ch = audio_.channels;
        std::size_t done = 0;
        while (done < count) {
            const std::size_t frames = std::min<std::size_t>(count - done, kBlock / ch > 0 ? kBlock / ch : 1);
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
    static constexpr std::size_t kBlock = 4096;
    const PauseAudio& audio_;
    std::int16_t values_[kBlock];
};

struct Geometry {
    std::uint64_t frames = 0;
    std::uint64_t window = 0;   // frames per window
    std::uint64_t windows = 0;  // whole windows, at least 1 when there are frames
};

Geometry GeometryOf(const PauseAudio& audio) {
    Geometry g;
    if (audio.channels == 0 || audio.data == nullptr) return g;
    g.frames = audio.sampleCount / audio.channels;
    if (g.frames == 0) return g;
    const double w = std::round(audio.sampleRate * kPauseWindowMs / 1000.0);
    g.window = static_cast<std::uint64_t>(std::max(1.0, w));
    if (g.window > g.frames) g.window = g.frames;
    g.windows = g.frames / g.window;
    return g;
}

// Mean square of each whole window, all channels together.
std::vector<double> WindowPowers(const PauseAudio& audio, const Geometry& g) {
    std::vector<double> powers(g.windows);
    std::vector<std::uint64_t> energies(g.window);
    FrameEnergies reader(audio);
    const double norm = static_cast<double>(g.window) * audio.channels;
    for (std::uint64_t j = 0; j < g.windows; ++j) {
        reader.Read(j * g.window, g.window, energies.data());
        std::uint64_t sum = 0;
        for (std::uint64_t e : energies) sum += e;
        powers[j] = static_cast<double>(sum) / norm;
    }
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

// The power below which each window's stretch counts as quiet.
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

// Frame-exact quiet/loud: a frame is quiet when some window of the window's
// length that holds it has a mean power below the limit of where it starts.
// Pauses are then runs of quiet frames, a loud stretch shorter than a window
// inside them not counting, that do not touch either end of the data.
class PauseFinder {
public:
    PauseFinder(const Geometry& g, std::uint64_t minFrames) : g_(g), minFrames_(minFrames) {}

    void Frame(std::uint64_t f, bool quiet) {
        if (!quiet) return;
        if (f - quietEnd_ >= g_.window) Close();  // the loud stretch before it ended the pause
        if (!open_) {
            open_ = true;
            start_ = f;
        }
        quietEnd_ = f + 1;
    }

    std::vector<std::uint64_t> Finish() {
        // A pause reaching the end (but for a stretch shorter than a window) touches it.
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

}  // namespace

PauseCutResult FindPauseCuts(const PauseAudio& audio, double threshold, double minPauseMs) {
    PauseCutResult result;
    result.threshold = threshold;
    const Geometry g = GeometryOf(audio);
    if (g.windows == 0 || !(threshold > 0) || audio.sampleRate == 0) return result;
    const std::vector<double> powers = WindowPowers(audio, g);
    const std::vector<double> limits = QuietLimits(powers, threshold, audio.sampleRate / static_cast<double>(g.window));

    const double wantFrames = std::ceil(std::max(0.0, minPauseMs) * audio.sampleRate / 1000.0);
    const std::uint64_t minFrames = static_cast<std::uint64_t>(std::min(wantFrames, 1e18));
    PauseFinder finder(g, std::max<std::uint64_t>(minFrames, 1));

    // Frame energies in a ring long enough for one window behind the block.
    const std::uint64_t w = g.window;
    const double norm = static_cast<double>(w) * audio.channels;
    constexpr std::uint64_t kBlock = 1 << 14;
    std::uint64_t ringSize = 1;
    while (ringSize < w + kBlock) ringSize <<= 1;
    std::vector<std::uint64_t> ring(ringSize);
    std::vector<std::uint64_t> block(kBlock);
    FrameEnergies reader(audio);

    const std::uint64_t lastStart = g.frames - w;  // the last window start
    std::uint64_t sum = 0;                         // energy of [a, a + w)
    std::uint64_t lastQuietStart = 0;
    bool anyQuiet = false;
    std::uint64_t loaded = 0;  // frames read into the ring
    auto load = [&](std::uint64_t upTo) {
        while (loaded < upTo) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, g.frames - loaded));
            reader.Read(loaded, n, block.data());
            for (std::size_t k = 0; k < n; ++k) ring[(loaded + k) & (ringSize - 1)] = block[k];
            loaded += n;
        }
    };
    load(std::min<std::uint64_t>(g.frames, w));
    for (std::uint64_t k = 0; k < w; ++k) sum += ring[k & (ringSize - 1)];
    for (std::uint64_t f = 0; f < g.frames; ++f) {
        if (f <= lastStart) {
            // Window a = f: [f, f + w).
            if (f > 0) {
                if (f + w - 1 >= loaded) load(std::min<std::uint64_t>(g.frames, loaded + kBlock));
                sum += ring[(f + w - 1) & (ringSize - 1)];
                sum -= ring[(f - 1) & (ringSize - 1)];
            }
            const std::uint64_t j = std::min<std::uint64_t>(f / w, g.windows - 1);
            if (static_cast<double>(sum) < limits[j] * norm) {
                lastQuietStart = f;
                anyQuiet = true;
            }
        }
        finder.Frame(f, anyQuiet && lastQuietStart + w > f);
    }
    for (std::uint64_t m : finder.Finish()) result.cuts.push_back(static_cast<std::int64_t>(m * audio.channels));
    return result;
}

double EstimatePauseThreshold(const PauseAudio& audio) {
    const Geometry g = GeometryOf(audio);
    if (g.windows == 0) return 1;
    std::vector<double> levels = WindowPowers(audio, g);
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
    if (PlainDecimal(s)) {
        t.kind = ThresholdKind::Number;
        return t;
    }
    if (s.size() > 2 && (s[s.size() - 2] == 'd' || s[s.size() - 2] == 'D') &&
        (s[s.size() - 1] == 'b' || s[s.size() - 1] == 'B')) {
        const std::string_view number = Trimmed(s.substr(0, s.size() - 2));
        if (PlainDecimal(number)) {
            t.kind = ThresholdKind::Decibels;
            t.value = 32768.0 * std::pow(10.0, ParseNumber(number) / 20.0);
            return t;
        }
    }
    t.kind = ThresholdKind::Other;
    return t;
}

}  // namespace tw
