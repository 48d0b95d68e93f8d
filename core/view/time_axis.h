// Times along the graph: the ticks of its time axis, and times as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw {

struct AxisTick {
    std::int32_t column;
    double seconds;
};

// The step between ticks, from a fixed ladder (1 ms .. 10 h), so ticks stand
// at least minSpacing columns apart at secondsPerColumn; 0 when nothing fits.
double AxisStep(double secondsPerColumn, std::int32_t minSpacing);
// The ticks of a graph `width` columns wide showing totalSeconds, those in
// columns [fromColumn, toColumn) only (the part being painted).
std::vector<AxisTick> AxisTicks(double totalSeconds, std::int32_t width, std::int32_t fromColumn, std::int32_t toColumn,
                                std::int32_t minSpacing);
// A tick's label, as fine as its step needs: "45", "12.5", "1:05", "1:02:03".
std::string AxisLabel(double seconds, double step);
// A time as the window shows it, in whole milliseconds cut down: "12.345 秒"
// under a minute, else "1:02.345" or "1:02:03.456".
std::string TimeText(double seconds);

}  // namespace tw
