#include "core/view/window_place.h"

#include "core/view/saturate.h"

namespace tw {

namespace {

std::int64_t TruncFloat(float v) {
    if (v != v) return 0;
    // Far beyond any sum of two int32 halves, so adding an int32 stays in range.
    if (v >= 0x1p40f) return std::int64_t{1} << 40;
    if (v <= -0x1p40f) return -(std::int64_t{1} << 40);
    return static_cast<std::int64_t>(v);
}

}  // namespace

bool CenterOnScreenCoord(std::int32_t screen, std::int32_t lo, std::int32_t hi, std::int32_t offset,
                         std::int32_t* out) {
    if (screen == 0) return false;
    float half = static_cast<float>(screen) / 2.0f;
    float mid = static_cast<float>(static_cast<std::int64_t>(lo) + hi) / 2.0f;
    float halfWidth = mid - static_cast<float>(lo);
    float v = half - halfWidth;
    std::int64_t x = TruncFloat(v) + offset;
    if (x < 0) {
        x = 0;
    } else if (x > screen) {
        x = static_cast<std::int64_t>(screen) - (static_cast<std::int64_t>(hi) - lo);
    }
    *out = Saturate(x);
    return true;
}

std::int32_t CenterOnOwnerCoord(std::int32_t refLo, std::int32_t refHi, std::int32_t lo, std::int32_t hi) {
    float refMid = static_cast<float>(static_cast<std::int64_t>(refLo) + refHi) / 2.0f;
    float mid = static_cast<float>(static_cast<std::int64_t>(lo) + hi) / 2.0f;
    float halfWidth = mid - static_cast<float>(lo);
    float v = refMid - halfWidth;
    return Saturate(TruncFloat(v));
}

}  // namespace tw
