// The data curve of a frame, in one of three regimes by the number of
// intervals n = last_index - first_index in view:
//
//   n < 512                 INTERP subdivides the few points into a smooth curve
//   512 <= n < 10 width     every point, joined by lines
//   n >= 10 width           peak-preserving decimation: groups of g points, each
//                           drawn as its extreme farthest from mean_intensity, so a
//                           narrow line survives whether it points up or down
//
// Points outside the spectrum continue flat at the first or the last
// intensity; every value is clamped into [y_floor, y_high] before drawing.
#include <algorithm>
#include <limits>
#include <span>

#include "app/records.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int32_t INTERPOLATION_LIMIT = 512;   // fewer intervals than this are interpolated
constexpr int32_t DECIMATION_FACTOR = 10;      // decimate from 10 points per pixel

// [SECTION] Regimes and groups ----------------------------------------------------------

CurveRegime curve_regime(int32_t n) {
    if (n < INTERPOLATION_LIMIT) return CurveRegime_Interpolated;
    if (n < DECIMATION_FACTOR * screen.screen_width) return CurveRegime_EveryPoint;
    return CurveRegime_Decimated;
}

// Smallest and largest of a run of intensities.
struct IntensityRange {
    int32_t low = std::numeric_limits<int32_t>::max();
    int32_t high = std::numeric_limits<int32_t>::min();
    void add(int32_t v) { low = std::min(low, v); high = std::max(high, v); }
};

// The range of a span; a plain loop the compiler can vectorise (10M points per frame).
static IntensityRange span_range(std::span<const int32_t> values) {
    IntensityRange r;
    for (int32_t v : values) {
        r.low = v < r.low ? v : r.low;
        r.high = v > r.high ? v : r.high;
    }
    return r;
}

// Picks the extreme farther from the mean, both extremes starting at the mean.
static double farther_extreme(IntensityRange r, double mean) {
    double low = std::min(mean, static_cast<double>(r.low));
    double high = std::max(mean, static_cast<double>(r.high));
    return high - mean >= mean - low ? high : low;
}

int32_t group_extreme(std::span<const int32_t> values, double mean) {
    return truncate_to_int32(farther_extreme(span_range(values), mean));
}

// Range of the points i..i+g-1, with the flat continuation outside the spectrum
// taken once per side instead of point by point.
static IntensityRange group_range(int32_t i, int32_t g) {
    const SpectrumRecord& s = spectrum;
    int32_t end = i + g - 1;
    IntensityRange r;
    if (i < 1) r.add(s.intensity[1]);
    if (end > s.point_count) r.add(s.intensity[s.point_count]);
    int32_t inside_first = std::max(i, 1), inside_last = std::min(end, s.point_count);
    if (inside_first <= inside_last) {
        IntensityRange inside = span_range(std::span<const int32_t>(&s.intensity[inside_first], inside_last - inside_first + 1));
        r.add(inside.low);
        r.add(inside.high);
    }
    return r;
}

// [SECTION] Drawing --------------------------------------------------------------------------

// A value held inside the vertical window.
double clamp_to_frame(double v) {
    const DisplayState& d = display;
    return std::clamp(v, d.y_floor, std::max(d.y_floor, d.y_high));
}

static void draw_interpolated() {
    DisplayState& d = display;
    INTERP(d.view_low, d.view_high, d.first_index, d.last_index, d.interp_count, d.expansion);
    move_to_world(d.view_low, clamp_to_frame(d.interp_value[1]));
    for (int32_t k = 2; k <= d.interp_count; ++k) line_to_world(d.interp_freq[k], clamp_to_frame(d.interp_value[k]));
}

// Every point of the view joined by lines, handed to the window layer a block
// at a time (one lock per block; many points per pixel column draw as one run).
void draw_every_point() {
    const DisplayState& d = display;
    constexpr int BLOCK = 2048;
    double xs[BLOCK], ys[BLOCK];
    move_to_world(d.view_low, clamp_to_frame(index_intensity(d.first_index)));
    int n = 0;
    for (int32_t i = d.first_index + 1; i <= d.last_index; ++i) {
        xs[n] = index_frequency(i);
        ys[n] = clamp_to_frame(index_intensity(i));
        if (++n == BLOCK) {
            polyline_to_world(std::span<const double>(xs, BLOCK), std::span<const double>(ys, BLOCK));
            n = 0;
        }
    }
    polyline_to_world(std::span<const double>(xs, size_t(n)), std::span<const double>(ys, size_t(n)));
}

static void draw_decimated() {
    const DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    int32_t n = d.last_index - d.first_index;
    int32_t g = n / (DECIMATION_FACTOR * screen.screen_width);
    int32_t groups = n / g;
    for (int32_t k = 0; k < groups; ++k) {
        int32_t i = d.first_index + k * g;
        double v = clamp_to_frame(farther_extreme(group_range(i, g), d.mean_intensity));
        if (k == 0) {
            move_to_world(d.view_low, v);
            continue;
        }
        double x = (i >= 1 && i <= s.point_count - g) ? s.frequency[i + g / 2] : index_frequency(i);
        line_to_world(x, v);
    }
}

// Draws the curve of the current view in the current colour.
void draw_data_curve() {
    DisplayState& d = display;
    d.expansion = 1;
    if (spectrum.point_count < 1 || screen.screen_width < 1) return;
    switch (curve_regime(d.last_index - d.first_index)) {
    case CurveRegime_Interpolated: draw_interpolated(); break;
    case CurveRegime_EveryPoint: draw_every_point(); break;
    case CurveRegime_Decimated: draw_decimated(); break;
    }
}

// Draws a box around every point of the view that lies inside the vertical window.
void draw_point_boxes() {
    const DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    double hx = 3.75 * (d.view_high - d.view_low) / screen.screen_width;
    double hy = 5 * (d.y_high - d.y_low) / screen.screen_height;
    int32_t first = std::max(d.first_index, 1), last = std::min(d.last_index, s.point_count);
    for (int32_t i = first; i <= last; ++i) {
        double v = s.intensity[i];
        if (v < d.y_low || v > d.y_high) continue;
        fill_rectangle_world(RECTANGLE_BORDER, s.frequency[i] - hx, v + hy, s.frequency[i] + hx, v - hy);
    }
}

}  // namespace tarno
