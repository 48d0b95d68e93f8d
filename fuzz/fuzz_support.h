// Helpers shared by the libFuzzer targets: a reader that takes typed values
// off the front of the input (zeros once it runs dry) and a check that
// aborts, so every broken invariant is a finding with its input saved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)

namespace fuzz {

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : p_(data), n_(size) {}

    std::size_t left() const { return n_; }
    const std::uint8_t* rest() const { return p_; }

    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
    std::uint64_t U64() { return Take(8); }
    std::int16_t I16() { return static_cast<std::int16_t>(U16()); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }
    double F64() {
        std::uint64_t bits = U64();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    float F32() {
        std::uint32_t bits = U32();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }

private:
    // Little-endian, missing bytes read as zero.
    std::uint64_t Take(std::size_t count) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (n_ == 0) break;
            v |= static_cast<std::uint64_t>(*p_) << (8 * i);
            ++p_;
            --n_;
        }
        return v;
    }

    const std::uint8_t* p_;
    std::size_t n_;
};

// A copy of the bytes that ends exactly at the end of its heap block and starts
// one byte into it, so AddressSanitizer sees any read past the end and the
// code under test never gets aligned data by luck.
class ExactBytes {
public:
    ExactBytes(const std::uint8_t* data, std::size_t size)
        : block_(static_cast<std::uint8_t*>(std::malloc(size + 1))), size_(size) {
        if (size) std::memcpy(block_ + 1, data, size);
    }
    ~ExactBytes() { std::free(block_); }
    ExactBytes(const ExactBytes&) = delete;
    ExactBytes& operator=(const ExactBytes&) = delete;
    const std::uint8_t* data() const { return block_ + 1; }
    std::size_t size() const { return size_; }

private:
    std::uint8_t* block_;
    std::size_t size_;
};

inline bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace fuzz
