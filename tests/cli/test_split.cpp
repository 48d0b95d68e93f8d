// tarnwick-split end to end on real files in a scratch folder: its options,
// the pieces it writes against the core's plan, the dry run and --json
// against the core's own numbers, never overwriting, hostile files.
#include <doctest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "cli/split.h"
#include "core/cut/auto_cut.h"
#include "core/cut/cut_list.h"
#include "core/cut/piece_plan.h"
#include "core/cut/piece_writer.h"
#include "core/support/file_io.h"
#include "core/support/number_text.h"
#include "tests/common/hostile_waves.h"
#include "core/support/little_endian.h"
#include "core/wave/load_notice.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Scratch {
    fs::path dir;
    Scratch() {
        dir = fs::temp_directory_path() / ("tw_split_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir);
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    std::string operator()(const std::string& name) const { return (dir / name).u8string(); }
};

void Write(const std::string& path, const Bytes& bytes) {
    std::ofstream(fs::u8path(path), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                            static_cast<std::streamsize>(bytes.size()));
}

Bytes Read(const std::string& path) {
    std::ifstream in(fs::u8path(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Result {
    int status;
    std::string out, err, json;
};

Result Run(const std::vector<std::string>& args) {
    Result r{};
    r.status = tw::RunSplit(args, {[&](const std::string& t) { r.out += t; }, [&](const std::string& t) { r.err += t; },
                                   [&](const std::string& t) { r.json += t; }});
    return r;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::vector<double> JsonValues(const std::string& json, const std::string& key) {
    std::vector<double> values;
    const std::string tag = "\"" + key + "\":";
    for (std::size_t at = json.find(tag); at != std::string::npos; at = json.find(tag, at + 1)) {
        const char* from = json.c_str() + at + tag.size();
        if (key == "trimmed") {
            values.push_back(std::strncmp(from, "true", 4) == 0);
            continue;
        }
        for (char* end = nullptr; *from != ']'; from = end) {  // a number, or an array of them
            values.push_back(std::strtod(from + (*from == '[' || *from == ','), &end));
            if (*from != '[' && *from != ',') break;
        }
    }
    return values;
}

// Bursts of a tone between silences, stereo, so cuts land inside frames.
std::vector<std::int16_t> Bursts() {
    std::vector<std::int16_t> s;
    for (int burst = 0; burst < 12; ++burst) {
        for (int i = 0; i < 700; ++i) s.push_back(static_cast<std::int16_t>(((i * 37) % 4001) - 2000));
        for (int i = 0; i < 300 + 40 * burst; ++i) s.push_back(static_cast<std::int16_t>(i % 7 - 3));
    }
    return s;
}

// What the window would hold and save for `file` cut with these cuts.
struct Expected {
    tw::WaveCheck check;
    Bytes data;  // dataSize bytes, the missing tail as zeros
    std::vector<double> cuts;
    std::vector<tw::Piece> pieces;
};

Expected Expect(const Bytes& file, std::int32_t width, double threshold, std::vector<double> handCuts) {
    Expected e;
    e.check = tw::CheckWaveBytes(file.data(), file.size());
    const tw::WaveLayout& l = e.check.layout;
    e.data.assign(file.begin() + static_cast<long>(l.dataOffset),
                  file.begin() + static_cast<long>(l.dataOffset + e.check.presentBytes));
    e.data.resize(l.dataSize, 0);
    if (width > 0) {  // 0: no -t
        for (const tw::AutoCut& c : tw::ScanForCutsPlain(e.data.data(), l.dataSize, width, threshold))
            e.cuts.push_back(static_cast<double>(c.position));
    }
    e.cuts.insert(e.cuts.end(), handCuts.begin(), handCuts.end());
    std::sort(e.cuts.begin(), e.cuts.end());
    e.pieces = tw::PlanPieces(e.cuts, l.dataSize, tw::FrameBytes(l.pieceHeader));
    return e;
}

std::string Name(const std::string& prefix, std::size_t k) {
    std::string name;
    tw::PieceFileName(prefix, static_cast<std::uint32_t>(k), 4096, &name);
    return name;
}

std::vector<std::string> Names(const std::string& prefix, std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t k = 0; k < count; ++k) names.push_back(Name(prefix, k));
    return names;
}

Bytes PieceBytes(const Expected& e, std::size_t k) {
    const tw::Piece& p = e.pieces[k];
    const tw::WaveHeaderBytes h = tw::PieceHeader(e.check.layout.pieceHeader, p.length);
    Bytes b;
    b.reserve(h.size() + p.length);
    b.insert(b.end(), h.begin(), h.end());
    b.insert(b.end(), e.data.begin() + static_cast<long>(p.offset), e.data.begin() + static_cast<long>(p.offset + p.length));
    return b;
}

}  // namespace

TEST_CASE("tarnwick-split reads its options") {
    struct Row {
        std::vector<std::string> args;
        tw::ArgsOutcome outcome;
        const char* options;  // Run rows: what was understood
    };
    const Row rows[] = {
        {{"a.wav"}, tw::ArgsOutcome::Run, "w570 in:a.wav"},
        {{"-t", "300", "-w", "1923", "-c", "10", "-c5", "-o", "p", "-n", "--json", "a.wav"}, tw::ArgsOutcome::Run,
         "t300 w1923 c10 c5 op n j in:a.wav"},
        {{"-t-5", "a.wav", "b.wav"}, tw::ArgsOutcome::Run, "t-5 w570 in:a.wav in:b.wav"},
        {{"-t", "&H1F", "-c", "9007199254740992", "a.wav"}, tw::ArgsOutcome::Run, "t&H1F w570 c9007199254740992 in:a.wav"},
        {{"-c", "83.5s", "-c1:23.5", "-c", "1:02:03", "-d", "out", "--digits", "5", "a.wav"}, tw::ArgsOutcome::Run,
         "w570 c83.5s c83.5s c3723s d:out 5 in:a.wav"},
        {{"--digits=1", "-dx", "a.wav", "b.wav"}, tw::ArgsOutcome::Run, "w570 d:x 1 in:a.wav in:b.wav"},
        {{"--", "-n", "-"}, tw::ArgsOutcome::Run, "w570 in:-n in:-"},
        {{"-o", "", "a.wav"}, tw::ArgsOutcome::Run, "w570 o in:a.wav"},
        {{"-t", "-40dB", "--pause", "400", "a.wav"}, tw::ArgsOutcome::Run, "t-40dB p400 w570 in:a.wav"},
        {{"-p600", "a.wav"}, tw::ArgsOutcome::Run, "p600 w570 in:a.wav"},
        {{"-t", "0dB", "a.wav"}, tw::ArgsOutcome::Run, "t0dB w570 in:a.wav"},
        {{"-t", "300dB", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-t", "+3dB", "-p", "400", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--max", "30", "--min=0.5", "--margin", "0", "--names", "n.txt", "--labels", "l.txt", "--cuts-from=c.txt", "a.wav"},
         tw::ArgsOutcome::Run, "w570 max30 min0.5 margin0 names:n.txt labels:l.txt from:c.txt in:a.wav"},
        {{"--max", "0", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--min", "-1", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--margin", "1.5.5", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--max", "1e3", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--labels", "l.txt", "a.wav", "b.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"a.wav", "--names"}, tw::ArgsOutcome::Usage, ""},
        {{"-t", "100.9xyz", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-t", "loud", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-p", "0", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-p", "1.5", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--pause", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--help", "a.wav"}, tw::ArgsOutcome::Help, ""},
        {{}, tw::ArgsOutcome::Usage, ""},
        {{"-n"}, tw::ArgsOutcome::Usage, ""},
        {{"a.wav", "-t"}, tw::ArgsOutcome::Usage, ""},
        {{"-w", "0", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-w", "32768", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-w", "12x", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "-5", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "1.5", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "9007199254740993", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "1:60", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "1.5.2s", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "1:2s", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-c", "s", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--digits", "0", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--digits", "10", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-d", "", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-x", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"--jsn", "a.wav"}, tw::ArgsOutcome::Usage, ""},
        {{"-o", "p", "a.wav", "b.wav"}, tw::ArgsOutcome::Usage, ""},
    };
    for (const Row& r : rows) {
        std::string joined;
        for (const std::string& a : r.args) joined += "[" + a + "]";
        CAPTURE(joined);
        tw::SplitOptions o;
        std::string error;
        REQUIRE(tw::ParseSplitArguments(r.args, &o, &error) == r.outcome);
        if (r.outcome == tw::ArgsOutcome::Usage) CHECK(!error.empty());
        if (r.outcome != tw::ArgsOutcome::Run) continue;
        std::string seen = o.autoCut ? "t" + o.threshold + " " : "";
        if (o.pauseCut) seen += "p" + std::to_string(static_cast<int>(o.pauseMs)) + " ";
        seen += "w" + std::to_string(o.width);
        for (const tw::SplitCut& c : o.cuts) {
            char g[32];
            std::snprintf(g, sizeof g, c.seconds ? "%gs" : "%.0f", c.value);
            seen += std::string(" c") + g;
        }
        if (o.havePrefix) seen += " o" + o.prefix;
        if (!o.folder.empty()) seen += " d:" + o.folder;
        if (o.digits != 3) seen += " " + std::to_string(o.digits);
        if (o.longestSeconds > 0) seen += " max" + tw::FormatNumber(o.longestSeconds);
        if (o.shortestSeconds > 0) seen += " min" + tw::FormatNumber(o.shortestSeconds);
        if (o.marginMs >= 0) seen += " margin" + tw::FormatNumber(o.marginMs);
        if (!o.namesFile.empty()) seen += " names:" + o.namesFile;
        if (!o.labelsFile.empty()) seen += " labels:" + o.labelsFile;
        if (!o.cutsFrom.empty()) seen += " from:" + o.cutsFrom;
        if (o.dryRun) seen += " n";
        if (o.json) seen += " j";
        for (const std::string& in : o.inputs) seen += " in:" + in;
        CHECK(seen == r.options);
    }
    const Result usage = Run({"-w", "0", "a.wav"});
    CHECK(usage.status == tw::kSplitUsage);
    CHECK(Has(usage.err, "tarnwick-split [-t"));
    const Result help = Run({"--help"});
    CHECK(help.status == tw::kSplitOk);
    CHECK(Has(help.out, "--pause"));
    const Result loud = Run({"-t", "300dB", "a.wav"});
    CHECK(loud.status == tw::kSplitUsage);
    // Its own line, not the one for text that is no threshold (which names -40dB).
    CHECK(Has(loud.err, "300dB"));
    CHECK(!Has(loud.err, "-40dB"));

    const std::pair<const char*, const char*> prefixes[] = {
        {"dir/talk.wav", "dir/talk"}, {"X.WAV", "X"}, {"a.Wav", "a"}, {"a.wave", "a.wave"}, {".wav", ""}, {"wav", "wav"},
    };
    for (const auto& p : prefixes) CHECK(tw::DefaultPiecePrefix(p.first) == p.second);
}

TEST_CASE("tarnwick-split writes the window's pieces, lists and reports them, and never overwrites") {
    Scratch at;
    // A canonical stereo file; the same data behind a LIST chunk; and a file
    // whose data chunk claims more than it holds (the tail is zeros).
    Bytes canonical = twc::CanonicalWave(Bursts(), 2, 22050);
    Bytes listed(canonical.begin(), canonical.begin() + 36);
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e', 0};
    listed.insert(listed.end(), std::begin(list), std::end(list));
    listed.insert(listed.end(), canonical.begin() + 36, canonical.end());
    Bytes shortFile = canonical;
    shortFile.resize(canonical.size() - 3001);
    // Sizes no file can hold: streamed to a pipe (0xFFFFFFFF) and never closed (0).
    Bytes streamed = canonical, unclosed = canonical;
    for (int i = 0; i < 4; ++i) streamed[40 + i] = streamed[4 + i] = 0xFF;
    for (int i = 0; i < 4; ++i) unclosed[40 + i] = unclosed[4 + i] = 0;
    struct Row {
        const char* name;
        Bytes file;
        std::vector<std::string> options;
        std::int32_t width;
        double threshold;
        std::vector<double> handCuts;
    };
    const Row rows[] = {
        {"canonical.wav", canonical, {"-t", "100"}, 570, 100, {}},
        {"listed.WAV", listed, {"-t", "100", "-w", "1923", "-c", "5", "-c", "999999"}, 1923, 100, {5, 999999}},
        {"short.wav", shortFile, {"-t", " 100.9", "-c", "1001", "-c", "1001"}, 570, 100, {1001, 1001}},
        {"uncut.wav", canonical, {"-t", "2147483648"}, 570, 2147483648.0, {}},
        {"streamed.wav", streamed, {"-t", "100", "-c", "0.5s", "-c", "22050"}, 570, 100, {22050, 22050}},
        {"unclosed.wav", unclosed, {"-c", "0:00.25", "-c", "11025"}, 570, 0, {11026, 11025}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.name);
        const std::string path = at(r.name);
        Write(path, r.file);
        const Expected e = Expect(r.file, r.options[0] == "-t" ? r.width : 0, r.threshold, r.handCuts);
        REQUIRE(e.check.verdict == tw::WaveVerdict::Accepted);
        const std::string prefix = tw::DefaultPiecePrefix(path);
        std::vector<std::string> args = r.options;
        args.push_back(path);

        // Dry run: the plan, nothing written.
        std::vector<std::string> dry = args;
        dry.insert(dry.begin(), "-n");
        const Result listing = Run(dry);
        CHECK(listing.status == tw::kSplitOk);
        // Only the file's bytes, and a word on stderr when that is less than the header says.
        // And a word when cutting found no place.
        const bool noneFound = r.options[0] == "-t" && e.cuts.size() == r.handCuts.size();
        CHECK(listing.err == (e.check.fitted ? path + ": " + tw::DataFittedText(e.check.layout) + "\n" : "") +
                                 (tw::PartialFrameBytes(e.check.layout) > 0
                                      ? path + ": " + tw::PartialFrameText(e.check.layout) + "\n"
                                      : "") +
                                 (noneFound ? path + u8": しきい値 " + tw::FormatNumber(r.threshold) +
                                                  u8" ではカットする場所が見つかりませんでした\n"
                                            : ""));
        CHECK(e.data.size() == r.file.size() - e.check.layout.dataOffset);
        for (std::size_t k = 0; k < e.pieces.size(); ++k) {
            CHECK(e.pieces[k].length > 0);
            char line[96];
            std::snprintf(line, sizeof line, "\n%03u %llu %llu %llu %.3f %.3f ", static_cast<unsigned>(k),
                          static_cast<unsigned long long>(e.pieces[k].offset / 2),
                          static_cast<unsigned long long>(e.pieces[k].length / 2),
                          static_cast<unsigned long long>(e.pieces[k].length), e.pieces[k].offset / 88200.0,
                          e.pieces[k].length / 88200.0);
            CHECK(Has(listing.out, line + Name(prefix, k) + "\n"));
            CHECK(!fs::exists(fs::u8path(Name(prefix, k))));
        }

        // --json: the window's seven texts, the cuts and the pieces.
        dry.insert(dry.begin(), "--json");
        const Result json = Run(dry);
        CHECK(json.status == tw::kSplitOk);
        const tw::WaveStats s = tw::MeasureWavePlain(e.data.data(), e.data.size());
        const tw::WaveHeaderBytes& h = e.check.header;
        const std::pair<const char*, double> shown[] = {
            {"channels", tw::ReadLe16(h.data() + 22)}, {"sample_rate", tw::ReadLe32(h.data() + 24)},
            {"bits", tw::ReadLe16(h.data() + 34)},    {"peak", s.peak},
            {"nadir", s.nadir},                      {"smallest_positive", s.smallestPositive},
            {"average", s.average},
        };
        for (const auto& f : shown) CHECK(JsonValues(json.json, f.first) == std::vector<double>{f.second});
        std::string cuts = "\"cuts\":[";
        for (std::size_t i = 0; i < e.cuts.size(); ++i) cuts += (i ? "," : "") + std::to_string(static_cast<long long>(e.cuts[i]));
        CHECK(Has(json.json, cuts + "]"));
        const tw::Piece& last = e.pieces.back();
        // Frames as soxi counts them: a stereo frame is two samples.
        CHECK(Has(json.json, ",\"first\":" + std::to_string(last.offset / 2) + ",\"samples\":" +
                                 std::to_string(last.length / 2) + ",\"bytes\":" + std::to_string(last.length) +
                                 ",\"first_frame\":" + std::to_string(last.offset / 4) +
                                 ",\"frames\":" + std::to_string(last.length / 4) + "}]}\n"));
        CHECK(std::count(json.json.begin(), json.json.end(), '\n') == 1);

        // The real run: every piece as the window's save writes it.
        const Result written = Run(args);
        CHECK(written.status == tw::kSplitOk);
        CHECK(written.err == listing.err);
        for (std::size_t k = 0; k < e.pieces.size(); ++k) CHECK(Read(Name(prefix, k)) == PieceBytes(e, k));
        CHECK(!fs::exists(fs::u8path(Name(prefix, e.pieces.size()))));

        // Again, with piece 0 gone and the last replaced: one line names the
        // files in the way, nothing is written, status 1.
        const bool several = e.pieces.size() > 1;
        if (several) fs::remove(fs::u8path(Name(prefix, 0)));
        Write(Name(prefix, e.pieces.size() - 1), {'k', 'e', 'e', 'p'});
        const Result again = Run(args);
        CHECK(again.status == tw::kSplitFailed);
        std::vector<std::string> inTheWay = Names(prefix, e.pieces.size());
        if (several) inTheWay.erase(inTheWay.begin());
        CHECK(again.err == listing.err + path + ": " + tw::NamesInTheWayText(inTheWay, ", ") + "\n");
        CHECK(fs::exists(fs::u8path(Name(prefix, 0))) == !several);
        CHECK(Read(Name(prefix, e.pieces.size() - 1)) == Bytes{'k', 'e', 'e', 'p'});
        for (std::size_t k = 1; k + 1 < e.pieces.size(); ++k) CHECK(Read(Name(prefix, k)) == PieceBytes(e, k));
    }
    // -d: every input's pieces in one folder, named after it, in the digits
    // asked for, the folder made when missing; or a folder per recording.
    const Result into = Run({"-d", at("out/deeper"), "--digits", "1", "-c", "100", at("canonical.wav"), at("listed.WAV")});
    CHECK(into.status == tw::kSplitOk);
    const Result per = Run({"--folder-per-input", "-c", "100", at("canonical.wav")});
    const Result perUnder = Run({"--folder-per-input", "-d", at("per"), "-c", "100", at("listed.WAV")});
    CHECK(per.status + perUnder.status == tw::kSplitOk);
    for (const char* name : {"out/deeper/canonical_0.wav", "out/deeper/canonical_1.wav", "out/deeper/listed_0.wav",
                             "out/deeper/listed_1.wav", "canonical/canonical_000.wav", "canonical/canonical_001.wav",
                             "per/listed/listed_000.wav", "per/listed/listed_001.wav"})
        CHECK(fs::exists(fs::u8path(at(name))));
    // --overwrite: a set of three replaced by a set of two, whose bytes are
    // new; the third old piece stays and is named. Without it, the refusal.
    REQUIRE(Run({"-c", "100", "-c", "200", "-o", at("r"), at("canonical.wav")}).status == tw::kSplitOk);
    const Bytes oldLast = Read(at("r_002.wav"));
    const Bytes oldFirst = Read(at("r_000.wav"));
    CHECK(Run({"-c", "300", "-o", at("r"), at("canonical.wav")}).status == tw::kSplitFailed);
    CHECK(Read(at("r_000.wav")) == oldFirst);
    const Result replaced = Run({"--overwrite", "-c", "300", "-o", at("r"), at("canonical.wav")});
    CHECK(replaced.status == tw::kSplitOk);
    const Expected two = Expect(canonical, 0, 0, {300});
    CHECK(Read(at("r_000.wav")) == PieceBytes(two, 0));
    CHECK(Read(at("r_001.wav")) == PieceBytes(two, 1));
    CHECK(Read(at("r_002.wav")) == oldLast);
    CHECK(Has(replaced.out, tw::EarlierPiecesText({at("r_002.wav")}, ", ")));
    for (const auto& entry : fs::recursive_directory_iterator(at.dir))  // no temporary file left
        CHECK(!Has(entry.path().filename().u8string(), ".~"));
    // Cuts spread by the 10-column rule: the wider graph allows more.
    CHECK(Expect(canonical, 1923, 100, {}).cuts.size() > Expect(canonical, 570, 100, {}).cuts.size());
}

TEST_CASE("tarnwick-split gives hostile files the window's verdict and goes on with the next file") {
    Scratch at;
    const std::string good = at("good.wav");
    Write(good, twc::CanonicalWave(Bursts()));
    for (const twc::HostileWave& w : twc::HostileWaves()) {
        CAPTURE(w.name);
        const std::string path = at(w.name);
        Write(path, w.bytes);
        // The piece rules on every file too, down to pieces of a few frames.
        CHECK(Run({"-n", "--max", "0.001", "--min", "0.0005", "--margin", "1", path}).status ==
              (w.verdict == twc::Verdict::Loads ? tw::kSplitOk : tw::kSplitFailed));
        const Result r = Run({"--json", "-o", at(std::string("out_") + w.name), path});
        if (w.verdict == twc::Verdict::Loads) {
            CHECK(r.status == tw::kSplitOk);
            const tw::WaveCheck c = tw::CheckWaveBytes(w.bytes.data(), w.bytes.size());
            CHECK(r.err.empty() == (!c.fitted && tw::PartialFrameBytes(c.layout) == 0));
            CHECK(Read(at(std::string("out_") + w.name + "_000.wav")).size() ==
                  44 + c.layout.dataSize - tw::PartialFrameBytes(c.layout));
            continue;
        }
        CHECK(r.status == tw::kSplitFailed);
        const std::string text = w.verdict == twc::Verdict::NotWave      ? tw::kSplitNotWave
                                 : w.verdict == twc::Verdict::Unsupported ? tw::kSplitUnsupported
                                                                          : tw::kSplitNoData;
        CHECK(Has(r.err, path + ": " + text));
        if (w.verdict == twc::Verdict::NotWave) CHECK(Has(r.err, "\"" + w.tags + "\""));
        CHECK(Has(r.json, "\"error\":\"" + text + "\"}\n"));
        CHECK(!fs::exists(fs::u8path(at(std::string("out_") + w.name + "_000.wav"))));
    }
    // Missing files and folders are reported too; the good file between them is cut all the same.
    const Result mixed = Run({at("missing.wav"), good, at("")});
    CHECK(mixed.status == tw::kSplitFailed);
    CHECK(Has(mixed.err, at("missing.wav") + ": " + tw::kSplitCannotOpen));
    CHECK((Has(mixed.err, at("") + ": " + tw::kSplitCannotOpen) || Has(mixed.err, at("") + ": " + tw::kSplitCannotRead)));
    CHECK(fs::exists(fs::u8path(at("good_000.wav"))));
    CHECK(!fs::exists(fs::u8path(at("missing_000.wav"))));
    // A file of another kind is named in the window's words.
    const std::string mp3 = at("talk.mp3");
    Write(mp3, {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0});
    const Result foreign = Run({mp3});
    CHECK(foreign.status == tw::kSplitFailed);
    // Named as MP3 whichever decoder the system has (FFmpeg's says it read no sound).
    CHECK(foreign.err.rfind(mp3 + u8": talk.mp3 は MP3 ファイル", 0) == 0);
}

#ifndef _WIN32
namespace {

// A small disk of its own (tmpfs; root only), unmounted when done.
struct SmallDisk {
    std::string dir;
    bool mounted = false;
    SmallDisk(const std::string& at, const char* size) : dir(at) {
        fs::create_directories(fs::u8path(dir));
        mounted = std::system(("mount -t tmpfs -o size=" + std::string(size) + " tmpfs '" + dir + "' 2>/dev/null").c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted && std::system(("umount '" + dir + "'").c_str()) != 0) MESSAGE("could not unmount " << dir);
    }
};

std::vector<std::string> Listing(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::u8path(dir))) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST_CASE("a save that does not fit on its disk leaves nothing of itself; on a larger disk it writes all") {
    Scratch at;
    std::vector<std::int16_t> samples;
    for (int i = 0; i < 10; ++i) for (std::int16_t v : Bursts()) samples.push_back(v);
    const std::string path = at("big.wav");
    Write(path, twc::CanonicalWave(samples, 2, 22050));  // about 290 kB
    const std::vector<std::string> args = {"-c", "30000", "-c", "60000", "-c", "90000", "-d", at("disk"), path};
    struct Row {
        const char* size;
        int status;
        std::vector<std::string> files;  // besides keep.txt, which is always there
    };
    const Row rows[] = {
        {"64k", tw::kSplitFailed, {}},
        {"1m", tw::kSplitOk, {"big_000.wav", "big_001.wav", "big_002.wav", "big_003.wav"}},
    };
    for (const Row& r : rows) {
        CAPTURE(r.size);
        SmallDisk disk(at("disk"), r.size);
        if (!disk.mounted) {
            MESSAGE("skipped: a tmpfs cannot be mounted here (needs root)");
            return;
        }
        Write(at("disk/keep.txt"), {'k', 'e', 'e', 'p'});
        const Result run = Run(args);
        CHECK(run.status == r.status);
        std::vector<std::string> want = r.files;
        want.insert(want.begin(), "keep.txt");
        std::sort(want.begin(), want.end());
        CHECK(Listing(at("disk")) == want);
        CHECK(Read(at("disk/keep.txt")) == Bytes{'k', 'e', 'e', 'p'});
        if (r.status == tw::kSplitOk) {
            CHECK(run.out == path + u8": 4 個のファイルを保存しました (" + at("disk/big_000.wav") + u8" ～ " + at("disk/big_003.wav") + ")\n");
            continue;
        }
        // One line: how many, the first to fail with the system's reason, nothing kept; no summary.
        CHECK(std::count(run.err.begin(), run.err.end(), '\n') == 1);
        CHECK(Has(run.err, path + u8": 4 個のピースを保存できなかったため、書いたファイルを削除し、何も残していません"));
        CHECK(Has(run.err, std::strerror(ENOSPC)));
        CHECK(run.out.empty());
    }
}

TEST_CASE("a mapping whose file is cut short under it reads as zeros and says so") {
    Scratch at;
    const std::string path = at("cut.wav");
    Write(path, Bytes(1 << 20, 0x5A));
    tw::MappedFile file;
    std::string reason;
    REQUIRE(file.Open(path, &reason) == tw::MappedFile::Mapped);
    CHECK(file.bytes()[(1 << 20) - 1] == 0x5A);
    CHECK(!file.Damaged());
    fs::resize_file(fs::u8path(path), 4096);  // as another program would
    CHECK(file.bytes()[(1 << 20) - 1] == 0);
    CHECK(file.Damaged());
}
#endif

namespace {

// Voiced sound (150 Hz and harmonics) and gaps of room noise at 8 kHz, mono: seconds each, voice first.
Bytes Talk(const std::vector<double>& parts) {
    std::vector<std::int16_t> s;
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (int k = 0; k < static_cast<int>(parts[i] * 8000); ++k) {
            noise = noise * 1664525u + 1013904223u;
            double v = static_cast<double>(noise >> 26) - 32;  // the room, +-32
            for (int h = 1; i % 2 == 1 && h <= 4; ++h) v += 6000.0 / h * std::sin(2 * 3.14159265358979 * 150 * h * k / 8000);
            s.push_back(static_cast<std::int16_t>(v));
        }
    }
    return twc::CanonicalWave(s, 1, 8000);
}

}  // namespace

TEST_CASE("tarnwick-split: longest and shortest piece, margin, names and label files") {
    Scratch at;
    const std::string path = at("talk.wav");
    // gap, voice, pause, voice, comma, voice, pause, cough, pause, voice, gap
    Write(path, Talk({0.3, 0.8, 0.7, 0.8, 0.25, 0.8, 0.7, 0.1, 0.7, 0.8, 0.3}));
    auto json = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"-n", "--json"});
        args.push_back(path);
        const Result r = Run(args);
        CHECK(r.status == tw::kSplitOk);
        return r.json;
    };
    auto durations = [](const std::string& j) {
        std::vector<double> d, s = JsonValues(j, "start"), e = JsonValues(j, "end");
        for (std::size_t k = 0; k < s.size(); ++k) d.push_back(e[k] - s[k]);
        return d;
    };
    const std::string plain = json({"-p", "400"});
    REQUIRE(JsonValues(plain, "bytes").size() == 4);  // the comma is no pause of 400 ms
    // Longest: the 2.6 s piece is cut in its comma pause; with hand cuts only, at the quietest places.
    const std::string longest = json({"-p", "400", "--max", "1.5"});
    REQUIRE(JsonValues(longest, "bytes").size() == 5);
    const double comma = JsonValues(longest, "cuts")[1] / 8000;
    CHECK((comma > 2.6 && comma < 2.85));
    for (double d : durations(json({"-c", "0.25s", "--max", "1"}))) CHECK(d <= 1.0);
    CHECK(JsonValues(json({"-c", "0.25s", "--max", "1"}), "cuts").front() == 2000);
    CHECK(JsonValues(plain, "cuts").size() == 3);
    // Shortest: the cough's piece (0.8 s) joins a neighbour; the user's cut beside it stays.
    CHECK(JsonValues(json({"-p", "400", "--min", "1"}), "bytes").size() == 3);
    const std::vector<double> kept = JsonValues(json({"-p", "400", "--min", "1", "-c", "4.4s"}), "cuts");
    REQUIRE(kept.size() == 2);
    CHECK((kept[0] > 1.3 * 8000 && kept[0] < 1.6 * 8000));  // the first pause's
    CHECK(kept[1] == 35200);
    // Margin: the silence before the first word and after the last is left out.
    const std::string margin = json({"-p", "400", "--margin", "50"});
    const std::vector<double> starts = JsonValues(margin, "start"), ends = JsonValues(margin, "end");
    CHECK((starts.front() > 0.15 && starts.front() < 0.3));
    CHECK((ends.back() > 5.95 && ends.back() < 6.1));
    CHECK(JsonValues(margin, "trimmed").front() == 1);
    CHECK(JsonValues(plain, "trimmed") == std::vector<double>{0, 0, 0, 0});

    // Names from a list: too few names and a blank line keep numbers.
    Write(at("names.txt"), {'o', 'n', 'e', '\n', '\n', 't', 'h', 'r', 'e', 'e', '\n'});
    fs::create_directories(fs::u8path(at("a")));
    REQUIRE(Run({"-p", "400", "--names", at("names.txt"), "--labels", at("a.txt"), "-d", at("a"), path}).status == tw::kSplitOk);
    const char* const expected[] = {"one.wav", "talk_001.wav", "three.wav", "talk_003.wav"};
    for (const char* name : expected) CHECK(fs::exists(fs::u8path(at("a/") + name)));
    // A label file read back gives the same pieces under the same names.
    fs::create_directories(fs::u8path(at("b")));
    REQUIRE(Run({"--cuts-from", at("a.txt"), "-d", at("b"), path}).status == tw::kSplitOk);
    for (const char* name : expected) CHECK(Read(at("b/") + name) == Read(at("a/") + name));
    CHECK(std::distance(fs::directory_iterator(fs::u8path(at("b"))), fs::directory_iterator()) == 4);
    // A name Windows cannot use or a repeated one: nothing written, one message naming the lines.
    Write(at("bad.txt"), {'x', '\n', 'a', '?', '\n', 'X', '\n'});
    const Result bad = Run({"-p", "400", "--names", at("bad.txt"), "-o", at("c"), path});
    CHECK(bad.status == tw::kSplitUsage);
    CHECK(Has(bad.err, u8"2 行目 \"a?\""));
    CHECK(Has(bad.err, u8"3 行目 \"X\" (1 行目と同じ名前です)"));
    CHECK(!fs::exists(fs::u8path(at("c_000.wav"))));
    Write(at("broken.txt"), {'1', '\t', '2', '\n', 'x', '\n'});
    const Result broken = Run({"--cuts-from", at("broken.txt"), "-o", at("c"), path});
    CHECK(broken.status == tw::kSplitUsage);
    CHECK(Has(broken.err, u8"2 行目"));
    CHECK(!fs::exists(fs::u8path(at("c_000.wav"))));
}
