#include "core/cut/hand_cut.h"

#include <cmath>

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

}  // namespace tw
