// Zoom buttons and the graph's scroll bar in the running program: the graph
// control's rectangle, the scroll bar's record, the redrawn bitmap with its
// cut lines, WM_HSCROLL codes, the widest zoom, and zooming while a graph
// thread draws.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/app/shell_win.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "core/view/time_axis.h"
#include "shell/graph/view_win.h"
#include "shell/workers/wave_win.h"

using namespace twt;

namespace {

RECT GraphRect() {
    RECT r{};
    GetWindowRect(Control(1000), &r);
    MapWindowPoints(nullptr, tw::TheShell().main.handle, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

SCROLLINFO BarInfo() {
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    GetScrollInfo(Control(1031), SB_CTL, &si);
    return si;
}

int ClientWidth() {
    RECT r{};
    GetClientRect(tw::TheShell().main.handle, &r);
    return r.right - r.left;
}

std::string RectText(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + "x" +
           std::to_string(r.bottom - r.top);
}

// The record as the bar keeps it: the bar itself limits the page to the
// range and the position to what the page leaves.
void CheckBar(int max, unsigned page, const std::string& what, int pos = 0) {
    SCROLLINFO si = BarInfo();
    if (max < 0) max = 0;  // the bar keeps a maximum below its minimum as the minimum
    unsigned range = static_cast<unsigned>(max + 1);
    unsigned keptPage = page > range ? range : page;
    CheckEq(si.nMin, 0, what + ": bar minimum");
    CheckEq(si.nMax, max, what + ": bar maximum");
    CheckEq(si.nPage, keptPage, what + ": bar page");
    CheckEq(si.nPos, pos, what + ": bar position");
}

void CheckGraphRect(int x, int width, const std::string& what) {
    RECT r = GraphRect();
    Check(r.left == x && r.top == 0 && r.right - r.left == width && r.bottom - r.top == 165,
          what + ": graph at " + RectText(r) + ", expected " + std::to_string(x) + ",0 " + std::to_string(width) +
              "x165");
}

void Click(int id) {
    SendMessageA(Control(id), BM_CLICK, 0, 0);
}

void CheckNothingLoaded() {
    Click(1032);
    Click(1033);
    Pump(20);
    CheckGraphRect(3, 570, "zoom with nothing loaded");
    CheckBar(570, 570, "zoom with nothing loaded");
    SIZE none = twt::GraphViewSize();
    Check(none.cx == 0 && none.cy == 0, "zoom with nothing loaded draws nothing");
}

std::int16_t Sample(std::uint64_t i) {
    if (i == 100) return -30000;
    if (i == 101) return 20000;
    return static_cast<std::int16_t>((static_cast<int>(i % 7) - 3) * 1000);
}

struct Loaded {
    std::vector<std::uint8_t> file;
};

// Picture and shown copy for the current width, plus one hand-placed cut.
void CheckDrawnAt(const Loaded& l, int cutColumn, const std::string& what) {
    SIZE view = twt::GraphViewSize();
    SIZE control = gm::GraphControlSize();
    Check(view.cx == control.cx && view.cy == 165,
          what + ": bitmap " + std::to_string(view.cx) + "x" + std::to_string(view.cy) + " is the control's size");
    gm::Picture got = gm::InstalledPicture();
    gm::SamePicture(got, gm::ExpectedForFile(l.file, twt::Cuts().Snapshot()), what + ": picture");
    if (cutColumn >= 0 && cutColumn < got.width) {
        bool white = true;
        int whites = 0;
        for (int y = 1; y <= 162; ++y) {  // under the wave
            const std::uint32_t c = got.at(cutColumn, y);
            white = white && (c == gm::kWhite || c == gm::kBlue || c == gm::kCentre);
            whites += c == gm::kWhite;
        }
        Check(white && whites > 0, what + ": cut line redrawn at column " + std::to_string(cutColumn));
    }
    gm::ControlShowsBitmap(what);
    // The control's own repaint of the area the resize uncovered must not
    // leave part of the graph blank.
    Pump(30);
    gm::ControlShowsBitmap(what + ", after pending paints");
}

void CheckZoomSteps(const Loaded& l) {
    const int wm = ClientWidth();
    CheckEq(wm, 574, "client width of the main window");
    // Entry 285 of 1140 bytes lands on column floor(W / 2 - 1).
    Click(1032);
    CheckGraphRect(3, 855, "+ at 570");
    CheckBar(855 - wm, 7, "+ at 570");
    CheckDrawnAt(l, 426, "+ at 570");
    CheckEq(ControlText(1026), std::string(""), "+: status line empty afterwards");
    CheckEq(static_cast<int>(SendMessageA(Control(1025), PBM_GETPOS, 0, 0)), 0, "+: bar at 0 afterwards");

    Click(1032);
    CheckGraphRect(3, 1282, "+ at 855");
    CheckBar(1282 - wm, 7, "+ at 855");
    CheckDrawnAt(l, 640, "+ at 855");

    Click(1033);
    CheckGraphRect(3, 854, "- at 1282");
    CheckBar(280, 1282, "- at 1282");  // floor(854.67 - 574); the page is the old width
    CheckDrawnAt(l, 426, "- at 1282");

    Click(1033);
    CheckGraphRect(3, wm, "- at 854");
    CheckBar(wm, static_cast<unsigned>(wm), "- at 854");
    CheckDrawnAt(l, 286, "- at 854");

    Click(1033);
    CheckGraphRect(3, wm, "- at the client width");
    CheckBar(wm, static_cast<unsigned>(wm), "- at the client width");
    CheckDrawnAt(l, 286, "- at the client width");
}

struct ScrollStep {
    const char* what;
    int code;
    int thumb;
    int graphX;  // the control's left edge afterwards
    int barPos;  // the bar's position afterwards
};

void SendScroll(int code, int thumb, HWND bar) {
    SendMessageA(tw::TheShell().main.handle, WM_HSCROLL, MAKEWPARAM(code, thumb), reinterpret_cast<LPARAM>(bar));
}

void CheckScrolling(const Loaded& l) {
    Click(1032);  // 574 -> 861: bound Wg - V = 861 - 570 = 291
    CheckGraphRect(3, 861, "+ at the client width");
    const HWND bar = Control(1031);
    // Bar: maximum 287, page 7, so it keeps positions up to 281.
    const ScrollStep steps[] = {
        {"thumb track moves nothing, but puts the edge at -position", SB_THUMBTRACK, 200, 0, 0},
        {"line right", SB_LINERIGHT, 0, -5, 5},
        {"thumb position", SB_THUMBPOSITION, 100, -100, 100},
        {"thumb track", SB_THUMBTRACK, 250, -100, 100},
        {"line left", SB_LINELEFT, 0, -95, 95},
        {"page right", SB_PAGERIGHT, 0, -100, 100},
        {"page left", SB_PAGELEFT, 0, -95, 95},
        {"left edge (Home) goes to the start", SB_LEFT, 0, 0, 0},
        {"right edge (End) goes to the bound", SB_RIGHT, 0, -291, 281},
        {"thumb near the end", SB_THUMBPOSITION, 286, -286, 281},
        {"line right onto the bound stops at once", SB_LINERIGHT, 0, -286, 281},
        {"end scroll moves to the bound", SB_ENDSCROLL, 0, -291, 281},
        {"page right at the bound stops at once", SB_PAGERIGHT, 0, -291, 281},
        {"thumb at 3", SB_THUMBPOSITION, 3, -3, 3},
        {"line left below 0 stops at once", SB_LINELEFT, 0, -3, 3},
        {"end scroll moves to 0", SB_ENDSCROLL, 0, 0, 3},
        {"page left below 0 stops at once", SB_PAGELEFT, 0, 0, 3},
        {"thumb back to 50", SB_THUMBPOSITION, 50, -50, 50},
    };
    for (const ScrollStep& s : steps) {
        SendScroll(s.code, s.thumb, bar);
        RECT r = GraphRect();
        CheckEq(static_cast<int>(r.left), s.graphX, std::string(s.what) + ": graph x");
        Check(r.top == 0 && r.right - r.left == 861 && r.bottom - r.top == 165,
              std::string(s.what) + ": graph keeps its size " + RectText(r));
        CheckEq(BarInfo().nPos, s.barPos, std::string(s.what) + ": bar position");
        gm::ControlShowsBitmap(std::string(s.what) + ": shown");
        Pump(30);
        gm::ControlShowsBitmap(std::string(s.what) + ": still shown after pending paints");
    }
    // Messages that do not come from the graph's scroll bar scroll nothing.
    SendScroll(SB_THUMBPOSITION, 200, nullptr);
    SendScroll(SB_THUMBPOSITION, 200, Control(1034));
    CheckEq(static_cast<int>(GraphRect().left), -50, "WM_HSCROLL from elsewhere moves nothing");
    CheckEq(BarInfo().nPos, 50, "WM_HSCROLL from elsewhere leaves the bar");

    // A button's zoom keeps the left column shown where it was (50 of 861
    // is 75 of 1291), and the bar follows.
    Click(1032);
    CheckGraphRect(-75, 1291, "+ after scrolling");
    CheckBar(1291 - 574, 7, "+ after scrolling", 75);
    CheckDrawnAt(l, 644, "+ after scrolling");
    SendScroll(SB_LINERIGHT, 0, bar);
    CheckEq(static_cast<int>(GraphRect().left), -80, "next scroll moves from the bar's position");
    // 1291 -> 860 -> 573 (narrower than the client area) -> 574: once the
    // graph fits the window it is home again, no strip hidden.
    Click(1033);
    CheckGraphRect(-53, 860, "- at 1291");
    Click(1033);
    CheckGraphRect(3, 573, "- at 860");
    CheckBar(-1, 860, "- at 860");
    Click(1033);
    CheckGraphRect(3, 574, "zoomed back out");
    SendScroll(SB_THUMBPOSITION, 0, bar);
    CheckGraphRect(0, 574, "scrolled home");
}

void CheckWidest(const Loaded& l) {
    const int wm = ClientWidth();
    const int cap = 32767;  // the widest window there is
    int width = gm::GraphControlSize().cx;
    int steps = 0;
    while (width < cap && steps < 30) {
        int want = width * 3 / 2;
        if (want > cap) want = cap;
        Click(1032);
        ++steps;
        width = gm::GraphControlSize().cx;
        CheckEq(width, want, "+ step " + std::to_string(steps) + ": width");
        SCROLLINFO si = BarInfo();
        CheckEq(si.nMax, want - wm, "+ step " + std::to_string(steps) + ": bar maximum");
        SIZE view = twt::GraphViewSize();
        CheckEq(static_cast<int>(view.cx), want, "+ step " + std::to_string(steps) + ": bitmap width");
    }
    CheckEq(width, cap, "zoom reaches the widest graph");
    CheckDrawnAt(l, -1, "widest graph");
    gm::Picture before = gm::InstalledPicture();
    SCROLLINFO barBefore = BarInfo();
    Click(1032);
    CheckEq(static_cast<int>(gm::GraphControlSize().cx), cap, "+ at the widest changes nothing");
    SCROLLINFO barAfter = BarInfo();
    Check(barAfter.nMax == barBefore.nMax && barAfter.nPage == barBefore.nPage && barAfter.nPos == barBefore.nPos,
          "+ at the widest leaves the bar");
    gm::SamePicture(gm::InstalledPicture(), before, "+ at the widest keeps the picture");

    // The whole range is reachable through a thumb position (no wrap).
    const HWND bar = Control(1031);
    SendScroll(SB_THUMBPOSITION, 32767, bar);
    CheckEq(static_cast<int>(GraphRect().left), -32767, "thumb at 32767");
    SendScroll(SB_LINERIGHT, 0, bar);
    SendScroll(SB_ENDSCROLL, 0, bar);
    CheckEq(static_cast<int>(GraphRect().left), -(cap - 570), "line right to the last position");
    gm::ControlShowsBitmap("the end of the widest graph");

    while (gm::GraphControlSize().cx > wm) Click(1033);
    SendScroll(SB_THUMBPOSITION, 0, bar);
    CheckGraphRect(0, wm, "back to the client width");
}

void CheckZoomWhileDrawing() {
    const std::string big = WorkPath("big.wav");  // 49999 strokes per drawing
    Check(gm::WriteBusyFile(big, 4999999), "big file written");
    auto bigFile = ReadFileBytes(big);
    int caught = 0;
    // Drawings wait for nothing, so some finish before a look: more rounds until one is caught.
    for (int round = 0; round < 6 || (caught == 0 && round < 16); ++round) {
        DropFiles({big});
        if (round % 2 == 0) {
            // During the load: the zoom draws the previous file, the load's
            // drawing must still end up at the new width.
            Click(round % 4 == 0 ? 1032 : 1033);
        }
        if (WaitForDrawing()) ++caught;
        // The new recording has started clean by now: cuts of its own, drawn by the zooms.
        twt::Cuts().Clear();
        twt::Cuts().Append(1000000);
        twt::Cuts().Append(4000000);
        twt::RedrawGraphForCuts();  // the plan follows the list, as after any change of the cuts
        Click(1032);
        Pump(static_cast<DWORD>(round * 2));
        Click(round % 3 == 0 ? 1033 : 1032);
        gm::CheckPictureOf(bigFile, "zoom round " + std::to_string(round));
    }
    Check(caught > 0, "zoomed while a graph thread drew");
    gm::ControlShowsBitmap("after zooming during drawings");
    while (gm::GraphControlSize().cx > ClientWidth()) Click(1033);
    Click(1033);
    gm::CheckPictureOf(bigFile, "zoomed out after the rounds");
    twt::Cuts().Clear();
}

// The tick marks painted along the shown part of the time axis (its top row
// holds only them: the labels start a row lower), against the ticks 64 or
// more columns apart that the recording's length gives the graph's width.
void CheckAxisTicks(const std::string& what) {
    HWND axis = Control(1059);
    RECT r{};
    GetClientRect(axis, &r);
    POINT origin{0, 0};
    MapWindowPoints(axis, tw::TheShell().main.handle, &origin, 1);
    const int from = std::max(0, -static_cast<int>(origin.x));
    const int to = std::min<int>(r.right, ClientWidth() - origin.x);
    HDC dc = GetDC(axis);
    int shown = 0;
    for (int x = from; x < to; ++x) {
        const COLORREF c = GetPixel(dc, x, 0);
        shown += GetRValue(c) < 96 && GetGValue(c) < 96 && GetBValue(c) < 96;
    }
    ReleaseDC(axis, dc);
    const tw::WavePtr wave = twt::CurrentWave();
    const double seconds =
        static_cast<double>(wave->sampleCount()) / (static_cast<double>(wave->layout.channels) * wave->layout.sampleRate);
    const std::size_t want = tw::AxisTicks(seconds, r.right, from, to, 64).size();
    Check(want > 0 && static_cast<std::size_t>(shown) == want,
          what + ": axis ticks " + std::to_string(shown) + " of " + std::to_string(want));
}

RECT InMain(int id) {
    RECT r{};
    GetWindowRect(Control(id), &r);
    MapWindowPoints(nullptr, tw::TheShell().main.handle, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The graph takes what the window gains; the controls under it keep their
// sizes and move down by as much; the bitmap follows once the size settles;
// a zoomed graph keeps its width; the window never gets smaller than it opens.
void CheckResize() {
    HWND main = tw::TheShell().main.handle;
    while (gm::GraphControlSize().cx > ClientWidth()) Click(1033);
    RECT opened, client0;
    GetWindowRect(main, &opened);
    GetClientRect(main, &client0);
    const RECT save0 = InMain(1030), bar0 = InMain(1031), group0 = InMain(1002), list0 = InMain(1062);
    const struct {
        const char* what;
        int showCommand;  // or 0: grow the outer size by dx, dy
        int dx, dy;
        int zooms;
    } rows[] = {
        {"grown", 0, 300, 150, 0},
        {"grown and zoomed", 0, 300, 150, 1},
        {"maximised", SW_MAXIMIZE, 0, 0, 0},
        {"restored", SW_RESTORE, 0, 0, 0},
        {"smaller than it opens", 0, -200, -100, 0},
    };
    for (const auto& r : rows) {
        const std::string what = r.what;
        for (int z = 0; z < r.zooms; ++z) Click(1032);
        const int zoomedWidth = gm::GraphControlSize().cx;
        if (r.showCommand)
            ShowWindow(main, r.showCommand);
        else
            SetWindowPos(main, nullptr, 0, 0, opened.right - opened.left + r.dx, opened.bottom - opened.top + r.dy,
                         SWP_NOMOVE | SWP_NOZORDER);
        Pump(300);
        Check(WaitIdle(), what + ": redrawn");
        RECT client;
        GetClientRect(main, &client);
        const int dw = client.right - client0.right, grown = client.bottom - client0.bottom;
        Check(dw >= 0 && grown >= 0, what + ": no smaller than it opened");
        // The piece list takes a third of the height gained, the graph the rest.
        const int dh = grown - grown / 3;
        const RECT list = InMain(1062);
        Check(list.bottom == client.bottom - (client0.bottom - list0.bottom) && list.right - list.left == list0.right - list0.left + dw &&
                  list.bottom - list.top == list0.bottom - list0.top + grown / 3,
              what + ": the piece list at the bottom, as wide as the window");
        const int width = r.zooms ? std::max(zoomedWidth, 570 + dw) : 570 + dw;
        const SIZE graph = gm::GraphControlSize();
        Check(graph.cx == width && graph.cy == 165 + dh, what + ": graph " + std::to_string(graph.cx) + "x" +
                                                                 std::to_string(graph.cy));
        const SIZE view = twt::GraphViewSize();
        Check(view.cx == graph.cx && view.cy == graph.cy, what + ": bitmap at the graph's size");
        const RECT save = InMain(1030), bar = InMain(1031), group = InMain(1002), axis = InMain(1059);
        Check(save.left == save0.left && save.top == save0.top + dh && save.right - save.left == save0.right - save0.left,
              what + ": the save button moved down, same size");
        Check(group.top == group0.top + dh && group.right - group.left == group0.right - group0.left,
              what + ": the numbers keep their size");
        Check(bar.top == bar0.top + dh && bar.right - bar.left == bar0.right - bar0.left + dw,
              what + ": the scroll bar as wide as the window");
        Check(axis.top == 166 + dh && axis.right - axis.left == graph.cx, what + ": the axis under the graph");
        CheckAxisTicks(what);
        gm::ControlShowsBitmap(what + ": shown");
        // TW_SHOT=/abs/path.png: a screenshot of the maximised window.
        if (const char* shot = std::getenv("TW_SHOT"); shot && r.showCommand == SW_MAXIMIZE)
            RunLinux(std::string("import -window root ") + shot);
        for (int z = 0; z < r.zooms; ++z) Click(1033);
    }
    ShowWindow(main, SW_RESTORE);
    SetWindowPos(main, nullptr, opened.left, opened.top, opened.right - opened.left, opened.bottom - opened.top, SWP_NOZORDER);
    Pump(300);
    WaitIdle();
    CheckEq(static_cast<int>(gm::GraphControlSize().cx), 570, "back to the size it opened at");
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    CheckNothingLoaded();

    std::vector<std::int16_t> samples(570);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = Sample(i);
    Loaded l{WaveFile(samples)};
    WriteFileBytes(WorkPath("zoom.wav"), l.file);
    DropFiles({WorkPath("zoom.wav")});
    Check(WaitIdle(), "file loads");
    twt::Cuts().Append(285);
    twt::Cuts().Append(1);
    twt::RedrawGraphForCuts();
    CheckDrawnAt(l, 284, "loaded");

    CheckZoomSteps(l);
    CheckScrolling(l);
    CheckWidest(l);
    CheckZoomWhileDrawing();
    CheckResize();
    Check(WaitIdle(), "all drawings end");
    Check(Boxes().empty(), "no message boxes");
    CloseMainWindow();
    return Finish();
}
