#include "core/cut/hand_cut.h"

#include <cmath>
#include <cstdio>

namespace tw {

bool CutPositionForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, double* position) {
    // A cursor that has left the control when the click is handled places no cut.
    if (width <= 0 || x < 0 || x >= width || dataSize < 2) return false;  // no samples: nothing to cut
    double r = (static_cast<double>(dataSize) - 1.0) / (2.0 * width);
    double p = std::floor(x * r) + 3.0;
    if (std::fmod(p, 2.0) != 0.0) p += 1.0;
    *position = p;
    return true;
}

bool SampleIndexForClick(std::int32_t x, std::int32_t width, std::uint64_t dataSize, std::uint64_t* index) {
    if (width <= 0 || x < 0 || x >= width || dataSize == 0) return false;
    // 64-bit product: (D - 1) x cannot wrap for D < 2^33 and x < 2^31.
    std::uint64_t i = (static_cast<std::uint64_t>(dataSize) - 1) * static_cast<std::uint64_t>(x) /
                      (2 * static_cast<std::uint64_t>(width));
    if (i == 0) i = 1;
    if (i >= dataSize / 2) return false;
    *index = i;
    return true;
}

bool CutLineColumn(double entry, std::int32_t width, std::uint64_t dataSize, std::int32_t* column) {
    if (dataSize == 0) return false;
    double x = std::floor(2.0 * width * entry / dataSize - 1);
    if (!(x >= -2147483648.0 && x <= 2147483647.0)) return false;
    *column = static_cast<std::int32_t>(x);
    return true;
}

std::string CutTimeText(double position, std::uint32_t channels, std::uint32_t sampleRate) {
    // Negative, NaN or past 2^53: no sample of any recording.
    if (channels == 0 || sampleRate == 0 || !(position >= 0 && position < 9007199254740992.0)) return "";
    const std::uint64_t frame = static_cast<std::uint64_t>(position) / channels;
    // Whole seconds and the rest apart, so frame * 1000 cannot wrap.
    const std::uint64_t ms = frame / sampleRate * 1000 + frame % sampleRate * 1000 / sampleRate;
    const std::uint64_t seconds = ms / 1000;
    char text[48];
    if (seconds < 3600)
        std::snprintf(text, sizeof text, "%u.%03u", static_cast<unsigned>(seconds), static_cast<unsigned>(ms % 1000));
    else
        std::snprintf(text, sizeof text, "%llu:%02u:%02u.%03u", static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60),
                      static_cast<unsigned>(ms % 1000));
    return text;
}

}  // namespace tw
