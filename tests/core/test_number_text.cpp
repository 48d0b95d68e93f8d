#include <doctest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "core/support/number_text.h"

using namespace tw;

namespace {
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string DigitText(const DigitRecord& r) {
    std::string s;
    for (std::uint8_t d : r.digits) s += static_cast<char>('0' + d);
    return s;
}

bool SameDouble(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

bool InAlphabet(const std::string& s) {
    for (char c : s)
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e')) return false;
    return true;
}
}  // namespace

TEST_CASE("number text: FormatNumber table") {
    struct Row { double value; const char* text; };
    const Row rows[] = {
        {0.0, "0"},
        {-0.0, "0"},
        {kNaN, "0"},
        {-kNaN, "0"},
        {1.0, "1"},
        {-1.0, "-1"},
        {0.5, "0.5"},
        {12.5, "12.5"},
        {100.0, "100"},
        {32767.0, "32767"},
        {-32768.0, "-32768"},
        {44100.0, "44100"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {-1.0 / 7.0, "-0.142857142857143"},
        {0.1 + 0.2, "0.3"},
        {3.14159265358979323846, "3.14159265358979"},
        {-6.02059991327962390427, "-6.02059991327962"},
        // Correct rounding would give ...346; the fixed step order gives 347.
        {std::sqrt(113.0), "10.6301458127347"},
        {0.0001, "0.0001"},
        {0.00012345, "0.00012345"},
        {0.00001, "1.00000000000000e-05"},
        {0.000099999, "9.99990000000000e-05"},
        {-0.000025, "-2.50000000000000e-05"},
        {1e-100, "1.00000000000000e-100"},
        {99999999999999.0, "99999999999999"},
        {123456789012345.0, "123456789012345"},
        {999999999999999.0, "1.00000000000000e+015"},
        {1e15, "1.00000000000000e+015"},
        {1234567890123456.0, "1.23456789012346e+015"},
        {1e20, "1.00000000000000e+020"},
        {-1e20, "-1.00000000000000e+020"},
        {1e100, "1.00000000000000e+100"},
        {9.99999999999999, "10"},
        {std::nextafter(1.0, 0.0), "1"},

        // Fixed/exponent switch below 1: E = -3 is the last fixed exponent.
        {0.001, "0.001"},
        {0.000999, "0.000999"},
        {0.00010000000000001, "0.00010000000000001"},
        {0.00009, "9.00000000000000e-05"},
        {-0.0001, "-0.0001"},
        {1.0 / 3.0 * 1e-3, "0.000333333333333333"},
        {1.0 / 3.0 * 1e-4, "3.33333333333333e-05"},
        // ... and at the top: E = 15 fixed, E = 16 exponent form.
        {1e14, "100000000000000"},
        {-123456789012345.0, "-123456789012345"},
        {999999999999990.0, "999999999999990"},
        {-1e15, "-1.00000000000000e+015"},
        {1e16, "1.00000000000000e+016"},
        {1e99, "1.00000000000000e+099"},
        {1.5e-10, "1.50000000000000e-10"},
        {1e-99, "1.00000000000000e-99"},
        {-1e-101, "-1.00000000000000e-101"},
        // Extremes of the double range.
        {DBL_MAX, "1.79769313486232e+308"},
        {-DBL_MAX, "-1.79769313486232e+308"},
        {DBL_MIN, "2.22507385850720e-308"},
        {-DBL_MIN, "-2.22507385850720e-308"},
        {std::nextafter(DBL_MIN, 0.0), "2.22507385850720e-308"},
        {5e-324, "4.94065645841247e-324"},
        {-5e-324, "-4.94065645841247e-324"},
        {3 * 5e-324, "1.48219693752374e-323"},
        // Infinity has no digits of its own: it shows as the largest double.
        {kInf, "1.79769313486232e+308"},
        {-kInf, "-1.79769313486232e+308"},
        // Sample counts and sizes of a wave file stay exact integers.
        {4294967295.0, "4294967295"},
        {-2147483648.0, "-2147483648"},
    };
    for (const Row& r : rows) {
        CAPTURE(r.value);
        CHECK(FormatNumber(r.value) == r.text);
    }
}

TEST_CASE("number text: digit record") {
    DigitRecord r = GenerateDigits(32767.0);
    CHECK(DigitText(r) == "327670000000000");
    CHECK(r.exponent == 5);
    CHECK_FALSE(r.negative);

    r = GenerateDigits(-0.00012345);
    CHECK(DigitText(r) == "123450000000000");
    CHECK(r.exponent == -3);
    CHECK(r.negative);

    for (double z : {0.0, -0.0, kNaN}) {
        r = GenerateDigits(z);
        CHECK(DigitText(r) == "000000000000000");
        CHECK(r.exponent == 0);
        CHECK_FALSE(r.negative);
    }

    r = GenerateDigits(-kInf);
    CHECK(r.negative);
    CHECK(r.exponent == 309);
    CHECK(DigitText(r) == "179769313486232");

    // Short counts: the carry can leave the first digit.
    struct Row { double value; int count; const char* digits; int exponent; };
    const Row rows[] = {
        {9.6, 1, "100000000000000", 2},
        {9.4, 1, "900000000000000", 1},
        {0.96, 1, "100000000000000", 1},
        {12345.0, 3, "123000000000000", 5},
        {12355.0, 3, "124000000000000", 5},
        {99.6, 2, "100000000000000", 3},
        {7.0, 0, "700000000000000", 1},      // clamped to 1
        {1.0 / 3.0, 99, "333333333333333", 0},  // clamped to 15
    };
    for (const Row& row : rows) {
        CAPTURE(row.value);
        CAPTURE(row.count);
        r = GenerateDigits(row.value, row.count);
        CHECK(DigitText(r) == row.digits);
        CHECK(r.exponent == row.exponent);
    }
}

TEST_CASE("number text: FormatNumber sweep stays short and near the value") {
    std::mt19937_64 rng(20240607);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = rng();
        double x;
        std::memcpy(&x, &bits, sizeof x);
        if (i % 4 == 1) x = std::ldexp(static_cast<double>(rng() >> 11), static_cast<int>(rng() % 120) - 90);
        if (i % 4 == 2) x = static_cast<double>(static_cast<std::int64_t>(rng() >> 31)) - 4294967296.0;
        const std::string text = FormatNumber(x);
        CAPTURE(x);
        CAPTURE(text);
        REQUIRE(text.size() <= 22);
        REQUIRE(InAlphabet(text));
        if (std::isnan(x)) {
            REQUIRE(text == "0");
            continue;
        }
        if (std::isinf(x)) continue;
        const long double shown = std::strtold(text.c_str(), nullptr);
        if (x == 0) {
            REQUIRE(shown == 0);
        } else {
            const long double rel = std::fabs((shown - x) / static_cast<long double>(x));
            REQUIRE(rel < 1e-13L);
        }
        // Integers of up to 32 bits (sample counts, sizes) print exactly.
        if (i % 4 == 2) REQUIRE(text == std::to_string(static_cast<long long>(x)));
    }
}

TEST_CASE("number text: ParseNumber table") {
    struct Row { const char* text; double value; };
    const Row rows[] = {
        {"", 0.0},
        {"   ", 0.0},
        {"  42", 42.0},
        {"\t7", 7.0},
        {"-5", -5.0},
        {"+5", 5.0},
        {"3.25", 3.25},
        {".5", 0.5},
        {"5.", 5.0},
        {"-.5", -0.5},
        {"0.15", 0.1 + 0.05},
        {"00012", 12.0},
        {"12abc", 12.0},
        {"1,000", 1.0},
        {"1.2.3", 1.2},
        {"1e5", 1.0},
        {"1.5e3", 1.5},
        {"abc", 0.0},
        {"- 5", -0.0},
        {"+-5", 0.0},
        {"--5", -0.0},
        {"&H1F", 31.0},
        {"&h1f", 31.0},
        {"&HFF", 255.0},
        {"&H1A2B", 6699.0},
        {"&O17", 15.0},
        {"&o777", 511.0},
        {"&H1.5", 1.0},
        {"&H", 0.0},
        {"&O", 0.0},
        {"&", 0.0},
        {"&B101", 0.0},
        {"&HG", 0.0},
        {"&O8", 0.0},
        {"-&H10", -0.0},
        {" &H10", 16.0},
        {"12 34", 12.0},

        {"-", -0.0},
        {"+", 0.0},
        {".", 0.0},
        {"-0", -0.0},
        {"\n5", 0.0},           // only blanks and tabs are skipped
        {" \t -3.5x", -3.5},
        {"+ 5", 0.0},
        {"&o78", 7.0},
        {"&hfF", 255.0},
        {"& H1", 0.0},
        {"&h-1", 0.0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text);
        const double got = ParseNumber(r.text);
        CHECK(SameDouble(got, r.value));
    }
    CHECK(ParseNumber("0.15") != 0.15);
    CHECK(ParseNumber("0.15") == std::nextafter(0.15, 1.0));
}

TEST_CASE("number text: ParseNumber on long digit runs") {
    const std::string zeros400(400, '0');
    struct Row { std::string text; double value; };
    const Row rows[] = {
        // Integer part past the double range: infinite, never NaN.
        {"1" + zeros400, kInf},
        {"-1" + zeros400, -kInf},
        {"9" + zeros400 + ".5", kInf},
        {std::string(309, '9'), kInf},
        // Leading zeros beyond the range add nothing.
        {zeros400 + "1", 1.0},
        {"-" + zeros400, -0.0},
        {zeros400 + ".25", 0.25},
        // Fraction digits past the range of the scale add nothing either.
        {"0." + zeros400 + "1", 0.0},
        {"3." + zeros400 + "7", 3.0},
        // Based numbers wrap like a signed 64-bit integer.
        {"&H8000000000000000", -9223372036854775808.0},
        {"&HF000000000000000", -1152921504606846976.0},
        {"&H10000000000000000", 0.0},
        {"&H1" + zeros400, 0.0},
        {"&H" + zeros400 + "1F", 31.0},
        {"&O1" + std::string(21, '0'), -9223372036854775808.0},
        {"&O2" + std::string(21, '0'), 0.0},
        {"&O1" + std::string(22, '0'), 0.0},
        // Pieces are summed in double: the low bits of 2^60 - 1 are lost before
        // the top digit takes 2^60 away again.
        {"&H" + std::string(400, 'f'), 0.0},
        {"&H7FFFFFFFFFFFFFFF", 9223372036854775808.0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text.substr(0, 30));
        CHECK(SameDouble(ParseNumber(r.text), r.value));
    }

    // 308 zeros is still in range.
    CHECK(ParseNumber("1" + std::string(308, '0')) == doctest::Approx(1e308));
    std::string third = "0." + std::string(500, '3');
    CHECK(ParseNumber(third) == doctest::Approx(1.0 / 3.0));
}

TEST_CASE("number text: ParseNumber ignores bytes outside ASCII") {
    struct Row { const char* text; double value; };
    const Row rows[] = {
        {"\x83\x5C" "12", 0.0},
        {"12\x83\x5C" "34", 12.0},
        {"1\x82\x4F", 1.0},          // full-width digit zero is not a digit
        {"\x82\x50", 0.0},           // full-width one
        {"&H1\xE0" "F", 1.0},
        {"&\xC8" "1", 0.0},
        {"&H\x83\x5C", 0.0},
        {"-\xA0" "5", -0.0},
        {"\xA0" "5", 0.0},           // half-width katakana byte is not a blank
        {"3.\x83" "5", 3.0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.text);
        CHECK(SameDouble(ParseNumber(r.text), r.value));
    }

    for (int b = 0x80; b <= 0xFF; ++b) {
        const char lead[] = {static_cast<char>(b), '7', 0};
        const char tail[] = {'7', static_cast<char>(b), '7', 0};
        const char based[] = {'&', 'H', static_cast<char>(b), '7', 0};
        CAPTURE(b);
        CHECK(SameDouble(ParseNumber(lead), 0.0));
        CHECK(ParseNumber(tail) == 7.0);
        CHECK(SameDouble(ParseNumber(based), 0.0));
    }

    std::mt19937 rng(77);
    for (int i = 0; i < 20000; ++i) {
        std::string s(rng() % 40, '\0');
        for (char& c : s) c = static_cast<char>(rng());
        const double v = ParseNumber(s);
        CHECK_FALSE(std::isnan(v));
    }
}

TEST_CASE("number text: shown numbers read back") {
    std::mt19937_64 rng(5);
    for (int i = 0; i < 20000; ++i) {
        const double x = std::ldexp(static_cast<double>(rng() >> 11), -53) * 1e6 - 5e5;
        const std::string text = FormatNumber(x);
        CAPTURE(text);
        CHECK(ParseNumber(text) == doctest::Approx(x).epsilon(1e-14));
    }
    for (int n = -40000; n <= 40000; ++n) CHECK(ParseNumber(FormatNumber(n)) == n);
}

TEST_CASE("number text: saturating int32 conversions") {
    struct Row { double value; std::int32_t trunc; };
    const Row rows[] = {
        {0.0, 0},
        {-0.0, 0},
        {2.5, 2},
        {-2.5, -2},
        {-3.0, -3},
        {-5e-324, 0},
        {0.999999, 0},
        {2147483647.0, INT32_MAX},
        {2147483647.9, INT32_MAX},
        {2147483648.0, INT32_MAX},
        {-2147483648.0, INT32_MIN},
        {-2147483648.5, INT32_MIN},
        {-2147483647.5, -2147483647},
        {-2147483649.0, INT32_MIN},
        {1e300, INT32_MAX},
        {-1e300, INT32_MIN},
        {kInf, INT32_MAX},
        {-kInf, INT32_MIN},
        {kNaN, 0},
    };
    for (const Row& r : rows) {
        CAPTURE(r.value);
        CHECK(TruncToInt32(r.value) == r.trunc);
    }
}
