// A small fixed-seed generator, so tests and benchmarks make the same data on
// every run and every machine.
#pragma once

#include <cstdint>

namespace tw {

struct XorShift {
    std::uint64_t state;
    std::uint64_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    }
    // Uniform in [lo, hi].
    int Between(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
};

}  // namespace tw
