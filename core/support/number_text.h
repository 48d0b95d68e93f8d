// Conversions between doubles and the program's display text. Locale
// independent; every floating-point step is a separate double operation so the
// last digit shown is the same on every build.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

struct DigitRecord {
    std::uint8_t digits[15];   // d0..d14, value = +-0.d0d1..d14 x 10^exponent
    std::int32_t exponent;
    bool negative;
};

// The first step of FormatNumber. Only count 15 is used by the program;
// other counts (1..15) produce that many digits with the same rules; a carry
// out of the first digit (possible only below 15) gives 1 0 0.. with the
// exponent one higher. Counts outside 1..15 are clamped. An infinite value is
// read as the largest finite double of its sign.
DigitRecord GenerateDigits(double value, int count = 15);

// Never longer than 22 characters; NaN is "0"; +-infinity shows as +-DBL_MAX
// ("1.79769313486232e+308").
std::string FormatNumber(double value);

// Never fails: text that does not start with a number gives 0. A decimal
// integer part beyond the double range gives +-infinity; "&H"/"&O" digits wrap
// like a signed 64-bit integer.
double ParseNumber(std::string_view text);

// Truncation toward zero into int32 that saturates instead of being undefined
// for values outside the range; NaN gives 0.
std::int32_t TruncToInt32(double value);

}  // namespace tw
