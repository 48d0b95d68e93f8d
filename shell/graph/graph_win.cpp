// The graph: the waveform drawn into an off-screen bitmap, which the graph
// control paints itself from whenever Windows asks it to. A drawing is made in
// a bitmap of its own without any lock and swapped in under the lock, so the
// lock is never held while a message is sent; an older drawing that finishes
// late never replaces a newer one. Other threads only invalidate the control.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
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
// The ground of every other piece, what a margin leaves out and a piece left
// out: shades of the grey ground, so the blue wave and white lines still stand out.
const COLORREF kOddPieceColour = RGB(150, 150, 150);
const COLORREF kDroppedColour = RGB(96, 96, 96);
const COLORREF kLeftOutColour = RGB(120, 92, 92);

// Every colour drawn into the picture; the wave's is written by its index.
const COLORREF kPalette[] = {RGB(0, 0, 0),     kBackgroundColour, kWaveColour,    kCentreColour,
                             kCutColour,       kOddPieceColour,   kDroppedColour, kLeftOutColour};
constexpr std::uint8_t kWaveIndex = 2;
// Drawn over the copied picture only, in colours the picture never has.
const COLORREF kPlayLineColour = RGB(255, 0, 0);
const COLORREF kDragLineColour = RGB(255, 255, 0);

bool IsLatestWave(GraphState& g, const WavePtr& wave) {
    std::lock_guard<std::mutex> lock(g.sequenceMutex);
    return wave->recording == g.latestRecording;
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
void PaintLocked(const GraphState& g, HDC dc, const RECT& part) {
    const RECT picture{0, 0, g.picture.width(), g.picture.height()};
    BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, g.picture.dc(), part.left, part.top,
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
    if (g.dragColumn != kNoPlayLine) DrawOverLine(dc, g.dragColumn, g.picture.height(), kDragLineColour);
    if (g.playColumn != kNoPlayLine) DrawOverLine(dc, g.playColumn, g.picture.height(), kPlayLineColour);
}

bool HavePicture(GraphState& g) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    return g.picture.dc() != nullptr;
}

// The state of the graph a control shows, found from the control itself.
GraphState& StateOf(HWND control) { return *reinterpret_cast<GraphState*>(GetWindowLongPtrA(control, GWLP_USERDATA)); }

// Without a picture the control paints itself as it always has (black). The
// lock is never held across BeginPaint, which sends WM_ERASEBKGND back here.
LRESULT CALLBACK GraphProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GraphState& g = StateOf(window);
    if (HandleGraphMouse(g, window, message, wParam, lParam)) return 0;
    if (message == WM_ERASEBKGND && HavePicture(g)) return 1;  // the paint covers every pixel
    if (message == WM_PAINT && HavePicture(g)) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        {
            std::lock_guard<std::mutex> lock(g.pictureMutex);
            if (g.picture.dc())
                PaintLocked(g, dc, ps.rcPaint);
            else
                FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        EndPaint(window, &ps);
        return 0;
    }
    if (message == WM_TIMER && wParam == kPlayLineTimer) {
        TellHeard(g.workers->play, window);
        return 0;
    }
    if (message == WM_MOUSEMOVE) ShowPointerAt(g, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    return CallWindowProcA(g.staticProc, window, message, wParam, lParam);
}

// Column x of the control to be painted again (the whole control for x < 0).
void Invalidate(GraphState& g, int x = -1) {
    RECT column{x, 0, x + 1, GraphControlSize(g).cy};
    InvalidateRect(g.control, x < 0 ? nullptr : &column, FALSE);
    if (x < 0 && g.axis) InvalidateRect(g.axis, nullptr, TRUE);  // its times are the recording's
}

}  // namespace

namespace {

void FillColumns(HDC dc, ColumnSpan span, int width, int height, COLORREF colour) {
    const RECT r{std::max(1, span.first), 1, std::min(width - 1, span.last + 1), height - 1};
    if (r.right <= r.left) return;
    GdiObject brush(CreateSolidBrush(colour));
    FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
}

// The columns of the pieces' boundaries, each once.
std::vector<int> BoundaryLines(const PieceMarks& marks, int width) {
    std::vector<int> lines;
    for (std::size_t k = 1; k < marks.starts.size(); ++k) {
        const int column = BoundaryColumn(marks.starts[k], width, marks.scaleSize);
        if (column >= 0 && column < width && (lines.empty() || lines.back() != column)) lines.push_back(column);
    }
    return lines;
}

// Lines stand over the wave while they are few (each then hides one column
// of it); where they would fill more than a quarter of the columns they go
// under it, so no number of cuts ever hides the sound.
bool LinesOverWave(const std::vector<int>& lines, int width) { return lines.size() * 4 <= static_cast<std::size_t>(width); }

void DrawLines(HDC dc, const std::vector<int>& lines, int height) {
    for (int column : lines) DrawCutLine(dc, column, height);
}

// The pieces' grounds: every other piece lighter, what is not written darker.
void DrawPieces(HDC dc, const PieceMarks& marks, int width, int height) {
    const std::size_t pieces = marks.starts.size();
    for (std::size_t k = 0; k < pieces; ++k) {
        const ColumnSpan span = PieceColumns(marks, k, width);
        if (k < marks.leftOut.size() && marks.leftOut[k])
            FillColumns(dc, span, width, height, kLeftOutColour);
        else if (k % 2 == 1)
            FillColumns(dc, span, width, height, kOddPieceColour);
    }
    for (const ValueStretch& s : marks.dropped)
        FillColumns(dc, StretchColumns(s, width, marks.scaleSize), width, height, kDroppedColour);
}

// Each column drawn from the lowest to the highest value it covers (joined to
// the value before it, so the line never breaks), as the 2-pixel stroke with
// a round top a 2-pixel pen makes: columns x-1 and x, from the row above the
// upper end down to the lower end. Written into the picture's pixels: a GDI
// call a column cost more than the rest of a step at the widest zoom.
void DrawWave(GraphPicture& picture, const WaveData& wave, const WaveSummary& summary) {
    const int width = picture.width(), height = picture.height();
    const std::uint64_t count = wave.scaleSize() / 2;
    const double scale = VerticalScale(GraphAmplitude(TruncToInt32(wave.stats.peak), TruncToInt32(wave.stats.nadir)), height);
    const float half = static_cast<float>(height) / 2.0f;
    auto row = [&](int value) { return TruncToInt32(static_cast<double>(half) + value / scale); };
    std::vector<RowSpan> strokes(static_cast<std::size_t>(std::max(width, 0)));
    for (int x = 0; x < width; ++x) {
        const std::uint64_t from = ColumnStart(x, width, count), to = ColumnStart(x + 1, width, count);
        if (from >= to) continue;
        ValueRange range = summary.Range(wave.bytes, from, to);
        range.Add(from > 0 ? wave.sample(from - 1) : std::int16_t{0});  // the first from the centre row
        const int a = row(range.low), b = row(range.high);
        strokes[static_cast<std::size_t>(x)] = RowSpan{std::min(a, b) - 1, std::max(a, b)};
    }
    GdiFlush();  // the ground GDI painted is in the pixels before they are written
    picture.PaintStrokes(strokes, kWaveIndex);
}

void DrawCentreLine(HDC dc, int width, int height) {
    GdiObject centre(CreatePen(PS_SOLID, 1, kCentreColour));
    Selection select(dc, centre.get());
    MoveToEx(dc, 0, height / 2, nullptr);
    LineTo(dc, width, height / 2);
}

void DrawPicture(GraphPicture& picture, const WaveData& wave, const WaveSummary& summary, const PieceMarks& marks) {
    HDC dc = picture.dc();
    const int width = picture.width(), height = picture.height();
    {
        GdiObject grey(CreateSolidBrush(kBackgroundColour));
        Selection select(dc, grey.get());
        Rectangle(dc, 0, 0, width, height);
    }
    DrawPieces(dc, marks, width, height);
    const std::vector<int> lines = BoundaryLines(marks, width);
    const bool over = LinesOverWave(lines, width);
    if (!over) DrawLines(dc, lines, height);
    DrawWave(picture, wave, summary);
    DrawCentreLine(dc, width, height);
    if (over) DrawLines(dc, lines, height);
}

std::shared_ptr<const PieceMarks> MarksOfCuts(GraphState& g, const WaveData& wave) {
    auto marks = std::make_shared<PieceMarks>();
    marks->recording = wave.recording;
    marks->count = wave.scaleSize() / 2;
    marks->scaleSize = wave.scaleSize();
    std::vector<double> cuts = Cuts(g).Snapshot();
    std::sort(cuts.begin(), cuts.end());
    marks->starts.push_back(0);
    // Where the save puts each boundary: at the start of the cut's frame.
    const double channels = std::max<std::uint32_t>(1, wave.layout.channels);
    for (double c : cuts) {
        const double at = std::floor(c / channels) * channels;
        if (at > static_cast<double>(marks->starts.back()) && at < static_cast<double>(marks->count))
            marks->starts.push_back(static_cast<std::uint64_t>(at));
    }
    marks->leftOut.assign(marks->starts.size(), false);
    return marks;
}

bool SameMarks(const PieceMarks& a, const PieceMarks& b) {
    auto same = [](const ValueStretch& x, const ValueStretch& y) { return x.from == y.from && x.to == y.to; };
    return a.recording == b.recording && a.count == b.count && a.starts == b.starts && a.leftOut == b.leftOut &&
           std::equal(a.dropped.begin(), a.dropped.end(), b.dropped.begin(), b.dropped.end(), same);
}

// The marks of the plan for this recording; before its first plan, the
// pieces between the cuts of the list. Kept as the marks drawn last.
std::shared_ptr<const PieceMarks> MarksToDraw(GraphState& g, const WaveData& wave) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    if (!g.marks || g.marks->recording != wave.recording) g.marks = MarksOfCuts(g, wave);
    return g.drawnMarks = g.marks;
}

bool Summarised(GraphState& g, const WaveData& wave) {
    if (wave.summary) return true;
    std::lock_guard<std::mutex> lock(g.summaryMutex);
    return g.summary && g.summaryRecording == wave.recording;
}

// The summary of `wave`, made now when it has none (the progress bar follows).
std::shared_ptr<const WaveSummary> SummaryFor(GraphState& g, const WavePtr& wave, WindowReport& report) {
    GraphState& graph = g;
    std::lock_guard<std::mutex> lock(graph.summaryMutex);
    if (graph.summary && graph.summaryRecording == wave->recording) return graph.summary;
    if (wave->summary) {  // made by the load
        graph.summary = wave->summary;
        graph.summaryRecording = wave->recording;
        return graph.summary;
    }
    int shown = -1;
    auto progress = [&](int percent) {
        if (percent != shown) report.Progress(shown = percent);  // at most 101 messages
    };
    auto stop = [&] { return !IsLatestWave(g, wave) || report.Closing(); };
    const int threads = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    auto made = std::make_shared<const WaveSummary>(
        WaveSummary::Of(wave->bytes, wave->encoding(), wave->scaleSize() / 2, threads, progress, stop));
    if (!made->complete()) return made;  // given up: drawn from the samples, kept by nobody
    graph.summary = made;
    graph.summaryRecording = wave->recording;
    return made;
}

// Puts the drawing in place of the installed one unless a newer drawing, or
// one of a newer recording, is there; frees whichever is left over.
void Install(GraphState& g, GraphPicture& fresh, const WavePtr& wave) {
    GraphState& graph = g;
    std::lock_guard<std::mutex> lock(graph.pictureMutex);
    // The sequence alone is not enough: a drawing of an older file that
    // started late would win.
    if (!graph.released && fresh.sequence() > graph.picture.sequence() && IsLatestWave(g, wave))
        graph.picture = std::move(fresh);
}

}  // namespace

namespace {

// `told`: the status line and the bar follow the drawing (a load's, or one
// that must make the summary first).
void DrawGraph(GraphState& g, const WavePtr& wave, std::shared_ptr<const PieceMarks> marks, bool told) {
    if (!wave) return;
    if (!marks) marks = MarksToDraw(g, *wave);
    std::uint64_t sequence;
    {
        std::lock_guard<std::mutex> lock(g.sequenceMutex);
        sequence = ++g.nextSequence;
    }
    WindowReport& report = (*g.report);
    const bool summarising = told || !Summarised(g, *wave);
    if (summarising) {
        report.Status("WAVファイルのグラフを作成中...");
        report.ProgressBegin();
    }
    const SIZE size = GraphControlSize(g);
    const std::shared_ptr<const WaveSummary> summary = SummaryFor(g, wave, report);
    GraphPicture fresh(g.control, size.cx, size.cy, sequence);
    DrawPicture(fresh, *wave, *summary, *marks);
    Install(g, fresh, wave);
    if (summarising) {
        report.Status(wave->notice);
        report.ProgressEnd();
    }
    // A worker only invalidates; the window's own thread (a zoom, a redraw
    // for cuts) paints at once.
    if (GetWindowThreadProcessId(g.control, nullptr) == GetCurrentThreadId())
        PresentGraph(g);
    else
        Invalidate(g);
}

}  // namespace

// Only the summary takes time: a drawing from it (a zoom, new pieces) leaves
// the status line and the bar as they are.
void DrawWaveformGraph(GraphState& g, const WavePtr& wave, std::shared_ptr<const PieceMarks> marks) {
    DrawGraph(g, wave, std::move(marks), wave && !Summarised(g, *wave));
}

void StartGraphThread(GraphState& g, WavePtr wave) {
    {
        std::lock_guard<std::mutex> lock(g.sequenceMutex);
        g.latestRecording = wave->recording;
    }
    ++g.graphsInFlight;
    // Taken now, so a plan that comes before the drawing starts knows what it draws.
    std::shared_ptr<const PieceMarks> marks = MarksToDraw(g, *wave);
    std::thread([&g, wave, marks] {
        DrawGraph(g, wave, marks, true);
        --g.graphsInFlight;
    }).detach();
}

int GraphsInFlight(GraphState& g) { return g.graphsInFlight.load(); }

// The picture holds only the few colours the graph is drawn in, four bits a
// pixel: at the widest zoom that is 2.7 MB of fresh memory a step instead of
// the screen's 21 MB, most of a step's time on a machine slow to hand out pages.
GraphPicture::GraphPicture(HWND like, int width, int height, std::uint64_t sequence)
    : width_(width), height_(height), stride_((width * 4 + 31) / 32 * 4), sequence_(sequence) {
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colours[16];
    } info{};
    info.header.biSize = sizeof info.header;
    info.header.biWidth = width;
    info.header.biHeight = -height;  // top row first
    info.header.biPlanes = 1;
    info.header.biBitCount = 4;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = 16;
    int k = 0;
    for (COLORREF c : kPalette) info.colours[k++] = RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0};
    WindowDc controlDc(like);
    dc_ = CreateCompatibleDC(controlDc.get());
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = bitmap_ ? static_cast<std::uint8_t*>(bits) : nullptr;
    original_ = SelectObject(dc_, bitmap_);
}

// Row by row: going down a column instead would step a whole row each pixel,
// and at some widths (a row of 16 KiB at the widest) every step lands in the
// same cache set.
void GraphPicture::PaintStrokes(const std::vector<RowSpan>& strokes, std::uint8_t colour) {
    if (!bits_) return;
    const int count = std::min(static_cast<int>(strokes.size()), width_ + 1);
    auto covers = [&](int x, int y) {
        if (x >= count) return false;
        const RowSpan& s = strokes[static_cast<std::size_t>(x)];
        return s.top <= y && y <= s.bottom;
    };
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* line = bits_ + static_cast<std::size_t>(y) * stride_;
        for (int column = 0; column < width_; ++column) {
            if (!covers(column, y) && !covers(column + 1, y)) continue;
            const int shift = column % 2 == 0 ? 4 : 0;  // the left pixel of a byte is its high half
            std::uint8_t& at = line[column / 2];
            at = static_cast<std::uint8_t>((at & (0x0F << (4 - shift))) | (colour << shift));
        }
    }
}

GraphPicture& GraphPicture::operator=(GraphPicture&& other) noexcept {
    if (this == &other) return *this;
    Free();
    dc_ = other.dc_;
    bitmap_ = other.bitmap_;
    original_ = other.original_;
    bits_ = other.bits_;
    width_ = other.width_;
    height_ = other.height_;
    stride_ = other.stride_;
    sequence_ = other.sequence_;
    other.dc_ = nullptr;
    other.bitmap_ = nullptr;
    other.original_ = nullptr;
    other.bits_ = nullptr;
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
    bits_ = nullptr;
    width_ = 0;
    height_ = 0;
}

void AttachGraph(GraphState& state, WorkerState& workers, HWND control, HWND scrollBar, WindowReport& report) {
    state.workers = &workers;
    // Before the new procedure: its first message finds the state here.
    SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&state));
    state.staticProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GraphProc)));
    state.control = control;
    state.scrollBar = scrollBar;
    state.report = &report;
}

CutBook& CutEdits(GraphState& g) { return g.cutBook; }
CutList& Cuts(GraphState& g) { return g.cutBook.List(); }

SIZE GraphControlSize(GraphState& g) {
    RECT rc{};
    GetClientRect(g.control, &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

void AppendCutsWithLines(GraphState& g, const std::vector<CutWithColumn>& cuts, CutOrigin origin) {
    {
        std::lock_guard<std::mutex> lock(g.pictureMutex);
        const int height = GraphControlSize(g).cy;
        // With a plan to follow, its drawing shows the boundaries it keeps, and
        // a line drawn here would stay where the plan drops the cut.
        const bool draw = g.picture.dc() && !g.cutsChanged;
        std::vector<double> positions;
        positions.reserve(cuts.size());
        for (const CutWithColumn& cut : cuts) {
            if (draw) DrawCutLine(g.picture.dc(), TruncToInt32(cut.column), height);
            positions.push_back(cut.position);
        }
        CutEdits(g).Append(positions, origin);  // one undo step for the whole batch
    }
    PresentGraph(g);  // one paint for the whole batch
    if (g.cutsChanged) g.cutsChanged();
}

void PresentGraph(GraphState& g) {
    Invalidate(g);
    UpdateWindow(g.control);
}

namespace {

// One of the lines painted over the picture, moved to `column`.
void MoveOverLine(GraphState& g, int GraphState::*line, int column) {
    int old;
    {
        std::lock_guard<std::mutex> lock(g.pictureMutex);
        if (column == g.*line) return;
        old = g.*line;
        g.*line = column;
    }
    // Only the column the line leaves and the one it reaches are painted again.
    if (old != kNoPlayLine) Invalidate(g, old);
    if (column != kNoPlayLine) Invalidate(g, column);
    UpdateWindow(g.control);
}

}  // namespace

void SetPlayLine(GraphState& g, int column) { MoveOverLine(g, &GraphState::playColumn, column); }
void SetDragLine(GraphState& g, int column) { MoveOverLine(g, &GraphState::dragColumn, column); }

int PlayLineColumn(GraphState& g) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    return g.playColumn;
}

void RedrawGraphForCuts(GraphState& g) {
    if (g.cutsChanged)
        g.cutsChanged();  // the new plan redraws the graph
    else if (WavePtr wave = CurrentWave(*g.workers))
        DrawWaveformGraph(g, wave);
}

void ShowPieceMarks(GraphState& g, std::shared_ptr<const PieceMarks> marks) {
    {
        std::lock_guard<std::mutex> lock(g.pictureMutex);
        // The same pieces as the drawing made or under way: nothing to draw again.
        const bool same = g.drawnMarks && SameMarks(*g.drawnMarks, *marks);
        g.marks = std::move(marks);
        if (same) return;
    }
    WavePtr wave = CurrentWave(*g.workers);
    if (!wave) return;
    // Without a summary yet, a drawing thread waits for it: the window goes on.
    if (Summarised(g, *wave))
        DrawWaveformGraph(g, wave);
    else
        StartGraphThread(g, wave);
}

void ClearGraphView(GraphState& g) {
    {
        std::lock_guard<std::mutex> lock(g.pictureMutex);
        g.picture.Free();
    }
    InvalidateRect(g.control, nullptr, TRUE);
}

void ReleaseGraphView(GraphState& g) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    g.picture.Free();
    g.released = true;
}

SIZE GraphViewSize(GraphState& g) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    return {g.picture.width(), g.picture.height()};
}

bool ReadGraphPixels(GraphState& g, std::uint32_t* pixels, int width, int height) {
    std::lock_guard<std::mutex> lock(g.pictureMutex);
    if (!g.picture.dc() || width != g.picture.width() || height != g.picture.height()) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SelectObject(g.picture.dc(), g.picture.originalBitmap());
    int rows = GetDIBits(g.picture.dc(), g.picture.bitmap(), 0, static_cast<UINT>(height), pixels, &info, DIB_RGB_COLORS);
    SelectObject(g.picture.dc(), g.picture.bitmap());
    return rows == height;
}

}  // namespace tw
