// WAV files as other tools write them, dropped on the real window: the real
// data chunk is measured, cut and saved in whole frames (the pieces are checked
// with soxi, ffprobe and Python by test_formats.check.sh); names outside the
// code page load the file dropped; a full disk leaves every written piece whole.
#include <windows.h>

#include <algorithm>

#include <cstdio>
#include <cstring>

#include "shell/app/shell_win.h"
#include "core/cut/piece_plan.h"
#include "core/cut/piece_writer.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "core/support/number_text.h"
#include "platform/win/text_win.h"
#include "tests/common/hostile_waves.h"
#include "core/wave/format_text.h"
#include "core/wave/sample_format.h"
#include "core/wave/load_notice.h"
#include "core/wave/wave_format.h"
#include "core/wave/wave_stats.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<std::string> SaveBoxes(const std::string& prefix) {
    size_t before = Boxes().size();
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, prefix.c_str());
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    Check(WaitIdle(), prefix + " save finishes");
    std::vector<std::string> texts;
    auto all = Boxes();
    for (size_t i = before; i < all.size(); ++i)
        if (!all[i].text.empty()) texts.push_back(all[i].text);
    return texts;
}

// A saved file for test_formats.check.sh: "name|prefix|count|frame".
// The pieces a save of the file shown writes at these cuts (no empty piece).
void AddToManifest(const std::string& name, const std::string& prefix, std::vector<double> cuts) {
    const tw::WavePtr wave = twt::CurrentWave();
    const unsigned frame = tw::FrameBytes(wave->layout.pieceHeader);
    std::sort(cuts.begin(), cuts.end());
    const size_t count = tw::PlanPieces(cuts, wave->dataSize(), frame, wave->sampleBytes()).size();
    if (FILE* f = std::fopen("manifest.txt", "ab")) {
        std::fprintf(f, "%s|%s|%u|%u\n", name.c_str(), prefix.c_str(), static_cast<unsigned>(count), frame);
        std::fclose(f);
    }
}

// The eight texts against the measurement of `data`, the data chunk as read by
// another tool (its values on the 16-bit scale), and the format fields of the
// file's header.
void CheckShown(const std::string& what, const Bytes& file, const Bytes& data) {
    const tw::SampleEncoding encoding = tw::CheckWaveBytes(file.data(), file.size()).layout.encoding;
    Bytes values;
    for (std::uint64_t k = 0; k < data.size() / tw::ContainerBytes(encoding); ++k) {
        const auto v = static_cast<std::uint16_t>(tw::SampleValue(data.data(), encoding, k));
        values.push_back(static_cast<std::uint8_t>(v));
        values.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    const tw::WaveStats s = tw::MeasureWavePlain(values.data(), encoding == tw::SampleEncoding::Pcm16 ? data.size() : values.size());
    const std::uint8_t* h = file.data();
    CheckEq(ControlText(1005), tw::FormatNumber(h[22] | h[23] << 8), what + " channels");
    CheckEq(ControlText(1007), tw::FormatNumber(tw::ReadLe32(h + 24)), what + " rate");
    CheckEq(ControlText(1009), tw::FormatNumber(h[34] | h[35] << 8), what + " bits");
    CheckEq(ControlText(1011), tw::FormatNumber(s.peak), what + " peak");
    CheckEq(ControlText(1014), tw::FormatNumber(s.nadir), what + " nadir");
    CheckEq(ControlText(1024), tw::FormatNumber(s.smallestPositive), what + " smallest positive");
    CheckEq(ControlText(1028), tw::FormatNumber(s.average), what + " average");
}

// Each file of the corpus: loaded from its real data chunk, cut at a low
// threshold (many cuts, odd positions among them), saved; the manifest tells
// the check script what to compare.
void CheckCorpus() {
    struct Row { const char* name; const char* threshold; };
    const Row rows[] = {
        {"ff_speech", "300"}, {"ff_stereo", "100"}, {"ext24", "100"}, {"quad", "100"},
        {"left_only", "100"}, {"mono8", "3000"},    {"stereo16", "100"}, {"partial", "1000"},
    };
    std::remove("manifest.txt");
    for (const Row& r : rows) {
        const std::string name = r.name;
        const std::string path = Fixture(name + ".wav");
        const Bytes file = ReadFileBytes(path);
        const Bytes data = ReadFileBytes(Fixture(name + ".raw"));
        if (!Check(file.size() > 44 && !data.empty(), name + " fixture")) continue;
        twt::Cuts().Clear();
        DropFiles({path});
        Check(WaitIdle(), name + " loads");
        CheckEq(ControlText(1003), path, name + " path");
        CheckShown(name, file, data);
        // Data ending inside a frame is told of once the graph is up.
        const tw::WaveCheck check = tw::CheckWaveBytes(file.data(), file.size());
        CheckEq(ControlText(1026), tw::CodePageFromUtf8(tw::LoadNoticeText(check.layout, check.fitted), CP_ACP),
                name + " status line");
        if (name == "partial")
            CheckEq(ControlText(1026), std::string("最後の 3 バイトはフレームの途中で終わっているため、ピースに含めません"),
                    name + " status text");
        if (name == "ff_speech")
            std::printf("ff_speech: peak %s nadir %s average %s over %u bytes\n", ControlText(1011).c_str(),
                        ControlText(1014).c_str(), ControlText(1028).c_str(), static_cast<unsigned>(data.size()));

        SetDlgItemTextA(tw::TheShell().main.handle, 1016, r.threshold);
        SendMessageA(Control(1029), BM_CLICK, 0, 0);
        const std::vector<double> cuts = twt::Cuts().Snapshot();
        Check(cuts.size() >= 10, name + " auto cutting finds many cuts (" + std::to_string(cuts.size()) + ")");
        bool odd = false;
        for (double c : cuts) odd = odd || static_cast<std::int64_t>(c) % 2 != 0;
        Check(odd, name + " some cuts are odd sample positions");

        const std::string prefix = "fmt_" + name;
        const auto boxes = SaveBoxes(WorkPath(prefix));
        CheckEq(boxes.size(), size_t{1}, name + " one message");
        std::string folder = WorkPath("");
        folder.pop_back();
        const std::string saved = std::to_string(twt::Cuts().Count() + 1) + " 個のピースを保存しました\r\n" + folder;
        if (!boxes.empty()) CheckEq(boxes.back(), saved, name + " saved");
        AddToManifest(name, prefix, cuts);
    }
}

// What the window shows of the file loaded last: the texts, the picture and
// the cuts of automatic cutting at threshold 300.
struct Shown {
    std::vector<std::string> texts;  // channels, rate, peak, nadir, smallest positive, average
    std::string bits;
    gm::Picture picture;
    std::vector<double> cuts;
    std::vector<double> pauseCuts;  // 「間で切る」 at the threshold it estimates
    std::string pauseThreshold;
};

Shown DropAndCut(const std::string& name) {
    twt::Cuts().Clear();
    ClearBoxes();
    DropFiles({Fixture(name + ".wav")});
    Check(WaitIdle(), name + " loads");
    CheckEq(Boxes().size(), size_t{0}, name + " no message");
    Shown s;
    for (int id : {1005, 1007, 1011, 1014, 1024, 1028}) s.texts.push_back(ControlText(id));
    s.bits = ControlText(1009);
    s.picture = gm::InstalledPicture();
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, "300");
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    s.cuts = twt::Cuts().Snapshot();
    twt::Cuts().Clear();
    SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, "");
    SetDlgItemTextA(tw::TheShell().main.handle, 1042, "200");  // the sentences' pauses are short
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    Check(WaitIdle(), name + " pause cutting ends");
    s.pauseCuts = twt::Cuts().Snapshot();
    s.pauseThreshold = ControlText(1016);
    SendMessageA(Control(1040), BM_SETCHECK, BST_UNCHECKED, 0);
    twt::Cuts().Clear();
    for (double c : s.cuts) twt::Cuts().Append(c);  // the pieces saved are those of automatic cutting
    return s;
}

// The spoken recording as recorders and editors write it. Copies in 24 and
// 32 bits and in float, and the 16-bit data behind a bext or JUNK chunk or in
// RF64, show the original's numbers, picture and cuts; the 8-bit and G.711
// copies show the numbers test_formats.pre.sh worked out from their bytes.
// Every one is saved for test_formats.check.sh; IMA ADPCM is refused.
void CheckSpeechCopies() {
    const Shown original = DropAndCut("speech");
    Check(original.cuts.size() >= 5 && original.pauseCuts.size() >= 2 && original.picture.width > 0,
          "speech: cuts, pause cuts and a picture to compare with");
    struct Row { const char* name; const char* bits; };
    const Row same[] = {{"speech_s24", "24"}, {"speech_s32", "32"}, {"speech_f32", "32"}, {"speech_f64", "64"},
                        {"speech_bext", "16"}, {"speech_junk", "16"}, {"speech_rf64", "16"}};
    for (const Row& r : same) {
        const Shown s = DropAndCut(r.name);
        Check(s.texts == original.texts, std::string(r.name) + ": the original's numbers");
        CheckEq(s.bits, std::string(r.bits), std::string(r.name) + " bits");
        Check(s.picture.pixels == original.picture.pixels, std::string(r.name) + ": the original's picture");
        Check(s.cuts == original.cuts, std::string(r.name) + ": the original's cuts");
        Check(s.pauseCuts == original.pauseCuts && s.pauseThreshold == original.pauseThreshold,
              std::string(r.name) + ": the original's pause cuts and estimated threshold");
        SaveBoxes(WorkPath(std::string("fmt_") + r.name));
        AddToManifest(r.name, std::string("fmt_") + r.name, s.cuts);
    }
    std::FILE* f = std::fopen("expected_numbers.txt", "rb");
    if (!Check(f != nullptr, "expected numbers worked out")) return;
    char name[64];
    double peak, nadir, smallest, average;
    int rows = 0;
    while (std::fscanf(f, "%63s %lf %lf %lf %lf", name, &peak, &nadir, &smallest, &average) == 5) {
        ++rows;
        const Shown s = DropAndCut(name);
        const std::vector<std::string> want = {original.texts[0],      original.texts[1],      tw::FormatNumber(peak),
                                               tw::FormatNumber(nadir), tw::FormatNumber(smallest), tw::FormatNumber(average)};
        CheckEq(s.texts.size(), want.size(), std::string(name) + " texts");
        for (size_t i = 0; i < want.size() && i < s.texts.size(); ++i) CheckEq(s.texts[i], want[i], std::string(name) + " text");
        CheckEq(s.bits, std::string("8"), std::string(name) + " bits");
        Check(!s.cuts.empty(), std::string(name) + " is cut");
        SaveBoxes(WorkPath(std::string("fmt_") + name));
        AddToManifest(name, std::string("fmt_") + name, s.cuts);
    }
    std::fclose(f);
    CheckEq(rows, 3, "expected numbers of three files");

    ClearBoxes();
    const std::string ima = Fixture("speech_ima.wav");
    DropFiles({ima});
    Check(WaitIdle() && WaitBoxes(1), "IMA ADPCM refused");
    const auto boxes = Boxes();
    if (!boxes.empty()) {
        CheckEq(boxes[0].caption, std::string("Error"), "IMA ADPCM caption");
        CheckEq(boxes[0].text, std::string(tw::kUnsupportedFormatText) + "\r\nIMA ADPCM で圧縮された音声（形式番号 17）\r\n" + ima,
                "IMA ADPCM message");
    }
    CheckEq(ControlText(1003), Fixture("speech_mulaw.wav"), "the file before stays shown");
}

// Hostile files (the table the command line is tested with too): rejected
// ones leave the file before them loaded and say why; the others load.
void CheckRejected() {
    const std::string good = Fixture("mono16.wav");
    for (const twc::HostileWave& w : twc::HostileWaves()) {
        const std::string name = w.name;
        DropFiles({good});
        Check(WaitIdle(), "good file loads");
        const std::string peak = ControlText(1011);
        WriteFileBytes(name, w.bytes);
        ClearBoxes();
        DropFiles({WorkPath(name)});
        if (w.verdict == twc::Verdict::Loads) {
            Check(WaitIdle(), name + " loads");
            CheckEq(Boxes().size(), size_t{0}, name + " no message");
            CheckEq(ControlText(1003), WorkPath(name), name + " shown");
            continue;
        }
        Check(WaitIdle() && WaitBoxes(1), name + " rejected");
        const std::string text = w.verdict == twc::Verdict::NotWave ? WorkPath(name) + "\r\nWAVファイルではありません\r\n" + w.tags
                                                                     : "WAVファイルにデータがありません\r\n" + WorkPath(name);
        auto boxes = Boxes();
        if (!boxes.empty() && w.verdict == twc::Verdict::Unsupported) {
            // The reason between the two lines: its words are the unit tests' business.
            const std::string& t = boxes[0].text;
            const std::string head = std::string(tw::kUnsupportedFormatText) + "\r\n", tail = "\r\n" + WorkPath(name);
            Check(t.size() > head.size() + tail.size() && t.compare(0, head.size(), head) == 0 &&
                      t.compare(t.size() - tail.size(), tail.size(), tail) == 0,
                  name + " message: [" + t + "]");
        } else if (!boxes.empty()) {
            CheckEq(boxes[0].text, text, name + " message");
            CheckEq(boxes[0].caption, std::string("Error"), name + " caption");
        }
        CheckEq(ControlText(1003), good, name + " leaves the good file shown");
        CheckEq(ControlText(1011), peak, name + " leaves its numbers");
        Check(twt::CurrentWave() != nullptr, name + " leaves its samples");
    }
}

std::wstring WideWorkPath(const std::wstring& name) {
    const std::string dir = WorkPath("");
    std::wstring wide(dir.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1));
    return wide + name;
}

void WriteWide(const std::wstring& path, const Bytes& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    Check(f != INVALID_HANDLE_VALUE && WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr),
          "wide file written");
    CloseHandle(f);
}

// "café" beside a different "cafe", and a name the code page has no letter
// of: each drop loads its own file; the box shows "?" for what it cannot.
void CheckWideNames() {
    struct Row { std::wstring name; std::int16_t peak; std::string shown; };
    const Row rows[] = {
        {L"cafe.wav", 1111, "cafe.wav"},
        {L"caf\u00e9.wav", 2222, "caf?.wav"},
        {L"\ud55c\uad6d.wav", 3333, "??.wav"},
        {L"\u65e5\u672c.wav", 4444, "日本.wav"},
    };
    for (const Row& r : rows) WriteWide(WideWorkPath(r.name), WaveFile({0, r.peak, -5}));
    for (const Row& r : rows) {
        ClearBoxes();
        DropFilesW({WideWorkPath(r.name)});
        Check(WaitIdle(), r.shown + " loads");
        CheckEq(Boxes().size(), size_t{0}, r.shown + " no message");
        CheckEq(ControlText(1011), tw::FormatNumber(r.peak), r.shown + " numbers of the file dropped");
        CheckEq(ControlText(1003), WorkPath(r.shown), r.shown + " path as the code page shows it");
    }
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// A save into a small full file system (mounted by test_formats.pre.sh when
// run as root): what was written stays whole, the piece that did not fit is
// gone, and one box at the end says how many failed.
// A disk too full for the save (test_formats.pre.sh: 1 MiB, a filler and a
// file of the user's): nothing of the save is left, the user's file stays,
// one box says why; once the filler is gone the same save writes every piece.
void CheckFullDisk() {
    if (!Exists("full\\.mounted")) {
        std::printf("full disk: not checked (no tmpfs; needs root)\n");
        return;
    }
    const Bytes file = ReadFileBytes(Fixture("speech.wav"));
    DropFiles({Fixture("speech.wav")});
    Check(WaitIdle(), "speech loads");
    twt::Cuts().Clear();
    std::vector<double> cuts;
    for (double c = 6000; c * 2 < file.size() - 44; c += 6000) cuts.push_back(c);
    for (double c : cuts) twt::Cuts().Append(c);
    const std::vector<tw::Piece> pieces = tw::PlanPieces(cuts, static_cast<std::uint32_t>(file.size() - 44), 2);
    auto listing = [] {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE h = FindFirstFileA("full\\*", &found);
        for (bool more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileA(h, &found))
            if (found.cFileName[0] != '.') names.push_back(found.cFileName);
        if (h != INVALID_HANDLE_VALUE) FindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    };
    const auto before = listing();
    const auto failed = SaveBoxes("full\\disk");
    CheckEq(listing().size(), before.size(), "a failed save leaves nothing of itself");
    Check(listing() == before && ReadFileBytes("full\\keep.txt") == Bytes{'k', 'e', 'e', 'p', '\n'}, "the files there stay");
    // One box, never "saved": how many, the first that failed with the system's reason, nothing kept.
    const std::string head = std::to_string(pieces.size()) + " 個のピースを保存できなかったため、書いたファイルを削除し、何も残していません\r\n";
    if (CheckEq(failed.size(), size_t{1}, "one box for the failed save"))
        Check(failed[0].rfind(head, 0) == 0 && failed[0].find("\r\n最初の失敗: full\\disk_") != std::string::npos &&
                  failed[0].find("(") != std::string::npos,
              "the box counts the pieces and gives the first failure's reason [" + failed[0].substr(0, 200) + "]");
    // Room made: the retry simply works.
    Check(DeleteFileA("full\\filler.bin") != 0, "the filler is removed");
    const auto retried = SaveBoxes("full\\disk");
    if (CheckEq(retried.size(), size_t{1}, "one box for the retry"))
        Check(retried[0].rfind(std::to_string(pieces.size()) + " 個のピースを保存しました", 0) == 0, "the retry saves [" + retried[0] + "]");
    for (size_t k = 0; k < pieces.size(); ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "full\\disk_%03u.wav", static_cast<unsigned>(k));
        const Bytes piece = ReadFileBytes(name);
        const Bytes want(file.begin() + 44 + static_cast<long>(pieces[k].offset),
                         file.begin() + 44 + static_cast<long>(pieces[k].offset + pieces[k].length));
        Check(piece.size() == 44 + want.size() && std::equal(want.begin(), want.end(), piece.begin() + 44),
              std::string(name) + " holds its samples");
    }
    CheckEq(listing().size(), pieces.size() + 1, "the pieces and the user's file, nothing else");
}

// The head of a 5 GiB piece of stereo16.wav and its first 4 KiB of data, for
// soxi and sox in test_formats.check.sh (a whole one is too long to write).
void WriteLongPieceHead() {
    const Bytes file = ReadFileBytes(Fixture("stereo16.wav"));
    const tw::WaveCheck check = tw::CheckWaveBytes(file.data(), file.size());
    const tw::PieceHeaderBytes head = tw::PieceHeaderFor(check.layout.pieceHeader, 5ull << 30);
    Bytes bytes(head.data(), head.data() + head.size());
    for (std::uint64_t k = 0; k < 4096; ++k) bytes.push_back(file[44 + k % (file.size() - 44)]);
    WriteFileBytes("long_piece.wav", bytes);
}

// Recordings of kinds that are not decoded, as ffmpeg wrote them
// (test_formats.pre.sh), are refused by name and kind, dropped or opened;
// the file before stays. (The decoded kinds: test_compressed.)
void CheckForeign() {
    struct Row { const char* file; const char* kind; bool opened; };
    const Row rows[] = {{"talk.aiff", "AIFF", true}, {"talk.aiff", "AIFF", false}, {"talk.caf", "CAF", false}};
    const std::string good = Fixture("mono16.wav");
    DropFiles({good});
    Check(WaitIdle(), "good file loads");
    for (const Row& r : rows) {
        const std::string name = r.file;
        ClearBoxes();
        if (r.opened)
            tw::TheShell().main.OpenFile(WideWorkPath(std::wstring(name.begin(), name.end())));
        else
            DropFiles({WorkPath(name)});
        Check(WaitIdle() && WaitBoxes(1), name + " refused");
        const auto boxes = Boxes();
        if (!boxes.empty()) {
            CheckEq(boxes[0].text, name + " は " + r.kind + " ファイルです。WAV に変換してから読み込んでください", name + " message");
            CheckEq(boxes[0].caption, std::string("Error"), name + " caption");
        }
        CheckEq(ControlText(1003), good, name + " leaves the good file shown");
        CheckEq(ControlText(1026), name + " を読み込めませんでした", name + " status line");
    }
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    CheckCorpus();
    CheckSpeechCopies();
    CheckRejected();
    CheckForeign();
    CheckWideNames();
    CheckFullDisk();
    WriteLongPieceHead();
    CloseMainWindow();
    return Finish();
}
