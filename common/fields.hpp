// Fixed-width number fields and the answers typed at prompts.
//
// Every number on screen and in files is written through these routines, in
// the classic fixed-width edit descriptors:
//   Iw     integer, right-aligned in w columns            format_integer(42, 5)        "   42"
//   Fw.d   fixed point, d decimals                        format_fixed(-1.5, 7, 2)     "  -1.50"
//   Ew.d   0.ddddE+xx, mantissa below 1                   format_exponent(12345, 12, 4) "  0.1235E+05"
//   1PEw.d d.dddE+xx, one digit before the point          format_scaled_exponent(12345, 10, 3) " 1.234E+04"
// A value that does not fit is written as w asterisks. Rounding is to nearest
// (halves away from zero on the decimal value of the binary number).
//
// Reads follow the prompts: an answer is read from a fixed field of its first
// n characters; a blank field reads as 0; text that is not a number is an error
// (std::nullopt), and the caller asks again.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarno {

// [SECTION] Writing fields ------------------------------------------------------
std::string format_integer(long long value, int width);                    // Iw
std::string format_fixed(double value, int width, int decimals);           // Fw.d
std::string format_exponent(double value, int width, int decimals);        // Ew.d
std::string format_scaled_exponent(double value, int width, int decimals); // 1PEw.d
void append_fixed(std::string& out, double value, int width, int decimals);  // Fw.d appended to `out`: the text of format_fixed, without its allocation (bulk output)
void append_fixed_or_wider(std::string& out, double value, int width, int decimals); // the same, but a value too wide for the field in the room it needs after one blank (files that programs read back)

// [SECTION] Reading answers ------------------------------------------------------
std::optional<long long> read_integer_field(std::string_view answer, int columns);  // Iw: first `columns` characters
std::optional<double> read_fixed_field(std::string_view answer, int columns, int implied_decimals); // Fw.d: a number typed without a point gets d implied decimals
std::optional<std::vector<double>> read_free_format(std::string_view line, int count); // `count` numbers separated by blanks, tabs or a comma

// [SECTION] Text ------------------------------------------------------------------
std::string_view trim(std::string_view text);         // without leading and trailing blanks (and tabs, NULs)
std::string_view trim_right(std::string_view text);   // without trailing blanks (and tabs, NULs)
std::string padded(std::string_view text, size_t width); // cut or blank padded to exactly `width`

// [SECTION] Path rules ------------------------------------------------------------
// Both '/' and '\' separate directories.
std::string_view directory_part(std::string_view path); // up to and including the last separator ("" when none)
std::string_view name_part(std::string_view path);      // what follows the last separator

}  // namespace tarno
