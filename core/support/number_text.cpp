#include "core/support/number_text.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace tw {
namespace {

// Normalisation bounds: just below 1 and just below 10, so that a value whose
// fifteen significant digits are all 9 moves up to the next power of ten.
constexpr double kLowerBound = 0x1.ffffffffffff7p-1;  // 1 - 9 * 2^-53
constexpr double kUpperBound = 0x1.3fffffffffffap+3;  // 10 - 3 * 2^-48
static_assert(kLowerBound == 1.0 - 9.0 * 0x1p-53, "lower bound");
static_assert(kUpperBound == 10.0 - 3.0 * 0x1p-48, "upper bound");

// Forces one rounding to double: the volatile store keeps the compiler from
// fusing a product with the following sum (FMA contraction) or carrying
// excess precision, either of which would change the last digit.
double Rounded(double x) {
    volatile double r = x;
    return r;
}

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

unsigned char AsciiUpper(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Digit value in the given base, or -1. Letters are compared upper-cased.
int BasedDigit(unsigned char c, int base) {
    c = AsciiUpper(c);
    if (base == 8) return (c >= '0' && c <= '7') ? c - '0' : -1;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Two's-complement reinterpretation without relying on the
// implementation-defined unsigned-to-signed conversion.
std::int64_t AsSigned(std::uint64_t u) {
    if (u <= static_cast<std::uint64_t>(INT64_MAX)) return static_cast<std::int64_t>(u);
    return -static_cast<std::int64_t>(~u) - 1;
}

// "&O..." / "&H..." from the "&" on. Place values wrap modulo 2^64, so digits
// beyond the 64-bit range (more than 16 hexadecimal or 22 octal digits) add
// nothing and the top digit may turn the sum negative, like a signed 64-bit
// integer read in pieces.
double ParseBased(std::string_view text) {
    if (text.size() < 2) return 0;
    const unsigned char prefix = AsciiUpper(static_cast<unsigned char>(text[1]));
    int base;
    if (prefix == 'O') base = 8;
    else if (prefix == 'H') base = 16;
    else return 0;

    std::size_t end = 2;
    while (end < text.size() && BasedDigit(static_cast<unsigned char>(text[end]), base) >= 0) ++end;

    double result = 0.0;
    std::uint64_t place = 1;
    for (std::size_t i = end; i > 2; --i) {
        const auto digit = static_cast<std::uint64_t>(BasedDigit(static_cast<unsigned char>(text[i - 1]), base));
        result = result + static_cast<double>(AsSigned(digit * place));
        place *= static_cast<std::uint64_t>(base);
    }
    return result;
}

void AppendDigit(char* out, int& n, int d) { out[n++] = static_cast<char>('0' + d); }

}  // namespace

// Infinity cannot be normalised (dividing it by ten never ends), so it is
// shown as the largest finite double of the same sign: the nearest value the
// text can stand for, within the digit alphabet and the 22-character limit.
// Counts below 15 can carry out of the first digit (9.6 to one digit); the
// record then becomes 1 followed by zeros with the exponent one higher.
DigitRecord GenerateDigits(double value, int count) {
    DigitRecord rec{};
    if (count < 1) count = 1;
    if (count > 15) count = 15;

    // NaN compares unordered and is treated as zero, as is negative zero.
    if (!(value < 0.0 || value > 0.0)) return rec;

    if (value < 0.0) {
        rec.negative = true;
        value = value * -1.0;
    }
    if (std::isinf(value)) value = DBL_MAX;

    std::int32_t e = 1;
    while (value < kLowerBound) {
        value = Rounded(value * 10.0);
        e = e - 1;
    }
    while (value >= kUpperBound) {
        value = Rounded(value / 10.0);
        e = e + 1;
    }

    for (int i = 0; i < count; ++i) {
        // value is in [0, 10) here, so the conversion is in range.
        const int d = static_cast<int>(std::floor(value));
        rec.digits[i] = static_cast<std::uint8_t>(d);
        value = Rounded(value - d);
        value = Rounded(value * 10.0);
    }

    if (value >= 5.0) {
        int i = count - 1;
        for (; i >= 0; --i) {
            if (rec.digits[i] == 9) {
                rec.digits[i] = 0;
            } else {
                ++rec.digits[i];
                break;
            }
        }
        if (i < 0) {
            rec.digits[0] = 1;
            e = e + 1;
        }
    }
    rec.exponent = e;
    return rec;
}

std::string FormatNumber(double value) {
    const DigitRecord rec = GenerateDigits(value, 15);
    const std::int32_t e = rec.exponent;

    char out[32];
    int n = 0;
    if (rec.negative) out[n++] = '-';

    if (e > 15 || e < -3) {
        AppendDigit(out, n, rec.digits[0]);
        out[n++] = '.';
        for (int i = 1; i < 15; ++i) AppendDigit(out, n, rec.digits[i]);
        out[n++] = 'e';
        // "+%03d" for positive exponents, "%03d" (sign inside the width) for
        // negative ones. |E - 1| is at most 324 for any double.
        std::int32_t x = e - 1;
        int minDigits = 3;
        if (x < 0) {
            out[n++] = '-';
            x = -x;
            minDigits = 2;
        } else {
            out[n++] = '+';
        }
        char rev[12];
        int r = 0;
        do {
            rev[r++] = static_cast<char>('0' + x % 10);
            x /= 10;
        } while (x > 0);
        while (r < minDigits) rev[r++] = '0';
        while (r > 0) out[n++] = rev[--r];
    } else {
        if (e > 0) {
            for (int i = 0; i < e; ++i) AppendDigit(out, n, rec.digits[i]);
            out[n++] = '.';
            for (int i = e; i < 15; ++i) AppendDigit(out, n, rec.digits[i]);
        } else {
            out[n++] = '0';
            out[n++] = '.';
            for (int i = 0; i < -e; ++i) out[n++] = '0';
            for (int i = 0; i < 15; ++i) AppendDigit(out, n, rec.digits[i]);
        }
        // The point is always present, so this stops there at the latest.
        while (out[n - 1] == '0') --n;
        if (out[n - 1] == '.') --n;
    }
    return std::string(out, static_cast<std::size_t>(n));
}

// A decimal integer part long enough to overflow the scale (over 308 digits)
// does not produce NaN from 0 x infinity: zero digits add nothing, and any
// non-zero digit at an infinite scale makes the result infinite.
double ParseNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    if (pos < text.size() && text[pos] == '&') return ParseBased(text.substr(pos));

    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    } else if (pos < text.size() && text[pos] == '+') {
        ++pos;
    }

    const std::size_t intStart = pos;
    while (pos < text.size() && IsDigit(static_cast<unsigned char>(text[pos]))) ++pos;

    double result = 0.0;
    double scale = 1.0;
    for (std::size_t i = pos; i > intStart; --i) {
        const int digit = text[i - 1] - '0';
        // Adding +0.0 to a non-negative sum changes nothing, so skipping zero
        // digits only matters once the scale is infinite (0 x inf is NaN).
        if (digit != 0) result = Rounded(result + Rounded(digit * scale));
        scale = Rounded(scale * 10.0);
    }

    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        scale = 10.0;
        while (pos < text.size() && IsDigit(static_cast<unsigned char>(text[pos]))) {
            const int digit = text[pos] - '0';
            result = Rounded(result + Rounded(digit / scale));
            scale = Rounded(scale * 10.0);
            ++pos;
        }
    }

    if (negative) result = result * -1.0;
    return result;
}

std::int32_t TruncToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0) return INT32_MAX;
    if (value <= -2147483649.0) return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

}  // namespace tw
