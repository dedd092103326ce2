// The one home of each small text, path and number rule (common/): trimming,
// shortening a name for a short field, the directory of a spectrum, and the
// rounding and truncations every module uses.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "common/fields.hpp"
#include "common/numbers.hpp"

namespace tarno {
namespace {

TEST(text_rules, trim_removes_every_padding_character_at_both_ends_only) {
    const struct { std::string text, trimmed, right; } cases[] = {
        {"", "", ""},
        {"   ", "", ""},
        {"  abc  ", "abc", "  abc"},
        {"\tabc\t", "abc", "\tabc"},
        {std::string("abc\0\0", 5), "abc", "abc"},      // fixed fields from files end in NULs
        {"abc\r\n", "abc", "abc"},                       // lines of text files written elsewhere
        {"\r\n a b \r\n", "a b", "\r\n a b"},            // inner blanks stay
        {"*.spe *.0*", "*.spe *.0*", "*.spe *.0*"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(trim(c.text), c.trimmed) << '"' << c.text << '"';
        EXPECT_EQ(trim_right(c.text), c.right) << '"' << c.text << '"';
    }
}

TEST(text_rules, shortened_name_keeps_the_end_behind_three_dots) {
    const struct { const char* name; size_t max_length, kept; const char* shown; } cases[] = {
        {"run5.spe", 25, 25, "run5.spe"},
        {"bcdefghijklmnopqrstuv.spe", 25, 25, "bcdefghijklmnopqrstuv.spe"},       // exactly fits
        {"abcdefghijklmnopqrstuv.spe", 25, 25, "...bcdefghijklmnopqrstuv.spe"},   // one over: dots and the last 25
        {"/a/very/long/directory/name/run5.spe", 30, 28, "...long/directory/name/run5.spe"},
        {"abcdef", 5, 2, "...ef"},
        {"", 0, 0, ""},
        {"messung_\xc3\xa4.txt", 8, 5, "....txt"},                  // never starts inside "ä"
        {"messung_\xc3\xa4.txt", 8, 6, "...\xc3\xa4.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(shortened_name(c.name, c.max_length, c.kept), c.shown) << c.name;
}

TEST(text_rules, spectrum_directory_of_a_path) {
    const struct { const char* path; const char* directory; } cases[] = {
        {"/data/spectra/run5.spe", "/data/spectra/"},
        {"c:\\rot\\run5.spe", "c:\\rot\\"},
        {"data\\x/run5.spe", "data\\x/"},    // either separator
        {"run5.spe", ""},                     // no directory: the working directory
        {"/run5.spe", ""},                    // the only separator is the first character
        {"\\run5.spe", ""},
        {"a/run5.spe", "a/"},
        {"/data/", "/data/"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(spectrum_directory(c.path), c.directory) << c.path;
}

TEST(number_rules, rounding_and_saturating_truncation) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { double value, rounded; } rounding[] = {
        {0.0, 0.0}, {0.5, 1.0}, {-0.5, -1.0}, {2.5, 3.0}, {-2.5, -3.0}, {2.4999, 2.0}, {-7.6, -8.0}, {1e15 + 0.5, 1e15 + 1},
    };
    for (const auto& c : rounding) EXPECT_EQ(round_half_away(c.value), c.rounded) << c.value;

    const struct { double value; int32_t to32; long long to64; } truncation[] = {
        {1.9, 1, 1},
        {-1.9, -1, -1},
        {3e9, std::numeric_limits<int32_t>::max(), 3000000000LL},
        {-3e9, std::numeric_limits<int32_t>::min(), -3000000000LL},
        {1e300, std::numeric_limits<int32_t>::max(), std::numeric_limits<long long>::max()},
        {-INFINITY, std::numeric_limits<int32_t>::min(), std::numeric_limits<long long>::min()},
        {nan, 0, 0},
    };
    for (const auto& c : truncation) {
        EXPECT_EQ(truncate_to_int32(c.value), c.to32) << c.value;
        EXPECT_EQ(truncate_to_int64(c.value), c.to64) << c.value;
    }
}

}  // namespace
}  // namespace tarno
