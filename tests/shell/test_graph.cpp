// The waveform graph as the program draws it: the installed bitmap compared
// pixel by pixel with the picture the core's plan describes, cut lines,
// progress messages, the copies made by painting and the redraw button, and
// drawings that overlap drops, painting and zooming.
#include <windows.h>

#include <cmath>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/app/shell_win.h"
#include "core/cut/piece_writer.h"
#include "graph_model_win.h"
#include "harness_win.h"
#include "platform/win/text_win.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "core/wave/load_notice.h"
#include "core/wave/wave_format.h"
#include "shell/workers/wave_win.h"

using namespace twt;
using gm::Picture;

namespace {

// Every PBM_SETPOS the progress bar receives (sent messages reach it on this
// thread, so no lock is needed).
WNDPROC g_progressProc = nullptr;
std::vector<int> g_positions;
int g_ranges = 0;
// The control's own fill (Wine paints SS_BLACKRECT dark grey, not black).
COLORREF g_frame = CLR_INVALID;

LRESULT CALLBACK ProgressSpy(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == PBM_SETPOS) g_positions.push_back(static_cast<int>(wParam));
    if (message == PBM_SETRANGE && LOWORD(lParam) == 0 && HIWORD(lParam) == 100) ++g_ranges;
    return CallWindowProcA(g_progressProc, window, message, wParam, lParam);
}

void SpyOnProgress() {
    g_progressProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Control(1025), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ProgressSpy)));
}

std::vector<std::uint8_t> DropAndWait(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = WorkPath(name);
    WriteFileBytes(path, bytes);
    g_positions.clear();
    g_ranges = 0;
    DropFiles({path});
    Check(WaitIdle(), name + " loads and draws");
    CheckEq(ControlText(1003), path, name + " is the loaded file");
    return bytes;
}

// Status line empty (or telling of a data size the file does not hold, or of
// a last partial frame), bar at 0, and exactly the changes of the bar sent.
void CheckProgressAfter(const std::vector<std::uint8_t>& file, const std::string& what) {
    const tw::WaveCheck check = tw::CheckWaveBytes(file.data(), file.size());
    CheckEq(ControlText(1026), tw::CodePageFromUtf8(tw::LoadNoticeText(check.layout, check.fitted), CP_ACP),
            what + ": status line");
    CheckEq(static_cast<int>(SendMessageA(Control(1025), PBM_GETPOS, 0, 0)), 0, what + ": bar at 0");
    CheckEq(g_ranges, 1, what + ": range 0..100 set once");
    // The summary's making, once per recording: rising, and the final 0.
    Check(!g_positions.empty() && g_positions.back() == 0, what + ": the bar ends at 0");
    Check(g_positions.size() <= 102, what + ": at most 101 changes and the final 0");
    bool rising = true;
    for (size_t i = 1; i + 1 < g_positions.size(); ++i) rising = rising && g_positions[i] > g_positions[i - 1];
    Check(rising, what + ": positions only rise before the final 0");
}

COLORREF ControlPixel(int x, int y) {
    HDC dc = GetDC(Control(1000));
    COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(Control(1000), dc);
    return c;
}

// Makes the control repaint itself (its own frame-coloured fill).
void BlankControl() {
    RedrawWindow(Control(1000), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    Pump(10);
}

void PaintMainWindow() {
    // Only the main window itself: its WM_PAINT must put the picture back.
    RedrawWindow(tw::TheShell().main.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
    Pump(10);
}

// A window of another kind over the graph, then gone.
void CoverAndUncover() {
    RECT r{};
    GetWindowRect(Control(1000), &r);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_WHITERECT,
                                 r.left + 40, r.top + 20, 300, 120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Check(cover != nullptr, "a covering window");
    UpdateWindow(cover);
    Pump(50);
    DestroyWindow(cover);
    Pump(50);
}

void CheckBeforeLoad() {
    SIZE none = twt::GraphViewSize();
    Check(none.cx == 0 && none.cy == 0, "no bitmap before a load");
    const POINT points[] = {{0, 0}, {284, 82}, {569, 164}, {100, 10}};
    COLORREF frame = ControlPixel(0, 0);
    Check(frame != RGB(128, 128, 128) && frame != RGB(0, 0, 255) && frame != CLR_INVALID,
          "before a load the control shows its own fill " + gm::Hex6(frame));
    g_frame = frame;
    auto same = [&](const std::string& what) {
        bool ok = true;
        for (POINT p : points) ok = ok && ControlPixel(p.x, p.y) == frame;
        Check(ok, what);
    };
    same("the whole control is filled");
    SendMessageA(Control(1034), BM_CLICK, 0, 0);
    Pump(10);
    same("redraw button before a load changes nothing");
    PaintMainWindow();
    same("painting before a load changes nothing");
    SendMessageA(Control(1032), BM_CLICK, 0, 0);
    SendMessageA(Control(1033), BM_CLICK, 0, 0);
    Pump(10);
    none = twt::GraphViewSize();
    Check(none.cx == 0 && none.cy == 0, "zoom buttons before a load draw nothing");
    CheckEq(static_cast<int>(gm::GraphControlSize().cx), 570, "zoom buttons before a load keep the width");
}

std::int16_t Synthetic(std::uint64_t i) {
    if (i == 100) return -30000;
    if (i == 101) return 20000;
    return static_cast<std::int16_t>((static_cast<int>(i % 7) - 3) * 1000);
}

void CheckSyntheticPicture() {
    twt::Cuts().Clear();
    std::vector<std::int16_t> samples(570);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = Synthetic(i);
    auto file = DropAndWait("synthetic.wav", WaveFile(samples));
    CheckEq(ControlText(1011), std::string("20000"), "synthetic peak");
    CheckEq(ControlText(1014), std::string("-30000"), "synthetic nadir");
    SIZE view = twt::GraphViewSize();
    Check(view.cx == 570 && view.cy == 165, "bitmap is the control's 570 x 165");
    Picture got = gm::InstalledPicture();
    if (!Check(got.width == 570 && got.height == 165, "bitmap readable")) return;

    // Worked by hand: one sample per column, scale 60000 / 165. Sample 100
    // (-30000) rises from row 77 to row 0; sample 101 (20000) falls from row
    // 0 to row 137; sample 102 (1000) comes back up to row 85.
    struct Pixel {
        int x, y;
        std::uint32_t colour;
        const char* what;
    };
    const Pixel pixels[] = {
        {98, 0, gm::kBlack, "outline left of the loud stroke"},
        {99, 0, gm::kBlue, "loudest negative sample reaches row 0 (left column)"},
        {100, 0, gm::kBlue, "loudest negative sample reaches row 0"},
        {99, 78, gm::kGrey, "stroke 100 starts at row 77"},
        {101, 137, gm::kBlue, "sample 20000 reaches row 137"},
        {101, 138, gm::kGrey, "nothing below row 137"},
        {102, 138, gm::kGrey, "next stroke no lower"},
        {102, 84, gm::kBlue, "next stroke ends at row 85 (cap row 84)"},
        {0, 82, gm::kCentre, "centre line starts at column 0"},
        {569, 82, gm::kCentre, "centre line reaches the last column"},
        {101, 82, gm::kCentre, "centre line drawn over the waveform"},
        {300, 40, gm::kGrey, "background"},
        {0, 40, gm::kBlack, "left outline"},
        {569, 40, gm::kBlack, "right outline"},
        {300, 164, gm::kBlack, "bottom outline"},
    };
    for (const Pixel& p : pixels)
        Check(got.at(p.x, p.y) == p.colour,
              std::string(p.what) + ": (" + std::to_string(p.x) + "," + std::to_string(p.y) + ") is " +
                  gm::Hex6(got.at(p.x, p.y)));
    // The first stroke starts on the centre row: sample 0 is -3000 (row 74),
    // so column 0 is blue from row 73 down to the centre row 82 (covered by
    // the centre line) and the outline's black just outside.
    Check(got.at(0, 72) == gm::kBlack && got.at(0, 73) == gm::kBlue && got.at(0, 81) == gm::kBlue &&
              got.at(0, 83) == gm::kBlack,
          "first stroke from the centre row");
    gm::SamePicture(got, gm::ExpectedForFile(file, {}), "synthetic picture");
    CheckProgressAfter(file, "synthetic");
    gm::ControlShowsBitmap("synthetic after the drawing");
}

void CheckCutLines() {
    twt::Cuts().Clear();
    // D = 1140 and W = 570: entry e gets column floor(e - 1).
    const double entries[] = {1, 285, 570, 571, 0.5, 100.7, 1e30, -5};
    for (double e : entries) twt::Cuts().Append(e);  // the file before's: a new file starts clean
    std::vector<std::int16_t> samples(570);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = Synthetic(i);
    auto file = DropAndWait("cuts.wav", WaveFile(samples));
    CheckEq(twt::Cuts().Count(), size_t{0}, "a new file has no cuts");
    gm::SamePicture(gm::InstalledPicture(), gm::ExpectedForFile(file, {}), "no lines of the file before");
    for (double e : entries) twt::Cuts().Append(e);
    twt::RedrawGraphForCuts();
    Picture got = gm::InstalledPicture();
    if (!Check(got.width == 570, "bitmap with cut lines readable")) return;
    // Under the waveform: white wherever the stroke of its column leaves room.
    for (int column : {0, 99, 284}) {
        bool under = true;
        int white = 0;
        for (int y = 1; y <= 162; ++y) {
            const std::uint32_t c = got.at(column, y);
            under = under && (c == gm::kWhite || c == gm::kBlue || c == gm::kCentre);
            white += c == gm::kWhite;
        }
        Check(under && white > 20, "cut line at column " + std::to_string(column) + " rows 1 to H-3, under the wave");
        Check(got.at(column, 163) != gm::kWhite, "cut line " + std::to_string(column) + " stops above row H-2");
        Check(got.at(column, 0) != gm::kWhite, "cut line " + std::to_string(column) + " leaves row 0");
    }
    Check(got.at(283, 40) != gm::kWhite && got.at(285, 40) != gm::kWhite, "cut lines are one pixel wide");
    // A cut at the end makes no piece, so no line: the outline stays.
    Check(got.at(569, 40) == gm::kBlack, "no line where no piece starts");
    bool lighter = false, grey = false;
    for (int y = 1; y < 163; ++y) {
        lighter = lighter || got.at(400, y) == gm::kOddPiece;
        grey = grey || got.at(200, y) == gm::kGrey;
    }
    Check(lighter && grey, "every other piece on a lighter ground");
    gm::SamePicture(got, gm::ExpectedForFile(file, twt::Cuts().Snapshot()), "picture with cut lines");
    gm::ControlShowsBitmap("cut lines shown");

    // Cut entry 4 in 10000 bytes of data at W = 570 lands on column -1.
    auto ten = DropAndWait("cut_minus_one.wav", WaveFile(std::vector<std::int16_t>(5000, 0)));
    twt::Cuts().Append(4);
    twt::RedrawGraphForCuts();
    Picture quiet = gm::InstalledPicture();
    bool noWhite = true;
    for (auto px : quiet.pixels) noWhite = noWhite && px != gm::kWhite;
    Check(noWhite, "a cut at column -1 draws nothing");
    gm::SamePicture(quiet, gm::ExpectedForFile(ten, twt::Cuts().Snapshot()), "silent picture, cut outside");
    twt::Cuts().Clear();
}

void CheckScalesAndSizes() {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::int16_t> quiet(570);
    for (size_t i = 0; i < quiet.size(); ++i) quiet[i] = static_cast<std::int16_t>(static_cast<int>(i * 37 % 165) - 82);
    std::vector<std::int16_t> busy(50000);  // D = 100000: step 10
    for (size_t i = 0; i < busy.size(); ++i) busy[i] = gm::BusySample(i);
    std::vector<std::int16_t> justBelow(49999);  // D = 99998: step 1, a stroke per sample
    for (size_t i = 0; i < justBelow.size(); ++i) justBelow[i] = gm::BusySample(i * 3);
    std::vector<std::int16_t> stereo(2000);
    for (size_t i = 0; i < stereo.size(); ++i) stereo[i] = static_cast<std::int16_t>(i % 2 ? -8000 : 12000);
    std::vector<Case> cases = {
        {"quiet.wav", WaveFile(quiet)},
        {"silent.wav", WaveFile(std::vector<std::int16_t>(3000, 0))},
        {"busy.wav", WaveFile(busy)},
        {"just_below_step_10.wav", WaveFile(justBelow)},
        {"stereo.wav", WaveFile(stereo, 2)},
        {"one_sample.wav", WaveFile({-20000})},
        {"short_tail.wav", WaveFile({1000, -1000}, 1, 8000, 400)},  // drawn as the 4 bytes it holds
        {"odd_size.wav", WaveFile({500, -500, 250}, 1, 8000, 5)},
        {"wide_file.wav", WaveFile(std::vector<std::int16_t>(200, -32768))},
    };
    for (const Case& c : cases) {
        auto file = DropAndWait(c.name, c.bytes);
        gm::SamePicture(gm::InstalledPicture(), gm::ExpectedForFile(file, {}), std::string(c.name) + " picture");
        CheckProgressAfter(file, c.name);
    }

    // A quiet file (A <= H/2) is drawn at one sample unit per row: its
    // loudest samples reach the first and last rows and nothing leaves the
    // bitmap.
    DropAndWait("quiet.wav", cases[0].bytes);
    Picture q = gm::InstalledPicture();
    bool top = false, bottom = false;
    for (int x = 1; x < 569; ++x) {
        top = top || q.at(x, 0) == gm::kBlue;
        bottom = bottom || q.at(x, 164) == gm::kBlue;
    }
    Check(top && bottom, "quiet file spans rows 0 to 164 at scale 1");

    // Empty data: background, outline and centre line only; cut entries
    // have no column to go to.
    twt::Cuts().Append(0);
    twt::Cuts().Append(10);
    auto empty = DropAndWait("empty.wav", WaveFile({}));
    Picture e = gm::InstalledPicture();
    gm::SamePicture(e, gm::ExpectedPicture(570, 165, 0, 0, 0, [](std::uint64_t) { return std::int16_t(0); }, {}),
                    "empty data picture");
    Check(g_positions == std::vector<int>{0}, "empty data: only the final 0 is sent");
    CheckEq(ControlText(1026), std::string(""), "empty data: status line empty");
    twt::Cuts().Clear();
}

void CheckPaintAndRedraw() {
    std::vector<std::int16_t> samples(570);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = Synthetic(i);
    DropAndWait("paint.wav", WaveFile(samples));
    gm::ControlShowsBitmap("after the drawing");
    BlankControl();
    gm::ControlShowsBitmap("the control paints the picture itself");
    PaintMainWindow();
    gm::ControlShowsBitmap("painting the main window keeps the picture");
    CoverAndUncover();
    gm::ControlShowsBitmap("after another window covered it and went");
    SendMessageA(Control(1034), BM_CLICK, 0, 0);
    Pump(10);
    gm::ControlShowsBitmap("the redraw button copies the picture back");
    // Neither redraws: the installed bitmap is left as it was.
    SIZE before = twt::GraphViewSize();
    Picture picture = gm::InstalledPicture();
    twt::Cuts().Append(285);  // not in the picture until something draws it
    PaintMainWindow();
    SendMessageA(Control(1034), BM_CLICK, 0, 0);
    Pump(10);
    SIZE after = twt::GraphViewSize();
    Check(before.cx == after.cx && before.cy == after.cy, "painting keeps the bitmap size");
    gm::SamePicture(gm::InstalledPicture(), picture, "painting and the redraw button do not redraw");
    twt::Cuts().Clear();
}

void CheckRealFiles() {
    for (const char* name : {"speech.wav", "stereo16.wav", "mono8.wav"}) {
        g_positions.clear();
        g_ranges = 0;
        DropFiles({Fixture(name)});
        auto file = ReadFileBytes(Fixture(name));
        gm::CheckPictureOf(file, name);
        CheckProgressAfter(file, name);
        gm::ControlShowsBitmap(std::string(name) + " shown");
    }
}

// Drops, painting and zooming while a drawing of a large file runs.
void CheckOverlaps() {
    const std::string big = WorkPath("big.wav");       // D = 9999998: step 100, 49999 strokes
    const std::string huge = WorkPath("huge.wav");     // D = 50000000: a long load
    Check(gm::WriteBusyFile(big, 4999999), "big file written");
    Check(gm::WriteBusyFile(huge, 25000000), "huge file written");
    std::vector<std::int16_t> small(570);
    for (size_t i = 0; i < small.size(); ++i) small[i] = Synthetic(i);
    const std::string smallPath = WorkPath("small.wav");
    auto smallFile = WaveFile(small);
    WriteFileBytes(smallPath, smallFile);
    auto bigFile = ReadFileBytes(big);

    DWORD start = GetTickCount();
    DropFiles({big});
    WaitIdle();
    std::printf("big file loaded and drawn in %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    gm::SamePicture(gm::InstalledPicture(), gm::ExpectedForFile(bigFile, {}), "big file picture");

    // A second drop while the graph is being drawn, at several moments.
    int caught = 0;
    // The huge file: a summary of the big one is made faster than a look can catch.
    for (int delay = 0; delay < 6 || (caught == 0 && delay < 16); ++delay) {
        DropFiles({huge});
        if (WaitForDrawing()) ++caught;
        Pump(static_cast<DWORD>(delay * 3));
        DropFiles({smallPath});
        gm::CheckPictureOf(smallFile, "second drop during drawing, delay " + std::to_string(delay));
        CheckEq(ControlText(1003), smallPath, "the last file dropped is shown");
    }
    Check(caught > 0, "a drawing was running when the second file was dropped");

    // A drop during the load of a huge file.
    DropFiles({huge});
    Pump(30);
    DropFiles({smallPath});
    gm::CheckPictureOf(smallFile, "drop during a long load");

    // Painting and the redraw button while the drawing runs.
    DropFiles({big});
    int paints = 0;
    while (twt::LoadsInFlight() > 0 || twt::GraphsInFlight() > 0) {
        SendMessageA(tw::TheShell().main.handle, WM_PAINT, 0, 0);
        SendMessageA(Control(1034), BM_CLICK, 0, 0);
        RedrawWindow(tw::TheShell().main.handle, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Pump(1);
        ++paints;
    }
    Check(paints > 0, "painted while loading and drawing");
    gm::CheckPictureOf(bigFile, "picture after painting during the drawing");
    gm::ControlShowsBitmap("picture shown after painting during the drawing");

    // Zooming in while the graph thread draws: the final picture is the
    // big file at the new width.
    // The drawing takes a few tens of milliseconds and nothing waits for the
    // window meanwhile, so a look may come too late: a few tries.
    bool drawing = false;
    for (int attempt = 0; attempt < 8 && !drawing; ++attempt) {
        DropFiles({huge});
        drawing = WaitForDrawing();
    }
    Check(drawing, "graph thread running before the zoom");
    SendMessageA(Control(1032), BM_CLICK, 0, 0);
    CheckEq(static_cast<int>(gm::GraphControlSize().cx), 855, "zoomed in during the drawing");
    gm::CheckPictureOf(ReadFileBytes(huge), "zoom in during the drawing");
    DropFiles({smallPath});
    WaitForDrawing();
    SendMessageA(Control(1033), BM_CLICK, 0, 0);
    gm::CheckPictureOf(smallFile, "zoom out during the drawing of another file");
    CheckEq(static_cast<int>(gm::GraphControlSize().cx), 574, "zoomed out to the client width");
    gm::ControlShowsBitmap("picture shown after zooming during the drawing");
}

// Two hours at 8 kHz, silent but for ten seconds of tone at 1:00:00 that
// hold a 20 ms click at +3 s and a 1 s pause at +6 s (the silence is a hole
// in the file). Zoomed to the deepest level, and on the whole view, the
// click's column reaches the top rows and nothing else near it does; inside
// the pause the columns are flat; all where their times put them.
void CheckTwoHours() {
    const int rate = 8000;
    const std::uint64_t n = 2ull * 3600 * rate;
    const std::uint64_t toneAt = 3600ull * rate, clickAt = 3603ull * rate, pauseAt = 3606ull * rate;
    std::vector<std::int16_t> tone(10 * rate);
    for (size_t i = 0; i < tone.size(); ++i) tone[i] = static_cast<std::int16_t>(8000 * std::sin(2 * 3.14159265358979 * 200 * i / rate));
    for (size_t i = 0; i < 160; ++i) tone[clickAt - toneAt + i] = (i / 4) % 2 ? 30000 : -30000;
    for (size_t i = 0; i < static_cast<size_t>(rate); ++i) tone[pauseAt - toneAt + i] = 0;
    const std::string path = WorkPath("two_hours.wav");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::vector<std::uint8_t> header = WaveFile({}, 1, rate, static_cast<std::int64_t>(2 * n));
    DWORD wrote = 0;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(44 + 2 * toneAt);
    bool written = WriteFile(file, header.data(), 44, &wrote, nullptr) && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
                   WriteFile(file, tone.data(), static_cast<DWORD>(2 * tone.size()), &wrote, nullptr);
    at.QuadPart = static_cast<LONGLONG>(44 + 2 * n);
    written = written && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    if (!Check(written, "two hours written")) return;
    DropFiles({path});
    Check(WaitIdle(180000), "two hours: loaded and drawn");
    CheckEq(ControlText(1011), std::string("30000"), "two hours: peak");
    // Row of -8000 (the tone's top) is 82.5 - 22 = 60; the click's reaches row 0.
    auto look = [&](const std::string& what) {
        const Picture p = gm::InstalledPicture();
        if (!Check(p.width > 0, what + ": a picture")) return;
        auto column = [&](std::uint64_t sample) {
            return static_cast<int>(static_cast<unsigned __int128>(sample) * static_cast<unsigned>(p.width) / n);
        };
        const int click = column(clickAt);
        Check(p.at(click, 5) == gm::kBlue || p.at(click + 1, 5) == gm::kBlue, what + ": the click at column " + std::to_string(click));
        int loud = 0;
        for (int x = column(toneAt); x <= column(toneAt + 10ull * rate); ++x) loud += std::abs(x - click) > 1 && p.at(x, 5) == gm::kBlue;
        CheckEq(loud, 0, what + ": nothing else near it that loud");
        Check(p.at(column(toneAt + rate), 65) == gm::kBlue, what + ": the tone");
        int flat = 0, inside = 0;
        for (int x = column(pauseAt) + 2; x <= column(pauseAt + rate) - 2; ++x, ++inside)
            for (int y = 0; y < p.height; ++y) flat += (y < 80 || y > 83) && p.at(x, y) == gm::kBlue;
        Check(inside > 0 || p.width < 32767, what + ": columns inside the pause");
        CheckEq(flat, 0, what + ": the pause is flat");
    };
    look("two hours, whole");
    int width = 0;
    while (gm::GraphControlSize().cx != width) {
        width = gm::GraphControlSize().cx;
        SendMessageA(Control(1032), BM_CLICK, 0, 0);
        WaitIdle();
    }
    CheckEq(width, 32767, "two hours: the deepest zoom");
    look("two hours, deepest zoom");
    while (gm::GraphControlSize().cx > 574) SendMessageA(Control(1033), BM_CLICK, 0, 0);
    WaitIdle();
}

// 2000 cuts on a 570-column view: their lines go under the wave, which
// stays in sight in every column, and the picture is the model's.
void CheckManyCuts() {
    std::vector<std::int16_t> samples(22050);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::int16_t>(12000 * std::sin(i * 0.0627));
    const auto file = DropAndWait("many_cuts.wav", WaveFile(samples));
    std::vector<double> positions;
    for (int k = 1; k <= 2000; ++k) positions.push_back(k * 11.0);
    twt::AppendUserCuts(positions);
    WaitIdle();
    const Picture p = gm::InstalledPicture();
    int blueColumns = 0, white = 0;
    for (int x = 1; x < p.width - 1; ++x) {
        bool blue = false;
        for (int y = 1; y < p.height - 1; ++y) {
            blue = blue || p.at(x, y) == gm::kBlue;
            white += p.at(x, y) == gm::kWhite;
        }
        blueColumns += blue;
    }
    CheckEq(blueColumns, p.width - 2, "2000 cuts: the wave in every column");
    Check(white > 0, "2000 cuts: their lines show around it");
    gm::SamePicture(p, gm::ExpectedForFile(file, twt::Cuts().Snapshot()), "2000 cuts picture");
    twt::CutEdits().Reset();
}

}  // namespace

int main() {
    InitHarness();
    OpenMainWindow();
    SpyOnProgress();
    CheckBeforeLoad();
    CheckSyntheticPicture();
    CheckCutLines();
    CheckScalesAndSizes();
    CheckPaintAndRedraw();
    CheckRealFiles();
    CheckOverlaps();
    CheckManyCuts();
    CheckTwoHours();
    Check(Boxes().empty(), "no message boxes");
    CloseMainWindow();
    return Finish();
}
