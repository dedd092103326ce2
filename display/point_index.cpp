// Frequency <-> point index on the spectrum's axis, extended linearly beyond
// its ends. A spectrum of one point, or one whose first and last frequency are
// equal, has no axis of its own; it gets the stored step (or 1) so that a view
// can still be drawn instead of dividing by zero.
#include "display/point_index.hpp"

#include <cmath>

#include "app/records.hpp"

namespace tarno {

// True when the spectrum spans a frequency range the index rule can divide by.
static bool has_axis() {
    const SpectrumRecord& s = spectrum;
    return s.point_count >= 2 && s.frequency[s.point_count] != s.frequency[1];
}

double axis_step() {
    const SpectrumRecord& s = spectrum;
    if (has_axis()) return (s.frequency[s.point_count] - s.frequency[1]) / (s.point_count - 1);
    return s.freq_step != 0 && std::isfinite(s.freq_step) ? s.freq_step : 1.0;
}

// Holds a rounded index within +-INDEX_LIMIT.
static int32_t limit_index(double rounded) {
    if (!(rounded > -INDEX_LIMIT)) return -INDEX_LIMIT;   // also NaN
    if (rounded > INDEX_LIMIT) return INDEX_LIMIT;
    return static_cast<int32_t>(rounded);
}

int32_t point_index(double f) {
    const SpectrumRecord& s = spectrum;
    if (s.point_count < 1) return 1;
    double quotient = has_axis()
        ? (s.point_count - 1) * (f - s.frequency[1]) / (s.frequency[s.point_count] - s.frequency[1])
        : (f - s.frequency[1]) / axis_step();
    return limit_index(round_half_away(quotient) + 1);
}

double index_frequency(int32_t i) {
    const SpectrumRecord& s = spectrum;
    if (i >= 1 && i <= s.point_count) return s.frequency[i];
    if (s.point_count < 1) return i - 1.0;
    if (has_axis())
        return s.frequency[1] + (i - 1) * (s.frequency[s.point_count] - s.frequency[1]) / (s.point_count - 1);
    return s.frequency[1] + (i - 1) * axis_step();
}

int32_t index_intensity(int32_t i) {
    const SpectrumRecord& s = spectrum;
    if (s.point_count < 1) return 0;
    return s.intensity[clamp_index(i)];
}

int32_t clamp_index(int32_t i) {
    if (i < 1) return 1;
    if (i > spectrum.point_count) return spectrum.point_count < 1 ? 1 : spectrum.point_count;
    return i;
}

}  // namespace tarno
