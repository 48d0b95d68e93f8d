// Saving the cut pieces through the real main window: files, names, messages,
// saves that overlap other work, and closing the window during a save.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "core/cut/piece_writer.h"
#include "core/wave/load_notice.h"
#include "harness_win.h"
#include "core/support/number_text.h"
#include "platform/win/text_win.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Box = std::pair<std::string, std::string>;  // text, caption

// Any save that wrote every piece (CheckBoxes checks its form); Saved() the
// exact box.
const Box kSaved{"個のピースを保存しました", ""};
Box Saved(size_t pieces, const std::string& folder) {
    return {std::to_string(pieces) + " 個のピースを保存しました\r\n" + folder, ""};
}
const Box kNoWave{"保存するWAVファイルが読み込まれていません", "Error"};
// The one box of a save that finds its names taken (full paths, CP932).
Box InTheWay(const std::vector<std::string>& names) {
    std::vector<std::string> utf8;
    for (const std::string& n : names) {
        std::wstring w(n.size() + 1, L'\0');
        w.resize(static_cast<size_t>(std::max(0, MultiByteToWideChar(CP_ACP, 0, n.c_str(), -1, &w[0], static_cast<int>(w.size())) - 1)));
        utf8.push_back(tw::Utf8FromWide(w));
    }
    return {tw::CodePageFromUtf8(tw::NamesInTheWayText(utf8, "\r\n"), CP_ACP), "Error"};
}
// The first line of the one box of a save that kept nothing.
std::string FailedLine(size_t total) {
    return std::to_string(total) + " 個のピースを保存できなかったため、書いたファイルを削除し、何も残していません";
}

std::uint32_t Le32(const Bytes& b, size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The source as the program holds it: its 44 header bytes and its data, as
// much as the file holds (all of it when the size is 0 or 0xFFFFFFFF).
struct Source {
    std::string name;  // for the manifest: "F:name" (fixture) or "W:name" (work folder)
    Bytes header;
    Bytes data;
};

Source SourceOf(const std::string& manifestName, const std::string& path) {
    Source s;
    s.name = manifestName;
    Bytes file = ReadFileBytes(path);
    if (!Check(file.size() >= 44, path + " readable")) return s;
    s.header.assign(file.begin(), file.begin() + 44);
    s.data.assign(file.begin() + 44, file.end());
    const std::uint32_t claimed = Le32(file, 40);
    if (claimed != 0 && claimed < s.data.size()) s.data.resize(claimed);
    return s;
}
Source FixtureSource(const std::string& name) { return SourceOf("F|" + name, Fixture(name)); }
Source WorkSource(const std::string& name) { return SourceOf("W|" + name, WorkPath(name)); }

// Work-folder-relative CP932 path -> UTF-8 with '/' (the trail byte 0x5C of a
// double-byte character must not turn into a separator).
std::string LinuxRelative(const std::string& cp932) {
    std::wstring w(cp932.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_ACP, 0, cp932.c_str(), -1, &w[0], static_cast<int>(w.size()));
    w.resize(n > 0 ? static_cast<size_t>(n - 1) : 0);
    std::replace(w.begin(), w.end(), L'\\', L'/');
    std::string out(w.size() * 4 + 1, '\0');
    int m = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), -1, &out[0], static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(m > 0 ? static_cast<size_t>(m - 1) : 0);
    return out;
}

// Lines "F|source|prefix|count" for the check with real tools afterwards;
// count "-" for a save cut short, whose pieces must still be whole.
void Manifest(const Source& source, const std::string& relativePrefix, const std::string& count) {
    FILE* f = std::fopen("manifest.txt", "ab");
    if (!f) return;
    std::fprintf(f, "%s|%s|%s\n", source.name.c_str(), LinuxRelative(relativePrefix).c_str(), count.c_str());
    std::fclose(f);
}

std::string PieceName(const std::string& prefix, unsigned k) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%03u.wav", k);
    return prefix + tail;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ClearCuts() { twt::Cuts().Clear(); }
void AppendCuts(const std::vector<double>& cuts) {
    for (double c : cuts) twt::Cuts().Append(c);
}

void Load(const std::string& path) {
    DropFiles({path});
    Check(WaitIdle(), path + " loads");
    CheckEq(ControlText(1003), path, path + " shown");
}

// Boxes recorded since `before`. The watcher can catch a box a second time
// while it is being destroyed, as a record with no text (every message of the
// save has text): such records are left out.
std::vector<BoxRecord> BoxesSince(size_t before) {
    std::vector<BoxRecord> out;
    auto all = Boxes();
    for (size_t i = before; i < all.size(); ++i)
        if (!all[i].text.empty()) out.push_back(all[i]);
    return out;
}

// Clicks "save" with the prefix and returns the message boxes of that save.
// By the button, or by the file menu's item (the same save).
std::vector<BoxRecord> Save(const std::string& prefix, bool byMenu = false) {
    size_t before = Boxes().size();
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, prefix.c_str());
    if (byMenu)
        SendMessageA(tw::TheShell().main.handle, WM_COMMAND, MAKEWPARAM(tw::kIdMenuSaveCuts, 0), 0);
    else
        SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitIdle(), prefix + " save finishes");
    return BoxesSince(before);
}

void CheckBoxes(const std::vector<BoxRecord>& got, const std::vector<Box>& want, const std::string& what) {
    if (!CheckEq(got.size(), want.size(), what + " message count")) {
        for (const BoxRecord& b : got) std::printf("  seen [%s] [%s]\n", b.text.c_str(), b.caption.c_str());
    }
    for (size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        std::string at = what + " message " + std::to_string(i);
        const std::string& t = got[i].text;
        const std::string& w = want[i].first;
        const size_t digits = t.find_first_not_of("0123456789");
        if (want[i] == kSaved)
            Check(digits > 0 && digits != std::string::npos && t.compare(digits, w.size() + 3, " " + w + "\r\n") == 0,
                  at + " saved [" + t + "]");
        else
            Check(t == w, at + " text [" + Hex(t) + "]");
        Check(got[i].caption == want[i].second, at + " caption [" + Hex(got[i].caption) + "]");
        Check(got[i].owner == tw::TheShell().main.handle, at + " owned by the main window");
    }
}

// Piece lengths for whole-frame cut positions: a position already cut, at 0
// or at the end makes no piece.
std::vector<std::uint32_t> LengthsFor(std::vector<double> cuts, std::uint32_t dataSize, std::uint32_t sampleBytes = 2) {
    std::sort(cuts.begin(), cuts.end());
    std::vector<std::uint32_t> lengths;
    std::uint32_t pos = 0;
    for (double c : cuts) {
        std::uint32_t end = sampleBytes * static_cast<std::uint32_t>(c);
        if (end <= pos || end >= dataSize) continue;
        lengths.push_back(end - pos);
        pos = end;
    }
    lengths.push_back(dataSize - pos);
    return lengths;
}

// Every piece: exact size, the source header with only the two sizes changed,
// the source's bytes in order; together exactly the source data; no extra piece.
void CheckPieces(const std::string& dir, const std::string& relativePrefix, const Source& source,
                 const std::vector<std::uint32_t>& lengths, const std::string& what) {
    const std::string prefix = dir + relativePrefix;
    size_t pos = 0;
    bool allGood = true;
    for (unsigned k = 0; k < lengths.size(); ++k) {
        const std::string name = PieceName(prefix, k);
        const std::string at = what + " piece " + std::to_string(k);
        Bytes piece = ReadFileBytes(name);
        const std::uint32_t length = lengths[k];
        if (!Check(piece.size() == 44 + static_cast<size_t>(length),
                   at + " size " + std::to_string(piece.size()) + " for data " + std::to_string(length))) {
            allGood = false;
            continue;
        }
        Bytes expected = source.header;
        for (int i = 0; i < 4; ++i) {
            expected[4 + i] = static_cast<std::uint8_t>((36 + length) >> (8 * i));
            expected[40 + i] = static_cast<std::uint8_t>(length >> (8 * i));
        }
        bool headerOk = std::equal(expected.begin(), expected.end(), piece.begin());
        bool dataOk = pos + length <= source.data.size() &&
                      std::equal(piece.begin() + 44, piece.end(), source.data.begin() + static_cast<long>(pos));
        allGood = allGood && headerOk && dataOk;
        Check(headerOk, at + " header");
        Check(dataOk, at + " data");
        pos += length;
    }
    CheckEq(pos, source.data.size(), what + " pieces add up to the data");
    Check(!Exists(PieceName(prefix, static_cast<unsigned>(lengths.size()))), what + " no piece beyond the last");
    if (allGood) Manifest(source, relativePrefix, std::to_string(lengths.size()));
}

// ---------------------------------------------------------------------------

void CheckNothingLoaded() {
    struct Case {
        const char* prefix;
        std::vector<double> cuts;
    };
    const Case cases[] = {{"none", {}}, {"none_cuts", {10, 20}}};
    for (const Case& c : cases) {
        ClearCuts();
        AppendCuts(c.cuts);
        auto boxes = Save(WorkPath(c.prefix));
        CheckBoxes(boxes, {kNoWave}, c.prefix);
        Check(!Exists(WorkPath(PieceName(c.prefix, 0))), std::string(c.prefix) + " writes no file");
    }
    ClearCuts();
}

// Fixtures cut by hand (frame-aligned positions) and not at all.
void CheckHandCutFixtures() {
    struct Case {
        const char* fixture;
        const char* prefix;
        std::vector<double> cuts;
        std::uint32_t sampleBytes = 2;  // a cut at sample c ends its piece at byte c x this
    };
    const Case cases[] = {
        {"mono16.wav", "m16_none", {}},
        {"mono16.wav", "m16_three", {1000, 7001, 22049}},
        {"stereo16.wav", "s16_two", {2000, 30000}},
        {"mono8.wav", "m8_two", {500, 1501}, 1},
        {"stereo24.wav", "s24_three", {300, 9000, 18000}, 3},  // even: whole 6-byte frames
        {"speech.wav", "speech_none", {}},
    };
    std::string folder = WorkPath("");
    folder.pop_back();  // shown without the last separator
    bool byMenu = false;
    for (const Case& c : cases) {
        Load(Fixture(c.fixture));
        Source src = FixtureSource(c.fixture);
        ClearCuts();
        AppendCuts(c.cuts);
        auto boxes = Save(WorkPath(c.prefix), byMenu = !byMenu);
        CheckBoxes(boxes, {Saved(c.cuts.size() + 1, folder)}, c.prefix);
        CheckPieces(WorkPath(""), c.prefix, src,
                    LengthsFor(c.cuts, static_cast<std::uint32_t>(src.data.size()), c.sampleBytes), c.prefix);
    }
}

std::vector<double> AutoCut(const std::string& threshold) {
    size_t before = twt::Cuts().Count();
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, threshold.c_str());
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    Pump(20);
    auto all = twt::Cuts().Snapshot();
    return std::vector<double>(all.begin() + static_cast<long>(std::min(before, all.size())), all.end());
}

void CheckAutoCutFixtures() {
    struct Case {
        const char* fixture;
        const char* prefix;
        const char* threshold;
        size_t atLeast;
    };
    const Case cases[] = {
        {"bursts.wav", "bursts_auto", "100", 3},  // three pauses between four bursts
        {"speech.wav", "speech_auto", "300", 2},
        // Sizes the files do not hold: only their own bytes, and the run
        // clicked twice (every cut doubled) gives no empty piece.
        {"streamed.wav", "streamed_auto", "100", 3},
        {"cutshort.wav", "cutshort_auto", "100", 1},
        {"unclosed.wav", "unclosed_auto", "100", 3},
    };
    for (const Case& c : cases) {
        Load(Fixture(c.fixture));
        Source src = FixtureSource(c.fixture);
        tw::WaveLayout fitted;  // what the status line tells of a size the file does not hold
        fitted.claimedSize = Le32(ReadFileBytes(Fixture(c.fixture)), 40);
        fitted.dataSize = static_cast<std::uint32_t>(src.data.size());
        const bool untrue = fitted.claimedSize != fitted.dataSize;
        CheckEq(ControlText(1026), untrue ? tw::CodePageFromUtf8(tw::DataFittedText(fitted), CP_ACP) : std::string(),
                std::string(c.prefix) + " status line");
        ClearCuts();
        std::vector<double> cuts = AutoCut(c.threshold);
        if (untrue) {
            cuts = AutoCut(c.threshold);
            CheckEq(twt::Cuts().Count(), 2 * cuts.size(), std::string(c.prefix) + " cuts doubled");
        }
        Check(cuts.size() >= c.atLeast, std::string(c.prefix) + " found " + std::to_string(cuts.size()) + " cuts");
        auto boxes = Save(WorkPath(c.prefix));
        CheckBoxes(boxes, {kSaved}, c.prefix);
        CheckPieces(WorkPath(""), c.prefix, src, LengthsFor(cuts, static_cast<std::uint32_t>(src.data.size())),
                    c.prefix);
    }
}

void CheckOrderAndCarryOver() {
    // Right to left gives the same files as left to right; the list is left sorted.
    Load(Fixture("mono16.wav"));
    Source src = FixtureSource("mono16.wav");
    const std::vector<double> ltr = {1000, 2000, 3000, 9000};
    const std::vector<double> rtl = {9000, 3000, 2000, 1000};
    ClearCuts();
    AppendCuts(ltr);
    Save(WorkPath("ltr"));
    ClearCuts();
    AppendCuts(rtl);
    CheckBoxes(Save(WorkPath("rtl")), {kSaved}, "rtl");
    Check(twt::Cuts().Snapshot() == ltr, "the list is left sorted after a save");
    for (unsigned k = 0; k <= ltr.size(); ++k)
        Check(ReadFileBytes(WorkPath(PieceName("ltr", k))) == ReadFileBytes(WorkPath(PieceName("rtl", k))),
              "right to left piece " + std::to_string(k) + " equals left to right");
    CheckPieces(WorkPath(""), "rtl", src, LengthsFor(ltr, static_cast<std::uint32_t>(src.data.size())), "rtl");

    // Cuts found in one file never cut the next one loaded: it is saved whole.
    Load(Fixture("bursts.wav"));
    ClearCuts();
    std::vector<double> cuts = AutoCut("100");
    Check(!cuts.empty(), "bursts give cuts that must not carry over");
    Load(Fixture("speech.wav"));
    Source speech = FixtureSource("speech.wav");
    CheckEq(twt::Cuts().Count(), size_t{0}, "a load starts with no cuts");
    CheckBoxes(Save(WorkPath("carried")), {kSaved}, "carried");
    CheckPieces(WorkPath(""), "carried", speech, LengthsFor({}, static_cast<std::uint32_t>(speech.data.size())),
                "carried");
}

// Positions at and past the end, equal positions, zero.
void CheckEdgePositions() {
    Load(Fixture("mono16.wav"));
    Source src = FixtureSource("mono16.wav");
    const double n = static_cast<double>(src.data.size() / 2);  // samples
    const std::uint32_t all = static_cast<std::uint32_t>(src.data.size());
    struct Case {
        const char* prefix;
        std::vector<double> cuts;
        std::vector<std::uint32_t> lengths;
    };
    const Case cases[] = {
        {"equal", {1000, 1000}, {2000, all - 2000}},
        {"at_zero", {0}, {all}},
        {"at_end", {n}, {all}},
        {"past1", {n + 1}, {all}},
        {"past2", {n + 2, 1000}, {2000, all - 2000}},
        {"past12", {n + 1, n + 2, 500, 500.5}, {1000, all - 1000}},
    };
    for (const Case& c : cases) {
        ClearCuts();
        AppendCuts(c.cuts);
        CheckBoxes(Save(WorkPath(c.prefix)), {kSaved}, c.prefix);
        CheckPieces(WorkPath(""), c.prefix, src, c.lengths, c.prefix);
    }
    CheckEq(twt::Cuts().Count(), size_t{4}, "the list keeps every cut");
}

void CheckNames() {
    Load(Fixture("mono16.wav"));
    Source src = FixtureSource("mono16.wav");
    const std::vector<double> cuts = {1000};
    const auto lengths = LengthsFor(cuts, static_cast<std::uint32_t>(src.data.size()));
    ClearCuts();
    AppendCuts(cuts);

    // An empty box names the pieces after the recording, a bare name puts
    // them beside it, not in the current folder (the work folder).
    CreateDirectoryA(WorkPath("src").c_str(), nullptr);
    CopyFileA(Fixture("mono16.wav").c_str(), WorkPath("src\\rec.WAV").c_str(), TRUE);
    Load(WorkPath("src\\rec.WAV"));
    AppendCuts(cuts);  // the new file starts with none
    CheckBoxes(Save(""), {kSaved}, "empty name box");
    CheckPieces(WorkPath(""), "src\\rec", src, lengths, "empty name box");
    CheckBoxes(Save("bare"), {kSaved}, "bare name");
    CheckPieces(WorkPath(""), "src\\bare", src, lengths, "bare name");
    Check(!Exists(WorkPath("_000.wav")) && !Exists(WorkPath("bare_000.wav")), "nothing in the current folder");

    // Directories in the prefix, one of them with 0x5C as a trail byte.
    CreateDirectoryA(WorkPath("out").c_str(), nullptr);
    CreateDirectoryA(WorkPath("ソ").c_str(), nullptr);
    const char* prefixes[] = {"out\\piece", "ソ\\ソ", "ソ\\表"};
    for (const char* p : prefixes) {
        CheckBoxes(Save(WorkPath(p)), {kSaved}, p);
        CheckPieces(WorkPath(""), p, src, lengths, p);
    }
    Check(!Exists(WorkPath("ソ_000.wav")) && !Exists(WorkPath("ソ\\_000.wav")), "0x5C trail byte is no separator");

    // The digits box: 1 to 9, any other text 3 digits; the same pieces either way.
    const std::pair<const char*, const char*> digits[] = {{"5", "_00001.wav"}, {"1", "_1.wav"}, {"x", "_001.wav"}};
    int number = 0;
    for (const auto& d : digits) {
        const std::string prefix = WorkPath("digits" + std::to_string(number++));
        SetDlgItemTextA(tw::TheShell().main.handle, 1021, d.first);
        CheckBoxes(Save(prefix), {kSaved}, std::string("digits ") + d.first);
        Check(ReadFileBytes(prefix + d.second) == ReadFileBytes(WorkPath("src\\bare_001.wav")),
              std::string("digits ") + d.first + " name of piece 1");
    }
    SetDlgItemTextA(tw::TheShell().main.handle, 1021, "3");

    // Names the file system refuses: every piece fails, one box at the end
    // says so, nothing is written, nothing overflows.
    WIN32_FIND_DATAA found;
    auto countFiles = [&] {
        int count = 0;
        HANDLE h = FindFirstFileA(WorkPath("*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do ++count; while (FindNextFileA(h, &found));
        FindClose(h);
        return count;
    };
    const std::string work = WorkPath("");
    struct Long {
        std::string prefix;
        const char* what;
    };
    const Long longs[] = {
        {work + std::string(1100, 'x'), "prefix of 1100 bytes"},
        {work + std::string(3000, 'y'), "prefix of 3000 bytes"},
        {std::string(1015, 'z'), "name of 1023 bytes"},
        {std::string(1016, 'z'), "name of 1024 bytes"},
    };
    for (const Long& l : longs) {
        int before = countFiles();
        auto boxes = Save(l.prefix);
        if (CheckEq(boxes.size(), size_t{1}, std::string(l.what) + " one box"))
            Check(boxes[0].text.rfind(FailedLine(2) + "\r\n", 0) == 0 && boxes[0].caption == "エラー",
                  std::string(l.what) + " failure box [" + boxes[0].text.substr(0, 80) + "]");
        CheckEq(countFiles(), before, std::string(l.what) + " writes no file");
    }
}

void CheckSavingTwice() {
    const std::vector<double> cuts = {1000, 3000};
    // Each file gets the same cuts (a new file starts with none).
    auto loadAndCut = [&cuts](const std::string& path) {
        Load(path);
        AppendCuts(cuts);
    };
    loadAndCut(Fixture("mono16.wav"));
    Source src = FixtureSource("mono16.wav");
    CheckBoxes(Save(WorkPath("twice")), {kSaved}, "first save");
    std::vector<Bytes> first;
    for (unsigned k = 0; k < 3; ++k) first.push_back(ReadFileBytes(WorkPath(PieceName("twice", k))));

    // Other data, same names: nothing is written, one box names the files in
    // the way, the first save's files are untouched.
    const std::vector<std::string> twice = {WorkPath("twice_000.wav"), WorkPath("twice_001.wav"), WorkPath("twice_002.wav")};
    loadAndCut(Fixture("speech.wav"));
    CheckBoxes(Save(WorkPath("twice")), {InTheWay(twice)}, "second save");
    for (unsigned k = 0; k < 3; ++k)
        Check(ReadFileBytes(WorkPath(PieceName("twice", k))) == first[k], "piece " + std::to_string(k) + " untouched");
    CheckPieces(WorkPath(""), "twice", src, LengthsFor(cuts, static_cast<std::uint32_t>(src.data.size())), "twice");

    // One piece missing: the others are still in the way, the gap stays.
    loadAndCut(Fixture("mono16.wav"));
    CheckBoxes(Save(WorkPath("gap")), {kSaved}, "gap first save");
    DeleteFileA(WorkPath("gap_001.wav").c_str());
    loadAndCut(Fixture("speech.wav"));
    CheckBoxes(Save(WorkPath("gap")), {InTheWay({WorkPath("gap_000.wav"), WorkPath("gap_002.wav")})}, "gap save");
    Check(!Exists(WorkPath("gap_001.wav")), "the gap is not filled from other data");
    Check(ReadFileBytes(WorkPath("gap_000.wav")) == first[0], "the earlier piece 0 stays");

    // 「上書きする」: a set of three replaced by a set of two of other data;
    // the third old piece stays and the box names it. Without it, the refusal.
    loadAndCut(Fixture("mono16.wav"));
    CheckBoxes(Save(WorkPath("repl")), {kSaved}, "a set of three");
    const Bytes oldLast = ReadFileBytes(WorkPath("repl_002.wav"));
    loadAndCut(Fixture("speech.wav"));
    ClearCuts();
    AppendCuts({5000});
    CheckEq(Save(WorkPath("repl")).size(), size_t{1}, "without replacing: the refusal");
    SendMessageA(Control(tw::kIdReplace), BM_CLICK, 0, 0);
    Source speech = FixtureSource("speech.wav");
    std::string folder = WorkPath("");
    folder.pop_back();
    const std::string earlier = tw::CodePageFromUtf8(tw::EarlierPiecesText({WorkPath("repl_002.wav")}, "\r\n"), CP_ACP);
    CheckBoxes(Save(WorkPath("repl")), {{Saved(2, folder).first + "\r\n" + earlier, ""}}, "replacing save");
    const Bytes piece0 = ReadFileBytes(WorkPath("repl_000.wav")), piece1 = ReadFileBytes(WorkPath("repl_001.wav"));
    Check(piece0.size() == 44 + 10000 && std::equal(piece0.begin() + 44, piece0.end(), speech.data.begin()) &&
              piece1.size() == 44 + speech.data.size() - 10000 &&
              std::equal(piece1.begin() + 44, piece1.end(), speech.data.begin() + 10000),
          "the replaced pieces hold the new data");
    Check(ReadFileBytes(WorkPath("repl_002.wav")) == oldLast, "the earlier piece past the new set stays");
    SendMessageA(Control(tw::kIdReplace), BM_CLICK, 0, 0);
}

// 「録音ごとのフォルダに保存」: the pieces of rec.WAV in a folder "rec" beside
// it, made when missing, and the box names that folder.
void CheckFolderPerRecording() {
    CreateDirectoryA(WorkPath("per").c_str(), nullptr);
    CopyFileA(Fixture("mono16.wav").c_str(), WorkPath("per\\rec.WAV").c_str(), TRUE);
    Load(WorkPath("per\\rec.WAV"));
    Source src = FixtureSource("mono16.wav");
    AppendCuts({1000});
    SendMessageA(Control(tw::kIdFolderPerRecording), BM_CLICK, 0, 0);
    const auto lengths = LengthsFor({1000}, static_cast<std::uint32_t>(src.data.size()));
    CheckBoxes(Save(""), {Saved(2, WorkPath("per\\rec"))}, "folder per recording");
    CheckPieces(WorkPath(""), "per\\rec\\rec", src, lengths, "folder per recording");
    CheckBoxes(Save("part"), {Saved(2, WorkPath("per\\rec"))}, "folder per recording, a bare name");
    CheckPieces(WorkPath(""), "per\\rec\\part", src, lengths, "folder per recording, a bare name");
    SendMessageA(Control(tw::kIdFolderPerRecording), BM_CLICK, 0, 0);
}

void CheckThousandCuts() {
    // 4000 samples, 1000 cuts every third sample, entered right to left.
    std::vector<std::int16_t> samples(4000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(i * 37 - 20000);
    WriteFileBytes(WorkPath("many.wav"), WaveFile(samples, 1, 8000));
    Load(WorkPath("many.wav"));
    Source src = WorkSource("many.wav");
    std::vector<double> cuts;
    for (int i = 1000; i >= 1; --i) cuts.push_back(3.0 * i);
    ClearCuts();
    AppendCuts(cuts);
    CheckBoxes(Save(WorkPath("many")), {kSaved}, "1000 cuts");
    CheckPieces(WorkPath(""), "many", src, LengthsFor(cuts, 8000), "1000 cuts");
    Check(Exists(WorkPath("many_999.wav")) && Exists(WorkPath("many_1000.wav")), "piece 1000 has four digits");
    Check(!Exists(WorkPath("many_0999.wav")), "numbers below 1000 keep three digits");
}

// A file of `bytes` data bytes whose samples differ from place to place.
Bytes PatternWave(std::uint32_t bytes, std::uint32_t seed) {
    Bytes f = WaveFile({}, 1, 44100, bytes);
    for (int i = 0; i < 4; ++i) f[4 + i] = static_cast<std::uint8_t>((36 + bytes) >> (8 * i));
    f.resize(44 + static_cast<size_t>(bytes));
    std::uint32_t x = seed;
    for (size_t i = 44; i < f.size(); ++i) {
        x = x * 1664525u + 1013904223u;
        f[i] = static_cast<std::uint8_t>(x >> 24);
    }
    return f;
}

// The window stays usable during a save, and the save writes the file that
// was loaded, with the cuts there were, when it was clicked: cuts and a drop
// that follow the click before the save thread has had a chance to run must
// not slip into it.
void CheckWorkDuringSave() {
    const std::uint32_t size = 40u << 20;
    Check(WriteFileBytes(WorkPath("busy.wav"), PatternWave(size, 7)), "busy.wav written");
    Load(WorkPath("busy.wav"));
    Source src = WorkSource("busy.wav");
    const std::vector<double> cuts = {1e6, 5e6, 9e6, 17e6};
    ClearCuts();
    AppendCuts(cuts);
    size_t before = Boxes().size();
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, WorkPath("busy").c_str());
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, "100");
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    // No message pumped in between: auto cutting on this file, then a new file.
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    Check(twt::Cuts().Count() > cuts.size(), "auto cutting right after the click adds cuts");
    DropFiles({Fixture("bursts.wav")});
    Check(twt::SavesInFlight() == 1, "the save is still running at the drop");
    Check(WaitUntil([] { return twt::LoadsInFlight() == 0 && twt::GraphsInFlight() == 0; }), "drop loads during save");
    CheckEq(ControlText(1003), Fixture("bursts.wav"), "new file shown");
    std::printf("save still running after the new load: %d\n", twt::SavesInFlight());
    size_t cutsBefore = twt::Cuts().Count();
    Check(!AutoCut("100").empty() && twt::Cuts().Count() > cutsBefore, "auto cutting on the new file");
    Check(WaitIdle(), "busy save finishes");
    CheckBoxes(BoxesSince(before), {kSaved}, "busy");
    CheckPieces(WorkPath(""), "busy", src, LengthsFor(cuts, size), "busy");
}

// Closing the window in the middle of a long save: it stops and removes what
// it wrote, so no piece of it is left.
void CloseDuringSave() {
    const std::uint32_t size = 200u << 20;
    Check(WriteFileBytes(WorkPath("big.wav"), PatternWave(size, 11)), "big.wav written");
    Load(WorkPath("big.wav"));
    const double quarter = size / 8.0;  // samples
    ClearCuts();
    AppendCuts({quarter, 2 * quarter, 3 * quarter});
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, WorkPath("close").c_str());
    auto written = [] {
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA(WorkPath("close_*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE) return 0;
        int n = 0;
        do ++n; while (FindNextFileA(h, &found));
        FindClose(h);
        return n;
    };
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitUntil([&] { return written() > 0; }, 30000), "the big save starts");
    CloseMainWindow();
    CheckEq(written(), 0, "nothing of a save given up by closing is left");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    std::remove("manifest.txt");
    CheckNothingLoaded();
    CheckHandCutFixtures();
    CheckAutoCutFixtures();
    CheckOrderAndCarryOver();
    CheckEdgePositions();
    CheckNames();
    CheckSavingTwice();
    CheckFolderPerRecording();
    CheckThousandCuts();
    CheckWorkDuringSave();
    CloseDuringSave();
    return Finish();
}
