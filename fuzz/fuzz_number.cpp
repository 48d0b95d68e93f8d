// Number text: ParseNumber on any bytes, FormatNumber and GenerateDigits on
// any double (NaN, infinities and subnormals included), and the saturating
// integer conversions.
//
// Input: the whole input is parsed as text; its first 8 bytes are also a
// double to format and its ninth byte a digit count.
#include <cfloat>
#include <cmath>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "core/support/number_text.h"

using namespace tw;

namespace {

bool AllowedText(const std::string& text) {
    if (text.empty() || text.size() > 22) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e')) return false;
    return true;
}

void CheckFormat(double value) {
    const std::string text = FormatNumber(value);
    FUZZ_CHECK(AllowedText(text));
    FUZZ_CHECK(text == FormatNumber(value));  // no state between calls

    const bool zero = !(value < 0 || value > 0);  // NaN and both zeros
    if (zero) {
        FUZZ_CHECK(text == "0");
        return;
    }
    FUZZ_CHECK((text[0] == '-') == (value < 0));
    FUZZ_CHECK(text.find_first_of("123456789") != std::string::npos);

    const std::size_t e = text.find('e');
    if (e == std::string::npos) {
        // Fixed form: no exponent, reads back within the fifteen digits shown.
        const double back = ParseNumber(text);
        const double limit = std::fabs(value) * 1e-13;
        FUZZ_CHECK(std::fabs(back - value) <= limit);
        FUZZ_CHECK(text.back() != '.' && (text.find('.') == std::string::npos || text.back() != '0'));
    } else {
        // Exponent form: d.dddddddddddddde+XXX with a leading digit 1..9.
        const std::size_t start = text[0] == '-' ? 1 : 0;
        FUZZ_CHECK(e == start + 16);
        FUZZ_CHECK(text[start] >= '1' && text[start] <= '9');
        FUZZ_CHECK(text[start + 1] == '.');
        FUZZ_CHECK(text[e + 1] == '+' || text[e + 1] == '-');
        const double mantissa = std::fabs(ParseNumber(text));
        FUZZ_CHECK(mantissa >= 1 && mantissa < 10);
        const double exponent = ParseNumber(std::string_view(text).substr(e + 1));
        FUZZ_CHECK(exponent >= -324 && exponent <= 308);
        FUZZ_CHECK(exponent > 14 || exponent < -4);
    }
}

void CheckDigits(double value, int count) {
    const DigitRecord rec = GenerateDigits(value, count);
    for (std::uint8_t d : rec.digits) FUZZ_CHECK(d <= 9);
    const int used = count < 1 ? 1 : (count > 15 ? 15 : count);
    for (int i = used; i < 15; ++i) FUZZ_CHECK(rec.digits[i] == 0);
    if (value < 0 || value > 0) {
        FUZZ_CHECK(rec.negative == (value < 0));
        FUZZ_CHECK(rec.digits[0] != 0);
        FUZZ_CHECK(rec.exponent >= -323 && rec.exponent <= 310);
    } else {
        FUZZ_CHECK(!rec.negative && rec.exponent == 0 && rec.digits[0] == 0);
    }
}

void CheckIntegers(double value) {
    const std::int32_t t = TruncToInt32(value);
    if (std::isnan(value)) {
        FUZZ_CHECK(t == 0);
        return;
    }
    const double tr = std::trunc(value);
    if (tr >= INT32_MIN && tr <= INT32_MAX) FUZZ_CHECK(t == tr);
    else FUZZ_CHECK(t == (value > 0 ? INT32_MAX : INT32_MIN));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double parsed = ParseNumber(text);
    FUZZ_CHECK(!std::isnan(parsed));
    FUZZ_CHECK(fuzz::SameBits(parsed, ParseNumber(std::string(text))));
    // Text after a NUL is the caller's, never read past what was passed.
    FUZZ_CHECK(fuzz::SameBits(ParseNumber(text.substr(0, size / 2)), ParseNumber(std::string(text.substr(0, size / 2)))));
    CheckFormat(parsed);
    CheckIntegers(parsed);

    fuzz::Reader in(data, size);
    const double value = in.F64();
    const int count = static_cast<std::int8_t>(in.U8());
    CheckFormat(value);
    CheckFormat(-value);
    CheckDigits(value, 15);
    CheckDigits(value, count);
    CheckIntegers(value);
    // Neighbours of the value and its subnormal shadow.
    CheckFormat(std::nextafter(value, INFINITY));
    CheckFormat(value * DBL_MIN * DBL_EPSILON);
    return 0;
}
