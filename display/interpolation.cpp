// INTERP: the smooth curve of a frame with fewer than 512 intervals. Each pass
// puts a new value half-way between every two points, on the parabola through
// three neighbouring points, until the curve has more than 512 points:
//
//   O(2j-1) = W(j)                                          j = 1..m
//   O(2j)   = 0.375 W(j) + 0.75 W(j+1) - 0.125 W(j+2)       j = 1..m-2
//   O(2m-2) = -0.125 W(m-2) + 0.75 W(m-1) + 0.375 W(m)      (last interval, parabola through the last three)
//
// REF: Lagrange interpolation on three equidistant points evaluated at the
// half step: weights 3/8, 6/8, -1/8.
#include <algorithm>
#include <array>
#include <cmath>

#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"

namespace tarno {

// Values of one pass: the previous pass's points and the new ones.
static std::array<int32_t, INTERP_CAPACITY + 1> pass_input;
static std::array<int32_t, INTERP_CAPACITY + 1> pass_output;

// One subdivision pass of the m values in `in` (1-based) into 2m - 1 values in `out`.
static void subdivide(const std::array<int32_t, INTERP_CAPACITY + 1>& in, int32_t m,
                      std::array<int32_t, INTERP_CAPACITY + 1>& out) {
    for (int32_t j = 1; j <= m; ++j) out[2 * j - 1] = in[j];
    for (int32_t j = 1; j <= m - 2; ++j)
        out[2 * j] = truncate_to_int32(0.375 * in[j] + 0.75 * in[j + 1] - 0.125 * in[j + 2]);
    if (m >= 3) out[2 * m - 2] = truncate_to_int32(-0.125 * in[m - 2] + 0.75 * in[m - 1] + 0.375 * in[m]);
    else if (m == 2) out[2] = truncate_to_int32(0.5 * in[1] + 0.5 * in[2]);   // too few points for a parabola
}

// Fills interp_value and interp_freq for the points first..last between the
// frequencies low and high; doubles `expansion` once per pass.
void INTERP(double low, double high, int32_t first, int32_t last, int32_t& count, int32_t& expansion) {
    DisplayState& d = display;
    // Guard degenerate input: at least two points, and no more than one pass can hold
    int32_t m = std::clamp(last - first + 1, 2, INTERP_CAPACITY / 2);
    for (int32_t j = 1; j <= m; ++j) pass_input[j] = index_intensity(first + j - 1);

    // Passes until the next one would not fit
    for (;;) {
        subdivide(pass_input, m, pass_output);
        m = 2 * m - 1;
        expansion *= 2;
        if (2 * m > INTERP_CAPACITY) break;
        pass_input = pass_output;
    }

    count = m;
    for (int32_t k = 1; k <= m; ++k) {
        d.interp_value[k] = pass_output[k];
        d.interp_freq[k] = low + (k - 1) * (high - low) / (m - 1);
    }
}

}  // namespace tarno
