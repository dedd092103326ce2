// Fixed-width number fields (Iw, Fw.d, Ew.d, 1PEw.d) and the reading of typed
// answers (integer fields, Fw.d fields, free-format lists).
//
// Writing: digits come from the standard library's correctly rounded conversion of the
// exact binary value. That conversion breaks exact ties to even; the classic
// fields round halves away from zero, so an exact tie (only possible when the
// value is m * 2^-(k+1) with m odd, k the number of decimals kept) is detected
// and rounded up by hand.
//
// Decisions where the classic output leaves a choice:
//   - A negative value that rounds to zero keeps its sign ("-0.000" for
//     -0.0001 in F6.3): the value was negative. Negative zero itself (-0.0,
//     an arithmetic artefact) is written as zero without a sign.
//   - The leading "0" before the point (Fw.d with |value| < 1, and Ew.d) is
//     written only when the field has room for it: F4.3 of 0.5 is ".500".
//   - NaN is written "NaN", infinities "Infinity" or "Inf" with their sign,
//     right-aligned, or asterisks when even that does not fit.
//
// Reading: blanks (and tabs) inside an Iw or Fw.d field are ignored, as the
// classic read with blanks as nulls does ("1 2" reads as 12); an all-blank
// field reads as 0. A free-format list takes numbers separated by blanks, tabs
// or one comma; text after the last wanted number is ignored.
//
// Sections:
//   [SECTION] Digit strings
//   [SECTION] Writing fields
//   [SECTION] Reading answers
#include <bit>           // countr_zero: the odd mantissa of a tie
#include <cerrno>        // strtod range errors
#include <charconv>      // from_chars for integers and reals
#include <cmath>         // frexp, isfinite, signbit
#include <cstdio>        // snprintf: correctly rounded digits
#include <cstdint>
#include <cstdlib>
#include <cstring>       // memcpy into the field
#include <string>

#include "common/fields.hpp"
#include "common/numbers.hpp"

namespace tarno {

// [SECTION] Digit strings ------------------------------------------------------

// True when |value| lies exactly halfway between two neighbours with `decimals`
// decimals (decimals may be negative: tens, hundreds, ...). Such a value is
// m * 2^e with m odd and e = -(decimals + 1), and for decimals < 0 also m
// divisible by 5^-decimals.
static bool is_exact_tie(double value, int decimals) {
    if (value == 0.0 || !std::isfinite(value)) return false;
    // value = mantissa * 2^exponent with an odd integer mantissa, straight from the bits.
    auto [mantissa, exponent] = binary_parts(value);
    const int zeros = std::countr_zero(mantissa);
    mantissa >>= zeros;
    exponent += zeros;
    if (exponent != -(decimals + 1)) return false;
    for (int k = decimals; k < 0; ++k) {
        if (mantissa % 5 != 0) return false;
        mantissa /= 5;
    }
    return true;
}

// Adds one unit in the last digit of a string of decimal digits (a '.' is
// passed over). Returns true when the carry ran out of the front ("99" -> "00").
static bool increment_digits(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.') continue;
        if (digits[i] != '9') { ++digits[i]; return false; }
        digits[i] = '0';
    }
    return true;
}

// |value| with `decimals` decimals, halves away from zero, e.g. "12.35" or "0.50".
static std::string fixed_digits(double magnitude, int decimals) {
    int n = std::snprintf(nullptr, 0, "%.*f", decimals, magnitude);
    std::string digits(static_cast<size_t>(n), '\0');
    std::snprintf(digits.data(), digits.size() + 1, "%.*f", decimals, magnitude);
    // An exact tie that the library rounded down to even goes up instead.
    if (is_exact_tie(magnitude, decimals)) {
        n = std::snprintf(nullptr, 0, "%.*f", decimals + 1, magnitude);
        std::string exact(static_cast<size_t>(n), '\0');
        std::snprintf(exact.data(), exact.size() + 1, "%.*f", decimals + 1, magnitude);
        exact.pop_back();                      // drop the final '5'
        if (decimals == 0) exact.pop_back();   // and the '.' it followed
        if (increment_digits(exact)) exact.insert(exact.begin(), '1');
        digits = exact;
    }
    return digits;
}

namespace {
// Scientific digits of |value| > 0: `significant` digits (no point) and the
// exponent X such that |value| ~ d.ddd * 10^X, halves away from zero.
struct ScientificDigits {
    std::string digits;
    int exponent;
};
}  // namespace

static ScientificDigits scientific_digits(double magnitude, int significant) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*e", significant - 1, magnitude);
    std::string text(buffer);
    size_t e = text.find('e');
    ScientificDigits result{std::string(), std::atoi(text.c_str() + e + 1)};
    for (size_t i = 0; i < e; ++i)
        if (text[i] != '.') result.digits.push_back(text[i]);
    // A carry to the next power of ten (9.95 -> 1.0e1) is already away from
    // zero; any other exact tie was rounded to even and goes up here.
    if (is_exact_tie(magnitude, significant - 1 - result.exponent)) {
        if (increment_digits(result.digits)) {
            result.digits.insert(result.digits.begin(), '1');
            result.digits.pop_back();
            ++result.exponent;
        }
    }
    return result;
}

// Right-aligns `body` in `width` columns, or `width` asterisks when it is too wide.
static std::string right_aligned(const std::string& body, int width) {
    if (width <= 0) return std::string();
    if (static_cast<int>(body.size()) > width) return std::string(static_cast<size_t>(width), '*');
    return std::string(static_cast<size_t>(width) - body.size(), ' ') + body;
}

// NaN and infinities, written the same way in every real field.
static std::string non_finite_field(double value, int width) {
    if (std::isnan(value)) return right_aligned("NaN", width);
    const char* sign = value < 0 ? "-" : "";
    std::string longer = std::string(sign) + "Infinity";
    if (static_cast<int>(longer.size()) <= width) return right_aligned(longer, width);
    return right_aligned(std::string(sign) + "Inf", width);
}

// Exponent part of Ew.d / 1PEw.d: "E+xx" up to 99, "+xxx" up to 999.
static std::string exponent_part(int exponent) {
    char buffer[16];
    int magnitude = exponent < 0 ? -exponent : exponent;
    char sign = exponent < 0 ? '-' : '+';
    if (magnitude <= 99) std::snprintf(buffer, sizeof buffer, "E%c%02d", sign, magnitude);
    else std::snprintf(buffer, sizeof buffer, "%c%03d", sign, magnitude);
    return buffer;
}

// [SECTION] Writing fields -----------------------------------------------------

// Iw: the integer right-aligned in `width` columns; asterisks when it does not fit.
std::string format_integer(long long value, int width) {
    if (width <= 0) return std::string();
    char digits[24];
    const size_t n = static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
    if (n > static_cast<size_t>(width)) return std::string(static_cast<size_t>(width), '*');
    std::string field(static_cast<size_t>(width), ' ');
    std::memcpy(field.data() + (field.size() - n), digits, n);
    return field;
}

// Iw for a count, an index or a limit of a spectrum: a value that fills or
// overflows the field is written in full after one blank, so the program's
// own capacity never shows as asterisks nor runs into the text before it.
//   format_count(42, 7) "     42"   format_count(1000101, 7) " 1000101"
std::string format_count(long long value, int width) {
    std::string digits = std::to_string(value);
    if (static_cast<int>(digits.size()) < width) return format_integer(value, width);
    return " " + digits;
}

// Fw.d: fixed point with `decimals` decimals, right-aligned in `width` columns.
// One conversion into a stack buffer (a second one only for an exact tie), and
// the returned string as the only allocation: this writes every line of an
// ASCII spectrum file.
std::string format_fixed(double value, int width, int decimals) {
    if (!std::isfinite(value)) return non_finite_field(value, width);
    if (width <= 0) return std::string();
    if (decimals < 0) decimals = 0;
    const double magnitude = std::fabs(value);
    // Room for 309 integer digits, the point and the decimals; wider requests
    // cannot fit any field anyway but are written the long way.
    constexpr int BUFFER = 400;
    if (decimals > BUFFER - 320) {
        std::string digits = fixed_digits(magnitude, decimals);
        if (decimals == 0) digits.push_back('.');
        std::string sign = (value < 0) ? "-" : "";
        if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.' &&
            static_cast<int>(sign.size() + digits.size()) > width)
            digits.erase(0, 1);
        return right_aligned(sign + digits, width);
    }
    char buffer[BUFFER + 2];
    char* const digits = buffer + 1;                  // buffer[0]: room for a carry ("9.9" -> "10.0")
    char* first = digits;
    char* last;
    if (is_exact_tie(magnitude, decimals)) {
        // The library rounds the tie to even: take one decimal more (exactly
        // "...5"), drop it and round up by hand.
        last = std::to_chars(digits, digits + BUFFER, magnitude, std::chars_format::fixed, decimals + 1).ptr;
        --last;                                       // the final '5'
        if (decimals == 0) --last;                    // and the '.' it followed
        char* p = last;
        while (p-- > digits) {
            if (*p == '.') continue;
            if (*p != '9') { ++*p; break; }
            *p = '0';
        }
        if (p < digits) *--first = '1';
    } else {
        last = std::to_chars(digits, digits + BUFFER, magnitude, std::chars_format::fixed, decimals).ptr;
    }
    if (decimals == 0) *last++ = '.';                 // "3." as the classic field writes it
    const bool negative = value < 0;                  // -0.0 is not < 0: no sign
    size_t length = static_cast<size_t>(last - first) + (negative ? 1 : 0);
    // The leading zero of "0.xxx" is optional: dropped when the field is full.
    if (last - first > 1 && first[0] == '0' && first[1] == '.' && length > static_cast<size_t>(width)) {
        ++first;
        --length;
    }
    if (length > static_cast<size_t>(width)) return std::string(static_cast<size_t>(width), '*');
    std::string field(static_cast<size_t>(width), ' ');
    char* out = field.data() + (field.size() - length);
    if (negative) *out++ = '-';
    std::memcpy(out, first, static_cast<size_t>(last - first));
    return field;
}

// Ew.d: 0.ddddE+xx with `decimals` significant digits after the point.
std::string format_exponent(double value, int width, int decimals) {
    if (!std::isfinite(value)) return non_finite_field(value, width);
    if (decimals < 1) return std::string(static_cast<size_t>(width > 0 ? width : 0), '*');
    std::string sign = (value < 0) ? "-" : "";
    std::string mantissa;
    int exponent = 0;
    if (value == 0.0) {
        mantissa = std::string(static_cast<size_t>(decimals), '0');
    } else {
        ScientificDigits sci = scientific_digits(std::fabs(value), decimals);
        mantissa = sci.digits;
        exponent = sci.exponent + 1;                   // 0.d1d2... instead of d1.d2...
    }
    std::string body = "0." + mantissa + exponent_part(exponent);
    if (static_cast<int>(sign.size() + body.size()) > width) body.erase(0, 1);
    return right_aligned(sign + body, width);
}

// 1PEw.d: d.dddE+xx, one digit before the point and `decimals` after it.
std::string format_scaled_exponent(double value, int width, int decimals) {
    if (!std::isfinite(value)) return non_finite_field(value, width);
    if (decimals < 0) decimals = 0;
    std::string sign = (value < 0) ? "-" : "";
    std::string digits;
    int exponent = 0;
    if (value == 0.0) {
        digits = std::string(static_cast<size_t>(decimals) + 1, '0');
    } else {
        ScientificDigits sci = scientific_digits(std::fabs(value), decimals + 1);
        digits = sci.digits;
        exponent = sci.exponent;
    }
    std::string body = digits.substr(0, 1) + "." + digits.substr(1) + exponent_part(exponent);
    return right_aligned(sign + body, width);
}

// [SECTION] Reading answers ----------------------------------------------------

static bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\0' || c == '\r' || c == '\n'; }
static bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The first `columns` characters of `answer` with every blank removed.
static std::string field_without_blanks(std::string_view answer, int columns) {
    if (columns >= 0 && answer.size() > static_cast<size_t>(columns))
        answer = answer.substr(0, static_cast<size_t>(columns));
    std::string packed;
    for (char c : answer)
        if (!is_blank(c)) packed.push_back(c);
    return packed;
}

// A real number in the classic input forms, the whole of `token`:
//   [sign] digits [. digits] [exponent]     exponent: (E|D|e|d) [sign] digits, or sign digits
// Without a point the digits carry `implied_decimals` decimals. Returns nothing
// for anything else, and for values beyond the double range.
static std::optional<double> parse_real(std::string_view token, int implied_decimals) {
    size_t i = 0;
    std::string mantissa;                     // sign and digits, as from_chars wants them
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
        if (token[i] == '-') mantissa.push_back('-');
        ++i;
    }
    size_t digits = 0;
    bool has_point = false;
    for (; i < token.size(); ++i) {
        char c = token[i];
        if (is_digit(c)) { mantissa.push_back(c); ++digits; }
        else if (c == '.' && !has_point) { mantissa.push_back(c); has_point = true; }
        else break;
    }
    if (digits == 0) return std::nullopt;
    long exponent = 0;
    if (i < token.size()) {
        char c = token[i];
        if (c == 'e' || c == 'E' || c == 'd' || c == 'D') ++i;
        else if (c != '+' && c != '-') return std::nullopt;
        bool negative_exponent = false;
        if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
            negative_exponent = token[i] == '-';
            ++i;
        }
        std::string_view rest = token.substr(i);
        if (rest.empty() || !is_digit(rest[0])) return std::nullopt;
        auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), exponent);
        if (error != std::errc() || end != rest.data() + rest.size()) return std::nullopt;
        if (exponent > 100000) return std::nullopt;      // far beyond any double
        if (negative_exponent) exponent = -exponent;
    }
    if (!has_point) exponent -= implied_decimals;
    std::string number = mantissa + "e" + std::to_string(exponent);
    errno = 0;
    char* end = nullptr;
    double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) return std::nullopt;
    if (!std::isfinite(value) || (errno == ERANGE && std::fabs(value) > 1.0)) return std::nullopt;
    return value;
}

// Iw read: an integer from the first `columns` characters; blank -> 0.
std::optional<long long> read_integer_field(std::string_view answer, int columns) {
    std::string field = field_without_blanks(answer, columns);
    if (field.empty()) return 0;
    std::string_view digits = field;
    bool negative = false;
    if (digits[0] == '+' || digits[0] == '-') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return std::nullopt;
    unsigned long long magnitude = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    constexpr unsigned long long largest = 9223372036854775807ULL;
    if (magnitude > largest + (negative ? 1 : 0)) return std::nullopt;
    if (negative) return magnitude == largest + 1 ? (-9223372036854775807LL - 1) : -static_cast<long long>(magnitude);
    return static_cast<long long>(magnitude);
}

// Fw.d read: a real from the first `columns` characters; blank -> 0; digits
// typed without a point carry `implied_decimals` decimals ("125" in F5.2 is 1.25).
std::optional<double> read_fixed_field(std::string_view answer, int columns, int implied_decimals) {
    std::string field = field_without_blanks(answer, columns);
    if (field.empty()) return 0.0;
    return parse_real(field, implied_decimals);
}

// Free-format list: `count` numbers separated by blanks, tabs or one comma.
// Fewer numbers, an empty value between two commas, or a word where a number
// should be make the line unreadable; what follows the last number is ignored.
std::optional<std::vector<double>> read_free_format(std::string_view line, int count) {
    std::vector<double> values;
    size_t i = 0;
    auto skip_blanks = [&] { while (i < line.size() && is_blank(line[i])) ++i; };
    while (static_cast<int>(values.size()) < count) {
        skip_blanks();
        if (!values.empty() && i < line.size() && line[i] == ',') { ++i; skip_blanks(); }
        if (i >= line.size()) return std::nullopt;
        size_t start = i;
        while (i < line.size() && !is_blank(line[i]) && line[i] != ',') ++i;
        std::optional<double> value = parse_real(line.substr(start, i - start), 0);
        if (!value) return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

}  // namespace tarno
