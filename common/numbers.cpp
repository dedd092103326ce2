// Rounding and saturating truncation (see numbers.hpp).
#include "common/numbers.hpp"

#include <cmath>
#include <cstring>  // memcpy: the bits of a double
#include <limits>

namespace tarno {

// Returns `value` rounded to a whole number, halves away from zero.
double round_half_away(double value) { return std::trunc(value < 0 ? value - 0.5 : value + 0.5); }

// Returns `value` truncated toward zero, saturated at the int32_t limits; NaN gives 0.
int32_t truncate_to_int32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// Returns `value` truncated toward zero, saturated at the long long limits; NaN gives 0.
long long truncate_to_int64(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18) return std::numeric_limits<long long>::max();
    if (value <= -9.2e18) return std::numeric_limits<long long>::min();
    return static_cast<long long>(value);
}

// Splits a finite double into its integer mantissa and power of two.
BinaryParts binary_parts(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int biased = static_cast<int>((bits >> 52) & 0x7FF);
    BinaryParts parts{bits & ((uint64_t{1} << 52) - 1), -1074};   // subnormal
    if (biased != 0) {
        parts.mantissa |= uint64_t{1} << 52;
        parts.exponent = biased - 1075;
    }
    return parts;
}

}  // namespace tarno
