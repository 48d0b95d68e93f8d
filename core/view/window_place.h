// Where a window goes when it is centred: on the screen, or on its owner.
#pragma once

#include <cstdint>

namespace tw {

// CenterWindowOnScreen's x (or y): single-precision halves, truncated, then
// clamped as the program does. Returns false for a zero screen size.
bool CenterOnScreenCoord(std::int32_t screen, std::int32_t lo, std::int32_t hi, std::int32_t offset,
                         std::int32_t* out);
// CenterWindowOnOwner's x (or y), not clamped.
std::int32_t CenterOnOwnerCoord(std::int32_t refLo, std::int32_t refHi, std::int32_t lo, std::int32_t hi);

}  // namespace tw
