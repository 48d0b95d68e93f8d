// Bit-for-bit comparison of two measurements, field by field, so a failure
// names the field that differs.
#pragma once

#include <doctest.h>

#include <cstring>

#include "core/wave/wave_stats.h"

namespace tw {

template <typename T>
bool SameBits(T a, T b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

inline void CheckSameStats(const WaveStats& got, const WaveStats& want) {
    CHECK(SameBits(got.peak, want.peak));
    CHECK(SameBits(got.nadir, want.nadir));
    CHECK(SameBits(got.smallestPositive, want.smallestPositive));
    CHECK(SameBits(got.sum, want.sum));
    CHECK(SameBits(got.average, want.average));
    if (!SameBits(got.sum, want.sum)) MESSAGE("sum " << got.sum << " want " << want.sum);
}

}  // namespace tw
