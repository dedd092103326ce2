// Keys N and B of the display: smoothing, and the baseline subtraction with
// what the display shows of it.
//
// The baseline procedure, after SMOOTH's dialogue:
//   1. the original spectrum of the view in blue on the grey page;
//   2. for a negative interval, the cutoff step: two lines over the preliminary
//      baseline (exclusive-or, so a line drawn again is erased), the upper one
//      moved with W, w, Z, z and fixed by ENTER, then the lower one;
//      SMOOTH then computes the final baseline with the band's clamp;
//   3. the final baseline in light red and a bar as long as the smoothing
//      interval near the bottom of the frame:
//
//          |-------|      strokes at points first + 5 and first + 5 + interval,
//                         from 1 to 9 pixel units above the frame's floor
//
//   4. " Press ENTER to continue"; then the subtracted spectrum is lifted to
//      the reference level (a quarter up the vertical window) and the mean
//      recomputed.
//
// Sections:
//   [SECTION] Command state
//   [SECTION] Drawing
//   [SECTION] Cutoff step
//   [SECTION] Commands
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"
#include "input/keyboard.hpp"
#include "processing/smooth.hpp"
#include "window/window.hpp"

namespace tarno {

// [SECTION] Command state ------------------------------------------------------------------

// Passed to SMOOTH on every call and kept for the whole run.
struct SmoothCommand {
    int32_t mode;               // 1 smoothing, 2 baseline, 3 final baseline; 0 when the user left
    int32_t lower_cutoff;       // intensity units relative to the preliminary baseline
    int32_t upper_cutoff;       // both -1: the cutoffs are still to be set
    int32_t interval;           // smoothing interval (points), the last accepted value
};
static SmoothCommand command;

constexpr int CUTOFF_START_UNITS = 20;     // upper cutoff at first, and the band's height, in pixel units
constexpr int LOWER_START_UNITS = -500;    // lower cutoff while the upper one is set
constexpr int CUTOFF_GAP_UNITS = 3;        // closest the two cutoffs come
constexpr int BAR_POINT_OFFSET = 5;        // the interval bar starts at point first_index + 5

// [SECTION] Drawing --------------------------------------------------------------------------

// Draws the points first_index, first_index + stride, ... up to last_index as a
// polyline in world coordinates, the first vertex at view_low; value_of(i)
// gives the intensity of point i.
template <typename ValueOf>
static void draw_view_polyline(int32_t stride, ValueOf value_of) {
    const DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    constexpr int BLOCK = 2048;
    std::array<double, BLOCK> xs, ys;
    int32_t count = (d.last_index - d.first_index + stride) / stride;
    if (count < 1) return;
    move_to_world(d.view_low, clamp_to_frame(value_of(d.first_index)));
    int n = 0;
    for (int32_t k = 1; k < count; ++k) {
        int32_t i = d.first_index + k * stride;
        xs[n] = s.frequency[i];
        ys[n] = clamp_to_frame(value_of(i));
        if (++n == BLOCK || k == count - 1) {
            polyline_to_world(std::span<const double>(xs.data(), n), std::span<const double>(ys.data(), n));
            n = 0;
        }
    }
}

// Draws one of the arrays of the spectrum record over the view, every point.
static void draw_view_array(const int32_t* values) {
    draw_view_polyline(1, [values](int32_t i) { return double(values[i]); });
}

// The bar that shows the smoothing interval on the frequency axis; an end
// beyond the spectrum sits at its last point.
static void draw_interval_bar(int32_t interval) {
    const DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    double v = truncate_to_int32((d.y_high - d.y_floor) / screen.screen_height);
    double y1 = d.y_floor + v, y5 = d.y_floor + 5 * v, y9 = d.y_floor + 9 * v;
    double a = s.frequency[clamp_index(d.first_index + BAR_POINT_OFFSET)];
    double b = s.frequency[clamp_index(d.first_index + BAR_POINT_OFFSET + interval)];
    move_to_world(a, y1);
    line_to_world(a, y9);
    move_to_world(a, y5);
    line_to_world(b, y5);
    move_to_world(b, y1);
    line_to_world(b, y9);
}

// [SECTION] Cutoff step ------------------------------------------------------------------------

// One pixel of the frame in intensity units (at least 1).
static int32_t pixel_unit() {
    const DisplayState& d = display;
    int32_t u = truncate_to_int32((d.y_high - d.y_floor) / screen.screen_height);
    return u == 0 ? 1 : u;
}

// Stride of the cutoff lines: about one vertex per third of a pixel column or coarser.
static int32_t cutoff_stride() {
    const DisplayState& d = display;
    return std::max(3 * ((d.last_index - d.first_index) / screen.screen_width) + 3, 1);
}

// The preliminary baseline plus `cutoff`, drawn (or erased: exclusive-or) in the current colour.
static void draw_cutoff_line(int32_t cutoff) {
    const int32_t* preliminary = spectrum.preliminary_baseline;
    draw_view_polyline(cutoff_stride(), [preliminary, cutoff](int32_t i) { return double(preliminary[i]) + cutoff; });
}

static void write_cutoff(const char* label, int32_t value) {
    set_text_position(1, 2);
    write_text(label + format_integer(value, 7));
}

// A cutoff moved by `units` pixel units, held inside the 32-bit range.
static int32_t moved(int32_t cutoff, int64_t units, int32_t u) {
    return static_cast<int32_t>(std::clamp<int64_t>(cutoff + units * u, INT32_MIN, INT32_MAX));
}

// The cutoff after a key: w +1, W +5, z -1, Z -10 pixel units, then held
// inside [floor, ceiling]. Other keys leave it.
static int32_t step_cutoff(int32_t cutoff, int16_t key, int32_t u, int64_t floor, int64_t ceiling) {
    int32_t next = cutoff;
    switch (key) {
    case 'w': next = moved(cutoff, 1, u); break;
    case 'W': next = moved(cutoff, 5, u); break;
    case 'z': next = moved(cutoff, -1, u); break;
    case 'Z': next = moved(cutoff, -10, u); break;
    default: return cutoff;
    }
    return static_cast<int32_t>(std::clamp<int64_t>(next, floor, ceiling));
}

// Moves one cutoff line with the keys until ENTER; the line stays drawn.
static void set_cutoff_with_keys(int32_t& cutoff, const char* label, int32_t u, int64_t floor, int64_t ceiling) {
    for (;;) {
        int16_t key = 0;
        INKEY(key);
        if (key == KEY_ENTER) return;
        int32_t next = step_cutoff(cutoff, key, u, floor, ceiling);
        if (next == cutoff) continue;
        draw_cutoff_line(cutoff);
        cutoff = next;
        draw_cutoff_line(cutoff);
        write_cutoff(label, cutoff);
    }
}

// The upper, then the lower cutoff around the preliminary baseline.
static void run_cutoff_step(SmoothCommand& c) {
    int32_t u = pixel_unit();
    c.upper_cutoff = CUTOFF_START_UNITS * u;
    c.lower_cutoff = LOWER_START_UNITS * u;
    set_text_color(COLOR_LIGHT_RED);
    set_write_mode(WRITE_MODE_XOR);

    draw_cutoff_line(c.upper_cutoff);
    set_text_position(1, 2);
    write_text("Upper cutoff =" + format_integer(c.upper_cutoff, 7) + ", set with W,Z keys, terminate with ENTER");
    set_cutoff_with_keys(c.upper_cutoff, "Upper cutoff =", u, int64_t(c.lower_cutoff) + CUTOFF_GAP_UNITS * u, INT32_MAX);

    c.lower_cutoff = moved(c.upper_cutoff, -CUTOFF_START_UNITS, u);
    draw_cutoff_line(c.lower_cutoff);
    write_cutoff("Lower cutoff =", c.lower_cutoff);
    set_cutoff_with_keys(c.lower_cutoff, "Lower cutoff =", u, INT32_MIN, int64_t(c.upper_cutoff) - CUTOFF_GAP_UNITS * u);

    c.mode = 3;
    SMOOTH(c.mode, c.lower_cutoff, c.upper_cutoff, c.interval);
}

// [SECTION] Commands -----------------------------------------------------------------------------

Redraw smoothing_command() {
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    show_text_cursor(true);
    set_text_position(1, 1);
    command.mode = 1;
    SMOOTH(command.mode, command.lower_cutoff, command.upper_cutoff, command.interval);
    set_display_viewport();
    return Redraw_WholeScreen;
}

// Shows the result of the subtraction, waits for ENTER, and lifts the
// subtracted spectrum to the reference level.
static void show_and_lift_baseline(SmoothCommand& c) {
    SpectrumRecord& s = spectrum;
    set_color(COLOR_LIGHT_RED);
    set_write_mode(WRITE_MODE_COPY);
    draw_view_array(s.smoothing_source);
    draw_interval_bar(c.interval);

    set_color(COLOR_WHITE);
    set_text_color(COLOR_BLACK);
    set_text_position(1, 1);
    write_text(std::string(78, ' '));
    set_text_position(1, 1);
    write_text(" Press ENTER to continue");
    wait_for_enter();

    double level = display.reference_level;
    for (int32_t i = 1; i <= s.point_count; ++i) s.intensity[i] = truncate_to_int32(s.intensity[i] + level);
    recompute_intensity_mean();
}

Redraw run_baseline_procedure() {
    SmoothCommand& c = command;
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    show_text_cursor(true);
    c.lower_cutoff = 0;
    c.upper_cutoff = 0;
    c.mode = 2;
    SMOOTH(c.mode, c.lower_cutoff, c.upper_cutoff, c.interval);
    set_display_viewport();
    if (c.mode == 0) return Redraw_WholeScreen;

    show_text_cursor(false);
    clear_screen(0);
    set_color(COLOR_BLUE);
    draw_view_array(spectrum.original_intensity);
    set_color(COLOR_LIGHT_GREEN);
    if (c.lower_cutoff == -1 && c.upper_cutoff == -1) run_cutoff_step(c);
    show_and_lift_baseline(c);
    return Redraw_WholeScreen;
}

}  // namespace tarno
