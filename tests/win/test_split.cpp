// The same pieces as the window: each recording is auto-cut (or cut in its
// pauses) and saved in the real window at a threshold and graph width, then
// tarnwick-split.exe cuts it with the same settings; both sets must be
// identical byte for byte, and a second run of the exe must fail without
// touching one.
// test_split.check.sh then runs the native tarnwick-split on the same rows
// and reads every piece with soxi.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "app/shell_win.h"
#include "harness_win.h"
#include "view/graph_geometry.h"
#include "view/view_win.h"

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
    if (!started) return -1;
    WaitForSingleObject(pi.hProcess, 120000);
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

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    // Rows by growing zoom: zooming out does not come back to the first width.
    // pauseMs > 0: cut in the pauses (an empty threshold is estimated).
    struct Row { const char* fixture; const char* threshold; int zooms; int width; int pauseMs; size_t fewest = 5; };
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
    };
    std::remove("manifest.txt");
    int zooms = 0;
    for (const Row& r : rows) {
        const std::string width = std::to_string(r.width);
        const std::string what = std::string(r.fixture) + " at " + width;
        const std::string base = std::string(r.fixture).substr(0, std::string(r.fixture).size() - 4) + "_" + width +
                                 (r.pauseMs ? "_p" + std::to_string(r.pauseMs) : "");
        tw::Cuts().Clear();
        DropFiles({Fixture(r.fixture)});
        Check(WaitIdle(), what + " loads");
        for (; zooms < r.zooms; ++zooms) {
            SendMessageA(Control(1032), BM_CLICK, 0, 0);
            WaitIdle();
        }
        CheckEq(GraphWidth(), r.width, what + ": graph width");
        SetDlgItemTextA(tw::TheShell().main.handle, 1016, r.threshold);
        SendMessageA(Control(1040), BM_SETCHECK, r.pauseMs ? BST_CHECKED : BST_UNCHECKED, 0);
        SetDlgItemTextA(tw::TheShell().main.handle, 1042, std::to_string(r.pauseMs).c_str());
        const size_t steps = tw::CutEdits().UndoSteps();
        SendMessageA(Control(1029), BM_CLICK, 0, 0);
        Check(WaitIdle(), what + ": cutting ends");
        const size_t count = tw::Cuts().Count() + 1;
        Check(count > (r.pauseMs ? 3 : r.fewest), what + ": cuts found (" + std::to_string(count - 1) + ")");
        CheckEq(tw::CutEdits().UndoSteps(), steps + 1, what + ": one undo step");
        std::string args = "-t " + std::string(r.threshold) + " -w " + width;
        if (r.pauseMs) {
            // The estimate is shown in the box; every cut has its white line.
            Check(!ControlText(1016).empty(), what + ": the threshold used is shown (" + ControlText(1016) + ")");
            args = "-p " + std::to_string(r.pauseMs) + (*r.threshold ? " -t " + std::string(r.threshold) : "");
            const SIZE size = tw::GraphViewSize();
            std::vector<std::uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
            Check(tw::ReadGraphPixels(pixels.data(), size.cx, size.cy), what + ": pixels read");
            size_t lines = 0;
            for (double c : tw::Cuts().Snapshot()) {
                std::int32_t x = 0;
                lines += tw::CutLineColumn(c, size.cx, tw::CurrentWave()->dataSize, &x) &&
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
    CloseMainWindow();
    return Finish();
}
