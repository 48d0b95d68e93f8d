#include "core/view/time_axis.h"

#include <cmath>
#include <cstdio>

namespace tw {

namespace {

// Steps a reader counts in: decimal below a second, then the clock's own.
constexpr double kSteps[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 15, 30,
                             60, 120, 300, 600, 900, 1800, 3600, 7200, 18000, 36000};

// Decimals a step needs: 0.5 -> 1, 0.02 -> 2, 1 and more -> 0.
int Decimals(double step) {
    int d = 0;
    for (double s = step; d < 3 && s - std::floor(s + 1e-9) > 1e-9; s *= 10) ++d;
    return d;
}

// h:mm:ss / m:ss / s with `decimals` after the seconds.
// Rounded to the last decimal, or cut down to it (a time read off a position
// never says later than it is).
std::string Clock(double seconds, int decimals, bool alwaysMinutes, bool down = false) {
    const double scale = std::pow(10.0, decimals);
    const long long units = down ? static_cast<long long>(std::floor(seconds * scale + 1e-6)) : std::llround(seconds * scale);
    const long long whole = units / static_cast<long long>(scale);
    const long long fraction = units % static_cast<long long>(scale);
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    char text[48];
    int n;
    if (h > 0)
        n = std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else if (m > 0 || alwaysMinutes)
        n = std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    else
        n = std::snprintf(text, sizeof text, "%lld", s);
    if (decimals > 0)
        std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%0*d", decimals, static_cast<int>(fraction));
    return text;
}

}  // namespace

double AxisStep(double secondsPerColumn, std::int32_t minSpacing) {
    if (!(secondsPerColumn > 0) || minSpacing <= 0) return 0;
    for (double step : kSteps)
        if (step / secondsPerColumn >= minSpacing) return step;
    return 0;
}

std::vector<AxisTick> AxisTicks(double totalSeconds, std::int32_t width, std::int32_t fromColumn, std::int32_t toColumn,
                                std::int32_t minSpacing) {
    std::vector<AxisTick> ticks;
    if (width <= 0 || !(totalSeconds > 0)) return ticks;
    const double perColumn = totalSeconds / width;
    const double step = AxisStep(perColumn, minSpacing);
    if (step == 0) return ticks;
    const double first = std::ceil(std::max(0, fromColumn) * perColumn / step - 1e-9);
    for (double k = first;; ++k) {
        const double seconds = k * step;
        const double at = std::floor(seconds / perColumn + 1e-9);
        if (at >= toColumn || at >= width || seconds > totalSeconds) break;
        if (at >= fromColumn) ticks.push_back({static_cast<std::int32_t>(at), seconds});
    }
    return ticks;
}

std::string AxisLabel(double seconds, double step) { return Clock(seconds, Decimals(step), false); }

std::string TimeText(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    if (seconds > 9e15) seconds = 9e15;  // milliseconds still fit 64 bits
    if (seconds < 60 - 5e-7) return Clock(seconds, 3, false, true) + " 秒";
    return Clock(seconds, 3, true, true);
}

}  // namespace tw
