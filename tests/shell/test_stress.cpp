// Random orders of user actions on the real main window: drops of good and bad
// files, zooms, scrolls, thresholds, cutting, clicks, saves, painting and the
// Version window, with short or no pumping between them. Every saved piece is
// checked against the file that was loaded when its save was clicked.
//
// TW_STRESS_SEED (decimal or 0x...) and TW_STRESS_ACTIONS choose the run; the
// seed is printed so a failing order can be replayed.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "shell/graph/view_win.h"
#include "core/wave/wave_format.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

// ---- run control -----------------------------------------------------------

std::uint64_t g_rng = 0;
std::uint64_t Next() {  // xorshift64*
    g_rng ^= g_rng >> 12;
    g_rng ^= g_rng << 25;
    g_rng ^= g_rng >> 27;
    return g_rng * 0x2545F4914F6CDD1DULL;
}
int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    char buffer[64] = {0};
    if (GetEnvironmentVariableA(name, buffer, sizeof buffer) == 0 || !buffer[0]) return fallback;
    return std::strtoull(buffer, nullptr, 0);
}

std::uint64_t g_seed = 0;
std::atomic<DWORD> g_lastProgress{0};
std::atomic<int> g_actionNumber{0};
std::atomic<const char*> g_actionName{"start"};

void Progress(const char* what) {
    g_actionName = what;
    g_lastProgress = GetTickCount();
}

// The process's top-level windows as a stall leaves them: what was waiting.
BOOL CALLBACK PrintWindow(HWND window, LPARAM) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    char cls[64] = {0}, text[256] = {0};
    GetClassNameA(window, cls, sizeof cls);
    GetWindowTextA(window, text, sizeof text);
    std::printf("  window %s [%s]%s%s\n", cls, text, IsWindowVisible(window) ? " visible" : "",
                IsWindowEnabled(window) ? "" : " disabled");
    return TRUE;
}

// A hang anywhere (UI thread blocked on a worker, a lost modal loop) stops the
// run with a message instead of waiting for the runner's time limit.
void Watchdog() {
    for (;;) {
        Sleep(250);
        if (GetTickCount() - g_lastProgress.load() > 20000) {
            std::printf("FAIL: no progress for 20 s at action %d (%s), seed 0x%llx\n", g_actionNumber.load(),
                        g_actionName.load(), static_cast<unsigned long long>(g_seed));
            EnumWindows(PrintWindow, 0);
            std::fflush(stdout);
            if (std::getenv("TW_STRESS_BACKTRACE")) {  // every thread's stack, by Wine's debugger
                char command[128];
                std::snprintf(command, sizeof command, "winedbg --command \"bt all\" %lu", GetCurrentProcessId());
                STARTUPINFOA si{};
                si.cb = sizeof si;
                PROCESS_INFORMATION pi{};
                if (CreateProcessA(nullptr, command, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
                    WaitForSingleObject(pi.hProcess, 30000);
                    CloseHandle(pi.hThread);
                    CloseHandle(pi.hProcess);
                }
            }
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
}

// Closes each Version window a little while after it appears, from outside the
// modal loop that the test thread is then inside.
std::atomic<int> g_versionsClosed{0};
void VersionCloser() {
    unsigned delay = 7;
    for (;;) {
        delay = (delay * 1103515245u + 12345u) & 0x7FFFFFFFu;
        Sleep(10 + delay % 60);
        g_versionsClosed += CloseSmallWindows();
    }
}

// Counts reads of the file-name box, so the test changes it only after the
// save it was typed for has taken it.
WNDPROC g_prefixProc = nullptr;
std::atomic<int> g_prefixReads{0};
LRESULT CALLBACK PrefixSpy(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_GETTEXT) ++g_prefixReads;
    return CallWindowProcA(g_prefixProc, w, m, wp, lp);
}

// ---- files -----------------------------------------------------------------

std::uint32_t Le32(const std::vector<std::uint8_t>& b, size_t at) {
    return static_cast<std::uint32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16)) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct GoodFile {
    std::string path;
    std::vector<std::uint8_t> header;  // 44 bytes as read
    std::vector<std::uint8_t> data;    // the data chunk as loaded: what the file holds of it
    std::size_t whole = 0;             // its bytes in whole frames: what its pieces hold
};

bool PiecesOf(const GoodFile& f, const std::vector<std::uint8_t>& joined) {
    return joined.size() == f.whole && std::equal(joined.begin(), joined.end(), f.data.begin());
}

std::vector<GoodFile> g_good;
std::vector<std::string> g_bad;

GoodFile Expect(const std::string& path) {
    std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    GoodFile f{path, {}, {}};
    if (!Check(bytes.size() >= 44, path + " readable")) return f;
    f.header.assign(bytes.begin(), bytes.begin() + 44);
    const std::uint32_t claimed = Le32(bytes, 40), held = static_cast<std::uint32_t>(bytes.size() - 44);
    f.data.assign(bytes.begin() + 44, bytes.begin() + 44 + (claimed == 0 || claimed == 0xFFFFFFFFu || claimed > held ? held : claimed));
    tw::WaveHeaderBytes header{};
    std::copy(f.header.begin(), f.header.end(), header.begin());
    f.whole = f.data.size() - f.data.size() % tw::FrameBytes(header);
    return f;
}

bool SameWave(const tw::WaveData& w, const GoodFile& f) {
    // The piece header of a plain file is its own, the sizes aside.
    const std::uint8_t* h = w.layout.pieceHeader.data();
    return f.header.size() == 44 && std::memcmp(h, f.header.data(), 4) == 0 &&
           std::memcmp(h + 8, f.header.data() + 8, 32) == 0 &&
           w.dataSize() == f.data.size() && (w.dataSize() == 0 || std::memcmp(w.bytes, f.data.data(), w.dataSize()) == 0);
}

const GoodFile* FileOf(const tw::WavePtr& w) {
    if (!w) return nullptr;
    for (const GoodFile& f : g_good)
        if (SameWave(*w, f)) return &f;
    return nullptr;
}

void MakeFiles() {
    const char* fixtures[] = {"mono16.wav", "stereo16.wav", "mono8.wav", "stereo24.wav", "silence.wav", "bursts.wav", "speech.wav"};
    for (const char* n : fixtures) g_good.push_back(Expect(Fixture(n)));

    // Tone bursts with pauses, random lengths; one large enough that a load
    // is still running when the next actions come.
    auto bursts = [](size_t n, int channels, std::uint32_t salt) {
        std::vector<std::int16_t> s(n * channels);
        std::uint32_t x = salt;
        for (size_t i = 0; i < s.size(); ++i) {
            x = x * 1664525u + 1013904223u;
            bool loud = ((i / 3000) % 3) != 2;
            s[i] = loud ? static_cast<std::int16_t>((x >> 16) - 32768) : static_cast<std::int16_t>((x >> 28) % 5);
        }
        return s;
    };
    struct Synthetic {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> odd = WaveFile({100, -200, 300}, 1, 8000, 7);
    odd.push_back(0x55);
    std::vector<Synthetic> synthetic = {
        {"syn_mono.wav", WaveFile(bursts(30000, 1, 1), 1, 8000)},
        {"syn_stereo.wav", WaveFile(bursts(20000, 2, 2), 2, 22050)},
        {"syn_beyond.wav", WaveFile(bursts(50, 1, 3), 1, 8000, 400)},  // data field larger than the file
        {"syn_odd.wav", odd},
        {"syn_empty.wav", WaveFile({}, 1, 8000)},
        {"syn_big.wav", WaveFile(bursts(1500000, 1, 4), 1, 44100)},
    };
    for (const Synthetic& s : synthetic) {
        WriteFileBytes(WorkPath(s.name), s.bytes);
        g_good.push_back(Expect(WorkPath(s.name)));
    }

    WriteFileBytes(WorkPath("bad_short.wav"), std::vector<std::uint8_t>(20, 'R'));
    WriteFileBytes(WorkPath("bad_empty.wav"), {});
    CreateDirectoryA(WorkPath("bad_dir").c_str(), nullptr);
    g_bad = {Fixture("text.txt"), WorkPath("bad_short.wav"), WorkPath("bad_empty.wav"), WorkPath("bad_missing.wav"),
             WorkPath("bad_dir")};
}

std::vector<std::string> FilesIn(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

// ---- saves -----------------------------------------------------------------

struct Save {
    int number;
    std::string dir, prefix;
    tw::WavePtr wave;       // current at the click
    bool takenAtClick;      // the save read its inputs inside the click
    bool loadRunning;       // a load was running at the click
    bool usedPrefix;
    std::map<std::string, std::vector<std::uint8_t>> before;  // files already there
};

std::vector<Save> g_pending;
std::vector<Save> g_finished;  // fresh saves checked, available as used prefixes
int g_saveCount = 0;
int g_filesChecked = 0;
int g_savedWithLaterWave = 0;
int g_saveFoundNoWave = 0;  // known: clicked while a file is shown but no samples are held

std::string PieceName(const Save& s, int k) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "_%03d.wav", k);
    return s.prefix + digits;
}

// Header sizes must match the length: no half-written piece, no header that
// claims more than the file holds. The rest of the header is the source's.
bool CheckPieceFile(const std::string& path, const std::vector<std::uint8_t>& bytes, const tw::WavePtr& wave) {
    bool ok = Check(bytes.size() >= 44, path + " holds a header (" + std::to_string(bytes.size()) + " bytes)");
    if (!ok) return false;
    ok &= CheckEq(Le32(bytes, 4), static_cast<std::uint32_t>(bytes.size() - 8), path + " RIFF size");
    ok &= CheckEq(Le32(bytes, 40), static_cast<std::uint32_t>(bytes.size() - 44), path + " data size");
    if (wave) {
        ok &= Check(std::memcmp(bytes.data(), wave->layout.pieceHeader.data(), 4) == 0 &&
                        std::memcmp(bytes.data() + 8, wave->layout.pieceHeader.data() + 8, 32) == 0,
                    path + " header fields of the source");
    }
    ++g_filesChecked;
    return ok;
}

void CheckFreshSave(Save& s) {
    const std::string tag = "save " + std::to_string(s.number) + " (" + s.dir + ")";
    std::vector<std::string> names = FilesIn(s.dir);
    std::vector<std::uint8_t> joined;
    size_t pieces = 0;
    for (;; ++pieces) {
        std::string path = PieceName(s, static_cast<int>(pieces));
        std::vector<std::uint8_t> bytes = ReadFileBytes(path);
        if (bytes.empty() && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) break;
        if (!CheckPieceFile(path, bytes, s.wave)) continue;
        joined.insert(joined.end(), bytes.begin() + 44, bytes.end());
        s.before[path] = bytes;
    }
    Check(names.size() == pieces, tag + ": pieces numbered from 000 without gaps (" + std::to_string(names.size()) +
                                      " files, " + std::to_string(pieces) + " in sequence)");
    const GoodFile* atClick = FileOf(s.wave);
    Check(!s.wave || atClick, tag + ": the samples held at the click are those of a dropped file");
    if (pieces == 0) {
        // Nothing written: right when there were no samples at the click, or
        // when a load running then let them go (between this test's look and
        // the click, or before a save that looked later).
        Check(!s.wave || s.loadRunning, tag + ": a save with samples held wrote no piece");
        return;
    }
    if (atClick && PiecesOf(*atClick, joined)) return;
    // The pieces are some other file's data: right only when the save took
    // its inputs after the click (a drop could come between).
    const GoodFile* other = nullptr;
    for (const GoodFile& f : g_good)
        if (PiecesOf(f, joined)) other = &f;
    if (other && !s.takenAtClick) {
        ++g_savedWithLaterWave;
        return;
    }
    Check(false, tag + ": pieces (" + std::to_string(pieces) + ", " + std::to_string(joined.size()) +
                     " bytes) concatenate to the data loaded at the click (" +
                     (atClick ? atClick->path + ", " + std::to_string(atClick->data.size()) + " bytes" : "none") + ")" +
                     (other ? "; they are " + other->path : ""));
}

void CheckUsedSave(const Save& s) {
    const std::string tag = "save " + std::to_string(s.number) + " to a used prefix (" + s.dir + ")";
    for (const auto& [path, bytes] : s.before) Check(ReadFileBytes(path) == bytes, tag + ": " + path + " untouched");
    // A save never mixes with an earlier one: with its names taken it writes nothing.
    if (!s.before.empty()) CheckEq(FilesIn(s.dir).size(), s.before.size(), tag + ": nothing written beside");
    for (const std::string& name : FilesIn(s.dir)) {
        std::string path = s.dir + "\\" + name;
        if (s.before.count(path)) continue;
        CheckPieceFile(path, ReadFileBytes(path), s.wave);
    }
}

void RemoveDir(const std::string& dir) {
    for (const std::string& name : FilesIn(dir)) DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

// Checks every pending save once no save runs any more.
void CheckFinishedSaves() {
    if (g_pending.empty() || twt::SavesInFlight() != 0) return;
    Progress("checking saves");
    for (Save& s : g_pending) {
        if (s.usedPrefix) {
            CheckUsedSave(s);
            // The extra pieces it wrote become part of what later saves there must keep.
            for (Save& f : g_finished)
                if (f.dir == s.dir)
                    for (const std::string& name : FilesIn(s.dir)) f.before[s.dir + "\\" + name] = ReadFileBytes(s.dir + "\\" + name);
        } else {
            CheckFreshSave(s);
            s.wave.reset();
            g_finished.push_back(std::move(s));
        }
    }
    g_pending.clear();
    // Keep a few folders as used prefixes; the rest only fill the disk.
    while (g_finished.size() > 4) {
        RemoveDir(g_finished.front().dir);
        g_finished.erase(g_finished.begin());
    }
}

void ClickSave(bool used) {
    Save s;
    s.number = g_saveCount++;
    s.usedPrefix = used && !g_finished.empty();
    if (s.usedPrefix) {
        const Save& f = g_finished[Below(static_cast<int>(g_finished.size()))];
        s.dir = f.dir;
        s.prefix = f.prefix;
        s.before = f.before;
    } else {
        s.dir = WorkPath("save" + std::to_string(s.number));
        CreateDirectoryA(s.dir.c_str(), nullptr);
        // Some names carry "ソ", whose second byte is 0x5C.
        s.prefix = s.dir + (Below(3) == 0 ? "\\ソ" : "\\p");
    }
    SetDlgItemTextA(tw::TheShell().main.handle, 1019, s.prefix.c_str());
    const int reads = g_prefixReads.load();
    s.wave = twt::CurrentWave();
    s.loadRunning = twt::LoadsInFlight() > 0;
    // Known: a running load lets the shown file's samples go before it has
    // its own, so a save clicked then has nothing to write.
    if (!s.wave && !ControlText(1003).empty()) ++g_saveFoundNoWave;
    SendMessageA(Control(1030), BM_CLICK, 0, 0);
    s.takenAtClick = g_prefixReads.load() > reads;
    if (!s.takenAtClick)
        Check(WaitUntil([&] { return g_prefixReads.load() > reads; }, 15000), "save " + std::to_string(s.number) + " reads its file name");
    g_pending.push_back(std::move(s));
}

// ---- actions ---------------------------------------------------------------

std::string g_lastDropped;
bool g_lastDropGood = false;

void Drop(bool good) {
    if (good) {
        g_lastDropped = g_good[Below(static_cast<int>(g_good.size()))].path;
    } else {
        g_lastDropped = g_bad[Below(static_cast<int>(g_bad.size()))];
    }
    g_lastDropGood = good;
    DropFiles({g_lastDropped});
}

void ClickGraphSomewhere() {
    HWND graph = Control(1000);
    RECT r;
    GetWindowRect(graph, &r);
    int lo = std::max<int>(0, r.left - 40);
    int hi = std::min<int>(GetSystemMetrics(SM_CXSCREEN) - 1, r.right + 40);
    POINT p{lo + Below(hi - lo + 1), r.top + 5 + Below(150)};
    ScreenToClient(graph, &p);
    ClickGraph(p.x, p.y);
}

const char* const kThresholds[] = {"0", "5", "100", "1000", "3000", "20000", "32768", "40000", "-7", "", "abc",
                                   "&H100", "1e3", "12.5x", "  300", "+", "9999999999999999999999", "-40dB", "-6 db"};

int g_versionsOpened = 0;
constexpr size_t kCutCap = 60;  // the list grows until a new file; keeps saves to a few hundred files

void Act(int action) {
    HWND main = tw::TheShell().main.handle;
    switch (action) {
        case 0: case 1: case 2: Progress("drop good"); Drop(true); break;
        case 3: Progress("drop bad"); Drop(false); break;
        case 4: case 5: Progress("zoom in"); SendMessageA(Control(1032), BM_CLICK, 0, 0); break;
        case 6: case 7: Progress("zoom out"); SendMessageA(Control(1033), BM_CLICK, 0, 0); break;
        case 8: case 9: case 10: {
            Progress("scroll");
            int code = Below(9);
            int thumb = Below(3) == 0 ? Below(65536) : Below(4000);
            SendMessageA(main, WM_HSCROLL, MAKEWPARAM(code, thumb), reinterpret_cast<LPARAM>(Control(1031)));
            break;
        }
        case 11: case 12:
            Progress("threshold");
            SetDlgItemTextA(main, 1016, kThresholds[Below(sizeof kThresholds / sizeof kThresholds[0])]);
            break;
        case 13: case 14:
            Progress("auto cut");
            if (twt::Cuts().Count() < kCutCap) SendMessageA(Control(1029), BM_CLICK, 0, 0);
            break;
        case 15: Progress("cutting mode"); SendMessageA(Control(1001), BM_CLICK, 0, 0); break;
        case 16: case 17: case 18:
            Progress("click graph");
            if (twt::Cuts().Count() < kCutCap + 40) ClickGraphSomewhere();
            break;
        case 19: Progress("save fresh"); ClickSave(false); break;
        case 20: Progress("save used"); if (twt::Cuts().Count() < 40) ClickSave(true); break;
        case 21: case 22:
            Progress("paint");
            InvalidateRect(main, nullptr, TRUE);
            UpdateWindow(main);
            break;
        case 23: Progress("redraw"); SendMessageA(Control(1034), BM_CLICK, 0, 0); break;
        case 24:
            Progress("version window");
            if (g_versionsClosed.load() >= g_versionsOpened) {  // one at a time, as the menu allows
                ++g_versionsOpened;
                PostMessageA(main, WM_COMMAND, 1036, 0);
            }
            break;
        case 25: {
            Progress("graph menu");
            // A box or the Version window has the window, or a worker may put
            // a box up (which closes an open menu): no right-click then. A
            // worker's box is queued for the window's thread before the worker
            // ends, so the pump comes after the workers are seen ended: it
            // shows (and the watcher answers) what they queued, and the
            // Version window asked for by a command still in the queue; the
            // window takes no click while either is up.
            if (twt::LoadsInFlight() || twt::SavesInFlight()) break;
            Pump(0);
            if (!IsWindowEnabled(main)) break;
            static const UINT kItems[] = {tw::kIdMenuPlayPiece, tw::kIdMenuPlayFromHere, tw::kIdMenuStop,
                                          tw::kIdMenuDeleteCut, tw::kIdMenuDeleteAllCuts, tw::kIdMenuUndo};
            // A menu that does not open fails the run; an item is chosen only
            // from a menu that opened.
            const size_t boxesBefore = Boxes().size();
            if (!RightClickGraph(Below(570), 80).opened) {
                // What had the window instead, for the one who reads the failure.
                const std::vector<BoxRecord> boxes = Boxes();
                std::string up;
                for (size_t b = boxesBefore; b < boxes.size(); ++b) up += " [" + boxes[b].caption + ": " + boxes[b].text + "]";
                Check(false, "the graph's menu opens (window " + std::string(IsWindowEnabled(main) ? "enabled" : "disabled") +
                                 "; boxes meanwhile:" + (up.empty() ? " none" : up) + ")");
                break;
            }
            static const char* const kItemNames[] = {"graph menu: play piece", "graph menu: play from here", "graph menu: stop",
                                                     "graph menu: delete cut", "graph menu: delete all", "graph menu: undo"};
            const int item = Below(6);
            Progress(kItemNames[item]);
            ChooseMenuItem(kItems[item]);
            break;
        }
        case 26:  // the auto-cut clicks then cut in the pauses, on a worker
            Progress("pause mode");
            SendMessageA(Control(1040), BM_CLICK, 0, 0);
            SetDlgItemTextA(main, 1042, Below(4) ? "400" : "x");
            break;
        default: Progress("wait idle"); WaitIdle(); break;
    }
}
constexpr int kActionKinds = 28;

// When nothing runs: the window shows the last good file dropped, holds its
// samples, and the installed drawing has the graph control's size.
void CheckSettled() {
    if (twt::LoadsInFlight() || twt::GraphsInFlight() || twt::SavesInFlight() || twt::PauseCutsInFlight()) return;
    Progress("checking state");
    tw::WavePtr wave = twt::CurrentWave();
    const std::string shown = ControlText(1003);
    if (g_lastDropGood) {
        CheckEq(shown, g_lastDropped, "the last file dropped is shown");
        const GoodFile* f = FileOf(wave);
        Check(f && f->path == g_lastDropped, "the samples held are the last file dropped");
    } else if (!shown.empty()) {
        const GoodFile* f = FileOf(wave);
        // Whatever was rejected or interrupted, a file shown is a file held.
        Check(f != nullptr, "samples of the shown file " + shown + " are still held");
        if (f) CheckEq(f->path, shown, "the samples held are those of the file shown");
    }
    if (wave) {
        RECT rc;
        GetClientRect(Control(1000), &rc);
        SIZE view = twt::GraphViewSize();
        Check(view.cx == rc.right && view.cy == rc.bottom,
              "installed drawing " + std::to_string(view.cx) + "x" + std::to_string(view.cy) + " fits the graph " +
                  std::to_string(rc.right) + "x" + std::to_string(rc.bottom));
    }
}

}  // namespace

int main() {
    InitHarness();
    const std::uint64_t seed = g_seed = EnvNumber("TW_STRESS_SEED", 0x7A5EED01ULL);
    const int actions = static_cast<int>(EnvNumber("TW_STRESS_ACTIONS", 1000));
    g_rng = seed ? seed : 1;
    std::printf("stress: seed 0x%llx, %d actions\n", static_cast<unsigned long long>(seed), actions);
    Progress("start-up");
    std::thread(Watchdog).detach();
    std::thread(VersionCloser).detach();

    OpenMainWindow();
    g_prefixProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Control(1019), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PrefixSpy)));
    MakeFiles();

    const DWORD start = GetTickCount();
    for (int i = 0; i < actions; ++i) {
        g_actionNumber = i;
        Act(Below(kActionKinds));
        switch (Below(4)) {
            case 0: break;  // straight on, workers still running
            case 1: Pump(1); break;
            default: Pump(1 + Below(20)); break;
        }
        CheckFinishedSaves();
        if (i % 50 == 49) {
            WaitIdle();
            CheckSettled();
            CheckFinishedSaves();
        }
    }
    Progress("final idle");
    Check(WaitIdle(), "workers finish");
    Check(WaitUntil([] { return g_versionsClosed.load() >= g_versionsOpened; }, 5000), "every Version window closed");
    CheckFinishedSaves();
    CheckSettled();
    std::printf("stress: %d actions in %lu ms; %d saves, %d piece files checked; %zu cuts; "
                "%d saves took a later file; %d saves clicked while a load was reading\n",
                actions, GetTickCount() - start, g_saveCount, g_filesChecked, twt::Cuts().Count(), g_savedWithLaterWave,
                g_saveFoundNoWave);

    Progress("closing");
    CloseMainWindow();
    return Finish();
}
