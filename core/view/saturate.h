// Screen and scroll coordinates come out of 64-bit or float arithmetic on any
// 32-bit inputs; saturating keeps the conversion back defined.
#pragma once

#include <cstdint>

namespace tw {

inline std::int32_t Saturate(std::int64_t v) {
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

}  // namespace tw
