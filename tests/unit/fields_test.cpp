// Fixed-width fields: the writers against a table of expected strings (made
// once with a classic fixed-format compiler, halves rounded away from zero),
// and the answer readers against the forms a user types.
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "common/fields.hpp"

namespace tarno {
namespace {

struct WriteCase {
    char kind;          // 'I' Iw, 'F' Fw.d, 'E' Ew.d, 'P' 1PEw.d
    double value;
    int width;
    int decimals;
    const char* expected;
};

std::string write_field(const WriteCase& c) {
    switch (c.kind) {
    case 'I': return format_integer(static_cast<long long>(c.value), c.width);
    case 'F': return format_fixed(c.value, c.width, c.decimals);
    case 'E': return format_exponent(c.value, c.width, c.decimals);
    default:  return format_scaled_exponent(c.value, c.width, c.decimals);
    }
}

void check_table(const std::vector<WriteCase>& cases) {
    for (const WriteCase& c : cases) {
        EXPECT_EQ(write_field(c), c.expected)
            << c.kind << c.width << "." << c.decimals << " of " << c.value;
    }
}

TEST(fields_write, fixed_point_and_exponent_table) {
    check_table({
        {'F', 0.5e0, 4, 3, ".500"},
        {'F', 0.5e0, 5, 3, "0.500"},
        {'F', -0.5e0, 5, 3, "-.500"},
        {'F', -0.5e0, 6, 3, "-0.500"},
        {'F', -0.5e0, 4, 3, "****"},
        {'F', 0.125e0, 4, 2, "0.13"},
        {'F', 0.375e0, 4, 2, "0.38"},
        {'F', -0.125e0, 5, 2, "-0.13"},
        {'F', 0.25e0, 4, 1, " 0.3"},
        {'F', 2.5e0, 5, 1, "  2.5"},
        {'F', 2.5e0, 3, 0, " 3."},
        {'F', -0.5e0, 3, 0, "-1."},
        {'F', 3.0e0, 5, 0, "   3."},
        {'F', 0.4e0, 2, 0, "0."},
        {'F', -0.0001e0, 6, 3, "-0.000"},
        {'F', 1234.5678e0, 8, 2, " 1234.57"},
        {'F', 1234.5678e0, 7, 2, "1234.57"},
        {'F', 1234.5678e0, 6, 2, "******"},
        {'F', 100000.123e0, 11, 2, "  100000.12"},
        {'F', 0.0125e0, 10, 5, "   0.01250"},
        {'F', -98765.432109e0, 12, 5, "-98765.43211"},
        {'F', 123456.7890123e0, 20, 8, "     123456.78901230"},
        {'F', 1e10, 15, 5, "***************"},
        {'F', 1000000e0, 6, 1, "******"},
        {'F', 99999.94e0, 6, 1, "******"},
        {'F', 9999.96e0, 6, 1, "******"},
        {'F', 0.0005e0, 6, 3, " 0.001"},
        {'F', -1e300, 10, 2, "**********"},
        {'F', 0.1e0, 8, 3, "   0.100"},
        {'F', 51e0, 7, 2, "  51.00"},
        {'F', 0.0e0, 6, 1, "   0.0"},
        {'F', 0.04e0, 3, 1, "0.0"},
        {'F', 0.04e0, 2, 1, ".0"},
        {'E', 12345e0, 12, 4, "  0.1235E+05"},
        {'E', 12345e0, 10, 4, "0.1235E+05"},
        {'E', 12345e0, 9, 4, ".1235E+05"},
        {'E', 12345e0, 8, 4, "********"},
        {'E', 0e0, 12, 4, "  0.0000E+00"},
        {'E', 1e100, 12, 4, "  0.1000+101"},
        {'E', 1e-100, 12, 4, "  0.1000E-99"},
        {'E', 0.125e0, 12, 4, "  0.1250E+00"},
        {'E', -0.99995e0, 12, 4, " -0.1000E+01"},
        {'E', -9.999949e0, 12, 4, " -0.1000E+02"},
        {'E', 6.25e-2, 10, 3, " 0.625E-01"},
        {'E', -12345e0, 11, 4, "-0.1235E+05"},
        {'E', -12345e0, 10, 4, "-.1235E+05"},
        {'E', 1e-310, 12, 4, "  0.1000-309"},
        {'P', 12345e0, 10, 3, " 1.235E+04"},
        {'P', 12345e0, 9, 3, "1.235E+04"},
        {'P', 12345e0, 8, 3, "********"},
        {'P', -1.5e-300, 12, 4, " -1.5000-300"},
        {'P', 9.99995e0, 12, 4, "  1.0000E+01"},
        {'P', 0e0, 10, 3, " 0.000E+00"},
        {'P', -10000e0, 10, 3, "-1.000E+04"},
        {'P', 1.0005e0, 10, 3, " 1.000E+00"},
        {'P', -3.25e0, 12, 4, " -3.2500E+00"},
        {'P', 2.5e-5, 12, 4, "  2.5000E-05"},
        {'P', 1.23456789e20, 12, 4, "  1.2346E+20"},
        {'P', 9.9995e0, 10, 3, " 9.999E+00"},
        {'P', 0.125e0, 12, 2, "    1.25E-01"},
    });
}

TEST(fields_write, integers) {
    check_table({
        {'I', -42, 5, 0, "  -42"},
        {'I', 123, 2, 0, "**"},
        {'I', -99, 3, 0, "-99"},
        {'I', -100, 3, 0, "***"},
        {'I', 0, 1, 0, "0"},
        {'I', 10000000, 8, 0, "10000000"},
        {'I', 100000, 5, 0, "*****"},
    });
    EXPECT_EQ(format_integer(std::numeric_limits<long long>::min(), 20), "-9223372036854775808");
}

// Counts, indices and limits never turn into asterisks and keep a blank
// before them when they fill their field.
TEST(fields_write, counts_in_full) {
    const struct { long long value; int width; const char* expected; } cases[] = {
        {42, 7, "     42"},
        {999999, 7, " 999999"},
        {1000101, 7, " 1000101"},        // fills I7: a blank before it, one column more
        {10000000, 7, " 10000000"},      // overflows I7: in full
        {10000000, 8, " 10000000"},
        {-1000000, 7, " -1000000"},
        {0, 1, " 0"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_count(c.value, c.width), c.expected) << c.value << " I" << c.width;
}

// Cases the compiler oracle answers differently or not at all: the decisions
// documented in fields.cpp.
TEST(fields_write, signed_zero_and_non_finite) {
    EXPECT_EQ(format_fixed(-0.0, 6, 3), " 0.000");             // negative zero: no sign
    EXPECT_EQ(format_exponent(-0.0, 12, 4), "  0.0000E+00");
    EXPECT_EQ(format_scaled_exponent(-0.0, 10, 3), " 0.000E+00");
    EXPECT_EQ(format_fixed(-0.0001, 6, 3), "-0.000");          // a negative value keeps its sign
    double nan = std::numeric_limits<double>::quiet_NaN();
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(format_fixed(nan, 11, 2), "        NaN");
    EXPECT_EQ(format_fixed(-inf, 8, 2), "    -Inf");
    EXPECT_EQ(format_fixed(inf, 10, 2), "  Infinity");
    EXPECT_EQ(format_scaled_exponent(inf, 2, 2), "**");
}

// Exact binary ties round away from zero, values just off a tie to nearest.
TEST(fields_write, ties_round_away_from_zero) {
    EXPECT_EQ(format_fixed(0.5, 2, 0), "1.");
    EXPECT_EQ(format_fixed(1.5, 2, 0), "2.");
    EXPECT_EQ(format_fixed(-2.5, 3, 0), "-3.");
    EXPECT_EQ(format_fixed(9.5, 3, 0), "10.");
    EXPECT_EQ(format_fixed(0.9375, 5, 3), "0.938");
    EXPECT_EQ(format_fixed(std::nextafter(0.125, 0.0), 4, 2), "0.12");
    EXPECT_EQ(format_scaled_exponent(25.0, 7, 0), " 3.E+01");
    EXPECT_EQ(format_scaled_exponent(9.5, 6, 0), "1.E+01");
    EXPECT_EQ(format_exponent(0.5, 7, 0), "*******");          // Ew.0 has no digit to show
    EXPECT_EQ(format_exponent(0.9995, 10, 3), " 0.100E+01");   // 0.9995 is just below the tie
    EXPECT_EQ(format_exponent(99.5, 10, 2), "  0.10E+03");
}

// [SECTION] Reading -------------------------------------------------------------

TEST(fields_read, integer_field) {
    struct Case { const char* answer; int columns; std::optional<long long> expected; };
    const Case cases[] = {
        {"", 5, 0},
        {"     ", 5, 0},
        {"  -1", 5, -1},
        {"+7", 5, 7},
        {"1 2", 5, 12},                    // blanks inside the field are ignored
        {"12345678", 5, 12345},            // columns past the field are not read
        {"1    x", 5, 1},
        {"abc", 5, std::nullopt},
        {"1.5", 5, std::nullopt},
        {"-", 5, std::nullopt},
        {"1-2", 5, std::nullopt},
        {"99999999999999999999", 30, std::nullopt},
        {"-9223372036854775808", 30, std::numeric_limits<long long>::min()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read_integer_field(c.answer, c.columns), c.expected) << '"' << c.answer << '"';
}

TEST(fields_read, fixed_field_with_implied_decimals) {
    struct Case { const char* answer; int columns; int decimals; std::optional<double> expected; };
    const Case cases[] = {
        {"", 10, 2, 0.0},
        {"125", 10, 2, 1.25},               // no point: two implied decimals
        {"1.25", 10, 2, 1.25},              // a typed point wins
        {"-125", 10, 2, -1.25},
        {"12 5", 10, 2, 1.25},              // blanks ignored
        {"5", 10, 0, 5.0},
        {"15E2", 10, 1, 150.0},             // implied decimals apply before the exponent
        {"1.5E2", 10, 1, 150.0},
        {"1.5D-1", 10, 0, 0.15},
        {"1.5+3", 10, 0, 1500.0},
        {".5", 10, 3, 0.5},
        {"7.", 10, 3, 7.0},
        {"1.2345", 3, 0, 1.2},              // only the first 3 columns
        {"1e+-3", 10, 0, std::nullopt},
        {"1e", 10, 0, std::nullopt},
        {".", 10, 0, std::nullopt},
        {"1.2.3", 10, 0, std::nullopt},
        {"abc", 10, 0, std::nullopt},
        {"inf", 10, 0, std::nullopt},
        {"1e999", 10, 0, std::nullopt},     // beyond the double range
    };
    for (const Case& c : cases)
        EXPECT_EQ(read_fixed_field(c.answer, c.columns, c.decimals), c.expected) << '"' << c.answer << '"';
}

TEST(fields_read, free_format_lists) {
    using List = std::optional<std::vector<double>>;
    EXPECT_EQ(read_free_format("1 2", 2), List(std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(read_free_format("  1.5\t-2e3  ", 2), List(std::vector<double>{1.5, -2000.0}));
    EXPECT_EQ(read_free_format("1,2", 2), List(std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(read_free_format("1 , 2", 2), List(std::vector<double>{1.0, 2.0}));
    EXPECT_EQ(read_free_format("3.25 4 trailing words", 2), List(std::vector<double>{3.25, 4.0}));
    EXPECT_EQ(read_free_format("3.25", 1), List(std::vector<double>{3.25}));
    EXPECT_EQ(read_free_format("1", 2), std::nullopt);          // too few
    EXPECT_EQ(read_free_format("1,,2", 2), std::nullopt);       // empty value
    EXPECT_EQ(read_free_format(",1 2", 2), std::nullopt);
    EXPECT_EQ(read_free_format("1 x", 2), std::nullopt);
    EXPECT_EQ(read_free_format("1 2x", 2), std::nullopt);       // a number runs up to its separator
    EXPECT_EQ(read_free_format("", 1), std::nullopt);
}

}  // namespace
}  // namespace tarno
