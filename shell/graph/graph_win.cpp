// The graph: the waveform drawn into an off-screen bitmap, which the graph
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
// Drawn over the copied picture only, in colours the picture never has.
const COLORREF kPlayLineColour = RGB(255, 0, 0);
const COLORREF kDragLineColour = RGB(255, 255, 0);

// Found by every function of the graph; set once, by the shell's state.
GraphState* g_graph = nullptr;

bool IsLatestWave(const WavePtr& wave) {
    std::lock_guard<std::mutex> lock(Graph().sequenceMutex);
    return wave->recording == Graph().latestRecording;
}

void DrawCutLine(HDC dc, int column, int height) {
    GdiObject pen(CreatePen(PS_SOLID, 1, kCutColour));
    Selection select(dc, pen.get());
    MoveToEx(dc, column, 1, nullptr);
    LineTo(dc, column, height - 2);
}

void DrawOverLine(HDC dc, int column, int height, COLORREF colour) {
    GdiObject pen(CreatePen(PS_SOLID, 1, colour));
    Selection select(dc, pen.get());
    MoveToEx(dc, column, 1, nullptr);
    LineTo(dc, column, height - 2);
}

// The part Windows asks for, from the picture; past its edge (a control
// grown by a zoom, its new drawing not in yet) the control's own black.
void PaintLocked(HDC dc, const RECT& part) {
    const RECT picture{0, 0, Graph().picture.width(), Graph().picture.height()};
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, Graph().picture.dc(), part.left, part.top,
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
    if (Graph().dragColumn != kNoPlayLine) DrawOverLine(dc, Graph().dragColumn, Graph().picture.height(), kDragLineColour);
    if (Graph().playColumn != kNoPlayLine) DrawOverLine(dc, Graph().playColumn, Graph().picture.height(), kPlayLineColour);
}

bool HavePicture() {
    std::lock_guard<std::mutex> lock(Graph().pictureMutex);
    return Graph().picture.dc() != nullptr;
}

// Without a picture the control paints itself as it always has (black). The
// lock is never held across BeginPaint, which sends WM_ERASEBKGND back here.
LRESULT CALLBACK GraphProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (HandleGraphMouse(window, message, wParam, lParam)) return 0;
    if (message == WM_ERASEBKGND && HavePicture()) return 1;  // the paint covers every pixel
    if (message == WM_PAINT && HavePicture()) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        {
            std::lock_guard<std::mutex> lock(Graph().pictureMutex);
            if (Graph().picture.dc())
                PaintLocked(dc, ps.rcPaint);
            else
                FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_MOUSEMOVE) ShowPointerAt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return CallWindowProcA(Graph().staticProc, window, message, wParam, lParam);
}

// Column x of the control to be painted again (the whole control for x < 0).
void Invalidate(int x = -1) {
    RECT column{x, 0, x + 1, GraphControlSize().cy};
    InvalidateRect(GraphControl(), x < 0 ? nullptr : &column, FALSE);
    if (x < 0 && Graph().axis) InvalidateRect(Graph().axis, nullptr, TRUE);  // its times are the recording's
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

// The rows the strokes of one column reach.
struct ColumnSpan {
    std::int32_t x = -0x7FFFFFFF - 1;  // none yet
    std::int32_t top = 0;
    std::int32_t bottom = 0;
    void Draw(HDC dc) const {
        if (x == -0x7FFFFFFF - 1) return;
        MoveToEx(dc, x, top, nullptr);
        LineTo(dc, x, bottom);
    }
};

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
        // The strokes of one column join end to end, so together they paint
        // what one stroke from their highest to their lowest end paints: one
        // line per column instead of up to 100000 (a zoom or a resize then
        // redraws at once).
        ColumnSpan span;
        for (std::uint64_t k = 0; k < strokes; ++k) {
            int position = plan.ProgressBefore(k);
            const GraphStroke stroke = plan.NextStroke(k, wave.sample(k * plan.step()));
            if (stroke.x != span.x) {
                span.Draw(dc);
                span = {stroke.x, std::min(stroke.yFrom, stroke.yTo), std::max(stroke.yFrom, stroke.yTo)};
            } else {
                span.top = std::min({span.top, stroke.yFrom, stroke.yTo});
                span.bottom = std::max({span.bottom, stroke.yFrom, stroke.yTo});
            }
            if (position != shown) {  // at most 101 messages, not one per stroke
                report.Progress(position);
                shown = position;
            }
        }
        span.Draw(dc);
    }
    GdiObject centre(CreatePen(PS_SOLID, 1, kCentreColour));
    Selection select(dc, centre.get());
    MoveToEx(dc, 0, height / 2, nullptr);
    LineTo(dc, width, height / 2);
}

// Puts the drawing in place of the installed one unless a newer drawing, or
// one of a newer recording, is there; frees whichever is left over.
void Install(GraphPicture& fresh, const WavePtr& wave) {
    GraphState& graph = Graph();
    std::lock_guard<std::mutex> lock(graph.pictureMutex);
    // The sequence alone is not enough: a drawing of an older file that
    // started late would win.
    if (!graph.released && fresh.sequence() > graph.picture.sequence() && IsLatestWave(wave)) {
        // Cut lines are drawn under the lock so a cut appended while this
        // drawing ran is in the picture that replaces the old one.
        DrawCutListLocked(fresh.dc(), fresh.width(), fresh.height(), wave->scaleSize());
        graph.picture = std::move(fresh);
    }
}

}  // namespace

void DrawWaveformGraph(const WavePtr& wave) {
    if (!wave) return;
    std::uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(Graph().sequenceMutex);
        sequence = ++Graph().nextSequence;
    }
    WindowReport& report = GraphReport();
    report.Status("WAVファイルのグラフを作成中...");
    report.ProgressBegin();
    const SIZE size = GraphControlSize();
    GraphPicture fresh(GraphControl(), size.cx, size.cy, sequence);
    DrawWave(fresh.dc(), *wave, size.cx, size.cy, report);
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
        std::lock_guard<std::mutex> lock(Graph().sequenceMutex);
        Graph().latestRecording = wave->recording;
    }
    ++Graph().graphsInFlight;
    std::thread([wave] {
        DrawWaveformGraph(wave);
        --Graph().graphsInFlight;
    }).detach();
}

int GraphsInFlight() { return Graph().graphsInFlight.load(); }

GraphPicture::GraphPicture(HWND like, int width, int height, std::uint64_t sequence)
    : width_(width), height_(height), sequence_(sequence) {
    WindowDc controlDc(like);
    dc_ = CreateCompatibleDC(controlDc.get());
    bitmap_ = CreateCompatibleBitmap(controlDc.get() ? controlDc.get() : dc_, width, height);
    original_ = SelectObject(dc_, bitmap_);
}

GraphPicture& GraphPicture::operator=(GraphPicture&& other) noexcept {
    if (this == &other) return *this;
    Free();
    dc_ = other.dc_;
    bitmap_ = other.bitmap_;
    original_ = other.original_;
    width_ = other.width_;
    height_ = other.height_;
    sequence_ = other.sequence_;
    other.dc_ = nullptr;
    other.bitmap_ = nullptr;
    other.original_ = nullptr;
    return *this;
}

// Keeps the sequence, so a drawing older than a picture dropped stays out.
void GraphPicture::Free() {
    if (dc_) {
        SelectObject(dc_, original_);
        DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    original_ = nullptr;
    width_ = 0;
    height_ = 0;
}

void UseGraphState(GraphState& state) { g_graph = &state; }

void AttachGraph(HWND control, HWND scrollBar, WindowReport& report) {
    GraphState& state = Graph();
    state.staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GraphProc)));
    state.control = control;
    state.scrollBar = scrollBar;
    state.report = &report;
}

GraphState& Graph() { return *g_graph; }
WindowReport& GraphReport() { return *Graph().report; }
HWND GraphControl() { return Graph().control; }
HWND GraphScrollBar() { return Graph().scrollBar; }
CutBook& CutEdits() { return Graph().cutBook; }
CutList& Cuts() { return Graph().cutBook.List(); }

SIZE GraphControlSize() {
    RECT rc{};
    GetClientRect(GraphControl(), &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

void AppendCutsWithLines(const std::vector<CutWithColumn>& cuts, CutOrigin origin) {
    {
        std::lock_guard<std::mutex> lock(Graph().pictureMutex);
        const int height = GraphControlSize().cy;
        std::vector<double> positions;
        positions.reserve(cuts.size());
        for (const CutWithColumn& cut : cuts) {
            if (Graph().picture.dc()) DrawCutLine(Graph().picture.dc(), TruncToInt32(cut.column), height);
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

namespace {

// One of the lines painted over the picture, moved to `column`.
void MoveOverLine(int GraphState::*line, int column) {
    int old;
    {
        std::lock_guard<std::mutex> lock(Graph().pictureMutex);
        if (column == Graph().*line) return;
        old = Graph().*line;
        Graph().*line = column;
    }
    // Only the column the line leaves and the one it reaches are painted again.
    if (old != kNoPlayLine) Invalidate(old);
    if (column != kNoPlayLine) Invalidate(column);
    UpdateWindow(GraphControl());
}

}  // namespace

void SetPlayLine(int column) { MoveOverLine(&GraphState::playColumn, column); }
void SetDragLine(int column) { MoveOverLine(&GraphState::dragColumn, column); }

int PlayLineColumn() {
    std::lock_guard<std::mutex> lock(Graph().pictureMutex);
    return Graph().playColumn;
}

void RedrawGraphForCuts() {
    if (WavePtr wave = CurrentWave()) DrawWaveformGraph(wave);
}

void ClearGraphView() {
    {
        std::lock_guard<std::mutex> lock(Graph().pictureMutex);
        Graph().picture.Free();
    }
    InvalidateRect(GraphControl(), nullptr, TRUE);
}

void ReleaseGraphView() {
    std::lock_guard<std::mutex> lock(Graph().pictureMutex);
    Graph().picture.Free();
    Graph().released = true;
}

SIZE GraphViewSize() {
    std::lock_guard<std::mutex> lock(Graph().pictureMutex);
    return {Graph().picture.width(), Graph().picture.height()};
}

bool ReadGraphPixels(std::uint32_t* pixels, int width, int height) {
    std::lock_guard<std::mutex> lock(Graph().pictureMutex);
    if (!Graph().picture.dc() || width != Graph().picture.width() || height != Graph().picture.height()) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SelectObject(Graph().picture.dc(), Graph().picture.originalBitmap());
    int rows = GetDIBits(Graph().picture.dc(), Graph().picture.bitmap(), 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    SelectObject(Graph().picture.dc(), Graph().picture.bitmap());
    return rows == height;
}

}  // namespace tw
