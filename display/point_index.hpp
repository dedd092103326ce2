// The point index of a frequency and back, the one rule every module uses to
// convert between frequency and point:
//
//   index(f) = round((point_count - 1)(f - frequency(1)) / (frequency(point_count) - frequency(1))) + 1
//
// with halves rounded away from zero. Outside 1..point_count the frequency
// axis is extended linearly and the intensity continues flat at the first or
// the last point:
//
//        index:   ... -1   0 | 1   2  ...  point_count | point_count+1 ...
//    frequency:   extended   |   frequency(i)          |   extended
//    intensity:   intensity(1)   intensity(i)            intensity(point_count)
#pragma once

#include <cstdint>

#include "common/numbers.hpp"   // round_half_away, truncate_to_int32/64 (used beside the index rule)

namespace tarno {

constexpr int32_t INDEX_LIMIT = 1 << 29;    // indices are held within +-2^29 so sums and differences never overflow

int32_t point_index(double frequency);      // nearest point index (may lie outside 1..point_count)
double index_frequency(int32_t index);      // frequency of an index, on the extended axis outside the spectrum
int32_t index_intensity(int32_t index);     // intensity of an index, flat outside the spectrum
int32_t clamp_index(int32_t index);         // the index held within 1..point_count
double axis_step();                         // frequency per point of the (extended) axis

}  // namespace tarno
