// Pure number helpers: the one rounding rule and the saturating truncations
// every module uses when a floating-point value becomes an integer.
//
//   round_half_away(2.5) == 3, round_half_away(-2.5) == -3
//   truncate_to_int32(1e12) == INT32_MAX, truncate_to_int32(NaN) == 0
#pragma once

#include <cstdint>

namespace tarno {

double round_half_away(double value);       // halves away from zero (add 0.5, or -0.5 below zero, then truncate)
int32_t truncate_to_int32(double value);    // toward zero, held within int32_t (NaN gives 0)
long long truncate_to_int64(double value);  // toward zero, held within long long (NaN gives 0)

// |value| = mantissa * 2^exponent exactly, read from the bits of a finite double
// (the mantissa holds the hidden bit; subnormals have exponent -1074).
struct BinaryParts {
    uint64_t mantissa;
    int exponent;
};
BinaryParts binary_parts(double value);

}  // namespace tarno
