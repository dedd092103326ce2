// The navigation and scaling commands: each changes the display state only;
// the display loop draws the frame afterwards. R is the view width, D the
// height of the vertical window, P the frequency per pixel of the last frame.
#include <algorithm>

#include "app/records.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/point_index.hpp"

namespace tarno {

// Holds the cursor inside the view.
static void clamp_cursor() {
    DisplayState& d = display;
    d.cursor_freq = std::clamp(d.cursor_freq, d.view_low, std::max(d.view_low, d.view_high));
}

void shift_view(double fraction) {
    DisplayState& d = display;
    double step = fraction * (d.view_high - d.view_low);
    d.view_low += step;
    d.view_high += step;
    d.cursor_freq += step;
}

void zoom_out(double fraction) {
    DisplayState& d = display;
    double step = fraction * (d.view_high - d.view_low);
    d.view_low -= step;
    d.view_high += step;
    clamp_cursor();
}

void zoom_in(double half_width) {
    DisplayState& d = display;
    double step = half_width * (d.view_high - d.view_low);
    d.view_low = d.cursor_freq - step;
    d.view_high = d.cursor_freq + step;
    clamp_cursor();
}

// f < 1 magnifies, f > 1 shrinks; the reference level stays a quarter up.
void scale_vertical(float f) {
    DisplayState& d = display;
    double height = d.y_high - d.y_low;
    d.y_low = d.reference_level - 0.25 * height * f;
    d.y_high = d.reference_level + 0.75 * height * f;
}

void shift_vertical(float fraction) {
    DisplayState& d = display;
    double step = fraction * (d.y_high - d.y_low);
    d.y_low += step;
    d.y_high += step;
    d.reference_level += step;
}

// Mirrors every intensity between y_low and y_high, and the mean with them.
void invert_intensities() {
    DisplayState& d = display;
    SpectrumRecord& s = spectrum;
    double mirror = d.y_low + d.y_high;
    for (int32_t i = 1; i <= s.point_count; ++i) s.intensity[i] = truncate_to_int32(mirror - s.intensity[i]);
    d.mean_intensity = mirror - d.mean_intensity;
}

// Restores the spectrum; its mean is that of the restored data again, since a
// mean mirrored by invert would otherwise outlive the inversion.
void restore_original() {
    SpectrumRecord& s = spectrum;
    for (int32_t i = 1; i <= s.point_count; ++i) s.intensity[i] = s.original_intensity[i];
    recompute_intensity_mean();
}

void go_home() {
    DisplayState& d = display;
    double first = index_frequency(1);
    d.view_low = first;
    d.view_high = first + screen.screen_width * d.freq_per_pixel;
    d.cursor_freq = (d.view_low + d.view_high) / 2;
}

void go_end() {
    DisplayState& d = display;
    double first = index_frequency(1), last = index_frequency(std::max(spectrum.point_count, 1));
    double width = screen.screen_width * d.freq_per_pixel;
    d.view_low = last - width;
    d.view_high = last;
    if (d.view_low < first) {
        d.view_low = first;
        d.view_high = first + width;
    }
    d.cursor_freq = (d.view_low + d.view_high) / 2;
}

// Centre, then the quarter point away from where the cursor was before centring.
double comma_position() {
    DisplayState& d = display;
    double centre = (d.view_low + d.view_high) / 2;
    double width = d.view_high - d.view_low;
    if (d.cursor_freq != centre) {
        d.centre_memory = d.cursor_freq;
        return centre;
    }
    double next = centre > d.centre_memory ? d.view_low + 0.75 * width : d.view_low + 0.25 * width;
    d.centre_memory = centre;
    return next;
}

}  // namespace tarno
