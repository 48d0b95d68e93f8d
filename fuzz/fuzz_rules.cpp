// Pause cutting and the piece rules on random recordings with random settings:
// every cut inside the recording on a whole frame, every user's cut kept,
// every piece written inside its own stretch in whole frames with no overlap,
// none longer than the longest, and none shorter than the shortest unless a
// note names it.
//
// Input: rate (1), channels (1), room (1), threshold (3), minimum pause (2),
// rules (1 + 2 + 2 + 2 + 1), user cuts (1 + 4 each), then parts of the
// recording (kind 1, milliseconds 2, amplitude 2) laid one after another.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/cut/pause_cut.h"
#include "core/cut/piece_plan.h"
#include "core/cut/piece_rules.h"
#include "fuzz/fuzz_support.h"

using namespace tw;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint32_t kRates[] = {8000, 11025, 16000, 22050, 44100, 48000};
constexpr std::size_t kMostFrames = 6 * 48000;

// Voice (harmonics of 150 Hz), noise or the room alone, over the room's noise.
std::vector<std::int16_t> Render(fuzz::Reader& in, std::uint32_t rate, std::uint32_t channels, int room) {
    std::vector<std::int16_t> s;
    std::uint32_t noise = 1;
    auto next = [&noise](int amp) {
        noise = noise * 1664525u + 1013904223u;
        return amp == 0 ? 0 : static_cast<int>(noise >> 8) % (2 * amp + 1) - amp;
    };
    while (in.left() > 0 && s.size() / channels < kMostFrames) {
        const std::uint8_t kind = in.U8() % 3;
        const std::size_t frames = std::min<std::size_t>((10 + in.U16() % 2000) * rate / 1000, kMostFrames - s.size() / channels);
        const int amp = in.U16() % 32768;
        for (std::size_t i = 0; i < frames; ++i) {
            const double t = static_cast<double>(s.size() / channels) / rate;
            double v = next(room);
            if (kind == 0)
                for (int h = 1; h <= 4; ++h) v += amp / h * std::sin(2 * kPi * 150 * h * t);
            if (kind == 1) v += next(amp);
            for (std::uint32_t c = 0; c < channels; ++c)
                s.push_back(static_cast<std::int16_t>(std::max(-32768.0, std::min(32767.0, v))));
        }
    }
    return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Reader in(data, size);
    const std::uint32_t rate = kRates[in.U8() % 6];
    const std::uint32_t channels = 1 + in.U8() % 2;
    const int room = in.U8() % 200;
    const std::uint8_t typed = in.U8();
    const double threshold = typed & 1 ? static_cast<double>(in.U16()) : (in.U16(), std::nan(""));
    const double minPauseMs = 20 + in.U16() % 3000;
    const std::uint8_t set = in.U8();
    PieceRules rules;
    rules.longestSeconds = set & 1 ? 0.05 + in.U16() % 10000 / 1000.0 : (in.U16(), 0.0);
    rules.shortestSeconds = set & 2 ? in.U16() % 5000 / 1000.0 : (in.U16(), 0.0);
    rules.marginMs = set & 4 ? in.U16() % 600 : (in.U16(), -1.0);
    rules.pieceCount = set & 8 ? in.U8() % 12 : (in.U8(), 0u);
    std::vector<std::uint32_t> userRaw;
    for (std::uint8_t n = in.U8() % 5; n > 0; --n) userRaw.push_back(in.U32());

    const std::vector<std::int16_t> samples = Render(in, rate, channels, room);
    const std::uint64_t count = samples.size();
    const std::uint64_t frames = count / channels;
    PauseAudio audio;
    audio.data = reinterpret_cast<const std::uint8_t*>(samples.data());
    audio.sampleCount = count;
    audio.channels = channels;
    audio.sampleRate = rate;

    const PauseCutResult found = FindPauseCuts(audio, threshold, minPauseMs);
    std::vector<double> automatic;
    for (std::size_t i = 0; i < found.cuts.size(); ++i) {
        const std::int64_t c = found.cuts[i];
        FUZZ_CHECK(c > 0 && static_cast<std::uint64_t>(c) < count && c % channels == 0);
        FUZZ_CHECK(i == 0 || c > found.cuts[i - 1]);
        automatic.push_back(static_cast<double>(c));
    }
    std::vector<double> user;
    for (std::uint32_t u : userRaw) user.push_back(static_cast<double>(u % (count + 10)));

    const QuietMap quiet = MapQuiet(audio, threshold);
    std::vector<RuleNote> notes;
    const RuleAudio ruled{count, channels, rate};
    const std::vector<double> cuts = ApplyPieceRules(automatic, user, ruled, quiet, rules, &notes);
    for (std::size_t i = 1; i < cuts.size(); ++i) FUZZ_CHECK(cuts[i - 1] <= cuts[i]);
    for (double u : user) FUZZ_CHECK(std::find(cuts.begin(), cuts.end(), u) != cuts.end());

    const std::uint32_t frameBytes = 2 * channels;
    const std::vector<Piece> pieces = PlanPieces(cuts, 2 * count, frameBytes);
    std::vector<bool> trimmed(pieces.size(), false);
    const std::vector<Piece> written =
        rules.marginMs >= 0 ? TrimPieces(pieces, quiet, rules.marginMs, ruled, 2, &trimmed, rules.shortestSeconds) : pieces;
    FUZZ_CHECK(written.size() == pieces.size());
    const std::uint64_t longest = rules.longestSeconds > 0 ? std::llround(rules.longestSeconds * rate) : 0;
    const std::uint64_t shortest = rules.shortestSeconds > 0 ? std::llround(rules.shortestSeconds * rate) : 0;
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        const Piece& p = pieces[k];
        const Piece& w = written[k];
        FUZZ_CHECK(w.offset >= p.offset && w.offset + w.length <= p.offset + p.length);
        FUZZ_CHECK(w.offset % frameBytes == 0 && w.length % frameBytes == 0);
        FUZZ_CHECK(trimmed[k] == (w.offset != p.offset || w.length != p.length));
        const std::uint64_t length = w.length / frameBytes;
        if (longest > 0 && shortest <= longest) FUZZ_CHECK(length <= std::max<std::uint64_t>(longest, 1));
        if (shortest > 0 && length < shortest && frames > 0) {
            bool named = false;
            for (const RuleNote& n : notes)
                named = named || (n.kind == RuleNote::Kind::ShortKept && n.frame == p.offset / frameBytes);
            FUZZ_CHECK(named);
        }
    }
    for (const RuleNote& n : notes) FUZZ_CHECK(n.frame <= frames);
    return 0;
}
