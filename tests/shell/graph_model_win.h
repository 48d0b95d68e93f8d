// Shared by the graph and zoom tests: the picture the waveform graph must
// show, built pixel by pixel from the core's plan, and ways to read what the
// program really drew (its bitmap and the graph control on screen).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "shell/app/shell_win.h"
#include "harness_win.h"
#include "core/support/number_text.h"
#include "core/view/graph_geometry.h"
#include "shell/graph/view_win.h"
#include "core/wave/sample_format.h"
#include "core/wave/wave_format.h"

namespace gm {

constexpr std::uint32_t kGrey = 0x808080;
constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kCentre = 0x0C0C0C;
constexpr std::uint32_t kWhite = 0xFFFFFF;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB, top-down
    std::uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF; }
    void set(int x, int y, std::uint32_t c) {
        if (x >= 0 && x < width && y >= 0 && y < height) pixels[static_cast<size_t>(y) * width + x] = c;
    }
};

// The installed bitmap, or an empty picture when there is none.
inline Picture InstalledPicture() {
    Picture p;
    SIZE size = twt::GraphViewSize();
    if (size.cx <= 0 || size.cy <= 0) return p;
    p.width = size.cx;
    p.height = size.cy;
    p.pixels.assign(static_cast<size_t>(p.width) * p.height, 0);
    if (!twt::ReadGraphPixels(p.pixels.data(), p.width, p.height)) return Picture{};
    for (auto& px : p.pixels) px &= 0xFFFFFF;
    return p;
}

inline SIZE GraphControlSize() {
    RECT rc{};
    GetClientRect(twt::Control(1000), &rc);
    return {rc.right - rc.left, rc.bottom - rc.top};
}

// The samples at the drawn indices only are needed; the caller supplies them.
using SampleFn = std::function<std::int16_t(std::uint64_t)>;

constexpr std::uint32_t kOddPiece = 0x969696;

// Where a cut's line goes, kept to [-1, width] as the ground of the pieces is.
inline int LineColumn(double cut, int width, std::uint64_t dataSize) {
    std::int32_t c;
    if (!tw::CutLineColumn(cut, width, dataSize, &c)) return -1;
    return std::min(std::max(c, -1), width);
}

// The picture for data of `dataSize` bytes with the peak and nadir the
// program shows, at width x height, with `cuts` in the cut list: every other
// piece on a lighter ground, a white line at each piece's start, and each
// column's stroke from the lowest to the highest of its samples (found here
// sample by sample), joined to the sample before them.
//
// A 2-pixel pen from (x, a) to (x, b) paints, under Wine's GDI, columns x-1
// and x from row min(a, b) - 1 to row max(a, b): the round end cap adds the
// row above the upper end, and a zero-length stroke paints a 2 x 2 dot.
inline Picture ExpectedPicture(int width, int height, std::uint64_t dataSize, std::int32_t peak, std::int32_t nadir,
                               const SampleFn& sampleAt, const std::vector<double>& cuts, unsigned channels = 1) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(static_cast<size_t>(width) * height, kGrey);
    for (int x = 0; x < width; ++x) {
        p.set(x, 0, kBlack);
        p.set(x, height - 1, kBlack);
    }
    for (int y = 0; y < height; ++y) {
        p.set(0, y, kBlack);
        p.set(width - 1, y, kBlack);
    }
    const std::uint64_t n = dataSize / 2;
    std::vector<double> starts{0};
    std::vector<double> sorted = cuts;
    std::sort(sorted.begin(), sorted.end());
    for (double c : sorted) {
        const double at = std::floor(c / channels) * channels;  // a boundary starts a frame
        if (at > starts.back() && at < static_cast<double>(n)) starts.push_back(at);
    }
    std::vector<int> lines;
    for (double s : starts) lines.push_back(LineColumn(s, width, dataSize));
    for (size_t k = 1; k < starts.size(); k += 2) {
        const int last = k + 1 < starts.size() ? lines[k + 1] : width - 1;
        for (int x = std::max(1, lines[k] + 1); x <= std::min(width - 2, last); ++x)
            for (int y = 1; y <= height - 2; ++y) p.set(x, y, kOddPiece);
    }
    std::vector<int> shown;  // the columns that get a line
    for (size_t k = 1; k < lines.size(); ++k)
        if (lines[k] >= 0 && lines[k] < width && (shown.empty() || shown.back() != lines[k])) shown.push_back(lines[k]);
    // Over the wave while they take at most a quarter of the columns, else under it.
    const bool over = shown.size() * 4 <= static_cast<size_t>(width);
    auto drawLines = [&] {
        for (int c : shown)
            for (int y = 1; y <= height - 3; ++y) p.set(c, y, kWhite);
    };
    if (!over) drawLines();
    const double scale = tw::VerticalScale(tw::GraphAmplitude(peak, nadir), height);
    const float half = static_cast<float>(height) / 2.0f;
    auto row = [&](int v) { return tw::TruncToInt32(static_cast<double>(half) + v / scale); };
    std::vector<int> low(static_cast<size_t>(width), 32767), high(static_cast<size_t>(width), -32768);
    for (std::uint64_t i = 0; i < n; ++i) {
        const int x = static_cast<int>(static_cast<unsigned __int128>(i) * static_cast<unsigned>(width) / n);
        const int v = sampleAt(i);
        const bool first = low[static_cast<size_t>(x)] > high[static_cast<size_t>(x)];
        if (first) low[static_cast<size_t>(x)] = high[static_cast<size_t>(x)] = i > 0 ? sampleAt(i - 1) : 0;
        low[static_cast<size_t>(x)] = std::min(low[static_cast<size_t>(x)], v);
        high[static_cast<size_t>(x)] = std::max(high[static_cast<size_t>(x)], v);
    }
    for (int x = 0; x < width; ++x) {
        if (low[static_cast<size_t>(x)] > high[static_cast<size_t>(x)]) continue;
        const int top = row(low[static_cast<size_t>(x)]) - 1, bottom = row(high[static_cast<size_t>(x)]);
        for (int y = std::max(top, 0); y <= std::min(bottom, height - 1); ++y) {
            p.set(x - 1, y, kBlue);
            p.set(x, y, kBlue);
        }
    }
    for (int x = 0; x < width; ++x) p.set(x, height / 2, kCentre);
    if (over) drawLines();
    return p;
}

inline std::string Hex6(std::uint32_t c) {
    char b[16];
    std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(c & 0xFFFFFF));
    return b;
}

// Exact comparison; reports how many pixels differ and the first few.
inline bool SamePicture(const Picture& got, const Picture& want, const std::string& what) {
    if (!twt::Check(got.width == want.width && got.height == want.height,
                    what + ": size " + std::to_string(got.width) + "x" + std::to_string(got.height) + " expected " +
                        std::to_string(want.width) + "x" + std::to_string(want.height)))
        return false;
    int wrong = 0;
    std::string first;
    for (int y = 0; y < want.height; ++y) {
        for (int x = 0; x < want.width; ++x) {
            if (got.at(x, y) == want.at(x, y)) continue;
            if (++wrong <= 5)
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") " + Hex6(got.at(x, y)) + " not " +
                         Hex6(want.at(x, y));
        }
    }
    return twt::Check(wrong == 0, what + ": " + std::to_string(wrong) + " pixels differ" + first);
}

// The part of the control inside the main window's client area: what the
// user can see of it (the rest lies outside after scrolling or zooming).
inline bool ControlShowsBitmap(const std::string& what) {
    Picture bitmap = InstalledPicture();
    if (!twt::Check(!bitmap.pixels.empty(), what + ": a bitmap is installed")) return false;
    HWND control = twt::Control(1000);
    RECT visible{};
    GetClientRect(tw::TheShell().main.handle, &visible);
    MapWindowPoints(tw::TheShell().main.handle, control, reinterpret_cast<POINT*>(&visible), 2);
    int x0 = std::max<int>(0, visible.left), x1 = std::min<int>(bitmap.width, visible.right);
    int y0 = std::max<int>(0, visible.top), y1 = std::min<int>(bitmap.height, visible.bottom);
    HDC dc = GetDC(control);
    int wrong = 0;
    std::string first;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            COLORREF c = GetPixel(dc, x, y);
            std::uint32_t rgb = (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
            if (rgb == bitmap.at(x, y)) continue;
            if (++wrong <= 3)
                first += " (" + std::to_string(x) + "," + std::to_string(y) + ") " + Hex6(rgb) + " not " +
                         Hex6(bitmap.at(x, y));
        }
    }
    ReleaseDC(control, dc);
    return twt::Check(wrong == 0 && x1 > x0 && y1 > y0, what + ": control shows the bitmap (" +
                                                               std::to_string(wrong) + " pixels differ)" + first);
}

// The peak and nadir as the program reads them back from its controls.
inline std::int32_t ShownNumber(int id) { return tw::TruncToInt32(tw::ParseNumber(twt::ControlText(id))); }

// The picture the program must have installed for `file` (a whole WAV file
// with a canonical header) at the graph control's current size.
// The data size of a canonical file as the window takes it: the header's,
// unless the file cannot hold it (0xFFFFFFFF, 0 with bytes behind, or more
// than there is): then the bytes up to the end of the file.
inline std::uint32_t HeldDataSize(const std::vector<std::uint8_t>& file) {
    const std::uint32_t claimed = static_cast<std::uint32_t>(file[40] | (file[41] << 8) | (file[42] << 16)) |
                                  (static_cast<std::uint32_t>(file[43]) << 24);
    const std::uint32_t held = static_cast<std::uint32_t>(file.size() - 44);
    return claimed == 0 || claimed == 0xFFFFFFFFu || claimed > held ? held : claimed;
}

inline Picture ExpectedForFile(const std::vector<std::uint8_t>& file, const std::vector<double>& cuts) {
    std::uint32_t dataSize = HeldDataSize(file);
    // Samples of another size: their values on the 16-bit scale, D = 2n.
    const tw::SampleEncoding encoding = tw::CheckWaveBytes(file.data(), file.size()).layout.encoding;
    const std::uint32_t bytes = tw::ContainerBytes(encoding);
    const std::uint64_t scale = encoding == tw::SampleEncoding::Pcm16 ? dataSize : 2ull * (dataSize / bytes);
    SIZE size = GraphControlSize();
    auto sampleAt = [&file, encoding, bytes](std::uint64_t i) -> std::int16_t {
        size_t at = 44 + bytes * static_cast<size_t>(i);
        if (at + bytes > file.size()) return 0;
        return tw::SampleValue(file.data() + at, encoding, 0);
    };
    const unsigned channels = tw::CheckWaveBytes(file.data(), file.size()).layout.channels;
    return ExpectedPicture(size.cx, size.cy, scale, ShownNumber(1011), ShownNumber(1014), sampleAt, cuts, channels);
}

// A large file written quickly: a canonical header and `samples` values of
// a fixed pseudo-random sequence (so the picture is busy everywhere).
inline std::int16_t BusySample(std::uint64_t i) {
    std::uint32_t v = static_cast<std::uint32_t>(i) * 2654435761u;
    v ^= v >> 15;
    return static_cast<std::int16_t>(v & 0xFFFF);
}

inline bool WriteBusyFile(const std::string& path, std::uint32_t samples) {
    std::vector<std::uint8_t> bytes = twt::WaveFile({}, 1, 44100, static_cast<std::int64_t>(samples) * 2);
    bytes.resize(44 + static_cast<size_t>(samples) * 2);
    for (std::uint32_t i = 0; i < samples; ++i) {
        std::int16_t s = BusySample(i);
        bytes[44 + 2 * static_cast<size_t>(i)] = static_cast<std::uint8_t>(s & 0xFF);
        bytes[45 + 2 * static_cast<size_t>(i)] = static_cast<std::uint8_t>((s >> 8) & 0xFF);
    }
    return twt::WriteFileBytes(path, bytes);
}

// Waits for the loads and drawings to end and checks that the installed
// picture is the one for `file` at the control's size.
inline bool CheckPictureOf(const std::vector<std::uint8_t>& file, const std::string& what) {
    twt::Check(twt::WaitIdle(), what + ": loads and drawings end");
    SIZE size = GraphControlSize();
    SIZE view = twt::GraphViewSize();
    twt::Check(view.cx == size.cx && view.cy == size.cy,
               what + ": bitmap " + std::to_string(view.cx) + "x" + std::to_string(view.cy) + " is the control's " +
                   std::to_string(size.cx) + "x" + std::to_string(size.cy));
    return SamePicture(InstalledPicture(), ExpectedForFile(file, twt::Cuts().Snapshot()), what);
}

}  // namespace gm
