// Automatic cutting and cuts by hand in the real main window: the cut list,
// the lines in the graph bitmap, the value box, real recordings, and cutting
// while a graph is being drawn.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/app/shell_win.h"
#include "core/cut/auto_cut.h"
#include "core/cut/hand_cut.h"
#include "harness_win.h"
#include "core/support/number_text.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

// ---- driving the window -------------------------------------------------

void SetThreshold(const std::string& text) {
    SetDlgItemTextA(tw::TheShell().main.handle, 1016, text.c_str());
}

void RunAutoCut() { SendMessageA(Control(1029), BM_CLICK, 0, 0); }

bool CuttingModeOn() { return SendMessageA(Control(1001), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetCuttingMode(bool on) {
    if (CuttingModeOn() != on) SendMessageA(Control(1001), BM_CLICK, 0, 0);
    Check(CuttingModeOn() == on, std::string("cutting mode ") + (on ? "on" : "off"));
}

int GraphWidth() {
    RECT rc{};
    GetClientRect(Control(1000), &rc);
    return rc.right - rc.left;
}

std::vector<double> CutsNow() { return twt::Cuts().Snapshot(); }

std::vector<double> Tail(const std::vector<double>& all, size_t from) {
    return std::vector<double>(all.begin() + static_cast<std::ptrdiff_t>(std::min(from, all.size())), all.end());
}

bool Load(const std::string& path) {
    DropFiles({path});
    bool ok = WaitIdle();
    tw::WavePtr wave = twt::CurrentWave();
    return Check(ok && wave && ControlText(1003) == path, "loaded " + path);
}

std::vector<tw::AutoCut> ExpectedCuts(const std::string& threshold) {
    tw::WavePtr wave = twt::CurrentWave();
    if (!wave) return {};
    return tw::ScanForCutsPlain(wave->bytes, wave->dataSize(), GraphWidth(), tw::ParseNumber(threshold));
}

std::vector<double> Positions(const std::vector<tw::AutoCut>& cuts) {
    std::vector<double> out;
    for (const tw::AutoCut& c : cuts) out.push_back(static_cast<double>(c.position));
    return out;
}

std::string List(const std::vector<double>& v) {
    std::string s;
    for (double d : v) s += tw::FormatNumber(d) + " ";
    return s;
}

std::int16_t SampleOf(const tw::WaveData& wave, std::uint64_t i) {
    std::int16_t s;
    std::memcpy(&s, wave.bytes + 2 * i, sizeof s);
    return s;
}

// ---- the graph bitmap -----------------------------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    // A cut line runs from row 1 down to row height - 3, under the wave and
    // the centre line: nothing of the ground shows in its column.
    bool WhiteColumn(int x) const {
        if (x < 0 || x >= width || height < 4) return false;
        int whites = 0;
        for (int y = 1; y <= height - 3; ++y) {
            const std::uint32_t c = pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
            if (c != 0xFFFFFF && c != 0x0000FF && c != 0x0C0C0C) return false;
            whites += c == 0xFFFFFF;
        }
        return whites > 0;
    }
    int WhiteColumns() const {
        int n = 0;
        for (int x = 0; x < width; ++x) n += WhiteColumn(x);
        return n;
    }
};

Picture GraphPicture() {
    Picture p;
    SIZE size = twt::GraphViewSize();
    p.width = size.cx;
    p.height = size.cy;
    p.pixels.assign(static_cast<size_t>(p.width) * std::max(0L, size.cy), 0);
    if (p.width <= 0 || !twt::ReadGraphPixels(p.pixels.data(), p.width, p.height)) p.width = p.height = 0;
    return p;
}

// Where the line of a cut at `position` is drawn at the current width: the
// column of its boundary, whichever way the cut was made.
int LineOf(double position) {
    tw::WavePtr wave = twt::CurrentWave();
    std::int32_t column = -1;
    if (!wave || !tw::CutLineColumn(position, GraphWidth(), wave->scaleSize(), &column)) return -1;
    return column;
}

// Every entry of the list has its line where a fresh drawing puts it.
void CheckRedrawnLines(const std::string& what) {
    tw::WavePtr wave = twt::CurrentWave();
    Picture pic = GraphPicture();
    if (!Check(wave && pic.width == GraphWidth(), what + ": bitmap of the control's size")) return;
    int missing = 0;
    for (double e : CutsNow()) {
        std::int32_t column;
        if (!tw::CutLineColumn(e, pic.width, wave->dataSize(), &column) || column < 0 || column >= pic.width) continue;
        if (!pic.WhiteColumn(column)) ++missing;
    }
    CheckEq(missing, 0, what + ": redrawn lines missing");
}

// ---- message box look, seen by a CBT hook on this thread -----------------

struct BoxLook {
    bool seen = false;
    int buttons = 0;     // visible buttons
    bool okButton = false;
    bool icon = false;   // a visible icon
};
BoxLook g_look;
HHOOK g_hook = nullptr;

BOOL CALLBACK LookAtChild(HWND child, LPARAM) {
    char cls[32] = {0};
    GetClassNameA(child, cls, sizeof cls);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (!(style & WS_VISIBLE)) return TRUE;
    if (lstrcmpiA(cls, "Button") == 0) {
        ++g_look.buttons;
        if (GetDlgCtrlID(child) == IDOK) g_look.okButton = true;
    } else if (lstrcmpiA(cls, "Static") == 0 && (style & SS_TYPEMASK) == SS_ICON) {
        if (SendMessageA(child, STM_GETICON, 0, 0) != 0) g_look.icon = true;
    }
    return TRUE;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char cls[32] = {0};
        GetClassNameA(window, cls, sizeof cls);
        if (std::strcmp(cls, "#32770") == 0) {
            g_look = BoxLook{};
            g_look.seen = true;
            EnumChildWindows(window, LookAtChild, 0);
        }
    }
    return CallNextHookEx(g_hook, code, wParam, lParam);
}

// ---- parts ----------------------------------------------------------------

void CheckNothingLoaded() {
    SetThreshold("100");
    RunAutoCut();
    CheckEq(twt::Cuts().Count(), size_t(0), "no file: auto cutting places nothing");
    SetCuttingMode(true);
    ClickGraph(100, 80);
    CheckEq(twt::Cuts().Count(), size_t(0), "no file: a click places nothing");
    SetCuttingMode(false);
    ClearBoxes();
    ClickGraph(100, 80);
    Pump(300);
    CheckEq(Boxes().size(), size_t(0), "no file: a click shows nothing");
}

// Loud square wave with silent gaps: two gaps close together (the second cut
// is pushed on into loud material by the ten-column spacing) and a silent end.
std::vector<std::int16_t> GapsSamples() {
    std::vector<std::int16_t> s(44100);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>((i / 20) % 2 ? 6000 : -6000);
    const std::pair<int, int> gaps[] = {{5000, 6000}, {12000, 12100}, {12150, 12300}, {30000, 32000}, {43000, 44100}};
    for (auto g : gaps)
        for (int i = g.first; i < g.second; ++i) s[static_cast<size_t>(i)] = 0;
    return s;
}

void CheckAutoCutting() {
    std::string path = WorkPath("gaps.wav");
    WriteFileBytes(path, WaveFile(GapsSamples()));
    if (!Load(path)) return;
    CheckEq(GraphPicture().WhiteColumns(), 0, "fresh graph has no cut lines");

    SetThreshold("100");
    std::vector<tw::AutoCut> expected = ExpectedCuts("100");
    CheckEq(expected.size(), size_t(4), "reference scan finds four cuts");
    RunAutoCut();
    std::vector<double> once = CutsNow();
    Check(once == Positions(expected), "auto cuts equal the reference [" + List(once) + "]");
    Picture pic = GraphPicture();
    for (const tw::AutoCut& c : expected)
        Check(pic.WhiteColumn(LineOf(static_cast<double>(c.position))), "line at column " + std::to_string(c.column));
    CheckEq(pic.WhiteColumns(), static_cast<int>(expected.size()), "no other lines");
    CheckEq(ControlText(1016), std::string("100"), "threshold text kept");

    RunAutoCut();
    std::vector<double> twice = Positions(expected);
    twice.insert(twice.end(), once.begin(), once.end());
    Check(CutsNow() == twice, "a second run appends the same cuts again");

    // Thresholds that place nothing.
    const char* none[] = {"0", "", "-5", "-100", "32768", "40000", "99999999999", "-99999999999", "0dB"};
    for (const char* t : none) {
        SetThreshold(t);
        size_t before = twt::Cuts().Count();
        Check(ExpectedCuts(t).empty(), std::string("reference places nothing at [") + t + "]");
        RunAutoCut();
        CheckEq(twt::Cuts().Count(), before, std::string("threshold [") + t + "] places nothing");
    }

    // Decibels above full scale (a lost minus sign) are told, in both modes, and cut nothing.
    const std::pair<const char*, bool> loud[] = {{"300dB", false}, {"+3 dB", false}, {"0.5dB", true}};
    for (const auto& t : loud) {
        SetThreshold(t.first);
        SendMessageA(Control(1040), BM_SETCHECK, t.second ? BST_CHECKED : BST_UNCHECKED, 0);
        const size_t before = twt::Cuts().Count();
        ClearBoxes();
        RunAutoCut();
        const std::string what = std::string("threshold [") + t.first + "]";
        if (Check(WaitBoxes(1), what + " is told"))
            Check(Boxes()[0].text.rfind("しきい値のデシベルは 0dB 以下", 0) == 0 &&
                      Boxes()[0].owner == tw::TheShell().main.handle,
                  what + ": the main window's box [" + Boxes()[0].text + "]");
        Check(WaitIdle() && twt::Cuts().Count() == before, what + " places nothing");
    }
    SendMessageA(Control(1040), BM_SETCHECK, BST_UNCHECKED, 0);
}

// One recording's cuts mean nothing for the next: each row cuts A in its
// pauses, drops a file that is refused (A and its cuts stay), then B.
void CheckNewRecordingStartsClean() {
    struct Row {
        const char* typed;   // the threshold box before the run on A
        const char* status;  // the threshold used, on the status line when it has room, in the box always
    } rows[] = {
        {"", "推定しきい値: "},  // estimated and written into the box: gone for B
        {"-40dB", "しきい値: 327.68"},  // typed: stays for B
    };
    for (const Row& r : rows) {
        const std::string what = std::string("new recording after [") + r.typed + "]";
        if (!Load(Fixture("lecture.wav"))) return;
        const tw::WavePtr a = twt::CurrentWave();
        SetThreshold(r.typed);
        SendMessageA(Control(1040), BM_SETCHECK, BST_CHECKED, 0);
        RunAutoCut();
        Check(WaitUntil([] { return twt::PauseCutsInFlight() == 0; }), what + ": pause run ends");
        const std::vector<double> cuts = CutsNow();
        const std::string box = ControlText(1016);
        Check(cuts.size() >= 3 && !box.empty(), what + ": A cut, threshold shown [" + box + "]");
        const std::string told = "カット " + std::to_string(cuts.size()) + " 個";
        const std::string status = ControlText(1026);
        Check((status.rfind(r.status, 0) == 0 || status.rfind(told, 0) == 0) && status.find(told) != std::string::npos,
              what + ": status [" + status + "]");
        ClearBoxes();
        DropFiles({Fixture("text.txt")});
        Check(WaitBoxes(1) && WaitIdle(), what + ": the text file is refused");
        Check(twt::CurrentWave() == a && CutsNow() == cuts && ControlText(1016) == box && twt::CutEdits().CanUndo(),
              what + ": a refused drop keeps A, its cuts, their undo and the box");
        if (!Load(Fixture("speech.wav"))) return;
        CheckEq(twt::Cuts().Count(), size_t(0), what + ": B starts with no cuts");
        Check(!twt::CutEdits().CanUndo(), what + ": nothing of A to undo");
        CheckEq(GraphPicture().WhiteColumns(), 0, what + ": B's graph has no lines");
        CheckEq(ControlText(1016), std::string(r.typed), what + ": the box for B");
    }
    SendMessageA(Control(1040), BM_SETCHECK, BST_UNCHECKED, 0);
}

// 570 samples and an odd byte: D = 1141, one sample per column at W = 570.
std::vector<std::int16_t> HandSamples() {
    std::vector<std::int16_t> s(571);
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::int16_t>(static_cast<int>((i * 37) % 2001) - 1000);
    return s;
}

void CheckHandCuts() {
    std::string path = WorkPath("hand.wav");
    WriteFileBytes(path, WaveFile(HandSamples(), 1, 8000, 1141));
    if (!Load(path)) return;
    CheckEq(GraphWidth(), 570, "hand cut graph width");
    tw::WavePtr wave = twt::CurrentWave();
    CheckEq(wave->dataSize(), std::uint32_t(1141), "hand cut data size");

    SetCuttingMode(true);
    struct Click {
        int x;
        double expected;  // < 0: nothing placed
    };
    const Click clicks[] = {
        {100, 104}, {0, 4}, {100, 104}, {2, 6}, {565, 568},
        {569, 572},  // past the last sample: saving runs that piece to the end
        {-20, -1},   // cursor left of the control
        {575, -1},   // cursor right of it
    };
    for (const Click& c : clicks) {
        std::string what = "cutting click at " + std::to_string(c.x);
        size_t before = twt::Cuts().Count();
        int linesBefore = GraphPicture().WhiteColumns();
        ClickGraph(c.x, 80);
        std::vector<double> added = Tail(CutsNow(), before);
        if (c.expected < 0) {
            Check(added.empty(), what + " places nothing [" + List(added) + "]");
            CheckEq(GraphPicture().WhiteColumns(), linesBefore, what + " draws nothing");
        } else {
            Check(added == std::vector<double>{c.expected}, what + " appends " + tw::FormatNumber(c.expected) +
                                                                " [" + List(added) + "]");
            // A cut past the last sample starts no piece: no line.
            const int line = LineOf(c.expected);
            Check(line >= GraphWidth() || GraphPicture().WhiteColumn(line), what + " draws the line of its boundary");
        }
    }
    // Clicking away from the graph's rows still counts by column only.
    size_t before = twt::Cuts().Count();
    ClickGraph(300, 2);
    Check(Tail(CutsNow(), before) == std::vector<double>{304}, "click on the top row");

    // Value mode: a box with the sample's number text.
    SetCuttingMode(false);
    g_hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    const int columns[] = {0, 1, 100, 301, 569};
    for (int x : columns) {
        std::uint64_t index = x == 0 ? 1 : static_cast<std::uint64_t>(x);
        std::string want = tw::FormatNumber(SampleOf(*wave, index));
        ClearBoxes();
        g_look = BoxLook{};
        before = twt::Cuts().Count();
        ClickGraph(x, 80);
        std::string what = "value click at " + std::to_string(x);
        if (Check(WaitBoxes(1), what + " shows a box")) {
            BoxRecord box = Boxes()[0];
            Check(box.caption == "ボリューム", what + " caption [" + Hex(box.caption) + "]");
            Check(box.text == want, what + " text [" + Hex(box.text) + "] want [" + Hex(want) + "]");
            Check(box.owner == tw::TheShell().main.handle, what + " owned by the main window");
            if (Check(g_look.seen, what + " box seen by the hook")) {
                Check(g_look.buttons == 1 && g_look.okButton, what + " OK button only");
                Check(!g_look.icon, what + " no icon");
            }
        }
        CheckEq(twt::Cuts().Count(), before, what + " leaves the list alone");
    }
    // The hook tells an icon and extra buttons apart at all.
    ClearBoxes();
    g_look = BoxLook{};
    MessageBoxA(tw::TheShell().main.handle, "x", "y", MB_OKCANCEL | MB_ICONERROR);
    Check(g_look.seen && g_look.icon && g_look.buttons == 2, "hook sees icon and two buttons on a control box");
    UnhookWindowsHookEx(g_hook);

    const int outside[] = {-20, 575};
    for (int x : outside) {
        ClearBoxes();
        ClickGraph(x, 80);
        Pump(300);
        CheckEq(Boxes().size(), size_t(0), "value click outside at " + std::to_string(x) + " shows nothing");
    }
}

// ---- dragging a cut line ------------------------------------------------------

bool DragLineAt(int x) {
    HWND graph = Control(1000);
    HDC dc = GetDC(graph);
    const bool yellow = GetPixel(dc, x, 80) == RGB(255, 255, 0);
    ReleaseDC(graph, dc);
    return yellow;
}

void PointerAt(int x) {
    POINT p{x, 80};
    ClientToScreen(Control(1000), &p);
    SetCursorPos(p.x, p.y);
    WaitUntil([&] { POINT now; GetCursorPos(&now); return now.x == p.x && now.y == p.y; }, 2000);
}

// A press at `from`, the pointer moved to `to` (none when they are equal),
// Esc pressed there when asked, and the release at `to`. What the pointer's
// place and the graph showed before the release is handed back.
struct DragSeen {
    std::string status;
    bool line = false;
};
DragSeen DragGraph(int from, int to, bool escape) {
    HWND graph = Control(1000);
    PointerAt(from);
    PostMessageA(graph, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from, 80));
    Pump(30);
    DragSeen seen;
    if (to != from) {
        PointerAt(to);
        PostMessageA(graph, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to, 80));
        Pump(50);
        seen.status = ControlText(1064);  // the pointer's own place
        seen.line = DragLineAt(std::max(to, 0));
    }
    if (escape) PressKey(VK_ESCAPE);
    PostMessageA(graph, WM_LBUTTONUP, 0, MAKELPARAM(to, 80));
    Pump(50);
    return seen;
}

// On the hand-cut file (one sample per column at 8000 Hz): a cut at 104 has
// its line at column 102.
void CheckDragging() {
    std::string path = WorkPath("hand.wav");
    if (!Load(path)) return;
    twt::CutEdits().Reset();
    SetCuttingMode(true);
    ClickGraph(100, 80);
    const std::vector<double> start{104};
    if (!Check(CutsNow() == start, "drag: one cut to begin with")) return;
    struct Row {
        const char* what;
        bool cutting;
        int from, to;
        bool escape;
        std::vector<double> after;
        const char* status;  // the status line after the moves; nullptr: empty
        bool dragged;        // a line followed the pointer
        std::size_t boxes;
    };
    const Row rows[] = {
        {"a line dragged right", true, 100, 300, false, {304}, "0.038 秒", true, 0},
        {"undone", true, -1, -1, false, {104}, nullptr, false, 0},  // from < 0: the graph menu's undo
        {"a line pressed and let go places a cut", true, 103, 103, false, {104, 106}, nullptr, false, 0},
        {"a line dragged past the left edge", true, 102, -50, false, {4, 106}, "0.000 秒", true, 0},
        // Not a drag: the pointer's own time and value.
        {"a press away from lines places a cut, moving or not", true, 300, 340, false, {4, 106, 304}, "0.042 秒  -426", false, 0},
        {"Esc gives a drag up", true, 302, 200, true, {4, 106, 304}, "0.025 秒", true, 0},
        {"value mode shows the value, drags nothing", false, 302, 200, false, {4, 106, 304}, nullptr, false, 1},
    };
    for (const Row& r : rows) {
        SetCuttingMode(r.cutting);
        const std::size_t steps = twt::CutEdits().UndoSteps();
        ClearBoxes();
        SetDlgItemTextA(tw::TheShell().main.handle, 1064, "");
        DragSeen seen;
        if (r.from < 0) {
            PostMessageA(tw::TheShell().main.handle, WM_COMMAND, tw::kIdMenuUndo, 0);
            Pump(50);
        } else {
            seen = DragGraph(r.from, r.to, r.escape);
        }
        if (r.boxes) WaitBoxes(r.boxes, 3000);
        Check(CutsNow() == r.after, std::string(r.what) + ": cut list [" + List(CutsNow()) + "]");
        CheckEq(seen.status, std::string(r.status ? r.status : ""), std::string(r.what) + ": time while dragging");
        Check(seen.line == r.dragged, std::string(r.what) + ": the dragged line follows the pointer");
        Check(!DragLineAt(std::max(r.to, 0)), std::string(r.what) + ": no dragged line after");
        CheckEq(Boxes().size(), r.boxes, std::string(r.what) + ": boxes");
        const bool changed = r.after != start && r.from >= 0 && !r.escape && r.cutting;
        CheckEq(twt::CutEdits().UndoSteps(), changed ? steps + 1 : (r.from < 0 ? steps - 1 : steps),
                std::string(r.what) + ": undo steps");
        // A click draws its line at the column clicked; a move or an undo draws all afresh.
        if (r.from < 0 || (changed && r.dragged)) CheckRedrawnLines(r.what);
        CheckEq(GraphPicture().WhiteColumns(), static_cast<int>(CutsNow().size()), std::string(r.what) + ": no line left behind");
    }
    SetCuttingMode(false);
}

// Runs of exact zeros at least minLength long, not touching the end.
std::vector<std::pair<std::uint64_t, std::uint64_t>> Pauses(const tw::WaveData& wave, std::uint64_t minLength) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> out;
    const std::uint64_t n = wave.sampleCount();
    std::uint64_t start = 0;
    bool open = false;
    for (std::uint64_t i = 0; i < n; ++i) {
        bool zero = SampleOf(wave, i) == 0;
        if (zero && !open) {
            start = i;
            open = true;
        } else if (!zero && open) {
            if (i - start >= minLength) out.push_back({start, i});
            open = false;
        }
    }
    return out;
}

// Loads a recording, auto-cuts it at threshold 5 and checks the cuts equal
// the reference and that every pause of a quarter second holds exactly one.
struct CutRecording {
    tw::WavePtr wave;
    std::vector<double> added;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> pauses;
};

bool CutAndCheckPauses(const std::string& path, const std::string& label, CutRecording* out) {
    if (!Load(path)) return false;
    out->wave = twt::CurrentWave();
    SetThreshold("5");
    size_t before = twt::Cuts().Count();
    std::vector<double> expected = Positions(ExpectedCuts("5"));
    RunAutoCut();
    out->added = Tail(CutsNow(), before);
    Check(out->added == expected, label + ": cuts equal the reference [" + List(out->added) + "]");
    out->pauses = Pauses(*out->wave, 22050 / 4);
    for (auto pause : out->pauses) {
        long inside = std::count_if(out->added.begin(), out->added.end(),
                                    [&](double c) { return c >= pause.first && c < pause.second; });
        CheckEq(inside, 1L, label + ": one cut in the pause at " + std::to_string(pause.first));
    }
    return true;
}

void CheckRecordings() {
    // Tone bursts with three pauses of digital silence: one cut in each, and
    // nothing but silence around it.
    CutRecording bursts;
    if (CutAndCheckPauses(Fixture("bursts.wav"), "bursts", &bursts)) {
        CheckEq(bursts.pauses.size(), size_t(3), "bursts: three pauses in the file");
        CheckEq(bursts.added.size(), bursts.pauses.size(), "bursts: one cut per pause");
        for (double c : bursts.added) {
            auto p = static_cast<std::uint64_t>(c);
            bool quiet = p >= 500 && p + 500 < bursts.wave->sampleCount();
            for (std::uint64_t i = p - 500; quiet && i <= p + 500; ++i)
                quiet = std::abs(SampleOf(*bursts.wave, i)) <= 5;
            Check(quiet, "bursts: quiet around the cut at " + tw::FormatNumber(c));
        }
    }
    // Real speech: each pause between sentences gets one cut. (The scan also
    // cuts inside words where a quiet sample is followed by a negative one.)
    CutRecording speech;
    if (CutAndCheckPauses(Fixture("speech.wav"), "speech", &speech)) {
        Check(speech.pauses.size() >= 3, "speech: sentence pauses found: " + std::to_string(speech.pauses.size()));
        Picture pic = GraphPicture();
        for (double c : speech.added) {
            Check(pic.WhiteColumn(LineOf(c)), "speech: line for " + tw::FormatNumber(c));
        }
    }
}

// The current graph width counts: zoomed in, cuts may lie closer. Zooming
// out does not come back to the first width, so this runs late.
void CheckZoomedAutoCutting() {
    if (!Load(WorkPath("gaps.wav"))) return;
    SendMessageA(Control(1032), BM_CLICK, 0, 0);
    Pump(50);
    int zoomed = GraphWidth();
    Check(zoomed > 570, "zoomed in to " + std::to_string(zoomed));
    SetThreshold("100");
    const size_t before = twt::Cuts().Count();
    std::vector<tw::AutoCut> expected = ExpectedCuts("100");
    RunAutoCut();
    Check(Tail(CutsNow(), before) == Positions(expected), "zoomed auto cuts equal the reference");
    Picture pic = GraphPicture();
    CheckEq(pic.width, zoomed, "zoomed bitmap width");
    for (const tw::AutoCut& c : expected)
        Check(pic.WhiteColumn(LineOf(static_cast<double>(c.position))), "zoomed line at column " + std::to_string(c.column));
    for (int i = 0; i < 10; ++i) {
        SendMessageA(Control(1033), BM_CLICK, 0, 0);
        Pump(20);
    }
    Check(GraphWidth() < zoomed, "zoomed out again");
    CheckRedrawnLines("zoomed out");
}

// A 50 MB recording: loud stretches whose values tell their index apart, with
// silent gaps; cutting and clicking while its graph is drawn (twice over).
void CheckCuttingWhileDrawing() {
    const size_t n = 25000000;
    std::vector<std::int16_t> s(n);
    for (size_t i = 0; i < n; ++i) {
        int magnitude = 1000 + static_cast<int>(i % 30000);
        s[i] = static_cast<std::int16_t>((i / 50) % 2 ? magnitude : -magnitude);
        if (i % 400000 >= 392000) s[i] = 0;
    }
    std::vector<std::uint8_t> file = WaveFile(s);
    std::string path = WorkPath("big.wav");
    if (!Check(WriteFileBytes(path, file), "big file written")) return;
    const std::uint32_t dataSize = static_cast<std::uint32_t>(n * 2);
    const int width = GraphWidth();
    std::vector<tw::AutoCut> reference = tw::ScanForCutsPlain(file.data() + 44, dataSize, width, 100);
    Check(reference.size() > 20, "big: reference finds " + std::to_string(reference.size()) + " cuts");
    s.clear();
    s.shrink_to_fit();
    file.clear();
    file.shrink_to_fit();

    SetThreshold("100");
    SetCuttingMode(true);
    size_t before = twt::Cuts().Count();
    std::vector<double> expected;          // what the list must gain, in order
    std::map<double, std::vector<int>> drawnAt;  // columns the lines went to at once

    DropFiles({path});
    Check(WaitUntil([&] {
        tw::WavePtr w = twt::CurrentWave();
        return w && w->dataSize() == dataSize;
    }), "big: samples held");
    int duringDrawing = 0;
    int rounds = 0;
    bool dropped = false;
    // While the second drop loads, no samples are held and a cut does nothing;
    // otherwise every action must add exactly its cuts.
    auto act = [&](const std::function<void()>& action, const std::vector<double>& cuts,
                   const std::vector<int>& columns, const std::string& what) {
        bool settled = twt::LoadsInFlight() == 0 && twt::CurrentWave() != nullptr;
        bool drawing = twt::GraphsInFlight() > 0;
        size_t count = twt::Cuts().Count();
        action();
        std::vector<double> added = Tail(CutsNow(), count);
        if (added.empty() && !settled) return;
        if (!Check(added == cuts, "big: " + what + " adds its cuts [" + List(added) + "]")) return;
        expected.insert(expected.end(), cuts.begin(), cuts.end());
        for (size_t i = 0; i < cuts.size(); ++i) drawnAt[cuts[i]].push_back(columns[i]);
        // A drawing from the summary is short: one running as the action began or ended counts.
        duringDrawing += drawing || twt::GraphsInFlight() > 0;
    };
    std::vector<double> referencePositions = Positions(reference);
    std::vector<int> referenceColumns;
    for (const tw::AutoCut& c : reference) referenceColumns.push_back(c.column);
    // A drawing takes a few tens of milliseconds and nothing waits for the
    // window meanwhile: the file is dropped again until cuts met one.
    while (rounds < 6 || (duringDrawing == 0 && rounds < 62) || twt::GraphsInFlight() > 0 || twt::LoadsInFlight() > 0) {
        if (rounds >= 200) break;
        // A drawing from the summary takes milliseconds: one started as a
        // resize starts it, so the actions meet drawings under way.
        if (rounds % 2 == 1)
            if (const tw::WavePtr shown = twt::CurrentWave()) twt::StartGraphThread(shown);
        act(RunAutoCut, referencePositions, referenceColumns, "auto cutting");
        int x = 15 + (rounds * 37) % 540;
        double p = 0;
        tw::CutPositionForClick(x, width, dataSize, &p);
        act([x] { ClickGraph(x, 60); }, {p}, {x}, "click at " + std::to_string(x));
        ++rounds;
        if (rounds % 6 == 2 && (!dropped || duringDrawing == 0)) {
            // A second drawing replaces the first while cutting goes on; the
            // second recording starts with none of the first one's cuts.
            const std::uint64_t first = twt::CurrentWave()->recording;
            DropFiles({path});
            dropped = true;
            Check(WaitUntil([first] {
                tw::WavePtr w = twt::CurrentWave();
                return w && w->recording != first;
            }), "big: the second drop is shown");
            CheckEq(twt::Cuts().Count(), size_t(0), "big: the second recording starts with no cuts");
            expected.clear();
            drawnAt.clear();
            before = 0;
        }
    }
    Check(WaitIdle(), "big: everything finishes (no deadlock)");
    std::printf("big: %d rounds, %d actions cut while a graph was drawn\n", rounds, duringDrawing);
    Check(duringDrawing > 0, "big: cut " + std::to_string(duringDrawing) + " times while a graph was drawn");
    std::vector<double> added = Tail(CutsNow(), before);
    CheckEq(added.size(), expected.size(), "big: entries added");
    Check(added == expected, "big: entries in the order made");

    // The final bitmap has a line for every entry of the list: where a fresh
    // drawing puts it, or, for a cut made after that drawing was installed,
    // where the cut drew it.
    Picture pic = GraphPicture();
    if (Check(pic.width == width, "big: final bitmap")) {
        int missing = 0;
        for (double e : CutsNow()) {
            std::int32_t column = -1;
            bool found = !tw::CutLineColumn(e, pic.width, dataSize, &column) || column < 0 ||
                         column >= pic.width || pic.WhiteColumn(column);  // off the picture, or drawn
            auto it = drawnAt.find(e);
            if (it != drawnAt.end())
                for (int c : it->second) found = found || pic.WhiteColumn(c);
            if (!found) ++missing;
        }
        CheckEq(missing, 0, "big: entries without a line in the final bitmap");
    }

    // Value mode on the long file, zoomed so x = 2000 is inside the graph:
    // (D - 1) x is beyond 32 bits.
    SetCuttingMode(false);
    while (GraphWidth() <= 2000) {
        int w = GraphWidth();
        SendMessageA(Control(1032), BM_CLICK, 0, 0);
        Pump(20);
        if (GraphWidth() == w) break;
    }
    const int zoomed = GraphWidth();
    SendMessageA(tw::TheShell().main.handle, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 1700),
                 reinterpret_cast<LPARAM>(Control(1031)));
    Pump(50);
    POINT at{2000, 80};
    ClientToScreen(Control(1000), &at);
    if (Check(zoomed > 2000 && at.x >= 0 && at.x < GetSystemMetrics(SM_CXSCREEN),
              "big: column 2000 on screen at " + std::to_string(at.x))) {
        std::uint64_t index = (static_cast<std::uint64_t>(dataSize) - 1) * 2000 / (2 * static_cast<std::uint64_t>(zoomed));
        std::string want = tw::FormatNumber(SampleOf(*twt::CurrentWave(), index));
        ClearBoxes();
        ClickGraph(2000, 80);
        if (Check(WaitBoxes(1), "big: zoomed value click shows a box"))
            Check(Boxes()[0].text == want, "big: value of sample " + std::to_string(index) + " [" + Boxes()[0].text +
                                               "] want [" + want + "]");
    }
    DeleteFileA(path.c_str());
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    CheckNothingLoaded();
    CheckAutoCutting();
    CheckNewRecordingStartsClean();
    CheckHandCuts();
    CheckDragging();
    CheckRecordings();
    CheckZoomedAutoCutting();
    CheckCuttingWhileDrawing();
    CloseMainWindow();
    return Finish();
}
