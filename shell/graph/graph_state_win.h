// What the graph keeps between messages: its controls, the picture, the cuts,
// the scroll position, the menu's column and the pause runs. One GraphState is
// owned by the shell's state and handed to AttachGraph; the graph control
// finds it from its handle, and every function of the graph is passed it.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/cut/cut_edit.h"
#include "core/view/piece_marks.h"
#include "core/view/wave_summary.h"
#include "core/view/zoom_scroll.h"
#include "shell/workers/window_report_win.h"
#include "shell/workers/worker_state_win.h"

namespace tw {

// Rows top to bottom; top > bottom: none.
struct RowSpan {
    int top = 1;
    int bottom = 0;
};

// An off-screen picture of the graph: a memory DC with its bitmap selected,
// both freed with it (moving hands them over). Its pixels are 16 colours,
// four bits each, and can be written directly as well as drawn with GDI.
class GraphPicture {
public:
    GraphPicture() = default;
    GraphPicture(HWND like, int width, int height, std::uint64_t sequence);
    ~GraphPicture() { Free(); }
    GraphPicture(GraphPicture&& other) noexcept { *this = static_cast<GraphPicture&&>(other); }
    GraphPicture& operator=(GraphPicture&& other) noexcept;
    GraphPicture(const GraphPicture&) = delete;
    GraphPicture& operator=(const GraphPicture&) = delete;

    HDC dc() const { return dc_; }
    HBITMAP bitmap() const { return bitmap_; }
    HGDIOBJ originalBitmap() const { return original_; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint64_t sequence() const { return sequence_; }
    void Free();
    // Stroke x (for x < strokes.size()) sets columns x - 1 and x from its top
    // row to its bottom row, clipped to the picture, to palette entry `colour`
    // (after GdiFlush if GDI drew just before).
    void PaintStrokes(const std::vector<RowSpan>& strokes, std::uint8_t colour);

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    std::uint8_t* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;  // bytes a row
    std::uint64_t sequence_ = 0;
};

constexpr int kNoPlayLine = -0x7FFFFFFF - 1;
// The graph's height in the window as it opens.
constexpr int kGraphHeight = 165;

// A press on a cut line in cutting mode, held (the control has the capture)
// until it is released. Window's thread only.
struct CutDrag {
    bool pressed = false;
    bool moving = false;  // the pointer went sideways past the drag distance
    double from = 0;      // the entry being moved
    std::uint64_t recording = 0;
    POINT at{};           // where it was pressed, in the control's coordinates
    WPARAM keys = 0;      // the press's own wParam and lParam, for a plain click
    LPARAM point = 0;
};

struct GraphState {
    // What the main window attached: set once before any drawing.
    HWND control = nullptr;
    HWND scrollBar = nullptr;
    WindowReport* report = nullptr;
    WorkerState* workers = nullptr;  // the recording shown and its playback
    WNDPROC staticProc = nullptr;  // the control's own painting, used before any picture
    // The cuts the user has made on this window, with their undo.
    CutBook cutBook;

    std::mutex pictureMutex;  // guards picture, released and playColumn, and all drawing into the picture
    GraphPicture picture;
    bool released = false;   // set once the window goes: later drawings are discarded
    int playColumn = kNoPlayLine;
    int dragColumn = kNoPlayLine;  // the line of a cut being dragged
    std::mutex sequenceMutex;  // guards the two below
    std::uint64_t nextSequence = 0;
    // The recording most recently handed to a graph thread (never holding its
    // samples in memory).
    std::uint64_t latestRecording = 0;
    std::atomic<int> graphsInFlight{0};

    // The time axis under the graph, moved and sized with it.
    HWND axis = nullptr;
    // The graph's width when not zoomed and its height: the window's size
    // less the controls around it. Window's thread only, like the rest below.
    int startWidth = kGraphStartWidth;
    int height = kGraphHeight;
    POINT pointer{-1, -1};  // where the pointer was last seen over the graph
    ScrollValues scroll;
    // The graph column of the last left click or of the right-click menu:
    // what the menu's items and their keys act on.
    int clickColumn = 0;
    // Whether a left click cuts (the main window's cutting-mode toggle).
    std::function<bool()> cutting;
    CutDrag drag;
    int wheelTurned = 0;  // wheel turns short of a whole notch
    std::atomic<int> pauseJobs{0};  // started and not yet finished on the window's thread
    // The pieces the next save writes, as the graph marks them (guarded by
    // pictureMutex); those of another recording are not drawn.
    std::shared_ptr<const PieceMarks> marks;
    std::shared_ptr<const PieceMarks> drawnMarks;  // those of the drawing started last
    // Where the time and value under the pointer are shown.
    HWND pointerText = nullptr;
    // Told on the window's thread after every change of the cuts.
    std::function<void()> cutsChanged;
    // The recording's lowest and highest values, made once per recording by
    // the first drawing that needs it (a second waits for it).
    std::mutex summaryMutex;
    std::shared_ptr<const WaveSummary> summary;
    std::uint64_t summaryRecording = 0;
};

}  // namespace tw
