// The GraphView: the waveform drawn into an off-screen bitmap and copied onto
// the graph control. A drawing is made in a bitmap of its own without any lock
// and swapped in under the lock, so the lock is never held while a message is
// sent; an older drawing that finishes late never replaces a newer one.
#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "support/handles_win.h"
#include "support/number_text.h"
#include "view/graph_geometry.h"
#include "view/view_win.h"

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

void CopyLocked() {
    if (!g_view.dc) return;
    SIZE size = GraphControlSize();
    WindowDc target(GraphControl());
    if (!target.get()) return;
    BitBlt(target.get(), 0, 0, size.cx, size.cy, g_view.dc, 0, 0, SRCCOPY);
    // Every copy wipes the play line, so it goes back on at once.
    if (g_playColumn != kNoPlayLine) DrawPlayLine(target.get(), g_playColumn, size.cy);
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
    PresentGraph();
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
    std::lock_guard<std::mutex> lock(g_graphMutex);
    const int height = GraphControlSize().cy;
    std::vector<double> positions;
    positions.reserve(cuts.size());
    for (const CutWithColumn& cut : cuts) {
        if (g_view.dc) DrawCutLine(g_view.dc, TruncToInt32(cut.column), height);
        positions.push_back(cut.position);
    }
    CutEdits().Append(positions, origin);  // one undo step for the whole batch
    // One copy for the whole batch shows the same picture as one per line.
    CopyLocked();
}

void PresentGraph() {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    CopyLocked();
}

void SetPlayLine(int column) {
    std::lock_guard<std::mutex> lock(g_graphMutex);
    if (column == g_playColumn) return;
    const int old = g_playColumn;
    g_playColumn = column;
    if (!g_view.dc) return;
    WindowDc target(GraphControl());
    if (!target.get()) return;
    const int height = GraphControlSize().cy;
    // Only the column the line leaves is copied again, not the whole picture.
    if (old != kNoPlayLine) BitBlt(target.get(), old, 0, 1, height, g_view.dc, old, 0, SRCCOPY);
    if (column != kNoPlayLine) DrawPlayLine(target.get(), column, height);
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
