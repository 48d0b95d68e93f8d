// End-to-end speed of the real shell, in-process under Wine: drop a file and
// wait for its numbers and graph, zoom in, run automatic cutting, save the
// pieces, delete them. One fresh process per run (bench/e2e.sh runs it N
// times). Prints "E2E <name> <value>" lines and a closing "E2E ok 1".
//
// Usage: bench_e2e_win.exe <wav> <output folder> <threshold> <zoom-ins> [probe [settle seconds]]
// The stage stamps come from subclassing the controls the load and graph
// threads write to, so the shell is measured exactly as it ships.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/app/main_window_ids.h"
#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "shell/graph/view_win.h"
#include "core/wave/wave_stats.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

LARGE_INTEGER g_frequency;

double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(g_frequency.QuadPart);
}

// First time each stage was seen on the UI thread (0 = not seen).
struct Stamps {
    double reading = 0;     // status "reading": header accepted
    double analysing = 0;   // status "analysing": data read and measured
    double pathShown = 0;   // first of the eight texts
    double averageShown = 0;  // last of the eight texts
    double graphStart = 0;  // status "creating the graph"
    double firstProgress = 0;
    double lastProgress = 0;  // last non-zero position
    double graphEnd = 0;    // status cleared after the strokes
    int progressMessages = 0;
} g_stamps;

WNDPROC g_statusProc, g_pathProc, g_averageProc, g_progressProc;

void Stamp(double& at) {
    if (at == 0) at = Now();
}

LRESULT CALLBACK StatusHook(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT && lp) {
        const char* text = reinterpret_cast<const char*>(lp);
        if (std::strcmp(text, "WAVファイルの読み込み中...") == 0) Stamp(g_stamps.reading);
        else if (std::strcmp(text, "WAVファイルの解析中...") == 0) Stamp(g_stamps.analysing);
        else if (std::strcmp(text, "WAVファイルのグラフを作成中...") == 0) Stamp(g_stamps.graphStart);
        else if (text[0] == '\0' && g_stamps.graphStart != 0) Stamp(g_stamps.graphEnd);
    }
    return CallWindowProcA(g_statusProc, w, m, wp, lp);
}

LRESULT CALLBACK PathHook(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT) Stamp(g_stamps.pathShown);
    return CallWindowProcA(g_pathProc, w, m, wp, lp);
}

LRESULT CALLBACK AverageHook(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_SETTEXT) Stamp(g_stamps.averageShown);
    return CallWindowProcA(g_averageProc, w, m, wp, lp);
}

LRESULT CALLBACK ProgressHook(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == PBM_SETPOS) {
        ++g_stamps.progressMessages;
        if (wp != 0) {
            Stamp(g_stamps.firstProgress);
            g_stamps.lastProgress = Now();
        }
    }
    return CallWindowProcA(g_progressProc, w, m, wp, lp);
}

WNDPROC Hook(int id, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Control(id), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

// Pumps with a 1 ms granularity (the harness waits in 5 ms steps, too coarse
// for stages of tens of milliseconds).
bool WaitFine(bool (*pred)(), DWORD pollMs = 1, double timeoutSeconds = 300);
void Print(const char* name, double value);
void PrintInt(const char* name, long long value);

int PieceRows() { return static_cast<int>(SendMessageA(Control(tw::kIdPieceList), LVM_GETITEMCOUNT, 0, 0)); }

// A rule box typed in: from the change to the new plan's pieces on the graph
// and in the list. The first needs the recording judged for its pauses; the
// next reuse that. Left empty again, so the save below is the plain one.
void TimeRuleBoxes() {
    const struct { int box; const char* text; const char* figure; } changes[] = {
        {tw::kIdLongest, "20", "rule_box_first_s"}, {tw::kIdLongest, "25", "rule_box_next_s"},
        {tw::kIdPieceCount, "40", "rule_box_pieces_s"}, {tw::kIdPieceCount, "", nullptr}, {tw::kIdLongest, "", nullptr}};
    for (const auto& c : changes) {
        const double t = Now();
        SetDlgItemTextA(tw::TheShell().main.handle, c.box, c.text);
        WaitFine([] { return tw::TheShell().main.PlansInFlight() == 0 && twt::GraphsInFlight() == 0; });
        if (c.figure) {
            Print(c.figure, Now() - t);
            PrintInt((std::string(c.figure) + "_rows").c_str(), PieceRows());
        }
    }
}

// One zoom button pressed until the graph's width stops changing: the
// longest step that changed it, and how many did.
double TimeZoomSteps(int button, int* levels) {
    double longest = 0;
    *levels = 0;
    for (LONG width = 0;;) {
        const double t = Now();
        SendMessageA(Control(button), BM_CLICK, 0, 0);
        const double step = Now() - t;
        RECT r{};
        GetClientRect(Control(tw::kIdGraph), &r);
        if (r.right == width) return longest;
        width = r.right;
        longest = std::max(longest, step);
        ++*levels;
    }
}

// Every zoom step in, to the widest the graph gets, and back out to the
// whole recording: the longest step of each way.
void TimeEveryZoomLevel() {
    int levels = 0, levelsOut = 0;
    const double longestIn = TimeZoomSteps(tw::kIdZoomIn, &levels);
    const double longestOut = TimeZoomSteps(tw::kIdZoomOut, &levelsOut);
    PrintInt("zoom_levels_in", levels);
    Print("zoom_in_every_level_longest_s", longestIn);
    Print("zoom_out_every_level_longest_s", longestOut);
}

bool WaitFine(bool (*pred)(), DWORD pollMs, double timeoutSeconds) {
    const double start = Now();
    MSG msg;
    while (!pred()) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (pred()) break;
        if (Now() - start > timeoutSeconds) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, pollMs, QS_ALLINPUT);
    }
    return true;
}

// 「N 個のピースを保存しました」 and the folder on a line of its own.
bool SavedText(const std::string& text) { return text.find("個のピースを保存しました") != std::string::npos; }

std::size_t SavedBoxesAnswered() {
    std::size_t n = 0;
    for (const BoxRecord& b : Boxes())
        if (SavedText(b.text)) ++n;
    return n;
}

std::size_t g_savedBefore = 0;  // answered "saved" boxes before the click

// The closing "saved" box of the save being timed: one FindWindowEx per poll
// (a single server call under Wine), so the waiting thread does not slow the
// save it is timing.
bool SavedBoxShown() {
    for (HWND box = FindWindowExA(nullptr, nullptr, "#32770", nullptr); box;
         box = FindWindowExA(nullptr, box, "#32770", nullptr)) {
        if (GetWindow(box, GW_OWNER) != tw::TheShell().main.handle) continue;
        char text[256] = {0};
        GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
        if (SavedText(text)) return true;
    }
    return SavedBoxesAnswered() > g_savedBefore;
}

void Print(const char* name, double value) { std::printf("E2E %s %.6f\n", name, value); }
void PrintInt(const char* name, long long value) { std::printf("E2E %s %lld\n", name, value); }

std::string PieceName(const std::string& prefix, std::size_t k) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "_%03u.wav", static_cast<unsigned>(k));
    return prefix + buffer;
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return ~0ull;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Raw speeds of the same file in this process, for the physical limits:
// ReadFile in 1 MiB chunks into a fresh VirtualAlloc block (page faults
// included), the same again into the now-touched block, the measurement
// over memory, and a memcpy of the block.
void Probe(const std::string& wav) {
    HANDLE file = CreateFileA(wav.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    const SIZE_T bytes = static_cast<SIZE_T>(size.QuadPart);
    auto* block = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block) {
        CloseHandle(file);
        return;
    }
    auto readAll = [&]() {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        SIZE_T done = 0;
        while (done < bytes) {
            DWORD n = 0;
            DWORD want = static_cast<DWORD>(std::min<SIZE_T>(1u << 20, bytes - done));
            if (!ReadFile(file, block + done, want, &n, nullptr) || n == 0) break;
            done += n;
        }
    };
    double t = Now();
    readAll();
    Print("probe_readfile_fresh_s", Now() - t);
    t = Now();
    readAll();
    Print("probe_readfile_touched_s", Now() - t);
    // Pages written first, then read into piece by piece: the faults taken
    // outside the read.
    VirtualFree(block, 0, MEM_RELEASE);
    block = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!block) {
        CloseHandle(file);
        return;
    }
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    t = Now();
    for (SIZE_T done = 0; done < bytes;) {
        DWORD n = 0;
        DWORD want = static_cast<DWORD>(std::min<SIZE_T>(1u << 20, bytes - done));
        for (SIZE_T i = 0; i < want; i += 4096) static_cast<volatile std::uint8_t*>(block)[done + i] = 0;
        if (!ReadFile(file, block + done, want, &n, nullptr) || n == 0) break;
        done += n;
    }
    Print("probe_touch_then_readfile_s", Now() - t);
    tw::WaveStats stats;
    t = Now();
    tw::AccumulateStats(stats, block, bytes / 2);
    Print("probe_measure_s", Now() - t);
    // Faulting fresh pages alone: what any reader into a new block pays.
    auto* other = static_cast<std::uint8_t*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (other) {
        t = Now();
        for (SIZE_T i = 0; i < bytes; i += 4096) other[i] = 1;
        Print("probe_fault_s", Now() - t);
        t = Now();
        std::memcpy(other, block, bytes);
        Print("probe_memcpy_s", Now() - t);
        VirtualFree(other, 0, MEM_RELEASE);
    }
    VirtualFree(block, 0, MEM_RELEASE);
    CloseHandle(file);
}

// The save's file work alone, on this thread: the same pieces with
// CreateFileA, two WriteFile calls and CloseHandle each, then deleted.
void ProbeWrites(const std::string& wav, const std::string& folder, std::vector<double> cuts) {
    std::vector<std::uint8_t> data = ReadFileBytes(wav);
    if (data.size() < 44) return;
    const std::uint64_t dataSize = data.size() - 44;
    std::sort(cuts.begin(), cuts.end());
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string prefix = folder + "\\probe";
    std::uint64_t start = 0;
    const double t = Now();
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        std::uint64_t end = k < cuts.size() ? std::min<std::uint64_t>(2 * static_cast<std::uint64_t>(cuts[k]), dataSize)
                                            : dataSize;
        if (end < start) end = dataSize;
        HANDLE file = CreateFileA(PieceName(prefix, k).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, data.data(), 44, &written, nullptr);
        if (end > start) WriteFile(file, data.data() + 44 + start, static_cast<DWORD>(end - start), &written, nullptr);
        CloseHandle(file);
        start = end;
    }
    Print("probe_write_pieces_s", Now() - t);
    for (std::size_t k = 0; k <= cuts.size(); ++k) DeleteFileA(PieceName(prefix, k).c_str());
    // The per-file cost alone: the same number of files, headers only.
    const double h = Now();
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
        HANDLE file = CreateFileA(PieceName(prefix, k).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD written = 0;
        WriteFile(file, data.data(), 44, &written, nullptr);
        CloseHandle(file);
    }
    Print("probe_headers_only_s", Now() - h);
    for (std::size_t k = 0; k <= cuts.size(); ++k) DeleteFileA(PieceName(prefix, k).c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace

// Private memory committed by the process (PrivateUsage).
std::uint64_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        return 0;
    return memory.PrivateUsage;
}

int main(int argc, char** argv) {
    if (argc < 5) {
        std::printf("usage: bench_e2e_win <wav> <output folder> <threshold> <zoom-ins> [probe [settle seconds]]\n");
        return 2;
    }
    const std::string wav = argv[1];
    const std::string folder = argv[2];
    const std::string threshold = argv[3];
    const int zooms = std::atoi(argv[4]);
    const bool probe = argc > 5 && std::atoi(argv[5]) != 0;
    const int settleSeconds = argc > 6 ? std::atoi(argv[6]) : 0;
    QueryPerformanceFrequency(&g_frequency);

    const double processStart = Now();
    InitHarness();
    tw::StartUpShell(false);
    Pump(50);
    Print("startup_s", Now() - processStart);
    g_statusProc = Hook(tw::kIdStatus, StatusHook);
    g_pathProc = Hook(tw::kIdPath, PathHook);
    g_averageProc = Hook(tw::kIdAverage, AverageHook);
    g_progressProc = Hook(tw::kIdProgress, ProgressHook);

    // Drop: numbers, then graph, then the samples in the program's own memory
    // (the load thread ends when they are).
    const std::uint64_t privateBefore = PrivateBytes();
    const double drop = Now();
    DropFiles({wav});
    const bool shown = WaitFine([] { return g_stamps.averageShown != 0 || twt::LoadsInFlight() == 0; });
    const double numbers = g_stamps.averageShown;
    const bool drawn = shown && WaitFine([] { return g_stamps.graphEnd != 0 && twt::GraphsInFlight() == 0; });
    const double graph = Now();
    const std::uint64_t privateAtGraph = PrivateBytes();
    const bool loaded = WaitFine([] { return twt::LoadsInFlight() == 0; });
    const double settled = Now();
    if (!loaded || !drawn || numbers == 0 || ControlText(tw::kIdAverage).empty()) {
        std::printf("E2E error load\n");
        return 1;
    }
    PrintInt("private_growth_at_graph_bytes", static_cast<long long>(privateAtGraph - privateBefore));
    Print("drop_to_private_copy_s", settled - drop);
    Print("drop_to_numbers_s", numbers - drop);
    Print("drop_to_graph_s", graph - drop);
    auto since = [&](double at) { return at == 0 ? -1.0 : at - drop; };
    Print("stage_header_s", since(g_stamps.reading));
    Print("stage_read_measure_s", since(g_stamps.analysing));
    Print("stage_texts_begin_s", since(g_stamps.pathShown));
    Print("stage_texts_end_s", since(g_stamps.averageShown));
    Print("stage_graph_begin_s", since(g_stamps.graphStart));
    Print("stage_graph_first_progress_s", since(g_stamps.firstProgress));
    Print("stage_graph_last_progress_s", since(g_stamps.lastProgress));
    Print("stage_graph_strokes_end_s", since(g_stamps.graphEnd));
    PrintInt("progress_messages", g_stamps.progressMessages);
    const std::uint64_t dataSize = twt::CurrentWave()->dataSize();
    PrintInt("data_bytes", static_cast<long long>(dataSize));
    std::printf("E2E numbers %s %s %s %s\n", ControlText(tw::kIdPeak).c_str(), ControlText(tw::kIdNadir).c_str(),
                ControlText(tw::kIdSmallestPositive).c_str(), ControlText(tw::kIdAverage).c_str());

    // The pauses judged behind the load, then a rule box typed on the whole
    // recording: it needs no judging of its own.
    const bool judged = WaitFine([] {
        const tw::MainWindow& w = tw::TheShell().main;
        return w.quiet && w.quietRecording == twt::CurrentWave()->recording;
    });
    Print("judged_after_private_copy_s", judged ? Now() - settled : -1.0);
    {
        const double t = Now();
        SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdLongest, "20");
        WaitFine([] { return tw::TheShell().main.PlansInFlight() == 0 && twt::GraphsInFlight() == 0; });
        Print("rule_box_after_load_s", Now() - t);
        PrintInt("rule_box_after_load_s_rows", PieceRows());
        SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdLongest, "");
        WaitFine([] { return tw::TheShell().main.PlansInFlight() == 0 && twt::GraphsInFlight() == 0; });
    }

    // Zoom in so that about 200 cuts fit (cuts are 10 columns apart).
    double zoomTotal = 0, zoomLongest = 0;
    for (int i = 0; i < zooms; ++i) {
        const double t = Now();
        SendMessageA(Control(tw::kIdZoomIn), BM_CLICK, 0, 0);
        zoomTotal += Now() - t;
        zoomLongest = std::max(zoomLongest, Now() - t);
    }
    RECT graphRect{};
    GetClientRect(Control(tw::kIdGraph), &graphRect);
    PrintInt("graph_width", graphRect.right);
    Print("zoom_redraws_s", zoomTotal);
    Print("zoom_step_longest_s", zoomLongest);

    // Pause cutting at the estimated threshold and at a typed one: on a
    // worker, done when its cuts are on the graph; then undone, so the save
    // below is the same.
    SendMessageA(Control(tw::kIdPauseMode), BM_SETCHECK, BST_CHECKED, 0);
    const struct { const char* text; const char* figure; } pauseRuns[] = {{"", "pause_cut"}, {"2000", "pause_cut_t2000"}};
    for (const auto& run : pauseRuns) {
        SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdThreshold, run.text);
        const double pauseStart = Now();
        SendMessageA(Control(tw::kIdAutoCut), BM_CLICK, 0, 0);
        WaitFine([] { return twt::PauseCutsInFlight() == 0; });
        Print((std::string(run.figure) + "_s").c_str(), Now() - pauseStart);
        PrintInt(run.figure == std::string("pause_cut") ? "pause_cuts" : "pause_cuts_t2000",
                 static_cast<long long>(twt::Cuts().Count()));
        SendMessageA(tw::TheShell().main.handle, WM_COMMAND, tw::kIdMenuUndo, 0);
    }
    SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdThreshold, "");
    SendMessageA(Control(tw::kIdPauseMode), BM_SETCHECK, BST_UNCHECKED, 0);

    // Automatic cutting: synchronous on this (the UI) thread.
    SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdThreshold, threshold.c_str());
    const double cutStart = Now();
    SendMessageA(Control(tw::kIdAutoCut), BM_CLICK, 0, 0);
    const double cutEnd = Now();
    const std::size_t cuts = twt::Cuts().Count();
    Print("auto_cut_s", cutEnd - cutStart);
    PrintInt("cuts", static_cast<long long>(cuts));
    TimeRuleBoxes();

    // Saving: until the closing "saved" box appears. The program's own copy
    // of the recording has just taken fresh memory of the data size; after
    // the same rest the peers' cold writers get (bench_pages --hold keeps as
    // much), all of them start from one state.
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string prefix = folder + "\\piece";
    SetDlgItemTextA(tw::TheShell().main.handle, tw::kIdPrefix, prefix.c_str());
    Pump(static_cast<DWORD>(settleSeconds) * 1000);
    g_savedBefore = SavedBoxesAnswered();
    const double saveStart = Now();
    SendMessageA(Control(tw::kIdSave), BM_CLICK, 0, 0);
    // Looking for the box costs server round trips that the save's own file
    // calls wait behind: 10 ms apart, as an idle window would be.
    const bool saved = WaitFine(SavedBoxShown, 10);
    const double saveEnd = Now();
    WaitIdle();
    Print("save_s", saveEnd - saveStart);
    // The pieces on disk: how many, and their data bytes in all.
    auto piecesWritten = [&](std::uint64_t* bytes) {
        std::size_t n = 0;
        *bytes = 0;
        for (std::size_t k = 0; k <= cuts; ++k) {
            const std::uint64_t size = FileSize(PieceName(prefix, k));
            if (size == ~0ull) break;
            *bytes += size - 44;
            ++n;
        }
        return n;
    };
    std::uint64_t written = 0;
    const std::size_t pieces = piecesWritten(&written);
    PrintInt("pieces", static_cast<long long>(pieces));
    PrintInt("pieces_data_bytes", static_cast<long long>(written));
    bool ok = saved && pieces == cuts + 1 && written == dataSize;
    if (!ok) std::printf("E2E error save (saved %d, pieces %zu, bytes %llu)\n", saved ? 1 : 0, pieces,
                         static_cast<unsigned long long>(written));
    Print("load_cut_save_s", (numbers - drop) + (cutEnd - cutStart) + (saveEnd - saveStart));
    Print("load_graph_cut_save_s", (graph - drop) + (cutEnd - cutStart) + (saveEnd - saveStart));

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory)) {
        PrintInt("peak_working_set_bytes", static_cast<long long>(memory.PeakWorkingSetSize));
        PrintInt("peak_pagefile_bytes", static_cast<long long>(memory.PeakPagefileUsage));
    }

    const double deleteStart = Now();
    for (std::size_t k = 0; k < pieces; ++k) DeleteFileA(PieceName(prefix, k).c_str());
    Print("delete_pieces_s", Now() - deleteStart);

    // The same save at once on the file pages just freed: what it costs
    // where new memory is cheap.
    g_savedBefore = SavedBoxesAnswered();
    const double warmStart = Now();
    SendMessageA(Control(tw::kIdSave), BM_CLICK, 0, 0);
    const bool savedWarm = WaitFine(SavedBoxShown, 10);
    Print("save_warm_s", Now() - warmStart);
    WaitIdle();
    std::uint64_t writtenWarm = 0;
    if (!savedWarm || piecesWritten(&writtenWarm) != pieces || writtenWarm != written) {
        std::printf("E2E error warm save\n");
        ok = false;
    }
    for (std::size_t k = 0; k < pieces; ++k) DeleteFileA(PieceName(prefix, k).c_str());
    RemoveDirectoryA(folder.c_str());
    int boxes = 0;
    for (const BoxRecord& b : Boxes())
        if (!SavedText(b.text)) ++boxes;
    PrintInt("other_boxes", boxes);
    if (boxes != 0) ok = false;

    // A resize: from the new size to its drawing installed (the drawing waits
    // for the size to settle, 50 ms, so a drag of the frame draws once).
    {
        HWND main = tw::TheShell().main.handle;
        RECT outer{};
        GetWindowRect(main, &outer);
        const double t = Now();
        SetWindowPos(main, nullptr, 0, 0, outer.right - outer.left + 400, outer.bottom - outer.top + 200,
                     SWP_NOMOVE | SWP_NOZORDER);
        WaitFine([] {
            const SIZE view = twt::GraphViewSize(), control = tw::GraphControlSize(twt::Graph());
            return view.cx == control.cx && view.cy == control.cy && twt::GraphsInFlight() == 0;
        });
        Print("resize_redraw_s", Now() - t);
    }

    TimeEveryZoomLevel();
    const tw::WavePtr last = twt::CurrentWave();
    const std::shared_ptr<const tw::WaveSummary> summary = last->summary ? last->summary : twt::Graph().summary;
    PrintInt("summary_bytes", summary ? static_cast<long long>(summary->MemoryBytes()) : -1);

    const std::vector<double> cutPositions = twt::Cuts().Snapshot();
    SendMessageA(tw::TheShell().main.handle, WM_CLOSE, 0, 0);
    tw::RunMessageLoop();
    tw::FinishShell();
    if (probe) {
        Probe(wav);
        ProbeWrites(wav, folder, cutPositions);
    }
    PrintInt("ok", ok ? 1 : 0);
    std::fflush(stdout);
    return ok ? 0 : 1;
}
