// The rules a save's pieces follow beyond the cuts: longest and shortest piece,
// and the margin around each piece's sound, on quiet maps laid out by hand
// (1000 frames a second, 10-frame windows); names from lists and label files.
#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/cut/piece_names.h"
#include "core/cut/piece_rules.h"

using namespace tw;

namespace {

struct Quiet {
    std::vector<SoundSpan> pauses;  // in frames (mono)
    std::vector<std::uint64_t> quietWindows;  // windows (of 10 frames) quieter than the rest
};

QuietMap MapOf(const Quiet& q, std::uint64_t frames) {
    QuietMap map;
    map.windowSamples = 10;
    map.level.assign(frames / 10, 100.0);
    for (std::size_t i = 0; i < q.quietWindows.size(); ++i) map.level[q.quietWindows[i]] = 1.0 + static_cast<double>(i);
    map.pauses = q.pauses;
    return map;
}

}  // namespace

TEST_CASE("piece rules: long pieces cut at their best pauses, short ones joined, the user's cuts kept") {
    struct Row {
        const char* what;
        std::uint64_t frames;
        Quiet quiet;
        std::vector<double> automatic, user;
        double longest, shortest;
        std::vector<double> expected;
        std::uint32_t count = 0;
    } rows[] = {
        {"no pause at all: the quietest windows, as few pieces as the length needs", 100000,
         {{}, {2500, 5000, 7500}}, {}, {}, 30, 0, {25005, 50005, 75005}},
        {"comma pauses: the longest first, then the quieter of two as long", 60000,
         {{{9000, 9200, 5}, {20000, 20300, 3}, {33000, 33150, 2}, {45000, 45250, 4}, {52000, 52250, 1}}, {}},
         {}, {}, 25, 0, {20150, 45125, 52125}},
        {"the user's cuts stay; the stretch after them is cut", 60000, {{}, {}}, {30000}, {10000}, 25, 0,
         {10000, 30000, 35005}},
        {"no longer than the longest: nothing added", 60000, {{}, {}}, {30000}, {}, 30, 0, {30000}},
        {"a cough between two pauses joins the side of the shorter pause", 30000,
         {{{9500, 10500, 2}, {11300, 11700, 2}}, {}}, {10000, 11500}, {}, 0, 2, {10000}},
        {"as long: the side of the louder pause", 30000,
         {{{9800, 10200, 9}, {11300, 11700, 2}}, {}}, {10000, 11500}, {}, 0, 2, {11500}},
        {"a short piece between the user's cuts stays; one beside an automatic cut is joined", 30000, {{}, {}}, {5000},
         {3000, 4000}, 0, 2, {3000, 4000}},
        {"the longest wins: joined only where the whole stays short enough", 20000, {{}, {}}, {10000, 11000}, {}, 10.5,
         2, {10000}},
        {"the longest wins: neither side fits, the short piece stays", 19000, {{}, {}}, {9000, 10000}, {}, 9.5, 2,
         {9000, 10000}},
        {"a new cut leaves no piece shorter than the shortest where a pause allows", 40000,
         {{{1000, 1400, 1}, {20000, 20200, 5}}, {}}, {}, {}, 30, 5, {20100}},
        {"a user's cut on an automatic one makes one boundary", 20000, {{}, {}}, {5000, 9000}, {5000, 9000}, 0, 0,
         {5000, 9000}},
        {"a number of pieces: the gaps at the floor win over a longer quiet passage", 100000,
         {{{20000, 22500, 2}, {40000, 45000, 40}, {60000, 63000, 3}, {80000, 82000, 2.2}}, {}}, {30000}, {}, 0, 0,
         {21250, 61500, 81000}, 4},
        {"the user's cuts count among the pieces", 100000,
         {{{20000, 22500, 2}, {40000, 45000, 40}, {60000, 63000, 3}}, {}}, {30000}, {50000}, 0, 0, {50000, 61500}, 3},
        {"a number of pieces leaves none shorter than the shortest", 100000,
         {{{3000, 6000, 1}, {50000, 52000, 1}}, {}}, {}, {}, 0, 10, {51000}, 2},
        {"one piece: no automatic cut", 100000, {{{3000, 6000, 1}}, {}}, {4500}, {}, 0, 0, {}, 1},
    };
    for (const Row& r : rows) {
        CAPTURE(std::string(r.what));
        const RuleAudio audio{r.frames, 1, 1000};
        PieceRules rules;
        rules.longestSeconds = r.longest;
        rules.shortestSeconds = r.shortest;
        rules.pieceCount = r.count;
        CHECK(ApplyPieceRules(r.automatic, r.user, audio, MapOf(r.quiet, r.frames), rules) == r.expected);
    }
    // Stereo: a user's cut inside a frame is kept as typed; new cuts land on whole frames.
    const RuleAudio stereo{2 * 50000, 2, 1000};
    PieceRules rules;
    rules.longestSeconds = 25;
    QuietMap map = MapOf({{}, {}}, 50000);
    map.windowSamples = 20;
    map.pauses = {{2 * 30000, 2 * 30300, 1}};
    CHECK(ApplyPieceRules({}, {20001}, stereo, map, rules) == std::vector<double>{20001, 2 * 30150});
}

TEST_CASE("piece rules: a margin around each piece's sound, never beyond the piece") {
    QuietMap map;
    map.speech = {{1000, 3000, 0}, {5000, 8000, 0}, {8400, 9000, 0}};  // mono, 16-bit: samples are frames
    const std::vector<Piece> pieces = {{0, 8000}, {8000, 8400}, {16400, 3600}};  // cut at 4000 and 8200
    const RuleAudio audio{10000, 1, 1000};
    struct Row {
        double marginMs;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> expected;  // first and end sample of each piece
    } rows[] = {
        {0, {{1000, 3000}, {5000, 8000}, {8400, 9000}}},
        {100, {{900, 3100}, {4900, 8100}, {8300, 9100}}},
        {300, {{700, 3300}, {4700, 8200}, {8200, 9300}}},  // more than half the short pause: it stays whole
        {1500, {{0, 4000}, {4000, 8200}, {8200, 10000}}},  // the piece's own bounds, no more
    };
    for (const Row& r : rows) {
        CAPTURE(r.marginMs);
        std::vector<bool> trimmed;
        const std::vector<Piece> got = TrimPieces(pieces, map, r.marginMs, audio, 2, &trimmed);
        REQUIRE(got.size() == 3);
        for (std::size_t k = 0; k < 3; ++k) {
            CHECK(got[k].offset == 2 * r.expected[k].first);
            CHECK(got[k].offset + got[k].length == 2 * r.expected[k].second);
            CHECK(trimmed[k] == (got[k].offset != pieces[k].offset || got[k].length != pieces[k].length));
        }
    }
    // Stereo 16-bit: whole frames; a piece without sound stays whole; an odd last byte stays with the last piece.
    QuietMap stereoMap;
    stereoMap.speech = {{1001, 2001, 0}};
    std::vector<bool> trimmed;
    const std::vector<Piece> got =
        TrimPieces({{0, 8000}, {8000, 4001}}, stereoMap, 0, RuleAudio{6000, 2, 1000}, 2, &trimmed);
    CHECK(got[0].offset == 2000);
    CHECK(got[0].length == 2004);
    CHECK(got[1].offset == 8000);
    CHECK(got[1].length == 4001);
    CHECK(trimmed == std::vector<bool>{true, false});
}

TEST_CASE("piece rules: the margin keeps a word's last sounds and never less than the shortest") {
    // 1000 frames a second, 10-frame windows; the room at level 1 everywhere,
    // speech judged 1000-3000; what follows it is laid out per row.
    struct Row {
        const char* what;
        std::uint64_t closure, length;  // frames of near silence after the speech, then frames of the sound
        double level;                   // of that sound
        double shortest;                // seconds
        std::uint64_t first, end;       // the piece written, frames
    } rows[] = {
        {"a syllable after a 60 ms stop", 60, 100, 60, 0, 900, 3260},
        {"a syllable after a 150 ms stop", 150, 100, 60, 0, 900, 3350},
        {"a faint last consonant, 4 dB over the room", 0, 80, 2.5, 0, 900, 3180},
        {"a sound 400 ms on is another's, not this word's", 400, 100, 60, 0, 900, 3100},
        {"shorter than the shortest: more of its room kept", 0, 0, 1, 3, 500, 3500},
    };
    for (const Row& r : rows) {
        CAPTURE(std::string(r.what));
        QuietMap map;
        map.windowSamples = 10;
        map.level.assign(800, 1.0);
        map.room.assign(800, 1.0);
        for (std::uint64_t w = 100; w < 300; ++w) map.level[w] = 1000.0;
        for (std::uint64_t w = (3000 + r.closure) / 10; w < (3000 + r.closure + r.length) / 10; ++w) map.level[w] = r.level;
        map.speech = {{1000, 3000, 0}, {7000, 7500, 0}};
        map.pauses = {{3000, 7000, 1.0}};
        std::vector<bool> trimmed;
        const std::vector<Piece> got =
            TrimPieces({{0, 2 * 5000}}, map, 100, RuleAudio{8000, 1, 1000}, 2, &trimmed, r.shortest);
        CHECK(got[0].offset == 2 * r.first);
        CHECK(got[0].offset + got[0].length == 2 * r.end);
    }
    // Lengths of 4 GiB and more are kept whole: a 6 GiB stretch of sound in a longer piece.
    QuietMap huge;
    huge.speech = {{1000, 3000001000ll, 0}};
    std::vector<bool> trimmed;
    const std::vector<Piece> got =
        TrimPieces({{0, 2 * 4000000000ull}}, huge, 0, RuleAudio{4000000000ull, 1, 1000}, 2, &trimmed);
    CHECK(got[0].offset == 2000);
    CHECK(got[0].length == 6000000000ull);
}

TEST_CASE("piece rules: pieces as written, no piece of bare room, uncertain places named") {
    // 1000 frames a second, 10-frame windows: speech where the map says, the room elsewhere.
    auto map = [](std::vector<SoundSpan> speech, std::vector<SoundSpan> pauses, std::uint64_t frames) {
        QuietMap m;
        m.windowSamples = 10;
        m.level.assign(frames / 10, 1.0);
        m.room.assign(frames / 10, 1.0);
        for (const SoundSpan& s : speech)
            for (std::int64_t w = s.first / 10; w < s.end / 10; ++w) m.level[static_cast<std::size_t>(w)] = 1000.0;
        m.speech = std::move(speech);
        m.pauses = std::move(pauses);
        return m;
    };
    const QuietMap three = map({{1000, 5000, 0}, {6000, 6300, 0}, {7300, 11000, 0}},
                               {{5000, 6000, 1}, {6300, 7300, 1}}, 14000);
    PieceRules rules;
    rules.shortestSeconds = 1;
    rules.marginMs = 100;
    // A word of 0.3 s between two pauses is written 0.5 s long with its margin: joined to a neighbour.
    CHECK(ApplyPieceRules({5500, 6800}, {}, RuleAudio{14000, 1, 1000}, three, rules).size() == 1);
    // Between the user's cuts it is widened into its room; where the cuts leave less, it stays and is named.
    std::vector<RuleNote> notes;
    CHECK(ApplyPieceRules({}, {5500, 6800}, RuleAudio{14000, 1, 1000}, three, rules, &notes).size() == 2);
    CHECK(notes.empty());
    CHECK(ApplyPieceRules({}, {5800, 6500}, RuleAudio{14000, 1, 1000}, three, rules, &notes) ==
          std::vector<double>{5800, 6500});
    REQUIRE(notes.size() == 1);
    CHECK(notes[0].kind == RuleNote::Kind::ShortKept);
    CHECK(notes[0].frame == 5800);
    CHECK(notes[0].seconds == doctest::Approx(0.7));
    // The longest piece never cuts 3 s of room after the last word into a piece of its own.
    const QuietMap tail = map({{500, 9000, 0}}, {}, 12000);
    PieceRules longest;
    longest.longestSeconds = 10;
    for (double c : ApplyPieceRules({}, {}, RuleAudio{12000, 1, 1000}, tail, longest)) CHECK(c < 9000);
    // An automatic cut that leaves only room on one side goes.
    PieceRules margin;
    margin.marginMs = 50;
    CHECK(ApplyPieceRules({11500}, {}, RuleAudio{12000, 1, 1000}, tail, margin).empty());
    // A number of pieces: a gap at the floor is taken first, a dip 12 dB over it last and named.
    QuietMap album = map({{0, 10000, 0}, {13000, 30000, 0}, {32000, 50000, 0}}, {{10000, 13000, 1}, {30000, 32000, 16}},
                         50000);
    PieceRules count;
    count.pieceCount = 3;
    notes.clear();
    CHECK(ApplyPieceRules({}, {}, RuleAudio{50000, 1, 1000}, album, count, &notes) == std::vector<double>{11500, 31000});
    REQUIRE(notes.size() == 1);
    CHECK(notes[0].kind == RuleNote::Kind::UncertainBoundary);
    CHECK(notes[0].frame == 31000);
    CHECK(notes[0].overFloorDb == doctest::Approx(10 * std::log10(17.0 / 2.0)));
}

TEST_CASE("piece names: list texts in UTF-8, with a BOM or in Shift-JIS; names Windows refuses") {
    const struct {
        const char* bytes;
        bool ok;
        std::vector<std::string> names;
    } texts[] = {
        {"\xE3\x81\x82\n\nb\r\nc", true, {"\xE3\x81\x82", "", "b", "c"}},   // UTF-8, a blank line, CRLF
        {"\xEF\xBB\xBF\xE3\x81\x82\n \n", true, {"\xE3\x81\x82", ""}},      // BOM, a line of blanks
        {"\x83\x5C\x83\x93\n\x82\xA0", true, {"\xE3\x82\xBD\xE3\x83\xB3", "\xE3\x81\x82"}},  // Shift-JIS ソン, あ
        {"\xEF\xBB\xBF\x83\x5C", false, {}},  // a BOM promises UTF-8
        {"\xFF\xFE", false, {}},
    };
    for (const auto& t : texts) {
        CAPTURE(std::string(t.bytes));
        std::string text;
        REQUIRE(DecodeText(t.bytes, &text) == t.ok);
        if (t.ok) CHECK(NameListOf(text) == t.names);
    }
    const std::pair<const char*, bool> names[] = {
        {"talk 1", true}, {u8"ソ", true}, {".hidden", true}, {"CONSOLE", true}, {"COM0", true},
        {"a\\b", false}, {"a/b", false}, {"a:b", false}, {"a*", false}, {"a?", false}, {"\"a\"", false},
        {"<a>", false}, {"a|b", false}, {"a\tb", false}, {"a.", false}, {"a ", false},
        {"con", false}, {"PRN.txt", false}, {"aux.tar.gz", false}, {"NUL", false}, {"com1", false}, {"LPT9.wav", false},
    };
    for (const auto& n : names) {
        CAPTURE(std::string(n.first));
        CHECK((NameProblem(n.first) == nullptr) == n.second);
    }
    const std::vector<NameLineProblem> problems = CheckNames({"a", "", "", "b:", "A", "c"}, {1, 2, 3, 4, 5, 6});
    REQUIRE(problems.size() == 2);
    CHECK(problems[0].line == 4);
    CHECK(problems[1].line == 5);
    CHECK(problems[1].why == u8"1 行目と同じ名前です");
    CHECK(NameProblemsText(problems).find(u8"5 行目 \"A\"") != std::string::npos);
}

TEST_CASE("label files: read back what a save writes") {
    const std::vector<Piece> pieces = {{0, 44100}, {44100, 3}, {44103, 88200}};
    const std::string text = LabelsText(pieces, {"a", "\xE3\x81\x82", ""}, 88200);
    CHECK(text == "0.000000\t0.500000\ta\n0.500000\t0.500034\t\xE3\x81\x82\n0.500034\t1.500034\t\n");
    std::vector<Label> labels;
    std::vector<std::size_t> lines;
    std::size_t bad = 0;
    REQUIRE(ReadLabels("\\ 100.0 200.0\n" + text + "\n2.5\t2.5\n", &labels, &bad, &lines));
    REQUIRE(labels.size() == 4);
    CHECK(labels[1].start == 0.5);
    CHECK(labels[1].name == "\xE3\x81\x82");
    CHECK(labels[2].name.empty());
    CHECK(labels[3].start == labels[3].end);
    CHECK(lines == std::vector<std::size_t>{2, 3, 4, 6});
    const std::pair<const char*, std::size_t> broken[] = {
        {"1.0\t2.0\tx\n1.0 2.0\n", 2}, {"2.0\t1.0\n", 1}, {"-1\t2\n", 1}, {"1,5\t2\n", 1}, {"1.0\t\n", 1},
    };
    for (const auto& b : broken) {
        CAPTURE(std::string(b.first));
        CHECK(!ReadLabels(b.first, &labels, &bad, &lines));
        CHECK(bad == b.second);
    }
}

TEST_CASE("piece rules: on random cuts and pauses, no piece too long and every user's cut kept") {
    std::uint64_t seed = 0x9E3779B97F4A7C15ull;
    auto next = [&seed](std::uint64_t below) {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        return seed % below;
    };
    for (int round = 0; round < 300; ++round) {
        CAPTURE(round);
        const std::uint64_t frames = 1000 + next(200000);
        QuietMap map = MapOf({{}, {}}, frames);
        for (double& l : map.level) l = 1.0 + static_cast<double>(next(100));
        for (std::uint64_t at = next(5000); at + 400 < frames; at += 400 + next(8000)) {
            const std::int64_t first = static_cast<std::int64_t>(at);
            map.pauses.push_back({first, first + 1 + static_cast<std::int64_t>(next(399)), static_cast<double>(next(50))});
        }
        std::vector<double> automatic, user;
        for (std::uint64_t n = next(30); n > 0; --n) automatic.push_back(static_cast<double>(next(frames + 100)));
        for (std::uint64_t n = next(5); n > 0; --n) user.push_back(static_cast<double>(next(frames)));
        PieceRules rules;
        rules.longestSeconds = 0.5 + static_cast<double>(next(30000)) / 1000;
        rules.shortestSeconds = static_cast<double>(next(3000)) / 1000;
        const std::vector<double> cuts = ApplyPieceRules(automatic, user, RuleAudio{frames, 1, 1000}, map, rules);
        for (double u : user) CHECK(std::count(cuts.begin(), cuts.end(), u) >= 1);
        const std::vector<Piece> pieces = PlanPieces(cuts, static_cast<std::uint32_t>(2 * frames), 2);
        for (const Piece& p : pieces) CHECK(p.length <= 2 * std::llround(rules.longestSeconds * 1000));
    }
}

TEST_CASE("pieces of a recording are named after it without its kind's extension") {
    struct Row {
        const char* path;
        const char* prefix;
    } rows[] = {
        {"talk.wav", "talk"},         {"talk.WAV", "talk"},   {"D:\\rec\\talk.mp3", "D:\\rec\\talk"},
        {"talk.m4a", "talk"},         {"talk.Flac", "talk"},  {"album/side.opus", "album/side"},
        {"notes.txt", "notes.txt"},   {"a.mp3.wav", "a.mp3"}, {"a.wave", "a.wave"},
    };
    for (const Row& r : rows) CHECK(WithoutRecordingTail(r.path) == r.prefix);
}
