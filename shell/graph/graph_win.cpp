// The GraphView: the waveform drawn into an off-screen bitmap, which the graph
// control paints itself from whenever Windows asks it to. A drawing is made in
// a bitmap of its own without any lock and swapped in under the lock, so the
// lock is never held while a message is sent; an older drawing that finishes
// late never replaces a newer one. Other threads only invalidate the control.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win/handles_win.h"
#include "core/support/number_text.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"

namespace tw {

namespace {

const COLORREF kBackgroundColour = RGB(128, 128, 128);
const COLORREF kWaveColour = RGB(0, 0, 255);
const COLORREF kCentreColour = RGB(12, 12, 12);
const COLORREF kCutColour = RGB(255, 255, 255);
// Drawn over the copied picture only, in a colour the picture never has.
const COLORREF kPlayLineColour = RGB(255, 0, 0);

struct GraphView {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ originalBitmap = nullptr;
    int width = 0;
    int height = 0;
    std::uint64_t sequence = 0;  // of the drawing installed
    bool released = false;
};

// What the main window attached: set once before any drawing.
HWND g_graphControl = nullptr;
HWND g_scrollBar = nullptr;
WindowReport* g_report = nullptr;
WNDPROC g_staticProc = nullptr;  // the control's own painting, used before any picture
// The cuts the user has made on this window, with their undo.
CutBook g_cutBook;

std::mutex g_graphMutex;  // guards g_view and all drawing into its DC
GraphView g_view;
std::mutex g_sequenceMutex;
std::uint64_t g_nextSequence = 0;
// The recording most recently handed to a graph thread (never holding its
// samples in memory).
std::uint64_t g_latestRecording = 0;
std::atomic<int> g_graphsInFlight{0};
int g_playColumn = kNoPlayLine;  // guarded by g_graphMutex


bool IsLatestWave(const WavePtr& wave) {
    std::lock_guard<std::mutex> lock(g_sequenceMutex);
    return wave->recording == g_latestRecording;
}

void FreeView(GraphView& view) {
    if (view.dc) {
        SelectObject(view.dc, view.originalBitmap);
        DeleteDC(view.dc);
    }
    if (view.bitmap) DeleteObject(view.bitmap);
    view.dc = nullptr;
    view.bitmap = nullptr;
    view.originalBitmap = nullptr;
}

void DrawCutLine(HDC dc, int column, int height) {
    GdiObject pen(CreatePen(PS_SOLID, 1, kCutColour));
    Selection select(dc, pen.get());
    MoveToEx(dc, column, 1, nullptr);
    LineTo(dc, column, height - 2);
}

void DrawPlayLine(HDC dc, int column, int height) {
    GdiObject pen(CreatePen(PS_SOLID, 1, kPlayLineColour));
    Selection select(dc, pen.get());
    MoveToEx(dc, column, 1, nullptr);
    LineTo(dc, column, height - 2);
}

// The part Windows asks for, from the picture; past its edge (a control
// grown by a zoom, its new drawing not in yet) the control's own black.
void PaintLocked(HDC dc, const RECT& part) {
    const RECT picture{0, 0, g_view.width, g_view.height};
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, g_view.dc, part.left, part.top,
           SRCCOPY);
    RECT beyond = part;
    if (beyond.right > picture.right) {
        beyond.left = std::max(beyond.left, picture.right);
        FillRect(dc, &beyond, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    beyond = part;
    if (beyond.bottom > picture.bottom) {
        beyond.top = std::max(beyond.top, picture.bottom);
        FillRect(dc, &beyond, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    if (g_playColumn != kNoPlayLine) DrawPlayLine(dc, g_playColumn, g_view.height);
}

bool HavePicture() {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    return g_view.dc != nullptr;
}

// Without a picture the control paints itself as it always has (black). The
// lock is never held across BeginPaint, which sends WM_ERASEBKGND back here.
LRESULT CALLBACK GraphProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND && HavePicture()) return 1;  // the paint covers every pixel
    if (message == WM_PAINT && HavePicture()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        {
            std::lock_guard<std::mutex> lock(g_graphMutex);
            if (g_view.dc)
                PaintLocked(dc, ps.rcPaint);
            else
                FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        EndPaint(window, &ps);
        return 0;
    }
    return CallWindowProcA(g_staticProc, window, message, wParam, lParam);
}

// Column x of the control to be painted again (the whole control for x < 0).
void Invalidate(int x = -1) {
    RECT column{x, 0, x + 1, GraphControlSize().cy};
    InvalidateRect(GraphControl(), x < 0 ? nullptr : &column, FALSE);
}

void DrawCutListLocked(HDC dc, int width, int height, std::uint64_t dataSize) {
    Cuts().Read([&](const std::vector<double>& entries) {
        for (double e : entries) {
            std::int32_t column;
            if (CutLineColumn(e, width, dataSize, &column)) DrawCutLine(dc, column, height);
        }
    });
}

}  // namespace

namespace {

// A bitmap of the graph control's size to draw into, not installed yet.
GraphView NewDrawing(int width, int height, std::uint64_t sequence) {
    GraphView fresh;
    {
        WindowDc controlDc(GraphControl());
        fresh.dc = CreateCompatibleDC(controlDc.get());
        fresh.bitmap = CreateCompatibleBitmap(controlDc.get() ? controlDc.get() : fresh.dc, width, height);
    }
    fresh.originalBitmap = SelectObject(fresh.dc, fresh.bitmap);
    fresh.width = width;
    fresh.height = height;
    fresh.sequence = sequence;
    return fresh;
}

// Background, one stroke per step of samples (the progress bar following),
// and the centre line.
void DrawWave(HDC dc, const WaveData& wave, int width, int height, WindowReport& report) {
    {
        GdiObject grey(CreateSolidBrush(kBackgroundColour));
        Selection select(dc, grey.get());
        Rectangle(dc, 0, 0, width, height);
    }
    {
        GraphParams params;
        params.width = width;
        params.height = height;
        params.dataSize = wave.scaleSize();
        params.peak = TruncToInt32(wave.stats.peak);
        params.nadir = TruncToInt32(wave.stats.nadir);
        GdiObject blue(CreatePen(PS_SOLID, 2, kWaveColour));
        Selection select(dc, blue.get());
        GraphPlan plan(params);
        const std::uint64_t strokes = plan.strokeCount();
        int shown = -1;
        for (std::uint64_t k = 0; k < strokes; ++k) {
            int position = plan.ProgressBefore(k);
            GraphStroke stroke = plan.NextStroke(k, wave.sample(k * plan.step()));
            MoveToEx(dc, stroke.x, stroke.yFrom, nullptr);
            LineTo(dc, stroke.x, stroke.yTo);
            if (position != shown) {  // at most 101 messages, not one per stroke
                report.Progress(position);
                shown = position;
            }
        }
    }
    GdiObject centre(CreatePen(PS_SOLID, 1, kCentreColour));
    Selection select(dc, centre.get());
    MoveToEx(dc, 0, height / 2, nullptr);
    LineTo(dc, width, height / 2);
}

// Puts the drawing in place of the installed one unless a newer drawing, or
// one of a newer recording, is there; frees whichever is left over.
void Install(GraphView& fresh, const WavePtr& wave) {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    // The sequence alone is not enough: a drawing of an older file that
    // started late would win.
    if (!g_view.released && fresh.sequence > g_view.sequence && IsLatestWave(wave)) {
        // Cut lines are drawn under the lock so a cut appended while this
        // drawing ran is in the picture that replaces the old one.
        DrawCutListLocked(fresh.dc, fresh.width, fresh.height, wave->scaleSize());
        FreeView(g_view);
        g_view = fresh;
    } else {
        FreeView(fresh);
    }
}

}  // namespace

void DrawWaveformGraph(const WavePtr& wave) {
    if (!wave) return;
    std::uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(g_sequenceMutex);
        sequence = ++g_nextSequence;
    }
    WindowReport& report = *g_report;
    report.Status("WAVファイルのグラフを作成中...");
    report.ProgressBegin();
    const SIZE size = GraphControlSize();
    GraphView fresh = NewDrawing(size.cx, size.cy, sequence);
    DrawWave(fresh.dc, *wave, size.cx, size.cy, report);
    Install(fresh, wave);
    report.Status(wave->notice);
    report.ProgressEnd();
    // A worker only invalidates; the window's own thread (a zoom, a redraw
    // for cuts) paints at once.
    if (GetWindowThreadProcessId(GraphControl(), nullptr) == GetCurrentThreadId())
        PresentGraph();
    else
        Invalidate();
}

void StartGraphThread(WavePtr wave) {
    {
        std::lock_guard<std::mutex> lock(g_sequenceMutex);
        g_latestRecording = wave->recording;
    }
    ++g_graphsInFlight;
    std::thread([wave] {
        DrawWaveformGraph(wave);
        --g_graphsInFlight;
    }).detach();
}

int GraphsInFlight() { return g_graphsInFlight.load(); }

void AttachGraph(HWND graph, HWND scrollBar, WindowReport& report) {
    g_staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(graph, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GraphProc)));
    g_graphControl = graph;
    g_scrollBar = scrollBar;
    g_report = &report;
}

WindowReport& GraphReport() { return *g_report; }
HWND GraphControl() { return g_graphControl; }
HWND GraphScrollBar() { return g_scrollBar; }
CutBook& CutEdits() { return g_cutBook; }
CutList& Cuts() { return g_cutBook.List(); }

SIZE GraphControlSize() {
    RECT rc{};
    GetClientRect(GraphControl(), &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

void AppendCutsWithLines(const std::vector<CutWithColumn>& cuts, CutOrigin origin) {
    {
        std::lock_guard<std::mutex> lock(g_graphMutex);
        const int height = GraphControlSize().cy;
        std::vector<double> positions;
        positions.reserve(cuts.size());
        for (const CutWithColumn& cut : cuts) {
            if (g_view.dc) DrawCutLine(g_view.dc, TruncToInt32(cut.column), height);
            positions.push_back(cut.position);
        }
        CutEdits().Append(positions, origin);  // one undo step for the whole batch
    }
    PresentGraph();  // one paint for the whole batch
}

void PresentGraph() {
    Invalidate();
    UpdateWindow(GraphControl());
}

void SetPlayLine(int column) {
    int old;
    {
        std::lock_guard<std::mutex> lock(g_graphMutex);
        if (column == g_playColumn) return;
        old = g_playColumn;
        g_playColumn = column;
    }
    // Only the column the line leaves and the one it reaches are painted again.
    if (old != kNoPlayLine) Invalidate(old);
    if (column != kNoPlayLine) Invalidate(column);
    UpdateWindow(GraphControl());
}

void RedrawGraphForCuts() {
    if (WavePtr wave = CurrentWave()) DrawWaveformGraph(wave);
}

void ClearGraphView() {
    {
        std::lock_guard<std::mutex> lock(g_graphMutex);
        FreeView(g_view);
        g_view.width = 0;
        g_view.height = 0;
    }
    InvalidateRect(GraphControl(), nullptr, TRUE);
}

void ReleaseGraphView() {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    FreeView(g_view);
    g_view.released = true;
}

SIZE GraphViewSize() {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    return {g_view.width, g_view.height};
}

bool ReadGraphPixels(std::uint32_t* pixels, int width, int height) {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    if (!g_view.dc || width != g_view.width || height != g_view.height) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SelectObject(g_view.dc, g_view.originalBitmap);
    int rows = GetDIBits(g_view.dc, g_view.bitmap, 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    SelectObject(g_view.dc, g_view.bitmap);
    return rows == height;
}

}  // namespace tw
