// Fw.d and Iw against the straightforward snprintf implementation they
// replaced (kept here as the reference): random values over every magnitude
// that matters, exact ties, and widths that force the leading zero out and
// asterisks in.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/fields.hpp"

namespace tarno {
namespace {

// [SECTION] Reference -----------------------------------------------------------

bool reference_tie(double value, int decimals) {
    if (value == 0.0 || !std::isfinite(value)) return false;
    int exponent = 0;
    double fraction = std::frexp(std::fabs(value), &exponent);
    auto mantissa = static_cast<unsigned long long>(std::ldexp(fraction, 53));
    exponent -= 53;
    while ((mantissa & 1) == 0) { mantissa >>= 1; ++exponent; }
    if (exponent != -(decimals + 1)) return false;
    for (int k = decimals; k < 0; ++k) {
        if (mantissa % 5 != 0) return false;
        mantissa /= 5;
    }
    return true;
}

bool reference_increment(std::string& digits) {
    for (size_t i = digits.size(); i-- > 0;) {
        if (digits[i] == '.') continue;
        if (digits[i] != '9') { ++digits[i]; return false; }
        digits[i] = '0';
    }
    return true;
}

std::string printed(double magnitude, int decimals) {
    int n = std::snprintf(nullptr, 0, "%.*f", decimals, magnitude);
    std::string digits(static_cast<size_t>(n), '\0');
    std::snprintf(digits.data(), digits.size() + 1, "%.*f", decimals, magnitude);
    return digits;
}

std::string reference_fixed_digits(double magnitude, int decimals) {
    std::string digits = printed(magnitude, decimals);
    if (reference_tie(magnitude, decimals)) {
        std::string exact = printed(magnitude, decimals + 1);
        exact.pop_back();
        if (decimals == 0) exact.pop_back();
        if (reference_increment(exact)) exact.insert(exact.begin(), '1');
        digits = exact;
    }
    return digits;
}

std::string reference_aligned(const std::string& body, int width) {
    if (width <= 0) return std::string();
    if (static_cast<int>(body.size()) > width) return std::string(static_cast<size_t>(width), '*');
    return std::string(static_cast<size_t>(width) - body.size(), ' ') + body;
}

std::string reference_fixed(double value, int width, int decimals) {
    if (!std::isfinite(value)) return format_fixed(value, width, decimals);   // unchanged path
    if (decimals < 0) decimals = 0;
    std::string digits = reference_fixed_digits(std::fabs(value), decimals);
    if (decimals == 0) digits.push_back('.');
    std::string sign = (value < 0) ? "-" : "";
    if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.' &&
        static_cast<int>(sign.size() + digits.size()) > width)
        digits.erase(0, 1);
    return reference_aligned(sign + digits, width);
}

std::string reference_integer(long long value, int width) {
    return reference_aligned(std::to_string(value), width);
}

// [SECTION] Comparisons ---------------------------------------------------------

TEST(fields_reference, fixed_matches_reference_on_random_values) {
    std::mt19937_64 random(20261210);
    std::uniform_int_distribution<int> exponent(-12, 22), width(-1, 26), decimals(-1, 12), kind(0, 3);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    int failures = 0;
    for (int k = 0; k < 200000 && failures < 20; ++k) {
        const int d = decimals(random), w = width(random);
        double v;
        switch (kind(random)) {
        case 0:  v = unit(random) * std::pow(10.0, exponent(random)); break;
        case 1: {  // an exact tie at d decimals (or near one): m / 2^(d+1), m odd
            const int dd = d < 0 ? 0 : d;
            const double m = std::floor(std::fabs(unit(random)) * 1e6) * 2 + 1;
            v = std::ldexp(m, -(dd + 1)) * (unit(random) < 0 ? -1 : 1);
            if (k % 3 == 0) v = std::nextafter(v, 0.0);
            break;
        }
        case 2:  // values that carry into a new digit: 9.995, 99.9999...
            v = (std::pow(10.0, exponent(random) % 8) - std::pow(10.0, -(d < 0 ? 0 : d)) / 2) * (unit(random) < 0 ? -1 : 1);
            break;
        default:  // the ASCII save's columns: frequencies and scaled intensities
            v = (k % 2 ? 1e5 + unit(random) * 9e5 : unit(random) * 3e4);
            break;
        }
        const std::string expected = reference_fixed(v, w, d), got = format_fixed(v, w, d);
        if (got != expected) {
            ++failures;
            ADD_FAILURE() << "F" << w << "." << d << " of " << std::hexfloat << v << ": '" << got
                          << "' instead of '" << expected << "'";
        }
    }
}

TEST(fields_reference, fixed_matches_reference_at_the_edges) {
    const double values[] = {0.0, -0.0, 0.5, -0.5, 0.05, 0.95, 9.5, 99.5, 0.125, -0.375, 1e-320, -5e-324,
                             std::numeric_limits<double>::max(), -std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::min(), 1e15 + 0.5, 4503599627370495.5,
                             9007199254740993.0, 123456.789, -0.0001};
    for (double v : values)
        for (int d : {-1, 0, 1, 2, 5, 8, 17, 40, 100})
            for (int w : {0, 1, 2, 3, 4, 6, 10, 15, 20, 60, 420})
                EXPECT_EQ(format_fixed(v, w, d), reference_fixed(v, w, d)) << "F" << w << "." << d << " of " << v;
}

TEST(fields_reference, integer_matches_reference) {
    std::mt19937_64 random(7);
    const long long edges[] = {0, -1, 1, 9, -9, 10, 99999, -99999, std::numeric_limits<long long>::max(),
                               std::numeric_limits<long long>::min()};
    for (long long v : edges)
        for (int w = -1; w <= 22; ++w) EXPECT_EQ(format_integer(v, w), reference_integer(v, w)) << "I" << w << " of " << v;
    std::uniform_int_distribution<int> width(-1, 21), shift(0, 63);
    for (int k = 0; k < 100000; ++k) {
        const long long v = static_cast<long long>(random()) >> shift(random);
        const int w = width(random);
        ASSERT_EQ(format_integer(v, w), reference_integer(v, w)) << "I" << w << " of " << v;
    }
}

}  // namespace
}  // namespace tarno
