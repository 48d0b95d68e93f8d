#include "core/cut/piece_rules.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <queue>

namespace tw {

namespace {

// A cut, in frames, with what a listener would judge it by.
struct Mark {
    std::uint64_t frame;
    double value;       // the cut as given (the user's stay exactly as typed)
    bool user;
    double pauseFrames; // the pause it sits in: longer is a better place
    double level;       // its mean level: quieter is better
};

// Better place to cut: the longer pause, then the quieter.
bool Better(double frames, double level, const Mark& than) {
    if (frames != than.pauseFrames) return frames > than.pauseFrames;
    return level < than.level;
}

class Planner {
public:
    Planner(const RuleAudio& audio, const QuietMap& quiet, const PieceRules& rules)
        : audio_(audio), quiet_(quiet), channels_(std::max<std::uint32_t>(1, audio.channels)) {
        frames_ = audio.sampleCount / channels_;
        longest_ = Frames(rules.longestSeconds);
        shortest_ = Frames(rules.shortestSeconds);
        windowFrames_ = quiet.windowSamples / channels_;
        count_ = rules.pieceCount;
    }

    void Add(double cut, bool user) {
        if (user) userValues_.push_back(cut);  // as given, also where it makes no boundary
        const double c = std::trunc(cut);
        if (!(c > 0.0) || c >= static_cast<double>(frames_) * channels_) return;
        const std::uint64_t frame = static_cast<std::uint64_t>(c) / channels_;
        if (frame == 0) return;
        Mark m{frame, cut, user, 0, std::numeric_limits<double>::infinity()};
        // The pause the cut sits in, for judging it against its neighbours.
        const std::int64_t at = static_cast<std::int64_t>(frame * channels_);
        auto p = std::upper_bound(quiet_.pauses.begin(), quiet_.pauses.end(), at,
                                  [](std::int64_t x, const SoundSpan& s) { return x < s.first; });
        if (p != quiet_.pauses.begin() && at < (p - 1)->end) {
            m.pauseFrames = static_cast<double>((p - 1)->end - (p - 1)->first) / channels_;
            m.level = (p - 1)->level;
        }
        marks_.push_back(m);
    }

    std::vector<double> Plan() {
        // One mark a frame (cuts in one frame make one boundary); a user's cut there wins.
        std::stable_sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) {
            return a.frame != b.frame ? a.frame < b.frame : a.user > b.user;
        });
        marks_.erase(std::unique(marks_.begin(), marks_.end(),
                                 [](const Mark& a, const Mark& b) { return a.frame == b.frame; }),
                     marks_.end());
        if (count_ > 0) Choose();
        if (shortest_ > 0) Join();
        if (longest_ > 0) Split();
        if (shortest_ > 0) Join();
        // Every cut of the user as it was given, also those sharing a frame.
        std::vector<double> cuts = userValues_;
        for (const Mark& m : marks_)
            if (!m.user) cuts.push_back(m.value);
        std::sort(cuts.begin(), cuts.end());
        return cuts;
    }

private:
    std::uint64_t Frames(double seconds) const {
        if (!(seconds > 0)) return 0;
        return std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::llround(seconds * audio_.sampleRate)));
    }

    // Piece k runs from Start(k) to End(k); pieces are marks_.size() + 1, but
    // marks on one frame make one boundary.
    std::uint64_t Start(std::size_t k) const { return k == 0 ? 0 : marks_[k - 1].frame; }
    std::uint64_t End(std::size_t k) const { return k < marks_.size() ? marks_[k].frame : frames_; }

    // Removes automatic cuts beside pieces shorter than the shortest, the
    // shortest piece first, the weaker side (shorter or louder pause) first;
    // never one whose removal makes a piece longer than the longest. Joins
    // only lengthen pieces, so a piece that cannot be joined never can later.
    void Join() {
        const std::size_t n = marks_.size();
        // Boundaries 0 (the start) and n + 1 (the end) around the marks 1..n.
        std::vector<std::size_t> prev(n + 2), next(n + 2);
        for (std::size_t i = 0; i < n + 2; ++i) {
            prev[i] = i == 0 ? 0 : i - 1;
            next[i] = i + 1;
        }
        std::vector<bool> gone(n + 2, false);
        auto frame = [&](std::size_t i) { return i == 0 ? 0 : i == n + 1 ? frames_ : marks_[i - 1].frame; };
        auto removable = [&](std::size_t i) { return i != 0 && i != n + 1 && !marks_[i - 1].user; };
        using Entry = std::pair<std::uint64_t, std::size_t>;  // a piece's length and its left boundary
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
        for (std::size_t i = 0; i <= n; ++i) queue.push({frame(i + 1) - frame(i), i});
        while (!queue.empty()) {
            const auto [length, left] = queue.top();
            queue.pop();
            if (length >= shortest_) break;
            if (gone[left] || frame(next[left]) - frame(left) != length) continue;  // changed since
            const std::size_t right = next[left];
            auto fits = [&](std::size_t i) {
                return removable(i) && (longest_ == 0 || frame(next[i]) - frame(prev[i]) <= longest_);
            };
            const bool l = fits(left), r = fits(right);
            if (!l && !r) continue;
            const std::size_t drop =
                l && r ? (Better(marks_[left - 1].pauseFrames, marks_[left - 1].level, marks_[right - 1]) ? right : left)
                       : (l ? left : right);
            gone[drop] = true;
            next[prev[drop]] = next[drop];
            prev[next[drop]] = prev[drop];
            queue.push({frame(next[prev[drop]]) - frame(prev[drop]), prev[drop]});
        }
        std::vector<Mark> kept;
        for (std::size_t i = 1; i <= n; ++i)
            if (!gone[i]) kept.push_back(marks_[i - 1]);
        marks_ = std::move(kept);
    }

    // A given number of pieces: the automatic cuts give way to cuts in the
    // best pauses of the whole recording, as many as the user's cuts leave
    // room for. A pause is worth its length, halved for every 3 dB it lies
    // over the quietest pause (the recording's own floor), so the hiss between
    // the tracks of a tape wins over a quiet passage inside one; none leaves
    // a piece shorter than the shortest.
    void Choose() {
        std::vector<Mark> kept;
        for (const Mark& m : marks_)
            if (m.user) kept.push_back(m);
        marks_ = std::move(kept);
        if (count_ <= marks_.size() + 1) return;
        double floor = std::numeric_limits<double>::infinity();
        for (const SoundSpan& p : quiet_.pauses) floor = std::min(floor, p.level);
        struct Candidate {
            std::uint64_t frame;
            double worth, pauseFrames, level;
        };
        std::vector<Candidate> candidates;
        for (const SoundSpan& p : quiet_.pauses) {
            const std::uint64_t first = static_cast<std::uint64_t>(p.first) / channels_;
            const std::uint64_t end = static_cast<std::uint64_t>(p.end) / channels_;
            const std::uint64_t middle = first + (end - first) / 2;
            if (middle == 0 || middle >= frames_ || end <= first) continue;
            // Powers under one 16-bit step squared are all silence alike.
            const double over = 10.0 * std::log10((std::max(p.level, 0.0) + 1.0) / (floor + 1.0));
            const double length = static_cast<double>(end - first);
            candidates.push_back({middle, length * std::pow(0.5, over / 3.0), length, p.level});
        }
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return a.worth > b.worth; });
        std::vector<std::uint64_t> bounds{0, frames_};
        for (const Mark& m : marks_) bounds.push_back(m.frame);
        std::sort(bounds.begin(), bounds.end());
        std::size_t wanted = count_ - 1 - marks_.size();
        for (const Candidate& c : candidates) {
            if (wanted == 0) break;
            const auto right = std::lower_bound(bounds.begin(), bounds.end(), c.frame);
            if (*right == c.frame) continue;
            if (c.frame - *(right - 1) < shortest_ || *right - c.frame < shortest_) continue;
            bounds.insert(right, c.frame);
            marks_.push_back({c.frame, static_cast<double>(c.frame * channels_), false, c.pauseFrames, c.level});
            --wanted;
        }
        std::sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) { return a.frame < b.frame; });
    }

    void Split() {
        std::vector<Mark> added;
        for (std::size_t k = 0; k <= marks_.size(); ++k) SplitRange(Start(k), End(k), &added);
        marks_.insert(marks_.end(), added.begin(), added.end());
        std::sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) { return a.frame < b.frame; });
    }

    // Without recursion: a tiny longest piece over hours makes millions of cuts.
    void SplitRange(std::uint64_t a, std::uint64_t b, std::vector<Mark>* added) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> todo{{a, b}};
        while (!todo.empty()) {
            const auto [from, to] = todo.back();
            todo.pop_back();
            if (to - from <= longest_) continue;
            Mark m = InPause(from, to);
            if (m.frame == 0) m = Quietest(from, to);
            added->push_back(m);
            todo.push_back({from, m.frame});
            todo.push_back({m.frame, to});
        }
    }

    // A sliver beside a cut is no piece a listener wants: no new cut leaves
    // one shorter than the shortest (without one, a tenth of the longest)
    // where the stretch allows.
    std::uint64_t Roomy() const { return shortest_ > 0 ? shortest_ : longest_ / 10; }

    // The middle of the best pause inside (a, b), preferring those that leave
    // no piece shorter than the shortest; frame 0 when there is none.
    Mark InPause(std::uint64_t a, std::uint64_t b) const {
        Mark best{0, 0, false, -1, 0}, bestRoomy{0, 0, false, -1, 0};
        const std::uint64_t roomy = Roomy();
        const std::int64_t from = static_cast<std::int64_t>(a * channels_);
        auto p = std::lower_bound(quiet_.pauses.begin(), quiet_.pauses.end(), from,
                                  [](const SoundSpan& s, std::int64_t x) { return s.first < x; });
        for (; p != quiet_.pauses.end(); ++p) {
            const std::uint64_t first = static_cast<std::uint64_t>(p->first) / channels_;
            const std::uint64_t end = static_cast<std::uint64_t>(p->end) / channels_;
            const std::uint64_t middle = first + (end - first) / 2;  // where pause cutting puts its cut
            if (middle >= b) break;
            if (middle <= a) continue;
            const double length = static_cast<double>(end - first);
            const Mark m{middle, static_cast<double>(middle * channels_), false, length, p->level};
            if (Better(length, p->level, best)) best = m;
            if (middle - a >= roomy && b - middle >= roomy && Better(length, p->level, bestRoomy)) bestRoomy = m;
        }
        return bestRoomy.frame ? bestRoomy : best;
    }

    // No pause: the quietest window where a cut still lets the rest fit in
    // as few pieces as the length needs.
    Mark Quietest(std::uint64_t a, std::uint64_t b) const {
        const std::uint64_t length = b - a;
        const std::uint64_t pieces = (length + longest_ - 1) / longest_;
        std::uint64_t lo = std::max(a + 1, b > (pieces - 1) * longest_ ? b - (pieces - 1) * longest_ : 0);
        std::uint64_t hi = std::min(b - 1, a + longest_);
        if (lo > hi) lo = hi;
        const std::uint64_t roomy = Roomy();
        if (a + roomy <= hi && b >= roomy && b - roomy >= lo && a + roomy <= b - roomy) {
            lo = std::max(lo, a + roomy);
            hi = std::min(hi, b - roomy);
        }
        std::uint64_t at = hi;
        double quietest = std::numeric_limits<double>::infinity();
        if (windowFrames_ > 0) {
            const std::uint64_t first = lo / windowFrames_;
            const std::uint64_t last = std::min<std::uint64_t>(hi / windowFrames_ + 1, quiet_.level.size());
            for (std::uint64_t j = first; j < last; ++j) {
                if (quiet_.level[j] < quietest) {
                    quietest = quiet_.level[j];
                    at = std::min(hi, std::max(lo, j * windowFrames_ + windowFrames_ / 2));
                }
            }
        }
        return {at, static_cast<double>(at * channels_), false, 0, quietest};
    }

    const RuleAudio& audio_;
    const QuietMap& quiet_;
    std::uint32_t channels_;
    std::uint64_t frames_ = 0, longest_ = 0, shortest_ = 0, windowFrames_ = 0, count_ = 0;
    std::vector<Mark> marks_;
    std::vector<double> userValues_;
};

}  // namespace

std::vector<double> ApplyPieceRules(const std::vector<double>& automatic, const std::vector<double>& user,
                                    const RuleAudio& audio, const QuietMap& quiet, const PieceRules& rules) {
    Planner planner(audio, quiet, rules);
    for (double c : user) planner.Add(c, true);
    for (double c : automatic) planner.Add(c, false);
    return planner.Plan();
}

namespace {

// Pause cutting pads speech for finding pauses; a piece's edge wants more: a
// word's decay (a voice's last breath, the room's echo) goes on under the
// noise, and a listener hears it while it stands over that noise. So the
// sound reaches on, window by window, while it stands 1.5 dB over the mean
// power of the pause it fades into (noise alone rarely does, for long), up
// to `limit` (a byte).
std::uint64_t DecayEdge(const QuietMap& quiet, std::uint32_t sampleBytes, std::uint64_t edge, std::uint64_t limit,
                        int direction) {
    const std::uint64_t window = quiet.windowSamples * sampleBytes;
    if (window == 0 || quiet.level.empty()) return edge;
    const std::int64_t at = static_cast<std::int64_t>(edge / sampleBytes);
    auto p = std::upper_bound(quiet.pauses.begin(), quiet.pauses.end(), at,
                              [](std::int64_t x, const SoundSpan& s) { return x < s.first; });
    // The pause beside the edge: the one starting there (after a sound's end), or ending there.
    if (direction < 0 && p != quiet.pauses.begin()) --p;
    if (p == quiet.pauses.end()) return edge;
    const double bar = 1.4 * p->level;
    std::uint64_t w = direction > 0 ? (edge + window - 1) / window : edge / window;  // whole windows beyond the edge
    for (;;) {
        if (direction > 0) {
            if (w >= quiet.level.size() || (w + 1) * window > limit || !(quiet.level[w] > bar)) break;
            edge = (++w) * window;
        } else {
            if (w == 0 || (w - 1) * window < limit || !(quiet.level[w - 1] > bar)) break;
            edge = (--w) * window;
        }
    }
    return edge;
}

}  // namespace

std::vector<Piece> TrimPieces(const std::vector<Piece>& pieces, const QuietMap& quiet, double marginMs,
                              const RuleAudio& audio, std::uint32_t sampleBytes, std::vector<bool>* trimmed) {
    const std::uint64_t channels = std::max<std::uint32_t>(1, audio.channels);
    const std::uint64_t frameBytes = channels * std::max<std::uint32_t>(1, sampleBytes);
    const std::uint64_t margin =
        static_cast<std::uint64_t>(std::llround(std::max(0.0, marginMs) * audio.sampleRate / 1000.0)) * frameBytes;
    std::vector<Piece> out = pieces;
    trimmed->assign(pieces.size(), false);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const std::uint64_t start = pieces[k].offset, end = start + pieces[k].length;
        std::uint64_t soundStart = end, soundEnd = start;
        // The stretches follow one another: from the first that ends after the piece starts.
        auto s = std::upper_bound(quiet.speech.begin(), quiet.speech.end(), start, [sampleBytes](std::uint64_t at, const SoundSpan& x) {
            return at < static_cast<std::uint64_t>(x.end) * sampleBytes;
        });
        for (; s != quiet.speech.end() && static_cast<std::uint64_t>(s->first) * sampleBytes < end; ++s) {
            const std::uint64_t a = static_cast<std::uint64_t>(s->first) * sampleBytes;
            const std::uint64_t b = static_cast<std::uint64_t>(s->end) * sampleBytes;
            if (b <= start || a >= end || a >= b) continue;
            soundStart = std::min(soundStart, std::max(a, start));
            soundEnd = std::max(soundEnd, std::min(b, end));
        }
        if (soundStart >= soundEnd) continue;  // no sound: nothing to judge by
        soundStart = DecayEdge(quiet, sampleBytes, soundStart, start, -1);
        soundEnd = DecayEdge(quiet, sampleBytes, soundEnd, end, +1);
        std::uint64_t from = soundStart > start + margin ? soundStart - margin : start;
        from -= (from - start) % frameBytes;  // whole frames from the piece's start
        std::uint64_t to = soundEnd + margin < end ? soundEnd + margin : end;
        if (to < end) to = std::min(end, to + (frameBytes - (to - from) % frameBytes) % frameBytes);
        out[k] = {from, static_cast<std::uint32_t>(to - from)};
        (*trimmed)[k] = from != start || to != end;
    }
    return out;
}

}  // namespace tw
