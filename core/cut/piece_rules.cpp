#include "core/cut/piece_rules.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <queue>

namespace tw {

namespace {

// Where the sound of a stretch is, as a listener hears it over the room.
// A window is faint sound while it stands kFaintDb over the room's level
// around it (a word's decay, a last "s", a breathy end), clear sound at
// kClearDb. Speech reaches on over faint sound, and over a closure of up to
// kClosureMs to clear sound after it (a stop before a word's last syllable).
constexpr double kFaintDb = 3.0;
constexpr double kClearDb = 8.0;
constexpr double kClosureMs = 200.0;
constexpr std::uint64_t kSoundWindows = 3;  // a sound, not a click: 30 ms of it
constexpr std::uint64_t kBurstWindows = 2;  // a stop's release: 20 ms, in the windows' own power

struct Span {
    std::uint64_t from, to;  // frames
};

class SoundMap {
public:
    SoundMap(const QuietMap& quiet, std::uint32_t channels, std::uint32_t sampleRate)
        : quiet_(quiet), channels_(std::max<std::uint32_t>(1, channels)) {
        window_ = quiet.windowSamples / channels_;
        const double perSecond = window_ > 0 ? static_cast<double>(sampleRate) / static_cast<double>(window_) : 0;
        closure_ = static_cast<std::uint64_t>(std::llround(kClosureMs / 1000.0 * perSecond));
        clear_.assign(quiet.level.size() + 1, 0);  // windows of clear sound before each
        for (std::size_t w = 0; w < quiet.level.size(); ++w) clear_[w + 1] = clear_[w] + (Clear(w) ? 1 : 0);
    }

    // False only where the recording's judgement of its sound says [a, b)
    // holds none: bare room (with no speech at all, nothing is judged).
    bool HasSound(std::uint64_t a, std::uint64_t b) const {
        if (quiet_.speech.empty()) return true;
        const std::uint64_t enough = kSoundWindows * window_;
        std::uint64_t heard = 0;
        const std::int64_t at = static_cast<std::int64_t>(a * channels_);
        auto s = std::upper_bound(quiet_.speech.begin(), quiet_.speech.end(), at,
                                  [](std::int64_t x, const SoundSpan& y) { return x < y.end; });
        for (; s != quiet_.speech.end() && static_cast<std::uint64_t>(s->first) / channels_ < b; ++s) {
            const std::uint64_t f = std::max(a, static_cast<std::uint64_t>(s->first) / channels_);
            const std::uint64_t e = std::min(b, static_cast<std::uint64_t>(s->end) / channels_);
            if (e > f) heard += e - f;
            if (heard >= std::max<std::uint64_t>(1, enough)) return true;
        }
        return false;
    }

    // The sound of the speech inside [a, b), reaching over what still belongs to it.
    bool SoundIn(std::uint64_t a, std::uint64_t b, Span* sound) const {
        std::uint64_t first = b, end = a;
        const std::int64_t at = static_cast<std::int64_t>(a * channels_);
        auto s = std::upper_bound(quiet_.speech.begin(), quiet_.speech.end(), at,
                                  [](std::int64_t x, const SoundSpan& y) { return x < y.end; });
        for (; s != quiet_.speech.end() && static_cast<std::uint64_t>(s->first) / channels_ < b; ++s) {
            const std::uint64_t f = static_cast<std::uint64_t>(s->first) / channels_;
            const std::uint64_t e = (static_cast<std::uint64_t>(s->end) + channels_ - 1) / channels_;
            if (e <= a || f >= e) continue;
            first = std::min(first, std::max(f, a));
            end = std::max(end, std::min(e, b));
        }
        if (first >= end) return false;
        // A sound after the speech belongs to it while it is nearer to it than to the speech after.
        std::uint64_t next = b;
        if (s != quiet_.speech.end()) next = std::min(next, std::max(end, static_cast<std::uint64_t>(s->first) / channels_));
        *sound = {Back(first, a), Ahead(end, end + (next - end) / 2, b)};
        return true;
    }

    // What a piece [a, b) keeps of itself with a margin: its sound and the
    // margin around it, widened toward `shortest` frames where its room allows.
    Span Kept(std::uint64_t a, std::uint64_t b, std::uint64_t margin, std::uint64_t shortest) const {
        Span sound;
        if (!SoundIn(a, b, &sound)) return {a, b};
        Span k{sound.from > a + margin ? sound.from - margin : a, std::min(b, sound.to + margin)};
        if (shortest > k.to - k.from) {
            const std::uint64_t want = std::min(shortest, b - a) - (k.to - k.from);
            std::uint64_t after = std::min(b - k.to, want - want / 2);
            const std::uint64_t before = std::min(k.from - a, want - after);
            after = std::min(b - k.to, want - before);
            k.from -= before;
            k.to += after;
        }
        return k;
    }

private:
    double Room(std::size_t w) const { return w < quiet_.room.size() ? quiet_.room[w] : 0.0; }
    bool Faint(std::size_t w) const { return quiet_.level[w] > Room(w) * faint_; }
    // The window's own power where known: smoothing would hide a 20 ms burst.
    bool Clear(std::size_t w) const {
        const double power = w < quiet_.power.size() ? quiet_.power[w] : quiet_.level[w];
        return power >= Room(w) * clearAt_;
    }

    // The end of sound that goes on from `edge` up to `limit`: faint sound
    // after it, and clear sound of kBurstWindows after a closure, up to `reach`.
    std::uint64_t Ahead(std::uint64_t edge, std::uint64_t reach, std::uint64_t limit) const {
        if (window_ == 0) return edge;
        const std::size_t n = quiet_.level.size();
        std::size_t w = static_cast<std::size_t>((edge + window_ - 1) / window_);
        for (;;) {
            while (w < n && (w + 1) * window_ <= limit && Faint(w)) edge = (++w) * window_;
            bool found = false;
            std::size_t v = w;
            for (; v <= w + closure_ && v + kBurstWindows <= n && (v + kBurstWindows) * window_ <= reach; ++v) {
                if (clear_[v + kBurstWindows] - clear_[v] == kBurstWindows) {
                    found = true;
                    break;
                }
            }
            if (!found) return edge;
            w = v + kBurstWindows;
            edge = w * window_;
        }
    }

    // The start of faint sound that leads up to `edge`, down to `limit`.
    std::uint64_t Back(std::uint64_t edge, std::uint64_t limit) const {
        if (window_ == 0) return edge;
        std::size_t w = static_cast<std::size_t>(std::min<std::uint64_t>(edge / window_, quiet_.level.size()));
        while (w > 0 && (w - 1) * window_ >= limit && Faint(w - 1)) edge = (--w) * window_;
        return edge;
    }

    const QuietMap& quiet_;
    std::uint64_t channels_;
    std::uint64_t window_ = 0, closure_ = 0;
    const double faint_ = std::pow(10.0, kFaintDb / 10.0), clearAt_ = std::pow(10.0, kClearDb / 10.0);
    std::vector<std::uint32_t> clear_;  // windows of clear sound before each window
};

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

// A pause within this of the floor is a gap between tracks, not a quiet passage.
constexpr double kFloorDb = 3.0;
constexpr double kFloorPauseMs = 300.0;

class Planner {
public:
    Planner(const RuleAudio& audio, const QuietMap& quiet, const PieceRules& rules)
        : audio_(audio), quiet_(quiet), channels_(std::max<std::uint32_t>(1, audio.channels)),
          sound_(quiet, audio.channels, audio.sampleRate) {
        frames_ = audio.sampleCount / channels_;
        longest_ = Frames(rules.longestSeconds);
        shortest_ = Frames(rules.shortestSeconds);
        windowFrames_ = quiet.windowSamples / channels_;
        count_ = rules.pieceCount;
        trims_ = rules.marginMs >= 0;
        if (trims_) margin_ = static_cast<std::uint64_t>(std::llround(rules.marginMs * audio.sampleRate / 1000.0));
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

    std::vector<double> Plan(std::vector<RuleNote>* notes) {
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
        KeepNoBareRoom();
        if (notes) Note(notes);
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

    // The length of the piece [a, b) as it is written: with a margin, trimmed.
    std::uint64_t Written(std::uint64_t a, std::uint64_t b) const {
        if (!trims_) return b - a;
        const Span k = sound_.Kept(a, b, margin_, 0);
        return k.to - k.from;
    }

    // A piece of bare room is no piece: the automatic cut beside it goes
    // (the one before it first, so the room stays with the sound before it).
    void KeepNoBareRoom() {
        auto fits = [&](std::uint64_t a, std::uint64_t b) { return longest_ == 0 || Written(a, b) <= longest_; };
        for (std::size_t k = 0; k <= marks_.size();) {
                if (sound_.HasSound(Start(k), End(k))) {
                ++k;
            } else if (k > 0 && !marks_[k - 1].user && fits(Start(k - 1), End(k))) {
                marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(k - 1));
                --k;
            } else if (k < marks_.size() && !marks_[k].user && fits(Start(k), End(k + 1))) {
                marks_.erase(marks_.begin() + static_cast<std::ptrdiff_t>(k));
            } else {
                ++k;
            }
        }
    }

    // What the rules could not make as asked: the uncertain places a number
    // of pieces took, and pieces still shorter than the shortest.
    void Note(std::vector<RuleNote>* notes) const {
        for (const Mark& m : marks_) {
            auto u = uncertain_.find(m.frame);
            if (!m.user && u != uncertain_.end()) notes->push_back({RuleNote::Kind::UncertainBoundary, m.frame, u->second, 0});
        }
        if (shortest_ == 0) return;
        for (std::size_t k = 0; k <= marks_.size(); ++k) {
            const Span kept = trims_ ? sound_.Kept(Start(k), End(k), margin_, shortest_) : Span{Start(k), End(k)};
            if (kept.to - kept.from < shortest_ && End(k) > Start(k))
                notes->push_back({RuleNote::Kind::ShortKept, Start(k), 0,
                                  static_cast<double>(kept.to - kept.from) / audio_.sampleRate});
        }
    }

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
        for (std::size_t i = 0; i <= n; ++i) queue.push({Written(frame(i), frame(i + 1)), i});
        while (!queue.empty()) {
            const auto [length, left] = queue.top();
            queue.pop();
            if (length >= shortest_) break;
            if (gone[left] || Written(frame(left), frame(next[left])) != length) continue;  // changed since
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
            queue.push({Written(frame(prev[drop]), frame(next[prev[drop]])), prev[drop]});
        }
        std::vector<Mark> kept;
        for (std::size_t i = 1; i <= n; ++i)
            if (!gone[i]) kept.push_back(marks_[i - 1]);
        marks_ = std::move(kept);
    }

    // A given number of pieces: the automatic cuts give way to cuts in the
    // best pauses of the whole recording, as many as the user's cuts leave
    // room for. The pauses at the recording's floor (the hiss or the room
    // between the tracks of a tape, within kFloorDb of its quietest pause of
    // some length) come first, the longer first; only then the others, each
    // worth its length halved for every 3 dB it lies over the floor, and such
    // a place is noted as uncertain. None leaves a piece shorter than the shortest.
    void Choose() {
        std::vector<Mark> kept;
        for (const Mark& m : marks_)
            if (m.user) kept.push_back(m);
        marks_ = std::move(kept);
        if (count_ <= marks_.size() + 1) return;
        const double floor = Floor();
        struct Candidate {
            std::uint64_t frame;
            bool atFloor;
            double worth, pauseFrames, level, overDb;
        };
        std::vector<Candidate> candidates;
        for (const SoundSpan& p : quiet_.pauses) {
            const std::uint64_t first = static_cast<std::uint64_t>(p.first) / channels_;
            const std::uint64_t end = static_cast<std::uint64_t>(p.end) / channels_;
            // In the gap itself: a quiet end or intro of a track beside it belongs to the track.
            const std::uint64_t quietest = static_cast<std::uint64_t>(p.quietest) / channels_;
            const std::uint64_t middle = quietest > first && quietest < end ? quietest : first + (end - first) / 2;
            if (middle == 0 || middle >= frames_ || end <= first) continue;
            const double over = OverFloorDb(p.level, floor);
            const double length = static_cast<double>(end - first);
            // A gap between tracks is a pause of some length, not a rest between two notes.
            const bool atFloor = over <= kFloorDb && length >= kFloorPauseMs / 1000.0 * audio_.sampleRate;
            candidates.push_back({middle, atFloor, atFloor ? length : length * std::pow(0.5, over / 3.0), length, p.level,
                                  over});
        }
        std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return a.atFloor != b.atFloor ? a.atFloor : a.worth > b.worth;
        });
        std::vector<std::uint64_t> bounds{0, frames_};
        for (const Mark& m : marks_) bounds.push_back(m.frame);
        std::sort(bounds.begin(), bounds.end());
        std::size_t wanted = count_ - 1 - marks_.size();
        bool floorTaken = false;
        for (const Candidate& c : candidates) {
            if (wanted == 0) break;
            const auto right = std::lower_bound(bounds.begin(), bounds.end(), c.frame);
            if (*right == c.frame) continue;
            if (c.frame - *(right - 1) < shortest_ || *right - c.frame < shortest_) continue;
            bounds.insert(right, c.frame);
            marks_.push_back({c.frame, static_cast<double>(c.frame * channels_), false, c.pauseFrames, c.level});
            floorTaken = floorTaken || c.atFloor;
            if (!c.atFloor && floorTaken) uncertain_[c.frame] = c.overDb;
            --wanted;
        }
        std::sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) { return a.frame < b.frame; });
    }

    // The recording's floor: its quietest pause of kFloorPauseMs or more
    // (of any length where none is), so a dropout of a few windows sets no floor.
    double Floor() const {
        const double longEnough = kFloorPauseMs / 1000.0 * audio_.sampleRate * channels_;
        double floor = std::numeric_limits<double>::infinity(), any = floor;
        for (const SoundSpan& p : quiet_.pauses) {
            any = std::min(any, p.level);
            if (static_cast<double>(p.end - p.first) >= longEnough) floor = std::min(floor, p.level);
        }
        return std::isinf(floor) ? any : floor;
    }

    // Powers under one 16-bit step squared are all silence alike.
    static double OverFloorDb(double level, double floor) {
        return 10.0 * std::log10((std::max(level, 0.0) + 1.0) / (std::max(floor, 0.0) + 1.0));
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
            if (Written(from, to) <= longest_) continue;
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
            if (!sound_.HasSound(a, middle) || !sound_.HasSound(middle, b)) continue;  // no piece of room alone
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
        // Inside the sound: a cut in the room before or after it would make a piece of room.
        Span sound;
        if (sound_.SoundIn(a, b, &sound) && sound.from + 1 <= sound.to - 1 && std::max(lo, sound.from + 1) <= std::min(hi, sound.to - 1)) {
            lo = std::max(lo, sound.from + 1);
            hi = std::min(hi, sound.to - 1);
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
    SoundMap sound_;
    std::uint64_t frames_ = 0, longest_ = 0, shortest_ = 0, windowFrames_ = 0, count_ = 0, margin_ = 0;
    bool trims_ = false;
    std::vector<Mark> marks_;
    std::vector<double> userValues_;
    std::map<std::uint64_t, double> uncertain_;  // places Choose took well over the floor
};

}  // namespace

std::vector<double> ApplyPieceRules(const std::vector<double>& automatic, const std::vector<double>& user,
                                    const RuleAudio& audio, const QuietMap& quiet, const PieceRules& rules,
                                    std::vector<RuleNote>* notes) {
    Planner planner(audio, quiet, rules);
    for (double c : user) planner.Add(c, true);
    for (double c : automatic) planner.Add(c, false);
    return planner.Plan(notes);
}

std::vector<Piece> TrimPieces(const std::vector<Piece>& pieces, const QuietMap& quiet, double marginMs,
                              const RuleAudio& audio, std::uint32_t sampleBytes, std::vector<bool>* trimmed,
                              double shortestSeconds) {
    const std::uint64_t channels = std::max<std::uint32_t>(1, audio.channels);
    const std::uint64_t frameBytes = channels * std::max<std::uint32_t>(1, sampleBytes);
    auto frames = [&](double ms) {
        return static_cast<std::uint64_t>(std::llround(std::max(0.0, ms) * audio.sampleRate / 1000.0));
    };
    const SoundMap sound(quiet, audio.channels, audio.sampleRate);
    std::vector<Piece> out = pieces;
    trimmed->assign(pieces.size(), false);
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        // Pieces start on whole frames; a partial frame at the data's end stays with the last.
        const std::uint64_t start = pieces[k].offset / frameBytes;
        const std::uint64_t end = (pieces[k].offset + pieces[k].length) / frameBytes;
        if (end <= start) continue;
        const Span kept = sound.Kept(start, end, frames(marginMs), frames(shortestSeconds * 1000.0));
        if (kept.from == start && kept.to == end) continue;  // no sound to judge by, or all of it kept
        const std::uint64_t from = kept.from * frameBytes;
        const std::uint64_t to = kept.to == end ? pieces[k].offset + pieces[k].length : kept.to * frameBytes;
        out[k] = {from, to - from};
        (*trimmed)[k] = true;
    }
    return out;
}

}  // namespace tw
