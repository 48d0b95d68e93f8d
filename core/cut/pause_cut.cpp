#include "core/cut/pause_cut.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <functional>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/support/number_text.h"

namespace tw {

namespace {

// What counts as speech: the band of the voice, so hum, rumble and hiss
// weigh nothing.
constexpr double kBandLowHz = 200.0;
constexpr double kBandHighHz = 8000.0;
// The band is judged on groups of frames summed to at least this rate: the
// sum is the first low-pass, and the filters then run on a fraction of the frames.
constexpr double kBandRateHz = 22050.0;
constexpr double kSettleMs = 50.0;  // the filters' start-up, left out of the level
// Voiced sounds (vowels, nasals) carry most of their energy below this; a
// loud stretch with no window that does is a breath, a click or a hiss, not speech.
constexpr double kVoicedHz = 1000.0;
constexpr double kVoicedShare = 0.55;  // of the stretch's energy; room noise and breaths hold about 0.45
// A stretch this far above the limit is speech whatever its colour.
constexpr double kSurelySpeechDb = 30.0;
// Longer than the closure of a stop consonant inside a word.
constexpr double kJoinMs = 100.0;
// How far speech goes on beyond where it is lost in the room's noise: always
// kSpeechPadMs, and its decay carried on for kHiddenDb (at most kMostHiddenMs).
constexpr double kSpeechPadMs = 30.0;
constexpr double kHiddenDb = 6.0;
constexpr double kMostHiddenMs = 150.0;
constexpr double kTailDb = 3.0;  // over the room: a decay still heard

// A window is quiet while its level stays within kFloorMarginDb of the
// quietest level around it (the room's noise), and only while it is at least
// kBelowSpeechDb below the loudest level around it, so a steady tone never
// becomes a pause and a speaker barely above the noise still has pauses.
constexpr double kFloorMarginDb = 8.0;
constexpr double kBelowSpeechDb = 13.0;
constexpr double kAroundSeconds = 3.0;
constexpr std::size_t kMedianWindows = 5;  // a click of a window or two never breaks a pause

double DbToPower(double db) { return std::pow(10.0, db / 10.0); }

struct Geometry {
    std::uint64_t frames = 0;
    std::uint32_t group = 1;   // frames summed into one value of the band signal
    double bandRate = 0;       // values of the band signal a second
    std::uint64_t window = 0;  // frames per window: whole groups
    std::uint64_t windows = 0; // whole windows
};

Geometry GeometryOf(const PauseAudio& audio) {
    Geometry g;
    if (audio.channels == 0 || audio.data == nullptr || audio.sampleRate == 0) return g;
    g.frames = audio.sampleCount / audio.channels;
    g.group = static_cast<std::uint32_t>(std::max(1.0, std::floor(audio.sampleRate / kBandRateHz)));
    g.bandRate = static_cast<double>(audio.sampleRate) / g.group;
    const double perWindow = std::max(1.0, std::round(g.bandRate * kPauseWindowMs / 1000.0));
    g.window = static_cast<std::uint64_t>(perWindow) * g.group;
    g.windows = g.frames / g.window;
    return g;
}

// The coefficients of a second-order section (Butterworth); LaneFilter runs it.
struct Biquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;

    static Biquad Pass(bool high, double cornerHz, double rate) {
        Biquad q;
        if (cornerHz <= 0 || cornerHz >= 0.45 * rate) return q;  // no room for it: passes all
        const double w = 2.0 * 3.14159265358979323846 * cornerHz / rate;
        const double c = std::cos(w);
        const double alpha = std::sin(w) / std::sqrt(2.0);
        const double a0 = 1 + alpha;
        const double edge = high ? (1 + c) / 2 : (1 - c) / 2;
        q.b0 = static_cast<float>(edge / a0);
        q.b1 = static_cast<float>((high ? -2 * edge : 2 * edge) / a0);
        q.b2 = static_cast<float>(edge / a0);
        q.a1 = static_cast<float>(-2 * c / a0);
        q.a2 = static_cast<float>((1 - alpha) / a0);
        return q;
    }
};

constexpr std::size_t kLanes = 4;  // stretches of the band signal filtered side by side

// Sum of every value of `groups` groups of `values` 16-bit values each, times
// `scale`, into every kLanes-th float of `out`. `v` holds the values in the
// host's order, aligned or not.
void SumGroups(const std::uint8_t* v, std::size_t values, std::size_t groups, float scale, float* out);

template <std::size_t kValues>
void SumFixed(const std::uint8_t* v, std::size_t groups, float scale, float* out) {
    for (std::size_t k = 0; k < groups; ++k, v += 2 * kValues) {
        std::int16_t x[kValues];
        std::memcpy(x, v, sizeof x);
        std::int32_t s = 0;
        for (std::size_t i = 0; i < kValues; ++i) s += x[i];
        out[k * kLanes] = static_cast<float>(s) * scale;
    }
}

void SumGroups(const std::uint8_t* v, std::size_t values, std::size_t groups, float scale, float* out) {
    switch (values) {  // the common layouts, unrolled
        case 1: SumFixed<1>(v, groups, scale, out); return;
        case 2: SumFixed<2>(v, groups, scale, out); return;
        case 4: SumFixed<4>(v, groups, scale, out); return;
        case 8: SumFixed<8>(v, groups, scale, out); return;
        default: break;
    }
    for (std::size_t k = 0; k < groups; ++k) {
        std::int64_t s = 0;  // a file may claim thousands of channels
        for (std::size_t i = 0; i < values; ++i, v += 2) {
            std::int16_t x;
            std::memcpy(&x, v, 2);
            s += x;
        }
        out[k * kLanes] = static_cast<float>(s) * scale;
    }
}

// The speech band of each whole window: its mean square, on the 16-bit scale
// of one channel (the channels are mixed), and the share of it below
// kVoicedHz, where voiced sounds have most of their energy and breaths,
// hiss and clicks little.
struct Band {
    std::vector<double> power;
    std::vector<float> voiced;
};

// kLanes stretches of the band signal filtered side by side (direct form II
// transposed), one in each lane, so that the filters' recurrences run in
// step in one vector.
#if defined(__SSE2__)
struct Lanes {
    __m128 v;
    static Lanes Of(float x) { return {_mm_set1_ps(x)}; }
    static Lanes Load(const float* p) { return {_mm_loadu_ps(p)}; }
    void Store(float* p) const { _mm_storeu_ps(p, v); }
    friend Lanes operator+(Lanes a, Lanes b) { return {_mm_add_ps(a.v, b.v)}; }
    friend Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_ps(a.v, b.v)}; }
    friend Lanes operator*(Lanes a, Lanes b) { return {_mm_mul_ps(a.v, b.v)}; }
};
#else
struct Lanes {
    float v[kLanes];
    static Lanes Of(float x) { return {{x, x, x, x}}; }
    static Lanes Load(const float* p) { return {{p[0], p[1], p[2], p[3]}}; }
    void Store(float* p) const { std::copy(v, v + kLanes, p); }
    template <class Op>
    static Lanes Map(Lanes a, Lanes b, Op op) {
        for (std::size_t i = 0; i < kLanes; ++i) a.v[i] = op(a.v[i], b.v[i]);
        return a;
    }
    friend Lanes operator+(Lanes a, Lanes b) { return Map(a, b, [](float x, float y) { return x + y; }); }
    friend Lanes operator-(Lanes a, Lanes b) { return Map(a, b, [](float x, float y) { return x - y; }); }
    friend Lanes operator*(Lanes a, Lanes b) { return Map(a, b, [](float x, float y) { return x * y; }); }
};
#endif

struct LaneFilter {
    Lanes b0, b1, b2, a1, a2;
    Lanes z1 = Lanes::Of(0), z2 = Lanes::Of(0);

    explicit LaneFilter(const Biquad& q)
        : b0(Lanes::Of(q.b0)), b1(Lanes::Of(q.b1)), b2(Lanes::Of(q.b2)), a1(Lanes::Of(q.a1)), a2(Lanes::Of(q.a2)) {}

    Lanes Step(Lanes x) {
        const Lanes y = b0 * x + z1;
        z1 = b1 * x - a1 * y + z2;
        z2 = b2 * x - a2 * y;
        return y;
    }
};

// Where each lane's windows run: from (filters settling) .. start (kept) .. end.
struct Stretches {
    std::uint64_t from[kLanes];
    std::uint64_t start[kLanes];
    std::uint64_t end[kLanes];
};

// The band's three filters, shared by the lanes.
struct BandFilters {
    LaneFilter high, low, voice;
};

// One chunk of every lane's mixed values through the filters: each window's
// power and voicing stored where its lane is inside its stretch.
void FilterChunk(const std::vector<float>& mixed, std::size_t chunkWindows, std::size_t perWindow, std::uint64_t done,
                 const Stretches& lanes, BandFilters& f, Band* band) {
    for (std::size_t w = 0; w < chunkWindows; ++w) {
        Lanes energySum = Lanes::Of(0), voicedSum = Lanes::Of(0);
        for (std::size_t k = 0; k < perWindow; ++k) {
            const Lanes y = f.low.Step(f.high.Step(Lanes::Load(&mixed[(w * perWindow + k) * kLanes])));
            const Lanes v = f.voice.Step(y);
            energySum = energySum + y * y;
            voicedSum = voicedSum + v * v;
        }
        float energy[kLanes], voiced[kLanes];
        energySum.Store(energy);
        voicedSum.Store(voiced);
        for (std::size_t i = 0; i < kLanes; ++i) {
            const std::uint64_t at = lanes.from[i] + done + w;
            if (at < lanes.start[i] || at >= lanes.end[i]) continue;
            band->power[at] = energy[i] / static_cast<float>(perWindow);
            band->voiced[at] = energy[i] > 0 ? std::min(1.0f, voiced[i] / energy[i]) : 0.0f;
        }
    }
}

// Windows [first, end) of the band, into `band`: the range is cut into
// kLanes stretches, and each stretch's filters start a little before it, so
// they have settled when it begins.
void BandRange(const PauseAudio& audio, const Geometry& g, std::uint64_t first, std::uint64_t end, Band* band) {
    const std::size_t groupValues = static_cast<std::size_t>(g.group) * audio.channels;
    const std::size_t perWindow = static_cast<std::size_t>(g.window / g.group);
    const std::uint64_t settle = static_cast<std::uint64_t>(kSettleMs / kPauseWindowMs);
    const std::uint64_t stretch = (end - first + kLanes - 1) / kLanes;
    Stretches lanes;
    for (std::size_t i = 0; i < kLanes; ++i) {
        lanes.start[i] = std::min(end, first + i * stretch);
        lanes.from[i] = lanes.start[i] >= settle + first || i == 0 ? (lanes.start[i] >= settle ? lanes.start[i] - settle : 0) : first;
        lanes.end[i] = i + 1 < kLanes ? std::min(end, lanes.start[i] + stretch) : end;
    }
    constexpr std::size_t kChunkValues = 1 << 14;
    const std::size_t chunkWindows = std::max<std::size_t>(1, kChunkValues / (perWindow * groupValues));
    std::vector<std::int16_t> values(chunkWindows * perWindow * groupValues);
    std::vector<float> mixed(chunkWindows * perWindow * kLanes);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    const bool direct = audio.encoding == SampleEncoding::Pcm16;  // the file's values as they are
#else
    const bool direct = false;
#endif
    BandFilters filters{LaneFilter(Biquad::Pass(true, kBandLowHz, g.bandRate)),
                        LaneFilter(Biquad::Pass(false, kBandHighHz, g.bandRate)),
                        LaneFilter(Biquad::Pass(false, kVoicedHz, g.bandRate))};
    const float scale = 1.0f / static_cast<float>(groupValues);
    const std::uint64_t longest = lanes.start[0] + stretch - lanes.from[0] + settle;
    for (std::uint64_t done = 0; done < longest; done += chunkWindows) {
        // Each lane's next chunk; a lane past its stretch reads nothing and is ignored.
        for (std::size_t i = 0; i < kLanes; ++i) {
            const std::uint64_t w0 = lanes.from[i] + done;
            const std::size_t n =
                w0 < lanes.end[i] ? static_cast<std::size_t>(std::min<std::uint64_t>(chunkWindows, lanes.end[i] - w0)) : 0;
            for (std::size_t k = n * perWindow; k < chunkWindows * perWindow; ++k) mixed[k * kLanes + i] = 0;
            if (n == 0) continue;
            const std::uint64_t firstValue = w0 * g.window * audio.channels;
            const std::uint8_t* bytes = audio.data + 2 * firstValue;
            if (!direct) {
                ReadSamples(audio.data, audio.encoding, firstValue, n * perWindow * groupValues, values.data());
                bytes = reinterpret_cast<const std::uint8_t*>(values.data());
            }
            SumGroups(bytes, groupValues, n * perWindow, scale, mixed.data() + i);
        }
        FilterChunk(mixed, chunkWindows, perWindow, done, lanes, filters, band);
    }
}

Band BandOf(const PauseAudio& audio, const Geometry& g) {
    Band band;
    band.power.resize(g.windows);
    band.voiced.resize(g.windows);
    // A long recording is filtered in two halves at once, one on each core.
    constexpr std::uint64_t kHalvesFrom = 20000;  // windows: 200 s
    if (g.windows < kHalvesFrom) {
        BandRange(audio, g, 0, g.windows, &band);
        return band;
    }
    const std::uint64_t middle = g.windows / 2;
    std::thread second(BandRange, std::cref(audio), std::cref(g), middle, g.windows, &band);
    BandRange(audio, g, 0, middle, &band);
    second.join();
    return band;
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

std::vector<double> Median(const std::vector<double>& values, std::size_t width) {
    std::vector<double> out(values.size());
    double around[16];
    for (std::size_t j = 0; j < values.size(); ++j) {
        const std::size_t lo = j >= width / 2 ? j - width / 2 : 0;
        const std::size_t hi = std::min(values.size(), j + width / 2 + 1);
        std::copy(values.begin() + static_cast<std::ptrdiff_t>(lo), values.begin() + static_cast<std::ptrdiff_t>(hi),
                  around);
        const std::size_t n = hi - lo;
        std::nth_element(around, around + n / 2, around + n);
        out[j] = around[n / 2];
    }
    return out;
}

// What the room and the speaker say about each window: its level and the
// limit below which it is quiet.
struct Levels {
    std::vector<double> level;     // smoothed band power
    std::vector<double> power;     // each window's own band power
    std::vector<double> followed;  // the limit the room and the speaker set
    std::vector<float> voiced;     // share of the band below kVoicedHz
    std::vector<double> room;      // the quietest level around it
    std::vector<double> floor;     // the room's noise as it is now: the higher of the quietest before and after
    double windowsPerSecond = 0;
};

Levels LevelsOf(const PauseAudio& audio, const Geometry& g) {
    Band band = BandOf(audio, g);
    Levels l;
    l.windowsPerSecond = audio.sampleRate / static_cast<double>(g.window);
    l.level = Median(band.power, kMedianWindows);
    l.power = std::move(band.power);
    l.voiced = std::move(band.voiced);
    const std::size_t reach = static_cast<std::size_t>(std::max(1.0, kAroundSeconds * l.windowsPerSecond));
    // The floor is the higher of the quietest level before and the quietest
    // after: right after the noise rises, the quiet from before it no longer counts.
    auto lower = [](double a, double b) { return a < b; };
    const std::vector<double> before = SlidingExtreme(l.level, reach, 0, lower);
    const std::vector<double> after = SlidingExtreme(l.level, 0, reach, lower);
    const std::vector<double> loudest = SlidingExtreme(l.level, reach, reach, [](double a, double b) { return a > b; });
    l.followed.resize(l.level.size());
    l.room.resize(l.level.size());
    l.floor.resize(l.level.size());
    for (std::size_t j = 0; j < l.level.size(); ++j) {
        const double floor = std::max({before[j], after[j], 0.25});
        l.floor[j] = floor;
        l.room[j] = std::max(std::min(before[j], after[j]), 0.25);
        l.followed[j] = std::min(floor * DbToPower(kFloorMarginDb), loudest[j] / DbToPower(kBelowSpeechDb));
    }
    return l;
}

// The value to show for the limits the recording set itself: the limit of
// its quieter stretches, so that typing it gives the same cuts where the
// room stays as it is.
double ThresholdOf(std::vector<double> limits) {
    if (limits.empty()) return 1;
    const std::size_t k = limits.size() / 10;
    std::nth_element(limits.begin(), limits.begin() + static_cast<std::ptrdiff_t>(k), limits.end());
    return std::min(32768.0, std::max(1.0, std::round(std::sqrt(limits[k]))));
}

std::uint64_t MinimumFrames(double minPauseMs, std::uint32_t rate) {
    const double frames = std::ceil(std::max(0.0, minPauseMs) * rate / 1000.0);
    return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::min(frames, 1e18)));
}

// A stretch of speech.
struct Speech {
    std::size_t first, end;  // windows
};

// The stretches of speech: loud stretches (above the limit) that are voiced
// or loud far above it, and those within kJoinMs of one, as the burst of a
// word's last consonant after its closure is.
std::vector<Speech> SpeechOf(const Levels& l, double fixed) {
    struct Run {
        Speech s;
        bool voiced;
    };
    std::vector<Run> runs;
    const std::size_t n = l.level.size();
    auto loud = [&](std::size_t k) { return l.level[k] >= std::max(fixed, l.followed[k]); };
    for (std::size_t j = 0; j < n;) {
        if (!loud(j)) {
            ++j;
            continue;
        }
        Run r{{j, j}, false};
        double energy = 0, voiced = 0, peak = 0, limit = 1;
        for (; j < n && loud(j); ++j) {
            energy += l.level[j];
            voiced += l.level[j] * l.voiced[j];
            if (l.level[j] > peak) {
                peak = l.level[j];
                // A typed threshold only adds quiet: what stands far over the
                // room (the quietest around, also at the recording's ends) is
                // sound however high the threshold was typed.
                limit = l.room[j] * DbToPower(kFloorMarginDb);
            }
        }
        r.voiced = voiced >= kVoicedShare * energy || peak >= limit * DbToPower(kSurelySpeechDb);
        r.s.end = j;
        runs.push_back(r);
    }
    const std::size_t join = static_cast<std::size_t>(std::round(kJoinMs / 1000.0 * l.windowsPerSecond));
    std::vector<Speech> speech;
    std::size_t next = 0;  // the first voiced run at or after the current one
    const Run* lastVoiced = nullptr;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const Run& r = runs[i];
        next = std::max(next, i);
        while (next < runs.size() && !runs[next].voiced) ++next;
        const bool nearBefore = lastVoiced && r.s.first - lastVoiced->s.end <= join;
        const bool nearAfter = next < runs.size() && runs[next].s.first - r.s.end <= join;
        if (r.voiced) lastVoiced = &r;
        if (!r.voiced && !nearBefore && !nearAfter) continue;
        if (!speech.empty() && speech.back().end == r.s.first) {
            speech.back().end = r.s.end;
        } else {
            speech.push_back(r.s);
        }
    }
    return speech;
}

// Where speech really stops: after its level meets the limit, the decay of
// its last sound stays kTailDb over the room's noise for a while; there the
// padding starts. Up to `limit`, a window.
std::size_t TailEnd(const Levels& l, std::size_t end, std::size_t limit) {
    while (end < limit && end < l.level.size() && l.level[end] > l.floor[end] * DbToPower(kTailDb)) ++end;
    return end;
}
std::size_t HeadStart(const Levels& l, std::size_t first, std::size_t limit) {
    while (first > limit && l.level[first - 1] > l.floor[first - 1] * DbToPower(kTailDb)) --first;
    return first;
}

// The pauses between two stretches of speech, in frames, each side's padding
// taken off; a pause the padding closes is left out.
struct FramePause {
    std::uint64_t start, end;
};
// How much longer speech goes on under the noise once it is lost there: its
// decay carried on for kHiddenDb at the slope it had from where it met the
// limit (window `inside`, the last or first of the speech) to where it was
// lost (`lost` windows on). A sharp end hides almost nothing; the slow
// decay of a soft voice, in a reverberant room, hides much more.
double DecayPadWindows(const Levels& l, std::size_t inside, std::size_t outside, std::size_t lost) {
    // The room as the pause has it: beside loud speech the floor may not have been seen yet.
    const double room = std::min(l.floor[inside], l.floor[std::min(outside, l.floor.size() - 1)]);
    const double drop = std::max(1.0, 10.0 * std::log10(l.level[inside] / room) - kTailDb);
    const double slope = drop / static_cast<double>(lost + 1);  // dB a window
    const double hidden = std::min(kHiddenDb / slope, kMostHiddenMs / 1000.0 * l.windowsPerSecond);
    return kSpeechPadMs / 1000.0 * l.windowsPerSecond + hidden;
}

std::vector<FramePause> PausesOf(const Levels& l, const std::vector<Speech>& speech, const Geometry& g) {
    std::vector<FramePause> pauses;
    for (std::size_t i = 0; i + 1 < speech.size(); ++i) {
        const std::size_t tail = TailEnd(l, speech[i].end, speech[i + 1].first);
        const std::size_t head = HeadStart(l, speech[i + 1].first, tail);
        const double from = tail + DecayPadWindows(l, speech[i].end - 1, speech[i].end, tail - speech[i].end);
        const double to =
            head - DecayPadWindows(l, speech[i + 1].first, speech[i + 1].first - 1, speech[i + 1].first - head);
        if (to <= from) continue;
        const std::uint64_t start = static_cast<std::uint64_t>(std::round(from * static_cast<double>(g.window)));
        const std::uint64_t end = static_cast<std::uint64_t>(std::round(to * static_cast<double>(g.window)));
        pauses.push_back({start, end});
    }
    return pauses;
}

// One cut in the middle of every pause that lasts at least minFrames.
std::vector<std::int64_t> PauseMiddles(const Levels& l, double fixed, const Geometry& g, std::uint64_t minFrames,
                                       std::uint32_t channels) {
    std::vector<std::int64_t> cuts;
    for (const FramePause& p : PausesOf(l, SpeechOf(l, fixed), g)) {
        if (p.end - p.start >= minFrames)
            cuts.push_back(static_cast<std::int64_t>((p.start + (p.end - p.start) / 2) * channels));
    }
    return cuts;
}

// A pause's own level: the quietest kQuietestMs of it (its median where it
// is shorter), so the decays at its edges, a click inside and the quiet end
// of a track before the hiss between two tracks do not lift it.
constexpr double kQuietestMs = 300.0;
constexpr double kFloorStretchDb = 3.0;
struct Quietest {
    double level = 0;
    std::uint64_t middle = 0;  // frame
};
Quietest PauseLevel(const Levels& l, const Geometry& g, std::uint64_t firstFrame, std::uint64_t endFrame) {
    const std::size_t a = static_cast<std::size_t>(std::min<std::uint64_t>(firstFrame / g.window, l.level.size()));
    const std::size_t b = static_cast<std::size_t>(
        std::min<std::uint64_t>(std::max<std::uint64_t>((endFrame + g.window - 1) / g.window, a + 1), l.level.size()));
    Quietest q{0, firstFrame + (endFrame - firstFrame) / 2};
    if (a >= b) return q;
    const std::size_t span = static_cast<std::size_t>(std::max(1.0, std::round(kQuietestMs / 1000.0 * l.windowsPerSecond)));
    if (b - a < span) {
        std::vector<double> levels(l.level.begin() + static_cast<std::ptrdiff_t>(a),
                                   l.level.begin() + static_cast<std::ptrdiff_t>(b));
        std::nth_element(levels.begin(), levels.begin() + static_cast<std::ptrdiff_t>(levels.size() / 2), levels.end());
        q.level = levels[levels.size() / 2];
        return q;
    }
    double sum = 0;
    for (std::size_t j = a; j < a + span; ++j) sum += l.level[j];
    double quietest = sum;
    std::size_t at = a;
    for (std::size_t j = a + span; j < b; ++j) {
        sum += l.level[j] - l.level[j - span];
        if (sum < quietest) quietest = sum, at = j + 1 - span;
    }
    q.level = std::max(0.0, quietest / static_cast<double>(span));
    // The cut goes in the middle of the whole stretch at that level, not of
    // the quietest part of it that chance picked.
    const double bar = std::max(q.level, 1.0) * DbToPower(kFloorStretchDb);
    std::size_t from = at, to = at + span, runFrom = a;
    for (std::size_t j = a; j <= b; ++j) {
        if (j < b && l.level[j] <= bar) continue;
        if (j - runFrom > to - from) from = runFrom, to = j;
        runFrom = j + 1;
    }
    q.middle = std::min(std::max<std::uint64_t>((from + to) * g.window / 2, firstFrame), endFrame - 1);
    return q;
}

}  // namespace

PauseCutResult FindPauseCuts(const PauseAudio& audio, double threshold, double minPauseMs) {
    PauseCutResult result;
    const Geometry g = GeometryOf(audio);
    const bool estimate = std::isnan(threshold);
    result.threshold = estimate ? 1 : threshold;
    if (g.windows < 3) return result;
    const Levels levels = LevelsOf(audio, g);
    if (estimate) result.threshold = ThresholdOf(levels.followed);
    if (!estimate && !(threshold > 0)) return result;
    // A typed threshold is quiet of its own; the room and the speaker may only add to it.
    const double fixed = estimate ? 0 : threshold * threshold;
    result.cuts = PauseMiddles(levels, fixed, g, MinimumFrames(minPauseMs, audio.sampleRate), audio.channels);
    return result;
}

QuietMap MapQuiet(const PauseAudio& audio, double threshold) {
    QuietMap map;
    const Geometry g = GeometryOf(audio);
    const bool estimate = std::isnan(threshold);
    map.threshold = estimate ? 1 : threshold;
    map.windowSamples = g.window * audio.channels;
    if (g.windows < 3) return map;
    const Levels l = LevelsOf(audio, g);
    if (estimate) map.threshold = ThresholdOf(l.followed);
    map.level = l.level;
    map.room = l.floor;
    map.power = l.power;
    if (!estimate && !(threshold > 0)) return map;
    const double fixed = estimate ? 0 : threshold * threshold;
    const std::vector<Speech> speech = SpeechOf(l, fixed);
    if (speech.empty()) return map;
    const std::uint64_t ch = audio.channels;
    auto at = [ch](std::uint64_t frame) { return static_cast<std::int64_t>(frame * ch); };
    const double window = static_cast<double>(g.window);
    const std::size_t head = HeadStart(l, speech.front().first, 0);
    const std::size_t tail = TailEnd(l, speech.back().end, l.level.size());
    const double first =
        std::max(0.0, head - DecayPadWindows(l, speech.front().first, head > 0 ? head - 1 : 0, speech.front().first - head));
    const double last = tail + DecayPadWindows(l, speech.back().end - 1, tail, tail - speech.back().end);
    // Speech padded as the pauses are: each pause's edges end and start it.
    std::uint64_t from = static_cast<std::uint64_t>(std::round(first * window));
    for (const FramePause& p : PausesOf(l, speech, g)) {
        map.speech.push_back({at(from), at(std::max(from, p.start)), 0});
        const Quietest q = PauseLevel(l, g, p.start, p.end);
        map.pauses.push_back({at(p.start), at(p.end), q.level, at(q.middle)});
        from = p.end;
    }
    const std::uint64_t end = std::min(g.frames, static_cast<std::uint64_t>(std::round(last * window)));
    map.speech.push_back({at(from), at(std::max(from, end)), 0});
    return map;
}

std::vector<std::int64_t> PauseCutsOf(const QuietMap& map, std::uint32_t channels, std::uint32_t sampleRate,
                                      double minPauseMs) {
    const std::uint64_t ch = std::max<std::uint32_t>(1, channels);
    const std::uint64_t least = MinimumFrames(minPauseMs, sampleRate);
    std::vector<std::int64_t> cuts;
    for (const SoundSpan& p : map.pauses) {
        const std::uint64_t start = static_cast<std::uint64_t>(p.first) / ch, end = static_cast<std::uint64_t>(p.end) / ch;
        if (end - start >= least) cuts.push_back(static_cast<std::int64_t>((start + (end - start) / 2) * ch));
    }
    return cuts;
}

double EstimatePauseThreshold(const PauseAudio& audio) {
    const Geometry g = GeometryOf(audio);
    if (g.windows < 3) return 1;
    return ThresholdOf(LevelsOf(audio, g).followed);
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

PauseAudio PauseAudioOf(const std::uint8_t* data, const WaveLayout& layout) {
    PauseAudio audio;
    audio.data = data;
    audio.sampleCount = layout.sampleCount;
    audio.encoding = layout.encoding;
    audio.channels = layout.channels;
    audio.sampleRate = layout.sampleRate;
    return audio;
}

}  // namespace tw
