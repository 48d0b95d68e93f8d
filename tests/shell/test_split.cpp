// The same pieces as the window: each recording is auto-cut (or cut in its
// pauses) and saved in the real window at a threshold and graph width, then
// tarnwick-split.exe cuts it with the same settings; both sets must be
// identical byte for byte, and a second run of the exe must fail without
// touching one.
// test_split.check.sh then runs the native tarnwick-split on the same rows
// and reads every piece with soxi.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "graph_model_win.h"

using namespace twt;

namespace {

int GraphWidth() {
    RECT rc{};
    GetClientRect(Control(1000), &rc);
    return rc.right - rc.left;
}

std::string ExeDir() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    return dir.substr(0, dir.find_last_of('\\') + 1);
}

// Runs tarnwick-split.exe in the work folder; its exit code, or -1.
int RunSplitExe(const std::string& arguments) {
    std::string command = "\"" + ExeDir() + "tarnwick-split.exe\" " + arguments;
    // Its report of every refused piece would only bury this test's own lines.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = nul;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    CloseHandle(nul);
    // Said, not only counted: a run that never started or never ended would
    // otherwise look like the program's own failure.
    if (!started) {
        std::printf("tarnwick-split.exe did not start (error %lu): %s\n", GetLastError(), command.c_str());
        return -1;
    }
    if (WaitForSingleObject(pi.hProcess, 120000) != WAIT_OBJECT_0) {
        std::printf("tarnwick-split.exe still running after 120 s: %s\n", command.c_str());
        TerminateProcess(pi.hProcess, 1);
    }
    DWORD code = static_cast<DWORD>(-1);
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

std::string PieceName(const std::string& prefix, size_t k) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "_%03u.wav", static_cast<unsigned>(k));
    return prefix + tail;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Both sets hold `count` pieces, equal byte for byte.
void ComparePieces(const std::string& a, const std::string& b, size_t count, const std::string& what) {
    size_t same = 0;
    for (size_t k = 0; k < count; ++k) {
        const auto x = ReadFileBytes(PieceName(a, k));
        same += !x.empty() && x == ReadFileBytes(PieceName(b, k));
    }
    CheckEq(same, count, what + ": identical pieces");
    Check(!Exists(PieceName(b, count)), what + ": no piece too many");
}

// Every file of a folder (name -> bytes).
std::vector<std::pair<std::string, std::vector<std::uint8_t>>> FolderFiles(const std::string& folder) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return files;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back({found.cFileName, ReadFileBytes(folder + "\\" + found.cFileName)});
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(files.begin(), files.end());
    return files;
}

void SetBox(int id, const std::string& text) { SetDlgItemTextA(tw::TheShell().main.handle, id, text.c_str()); }

using Files = std::vector<std::pair<std::string, std::vector<std::uint8_t>>>;

std::string Cell(int row, int column) {
    char text[512] = {0};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(Control(1062), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

int Rows() { return static_cast<int>(SendMessageA(Control(1062), LVM_GETITEMCOUNT, 0, 0)); }

const std::vector<std::uint8_t>* FileNamed(const Files& files, const std::string& name) {
    for (const auto& f : files)
        if (f.first == name) return &f.second;
    return nullptr;
}

// What the window showed before the save (`saved`, the files it wrote): a row
// per file, named as the file, in the order of the recording; without a
// margin, a white line at the start of every piece but the first (where a
// cut there has its line: the pieces' data sizes add up to it) and no other;
// with one, the rows a margin trims say so and what it drops is shaded.
void CheckShownPieces(const Files& saved, bool margin, const std::string& what) {
    CheckEq(Rows(), static_cast<int>(saved.size()), what + ": a row per piece written");
    const gm::Picture picture = gm::InstalledPicture();
    const tw::WavePtr wave = twt::CurrentWave();
    if (!Check(wave && picture.width > 0, what + ": a picture")) return;
    std::uint64_t at = 0;
    std::vector<int> lines;
    int trimmed = 0;
    for (int k = 0; k < Rows(); ++k) {
        const auto* bytes = FileNamed(saved, Cell(k, 1));
        if (!Check(bytes != nullptr && bytes->size() >= 44, what + ": row " + std::to_string(k) + " names a file written (" + Cell(k, 1) + ")"))
            return;
        trimmed += Cell(k, 4) == "前後の無音を除く";
        std::int32_t column;
        if (k > 0 && tw::CutLineColumn(static_cast<double>(at / 2), picture.width, wave->scaleSize(), &column)) lines.push_back(column);
        at += bytes->size() - 44;
    }
    if (margin) {
        bool shaded = false;
        for (int x = 0; x < picture.width && !shaded; ++x) shaded = picture.at(x, 2) == 0x606060;
        Check(trimmed > 0 && shaded, what + ": trimmed rows said (" + std::to_string(trimmed) + ") and the silence left out shaded");
        const int said = static_cast<int>(SendMessageA(Control(1062), LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("前後の無音を除く")));
        Check(said + 12 <= static_cast<int>(SendMessageA(Control(1062), LVM_GETCOLUMNWIDTH, 4, 0)), what + ": the margin column shows its words whole");
        return;
    }
    CheckEq(at, wave->dataSize(), what + ": the pieces add up to the recording");
    int white = 0, onLines = 0;
    for (int x = 0; x < picture.width; ++x) white += picture.at(x, 2) == gm::kWhite;
    for (int x : lines) onLines += picture.at(x, 2) == gm::kWhite;
    CheckEq(onLines, static_cast<int>(lines.size()), what + ": a line where each piece starts");
    CheckEq(white, static_cast<int>(lines.size()), what + ": no other line");
}

// Saves in the window into folder `win` (prefix p) and waits for its one message.
bool SaveInWindow(const std::string& win, const std::string& what) {
    CreateDirectoryA(win.c_str(), nullptr);
    SetBox(1019, WorkPath(win + "\\p"));
    ClearBoxes();
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    const std::string tail = " 個のピースを保存しました\r\n" + WorkPath(win);
    const bool saved = WaitIdle() && WaitBoxes(1) && Boxes()[0].text.size() > tail.size() &&
                       Boxes()[0].text.compare(Boxes()[0].text.size() - tail.size(), tail.size(), tail) == 0;
    return Check(saved, what + ": window saves" + (Boxes().empty() ? "" : " (" + Boxes()[0].text + ")"));
}

// The piece rules in the window against tarnwick-split.exe with the same
// options on the spoken lecture (pause cutting, estimated threshold): the
// same files, names and bytes; then the window's label file read back by the
// exe, and read into the window.
void CheckRules() {
    // UTF-8, as a script would be saved; a blank line keeps the number.
    const std::string list = "\xE9\x96\x8B\xE4\xBC\x9A\n\nthanks\n";  // 開会, -, thanks
    WriteFileBytes("names.txt", std::vector<std::uint8_t>(list.begin(), list.end()));
    // Names Windows refuses or repeated: one message naming the lines; no list is taken.
    const std::string refused = "a:b\nok\nOK\n";
    WriteFileBytes("refused.txt", std::vector<std::uint8_t>(refused.begin(), refused.end()));
    ClearBoxes();
    tw::TheShell().main.ChooseNames("refused.txt");
    Check(WaitBoxes(1) && Boxes()[0].text.find("1 行目 \"a:b\"") != std::string::npos &&
              Boxes()[0].text.find("3 行目 \"OK\"") != std::string::npos && Boxes()[0].text.find("2 行目 \"ok\"") == std::string::npos,
          "a names list with bad names is refused, naming lines 1 and 3 (" + (Boxes().empty() ? "" : Boxes()[0].text) + ")");
    Check(tw::TheShell().main.names.empty() && ControlText(1051).empty(), "no names list taken");
    // click: a cut by hand in cutting mode too, which the rules keep as -c keeps it.
    struct Row { const char* what; const char* fixture; const char* threshold; const char* longest; const char* shortest;
                 const char* pieces; const char* margin; bool names; bool click; const char* args; size_t fewest;
                 bool rulesFirst = false; };  // the rule boxes typed before the run, nothing after it
    const Row rows[] = {
        {"max min margin names", "lecture.wav", "", "3", "1", "", "100", true, false, "--max 3 --min 1 --margin 100 --names names.txt", 4},
        {"piece count", "lecture_stereo.wav", "", "", "", "3", "", false, false, "--pieces 3", 2},
        {"typed threshold, margin", "lecture.wav", "-45dB", "", "", "", "0", false, false, "-t -45dB --margin 0", 4},
        {"a hand cut kept by min", "lecture.wav", "", "", "2.5", "", "", false, true, "--min 2.5", 3},
        // The run's own threshold judges the pieces it re-plans, not the one before it.
        {"typed threshold, rules first", "lecture.wav", "-45dB", "", "", "3", "", false, false, "-t -45dB --pieces 3", 2, true},
        // A tape's eight tracks: the hiss between them wins over the dips inside.
        {"eight tracks", "tape.wav", "", "", "", "8", "", false, false, "--pieces 8", 8},
    };
    int n = 0;
    for (const Row& r : rows) {
        const std::string tag = std::to_string(n++);
        twt::CutEdits().Reset();
        DropFiles({Fixture(r.fixture)});
        Check(WaitIdle(), std::string(r.what) + ": loads");
        auto setRules = [&r] {
            SetBox(1044, r.longest);
            SetBox(1046, r.shortest);
            SetBox(1048, r.pieces);
            SetBox(1050, r.margin);
        };
        if (r.rulesFirst) setRules();
        SetBox(1016, r.threshold);
        SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
        SetBox(1042, "400");
        SendMessageA(Control(1029), BM_CLICK, 0, 0);
        Check(WaitIdle(), std::string(r.what) + ": cutting ends");
        std::string hand;
        if (r.click) {
            const std::vector<double> before = twt::Cuts().Snapshot();
            SendMessageA(Control(1001), BM_CLICK, 0, 0);  // cutting mode on, a click, off
            ClickGraph(300, 80);
            WaitUntil([&before] { return twt::Cuts().Count() > before.size(); }, 5000);
            SendMessageA(Control(1001), BM_CLICK, 0, 0);
            const std::vector<double> after = twt::Cuts().Snapshot();
            if (Check(after.size() == before.size() + 1, std::string(r.what) + ": a hand cut"))
                hand = " -c " + std::to_string(static_cast<long long>(after.back()));
        }
        if (!r.rulesFirst) setRules();
        if (r.names) {
            tw::TheShell().main.ChooseNames("names.txt");
            CheckEq(ControlText(1051), std::string("名前: names.txt"), "the chosen list is shown");
        }
        Check(WaitIdle(), std::string(r.what) + ": the plan shown");
        // TW_SHOT_NAMES / TW_SHOT_TAPE=/abs/path.png: the window before the save, for the README.
        if (const char* shot = std::getenv(r.names ? "TW_SHOT_NAMES" : "TW_SHOT_TAPE"); shot && (r.names || *r.pieces == '8')) {
            Pump(500);
            RunLinux(std::string("import -window root ") + shot);
        }
        const std::string status = ControlText(1026);
        if (r.names) {
            // Whole above the list; on the status line whole, or short where it would not fit.
            const std::string said = "名前の一覧は 3 行、ピースは " + std::to_string(Rows()) + " 個です";
            const std::string shortSaid = "名前 3 行・ピース " + std::to_string(Rows()) + " 個";
            Check(ControlText(1063).find(said) != std::string::npos &&
                      (status.find(said) != std::string::npos || status.find(shortSaid) != std::string::npos),
                  std::string(r.what) + ": the list's lines against the pieces, above the list and on the status line [" +
                      ControlText(1063) + "] [" + status + "]");
        }
        CheckEq(TextLinesShown(1026), 1, std::string(r.what) + ": the status line shows one line [" + status + "]");
        SaveInWindow("winR" + tag, r.what);
        CheckShownPieces(FolderFiles("winR" + tag), *r.margin != 0, r.what);
        CreateDirectoryA(("exeR" + tag).c_str(), nullptr);
        CheckEq(RunSplitExe("-p 400 " + std::string(r.args) + hand + " -o exeR" + tag + "\\p \"" + Fixture(r.fixture) + "\""), 0,
                std::string(r.what) + ": exe succeeds");
        const auto win = FolderFiles("winR" + tag);
        Check(win.size() >= r.fewest, std::string(r.what) + ": pieces (" + std::to_string(win.size()) + ")");
        Check(win == FolderFiles("exeR" + tag), std::string(r.what) + ": the window's pieces are the exe's, names and bytes");
        if (r.names) {
            auto named = [&win](const std::string& name) {
                return std::any_of(win.begin(), win.end(), [&name](const auto& f) { return f.first == name; });
            };
            Check(named("\x8a\x4a\x89\xef.wav") && named("p_001.wav") && named("thanks.wav") && !named("p_000.wav"),
                  std::string(r.what) + ": named from the list");
            tw::TheShell().main.DropNames();
        }
    }

    // Labels out: the window's settings (max 3, min 1) as a label file, read
    // back by the exe as cuts: the same pieces under the same names.
    SetBox(1044, "3");
    SetBox(1046, "1");
    SetBox(1048, "");
    SetBox(1050, "");
    twt::CutEdits().Reset();
    DropFiles({Fixture("lecture.wav")});
    WaitIdle();
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    WaitIdle();
    SaveInWindow("winL", "labels out");
    ClearBoxes();
    tw::TheShell().main.WriteLabels(WorkPath("labels.txt"));
    Check(!ReadFileBytes("labels.txt").empty() && Boxes().empty(), "labels written");
    tw::TheShell().main.WriteLabels(WorkPath("labels.txt"));
    Check(WaitBoxes(1) && Boxes()[0].text.find("既にある") != std::string::npos, "an existing label file is never written over");
    CreateDirectoryA("exeL", nullptr);
    CheckEq(RunSplitExe("--cuts-from labels.txt -o exeL\\p \"" + Fixture("lecture.wav") + "\""), 0, "labels read back by the exe");
    Check(FolderFiles("winL") == FolderFiles("exeL"), "labels read back give the window's pieces");

    // Labels in: a bad line changes nothing; a good file is one undo step of
    // the user's cuts, which the rules keep, as in the exe.
    const std::string bad = "0.5\t1.0\tone\nnot a label\n";
    WriteFileBytes("bad.txt", std::vector<std::uint8_t>(bad.begin(), bad.end()));
    twt::CutEdits().Reset();
    const size_t steps = twt::CutEdits().UndoSteps();
    ClearBoxes();
    tw::TheShell().main.ReadLabelsFile(WorkPath("bad.txt"));
    Check(WaitBoxes(1) && Boxes()[0].text.find("2 行目がラベル") == 0, "a bad label line is named");
    Check(twt::Cuts().Count() == 0 && twt::CutEdits().UndoSteps() == steps, "a bad label file changes nothing");
    tw::TheShell().main.ReadLabelsFile(WorkPath("labels.txt"));
    CheckEq(twt::CutEdits().UndoSteps(), steps + 1, "labels read: one undo step");
    Check(twt::Cuts().Count() > 3, "labels read: their cuts");
    SetBox(1050, "100");
    SaveInWindow("winI", "labels in");
    CreateDirectoryA("exeI", nullptr);
    CheckEq(RunSplitExe("--cuts-from labels.txt --max 3 --min 1 --margin 100 -o exeI\\p \"" + Fixture("lecture.wav") + "\""), 0,
            "labels in: exe");
    Check(FolderFiles("winI") == FolderFiles("exeI"), "labels in: the window's pieces are the exe's");
    twt::CutEdits().Undo();
    CheckEq(twt::Cuts().Count(), size_t{0}, "labels read: undone at once");

    // Bad rule values: a message at the save, nothing written.
    struct BadBox { int id; const char* text; const char* says; };
    const BadBox bads[] = {
        {1044, "abc", "最長"}, {1044, "0", "最長"}, {1046, "-1", "最短"}, {1048, "2.5", "ピース数"}, {1048, "0", "ピース数"},
        {1050, "-1", "余白"}, {1050, "1e999", "余白"},
    };
    for (const BadBox& b : bads) {
        for (int id : {1044, 1046, 1048, 1050}) SetBox(id, "");
        SetBox(b.id, b.text);
        SetBox(1019, WorkPath("badbox\\p"));
        CreateDirectoryA("badbox", nullptr);
        ClearBoxes();
        SendMessageA(Control(1030), BM_CLICK, 0, 0);
        WaitIdle();
        const std::string what = std::string("box ") + std::to_string(b.id) + " = " + b.text;
        Check(WaitBoxes(1) && Boxes()[0].text.find(b.says) == 0 && Boxes()[0].caption == "Error", what + ": refused");
        Check(FolderFiles("badbox").empty(), what + ": nothing written");
    }
    for (int id : {1044, 1046, 1048, 1050}) SetBox(id, "");

    // A cutting run that finds nothing says so with the threshold used.
    WriteFileBytes("loud.wav", WaveFile(std::vector<std::int16_t>(44100, 12000)));
    struct Nothing { bool pause; const char* threshold; const char* status; };
    const Nothing nothing[] = {
        {false, "100", "しきい値 100 ではカットする場所が見つかりませんでした"},
        {true, "100", "しきい値 100 ではカットする場所が見つかりませんでした"},
    };
    for (const Nothing& t : nothing) {
        twt::CutEdits().Reset();
        DropFiles({WorkPath("loud.wav")});
        WaitIdle();
        SendMessageA(Control(1040), BM_SETCHECK, t.pause ? BST_CHECKED : BST_UNCHECKED, 0);
        SetBox(1016, t.threshold);
        SendMessageA(Control(1029), BM_CLICK, 0, 0);
        WaitIdle();
        WaitUntil([] { return !ControlText(1026).empty(); }, 5000);
        CheckEq(ControlText(1026), std::string(t.status), std::string(t.pause ? "pause" : "auto") + " cutting finds nothing");
    }
}

// A row unticked in the piece list is left out of the save: the window
// writes every other piece under the name it had (the exe's pieces of those
// numbers, byte for byte), and the graph marks it. Then a new recording lets
// the names list and the zoom go, and the typed boxes stay.
void CheckLeftOutAndLetGo() {
    twt::CutEdits().Reset();
    DropFiles({Fixture("lecture.wav")});
    WaitIdle();
    SetBox(1016, "");
    SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
    SetBox(1042, "400");
    SendMessageA(Control(1029), BM_CLICK, 0, 0);
    WaitIdle();
    const int rows = Rows();
    if (!Check(rows >= 4, "left out: pieces listed (" + std::to_string(rows) + ")")) return;
    LVITEMA untick{};
    untick.stateMask = LVIS_STATEIMAGEMASK;
    untick.state = INDEXTOSTATEIMAGEMASK(1);
    SendMessageA(Control(1062), LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&untick));
    WaitIdle();
    CheckEq(Rows(), rows, "left out: the row stays");
    Check(ControlText(1063).find("(1 個は保存しません)") != std::string::npos, "left out: said above the list [" + ControlText(1063) + "]");
    const gm::Picture picture = gm::InstalledPicture();
    int marked = 0;
    for (int x = 0; x < picture.width; ++x) marked += picture.at(x, 2) == 0x785C5C;
    Check(marked > 10, "left out: its stretch marked on the graph");
    SaveInWindow("winO", "left out");
    const Files win = FolderFiles("winO");
    CheckEq(win.size(), static_cast<size_t>(rows - 1), "left out: every other piece written");
    Check(FileNamed(win, "p_000.wav") && !FileNamed(win, "p_001.wav") && FileNamed(win, "p_002.wav"),
          "left out: the others keep their numbers");
    CreateDirectoryA("exeO", nullptr);
    CheckEq(RunSplitExe("-p 400 -o exeO\\p \"" + Fixture("lecture.wav") + "\""), 0, "left out: exe");
    const Files exe = FolderFiles("exeO");
    bool same = exe.size() == static_cast<size_t>(rows);
    for (const auto& f : win) same = same && FileNamed(exe, f.first) && *FileNamed(exe, f.first) == f.second;
    Check(same, "left out: the pieces written are the exe's of the same names");

    tw::TheShell().main.ChooseNames("names.txt");
    const int home = GraphWidth();
    SendMessageA(Control(1032), BM_CLICK, 0, 0);
    WaitIdle();
    Check(GraphWidth() > home, "let go: zoomed in");
    SetBox(1044, "7");
    SetBox(1019, "typed");
    DropFiles({Fixture("speech.wav")});
    WaitIdle();
    Check(tw::TheShell().main.names.empty() && ControlText(1051).empty(), "let go: the names list goes with its recording");
    Check(ControlText(1026).find("名前の一覧 names.txt は前のファイルのものなので") != std::string::npos,
          "let go: the status line says so [" + ControlText(1026) + "]");
    CheckEq(GraphWidth(), home, "let go: the new recording opens whole");
    CheckEq(ControlText(1044), std::string("7"), "let go: a typed rule stays");
    CheckEq(ControlText(1019), std::string("typed"), "let go: the typed name stays");
    SetBox(1044, "");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    // Rows by growing zoom: zooming out does not come back to the first width.
    // pauseMs > 0: cut in the pauses (an empty threshold is estimated).
    // grow > 0: zoomed out, then the window made that much wider first.
    struct Row { const char* fixture; const char* threshold; int zooms; int width; int pauseMs; size_t fewest = 5; int grow = 0; };
    const Row rows[] = {
        {"speech.wav", "300", 0, 570, 0},
        {"lecture.wav", "", 0, 570, 400},
        {"lecture_stereo.wav", "-40dB", 0, 570, 600},
        {"left_only.wav", "100", 1, 855, 0},  // stereo: cuts land inside frames
        {"speech.wav", "300", 3, 1923, 0},
        {"ff_speech.wav", "300", 3, 1923, 0},  // the data behind a LIST chunk
        // Sizes the files do not hold: both read to the end of the file.
        {"streamed.wav", "100", 3, 1923, 0, 1},
        {"cutshort.wav", "100", 3, 1923, 0, 1},
        {"unclosed.wav", "100", 3, 1923, 0, 1},
        // A grown window cuts as -w gives the graph's new width.
        {"speech.wav", "300", 3, 970, 0, 5, 400},
    };
    std::remove("manifest.txt");
    for (const Row& r : rows) {
        const std::string width = std::to_string(r.width);
        const std::string what = std::string(r.fixture) + " at " + width;
        const std::string base = std::string(r.fixture).substr(0, std::string(r.fixture).size() - 4) + "_" + width +
                                 (r.pauseMs ? "_p" + std::to_string(r.pauseMs) : "");
        twt::Cuts().Clear();
        DropFiles({Fixture(r.fixture)});
        Check(WaitIdle(), what + " loads");
        // Each recording opens on the whole of it.
        for (int zooms = 0; zooms < r.zooms; ++zooms) {
            SendMessageA(Control(1032), BM_CLICK, 0, 0);
            WaitIdle();
        }
        if (r.grow > 0) {
            while (GraphWidth() > 574) SendMessageA(Control(1033), BM_CLICK, 0, 0);
            HWND main = tw::TheShell().main.handle;
            RECT outer;
            GetWindowRect(main, &outer);
            SetWindowPos(main, nullptr, 0, 0, outer.right - outer.left + r.grow, outer.bottom - outer.top,
                         SWP_NOMOVE | SWP_NOZORDER);
            Pump(300);
            Check(WaitIdle(), what + ": redrawn after the resize");
        }
        CheckEq(GraphWidth(), r.width, what + ": graph width");
        SetDlgItemTextA(tw::TheShell().main.handle, 1016, r.threshold);
        SendMessageA(Control(1040), BM_SETCHECK, r.pauseMs ? BST_CHECKED : BST_UNCHECKED, 0);
        SetDlgItemTextA(tw::TheShell().main.handle, 1042, std::to_string(r.pauseMs).c_str());
        const size_t steps = twt::CutEdits().UndoSteps();
        SendMessageA(Control(1029), BM_CLICK, 0, 0);
        Check(WaitIdle(), what + ": cutting ends");
        const size_t count = twt::Cuts().Count() + 1;
        Check(count > (r.pauseMs ? 3 : r.fewest), what + ": cuts found (" + std::to_string(count - 1) + ")");
        const std::string told = "カット " + std::to_string(count - 1) + " 個";
        const std::string status = ControlText(1026);
        const std::string pieces = "ピース " + std::to_string(count) + " 個";
        Check(status.find(told) != std::string::npos && status.find(pieces) != std::string::npos,
              what + ": the status line counts the cuts and the pieces [" + status + "]");
        CheckEq(TextLinesShown(1026), 1, what + ": the status line shows one line [" + status + "]");
        CheckEq(twt::CutEdits().UndoSteps(), steps + 1, what + ": one undo step");
        std::string args = "-t " + std::string(r.threshold) + " -w " + width;
        if (r.pauseMs) {
            // The estimate is shown in the box; every cut has its white line.
            Check(!ControlText(1016).empty(), what + ": the threshold used is shown (" + ControlText(1016) + ")");
            args = "-p " + std::to_string(r.pauseMs) + (*r.threshold ? " -t " + std::string(r.threshold) : "");
            const SIZE size = twt::GraphViewSize();
            std::vector<std::uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
            Check(twt::ReadGraphPixels(pixels.data(), size.cx, size.cy), what + ": pixels read");
            size_t lines = 0;
            for (double c : twt::Cuts().Snapshot()) {
                std::int32_t x = 0;
                lines += tw::CutLineColumn(c, size.cx, twt::CurrentWave()->dataSize(), &x) &&
                         (pixels[static_cast<size_t>(5 * size.cx + x)] & 0xFFFFFF) == 0xFFFFFF;
            }
            CheckEq(lines, count - 1, what + ": a line for every cut");
            // TW_SHOT=/abs/path.png: a screenshot of the window in pause mode, for the README.
            if (const char* shot = std::getenv("TW_SHOT"); shot && !*r.threshold) {
                Pump(500);
                RunLinux(std::string("import -window root ") + shot);
            }
        }
        ClearBoxes();
        SetDlgItemTextA(tw::TheShell().main.handle, 1019, WorkPath("win_" + base).c_str());
        SendMessageA(Control(1030), BM_CLICK, 0, 0);
        Check(WaitIdle() && WaitBoxes(1), what + ": window saves");
        CheckEq(Boxes().size(), size_t{1}, what + ": one message, no failure");

        const std::string list = args;
        args += " -o exe_" + base + " \"" + Fixture(r.fixture) + "\"";
        CheckEq(RunSplitExe(args), 0, what + ": tarnwick-split.exe succeeds");
        ComparePieces("win_" + base, "exe_" + base, count, what + " exe against window");
        CheckEq(RunSplitExe(args), 1, what + ": a second run fails");
        ComparePieces("win_" + base, "exe_" + base, count, what + " after the second run");

        if (FILE* f = std::fopen("manifest.txt", "ab")) {
            std::fprintf(f, "%s|%s|%s|%u\n", r.fixture, list.c_str(), base.c_str(), static_cast<unsigned>(count));
            std::fclose(f);
        }
    }
    CheckEq(RunSplitExe("-w 0 x.wav"), 2, "usage error");
    // Windows shells leave * to the program: each match gets its own pieces.
    WriteFileBytes("globA.wav", WaveFile({1, 2, 3}));
    WriteFileBytes("globB.wav", WaveFile({4, 5, 6}));
    CheckEq(RunSplitExe("glob*.wav"), 0, "a name with * runs on every match");
    Check(Exists("globA_000.wav") && Exists("globB_000.wav"), "each match cut");
    CheckEq(RunSplitExe("nomatch*.wav"), 1, "a name matching nothing is a file that cannot be opened");
    CheckRules();
    CheckLeftOutAndLetGo();
    CloseMainWindow();
    return Finish();
}
