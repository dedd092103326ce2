// append_fixed: the Fw.d field of format_fixed for files of millions of lines.
//
// A double is m * 2^e exactly (m an integer below 2^53), so value * 10^d is
// the integer m * 10^d shifted by e, and its rounding to an integer is exact
// in 128-bit arithmetic: the remainder of the shift says whether the dropped
// part is below, at or above one half. Halves go away from zero, as in
// format_fixed. No floating-point step is involved, so the digits are those of
// the correctly rounded decimal value that format_fixed writes.
//
// append_fixed_or_wider keeps files readable by other programs: an
// overflowing field becomes the number itself after one blank.
//
// Values this path does not cover (very large magnitudes, many decimals, wide
// fields, NaN, infinities, fields that overflow) go through format_fixed
// itself, so the text is the same in every case.
#include <cmath>        // isfinite
#include <cstdint>
#include <cstring>      // memcpy into the field
#include <string>

#include "common/fields.hpp"
#include "common/numbers.hpp"

namespace tarno {

static constexpr int FAST_MAX_WIDTH = 40;      // longer fields go the long way
static constexpr int FAST_MAX_SHIFT_UP = 40;   // m * 10^d * 2^e below 2^123

static constexpr uint64_t POWERS_OF_TEN[] = {
    1ULL, 10ULL, 100ULL, 1000ULL, 10000ULL, 100000ULL, 1000000ULL, 10000000ULL, 100000000ULL,
    1000000000ULL, 10000000000ULL, 100000000000ULL, 1000000000000ULL, 10000000000000ULL,
    100000000000000ULL, 1000000000000000ULL, 10000000000000000ULL, 100000000000000000ULL,
    1000000000000000000ULL, 10000000000000000000ULL,
};

// Returns round(|value| * 10^decimals), halves away from zero, in `out_units`;
// false when it does not fit 64 bits.
static bool scaled_units(double value, int decimals, uint64_t& out_units) {
    auto [mantissa, exponent] = binary_parts(value);
    __extension__ typedef unsigned __int128 u128;
    u128 scaled = static_cast<u128>(mantissa) * POWERS_OF_TEN[decimals];
    u128 units;
    if (exponent >= 0) {
        if (exponent > FAST_MAX_SHIFT_UP) return false;
        units = scaled << exponent;
    } else if (-exponent >= 127) {
        units = 0;                                      // far below one half
    } else {
        const int shift = -exponent;
        units = scaled >> shift;
        const u128 remainder = scaled & ((u128{1} << shift) - 1);
        if (remainder >= (u128{1} << (shift - 1))) ++units;   // a half or more: away from zero
    }
    if (units > UINT64_MAX) return false;
    out_units = static_cast<uint64_t>(units);
    return true;
}

// "00" .. "99": two digits per step.
static constexpr char DIGIT_PAIRS[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes exactly `count` decimal digits of `number` (zero-filled) ending just
// before `end`; returns the first.
static char* fixed_digits_backwards(uint64_t number, int count, char* end) {
    for (; count >= 2; count -= 2) {
        const size_t pair = static_cast<size_t>(number % 100) * 2;
        number /= 100;
        *--end = DIGIT_PAIRS[pair + 1];
        *--end = DIGIT_PAIRS[pair];
    }
    if (count == 1) *--end = static_cast<char>('0' + number % 10);
    return end;
}

// Writes the decimal digits of `number` (at least one) ending just before `end`; returns the first.
static char* digits_backwards(uint64_t number, char* end) {
    while (number >= 100) {
        const size_t pair = static_cast<size_t>(number % 100) * 2;
        number /= 100;
        *--end = DIGIT_PAIRS[pair + 1];
        *--end = DIGIT_PAIRS[pair];
    }
    if (number >= 10) {
        *--end = DIGIT_PAIRS[number * 2 + 1];
        *--end = DIGIT_PAIRS[number * 2];
    } else {
        *--end = static_cast<char>('0' + number);
    }
    return end;
}

// The field into `field` (exactly `width` characters) for DECIMALS decimals,
// a constant so that the divisions by 10^DECIMALS become multiplications;
// false when the value needs the long way.
template <int DECIMALS>
static bool fast_fixed_with(double value, int width, char* field) {
    if (!std::isfinite(value)) return false;
    uint64_t units;
    if (!scaled_units(value, DECIMALS, units)) return false;
    constexpr uint64_t unit = POWERS_OF_TEN[DECIMALS];
    const uint64_t whole = units / unit;
    // Compose right to left: decimals, point, whole part, sign.
    char text[48];
    char* const end = text + sizeof text;
    char* p = fixed_digits_backwards(units % unit, DECIMALS, end);
    *--p = '.';
    const bool negative = value < 0;                    // -0.0 is written without a sign
    // The leading "0" of "0.xxx" only when the field has room for it.
    const int length_without_zero = static_cast<int>(end - p) + (negative ? 1 : 0);
    if (whole != 0 || length_without_zero < width) p = digits_backwards(whole, p);
    if (negative) *--p = '-';
    const int length = static_cast<int>(end - p);
    if (length > width) return false;                   // asterisks: format_fixed writes them
    std::memset(field, ' ', static_cast<size_t>(width - length));
    std::memcpy(field + (width - length), p, static_cast<size_t>(length));
    return true;
}

// The field into `field`; false when the value needs the long way.
static bool fast_fixed(double value, int width, int decimals, char* field) {
    if (width <= 0 || width > FAST_MAX_WIDTH) return false;
    switch (decimals) {
    case 0: return fast_fixed_with<0>(value, width, field);
    case 1: return fast_fixed_with<1>(value, width, field);
    case 2: return fast_fixed_with<2>(value, width, field);
    case 3: return fast_fixed_with<3>(value, width, field);
    case 4: return fast_fixed_with<4>(value, width, field);
    case 5: return fast_fixed_with<5>(value, width, field);
    case 6: return fast_fixed_with<6>(value, width, field);
    case 7: return fast_fixed_with<7>(value, width, field);
    case 8: return fast_fixed_with<8>(value, width, field);
    case 9: return fast_fixed_with<9>(value, width, field);
    default: return false;
    }
}

// Appends `value` as Fw.d to `out`: the same characters as format_fixed(value, width, decimals).
void append_fixed(std::string& out, double value, int width, int decimals) {
    char field[FAST_MAX_WIDTH];
    if (fast_fixed(value, width, decimals, field)) out.append(field, static_cast<size_t>(width));
    else out += format_fixed(value, width, decimals);
}

// Appends `value` as Fw.d; a value too wide for the field goes in the room it
// needs after one blank instead of asterisks, which no reader could take back.
void append_fixed_or_wider(std::string& out, double value, int width, int decimals) {
    const size_t start = out.size();
    append_fixed(out, value, width, decimals);
    if (width <= 0 || out[start] != '*') return;   // an overflowing field is all asterisks; no other starts with one
    out.resize(start);
    out += ' ';
    out += trim(format_fixed(value, 60, decimals));
}

}  // namespace tarno
