// The frame: the plot area drawn from the display state. It snaps the view
// onto point frequencies (at least 3 intervals wide), sets the world window,
// and draws the frame box, the linked indicator, the curve, the offset
// marker, the cursor, the marker scale and the two status lines. The view
// limits and the cursor go to the exchange block.
#include <cmath>

#include "app/records.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/linked_state.hpp"
#include "display/point_index.hpp"
#include "exchange/exchange_block.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int32_t MIN_INTERVALS = 3;

// [SECTION] Steps of a frame ------------------------------------------------------------

// Marker unit and bottom of the world window from the vertical limits.
static void set_vertical_units() {
    DisplayState& d = display;
    d.marker_unit = 0.002 * (d.y_high - d.y_low);
    if (screen.text_rows == 17) d.marker_unit = 2 * d.marker_unit;
    d.y_bottom = d.y_low - 13 * d.marker_unit;
}

// Indices of the view limits, widened symmetrically to 3 intervals, and the
// limits moved onto the frequencies of those indices.
static void snap_view() {
    DisplayState& d = display;
    d.first_index = point_index(d.view_low);
    d.last_index = point_index(d.view_high);
    if (d.last_index - d.first_index < MIN_INTERVALS) {
        // as many steps of one index each side as the widening loop would take
        int32_t steps = (MIN_INTERVALS - (d.last_index - d.first_index) + 1) / 2;
        d.first_index -= steps;
        d.last_index += steps;
    }
    d.view_low = index_frequency(d.first_index);
    d.view_high = index_frequency(d.last_index);
}

// Clears the plot area to blue and sets the plain drawing state.
static void clear_plot_area() {
    DisplayState& d = display;
    d.freq_per_pixel = (d.view_high - d.view_low) / screen.screen_width;
    set_world_window(true, d.view_low, d.y_bottom, d.view_high, d.y_high);
    set_line_style(0xFFFF);
    set_color(15);
    set_background_color(1);
    set_write_mode(WRITE_MODE_COPY);
    clear_screen(1);
    d.y_floor = d.y_low;
}

void draw_frame_box() {
    const DisplayState& d = display;
    move_to_world(d.view_low, d.y_high);
    line_to_world(d.view_low, d.y_floor);
    line_to_world(d.view_high, d.y_floor);
    line_to_world(d.view_high, d.y_high);
    line_to_world(d.view_low, d.y_high);
}

// The red mark in the top right corner while linked operation is active:
// ten strokes of 8 pixels, one per pixel row from the top down.
void draw_linked_indicator() {
    const DisplayState& d = display;
    double pixel_y = (d.y_high - d.y_floor) / (screen.screen_height - 4 * screen.row_height);
    double eight_pixels_x = 8 * (d.view_high - d.view_low) / (screen.screen_width - 4);
    set_color(12);
    for (int k = 1; k <= 10; ++k) {
        double y = d.y_high - (k - 1) * pixel_y;
        move_to_world(d.view_high - eight_pixels_x, y);
        line_to_world(d.view_high, y);
    }
    set_color(15);
}

// The F8 marker: a dashed line at a constant offset from the partner's cursor.
void draw_offset_marker() {
    const DisplayState& d = display;
    double x = linked.partner_cursor + linked.marker_offset;
    if (!(x >= d.view_low && x <= d.view_high)) return;
    set_color(14);
    set_line_style(0xEEEE);
    move_to_world(x, d.y_high);
    line_to_world(x, d.y_floor);
    set_color(15);
    set_line_style(0xFFFF);
}

// [SECTION] Public routines -----------------------------------------------------------------

// Draws the cursor line in exclusive-or mode; the same call erases it again.
// Top end of the cursor line. The plot area begins 2 pixel rows inside text
// row 2, and the status lines are written after the frame, so those rows
// are grey text background: an XOR line there would leave dots when it is
// erased after a status update. The line starts just below them.
static double cursor_top() {
    const DisplayState& d = display;
    double plot_pixels = (screen.screen_height - 2 * screen.row_height + 2) - (2 * screen.row_height - 2);
    if (!(plot_pixels > 2)) return d.y_high;
    return d.y_high - 2 * (d.y_high - d.y_bottom) / plot_pixels;
}

// A cursor outside the view is not drawn (it would be clipped anyway), which
// keeps absurd typed limits away from the pixel conversion.
void draw_cursor_line() {
    const DisplayState& d = display;
    if (!(d.cursor_freq >= d.view_low && d.cursor_freq <= d.view_high)) return;
    set_write_mode(WRITE_MODE_XOR);
    set_color(14);
    move_to_world(d.cursor_freq, cursor_top());
    line_to_world(d.cursor_freq, d.y_floor);
    set_color(15);
    set_write_mode(WRITE_MODE_COPY);
}

// Draws a new frame with the current limits; status rows 1 and 2 are rewritten.
void draw_frame() {
    DisplayState& d = display;
    set_vertical_units();
    snap_view();
    if (!std::isfinite(d.cursor_freq)) d.cursor_freq = (d.view_low + d.view_high) / 2;
    publish_view_limits(d.view_low, d.view_high);
    clear_plot_area();
    draw_frame_box();
    draw_line_overlay();
    if (linked.linked_flag == 1) draw_linked_indicator();
    draw_data_curve();
    if (linked.offset_marker_on) draw_offset_marker();
    draw_cursor_line();
    publish_cursor(d.cursor_freq);
    MARSCA(d.view_low, d.view_high);

    set_text_color(0);
    set_background_color(7);
    d.first_index = point_index(d.view_low);
    d.last_index = point_index(d.view_high);
    d.cursor_index = point_index(d.cursor_freq);
    write_status_lines();
}

}  // namespace tarno
