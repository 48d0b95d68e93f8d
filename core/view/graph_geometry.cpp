#include "core/view/graph_geometry.h"

#include <cmath>

namespace tw {

double GraphAmplitude(std::int32_t peak, std::int32_t nadir) {
    double p = peak;
    double z = std::fabs(static_cast<double>(nadir));
    return z > p ? z : p;
}

double VerticalScale(double amplitude, std::int32_t height) {
    // A non-positive height gives no rows to fit; 1.0 avoids dividing by it.
    if (height <= 0) return 1.0;
    double h = height;
    if (amplitude > h / 2) return 2 * amplitude / h;
    return 1.0;
}


}  // namespace tw
