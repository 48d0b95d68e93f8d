// The time axis under the graph and the time and value under the pointer.
#include <windows.h>

#include <string>

#include "core/cut/hand_cut.h"
#include "core/support/number_text.h"
#include "core/view/time_axis.h"
#include "platform/win/handles_win.h"
#include "platform/win/text_win.h"
#include "shell/graph/view_win.h"

namespace tw {

namespace {

// Labels stand at least this far apart: room for "1:02:03" and a gap.
constexpr int kTickSpacing = 64;

double Seconds(const WaveData& wave, double samples) {
    const double perSecond = static_cast<double>(wave.layout.channels) * wave.layout.sampleRate;
    return perSecond > 0 ? samples / perSecond : 0;
}

}  // namespace

void PaintTimeAxis(GraphState& g, const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    FillRect(dc, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    const WavePtr wave = CurrentWave(*g.workers);
    if (!wave || wave->sampleCount() == 0) return;
    RECT part{};
    GetClipBox(dc, &part);
    const int width = item.rcItem.right - item.rcItem.left;
    const double total = Seconds(*wave, static_cast<double>(wave->sampleCount()));
    const double step = AxisStep(total / width, kTickSpacing);
    // Labels start right of their tick: one that begins left of the part may reach into it.
    const auto ticks = AxisTicks(total, width, part.left - kTickSpacing, part.right, kTickSpacing);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    Selection font(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
    for (const AxisTick& t : ticks) {
        MoveToEx(dc, t.column, 0, nullptr);
        LineTo(dc, t.column, 4);
        const std::string label = AxisLabel(t.seconds, step);
        TextOutA(dc, t.column + 2, 1, label.c_str(), static_cast<int>(label.size()));
    }
}

void ShowPointerAt(GraphState& g, int x, int y) {
    // Windows also sends a move when something changes under a still pointer.
    if (x == g.pointer.x && y == g.pointer.y) return;
    g.pointer = {x, y};
    const WavePtr wave = CurrentWave(*g.workers);
    std::uint64_t index;
    if (!wave || wave->dataSize() == 0 || !SampleIndexForClick(x, GraphControlSize(g).cx, wave->scaleSize(), &index)) return;
    const double seconds = Seconds(*wave, static_cast<double>(index));
    // A place of its own: the status line keeps what the last run did.
    const std::string text = AnsiFromUtf8(TimeText(seconds)) + "  " + FormatNumber(wave->sample(index));
    if (g.pointerText) SetWindowTextA(g.pointerText, text.c_str());
}

}  // namespace tw
