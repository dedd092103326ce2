// Drawing the display: initialisation of the display state, the whole-screen
// redraw, the frame (plot area), the cursor, the marker scale, the readouts.
// Everything reads the display state and the spectrum record and draws
// through the window layer in world coordinates (frequency, intensity).
//
// Screen layout (text rows; 17 rows in the reduced-height display):
//
//   row 1            status line 1 (cursor index and frequency, view width in points)
//   row 2            status line 2 (intensity at the cursor, vertical range)
//   rows 3..r-2      plot area (viewport), frame box, curve, cursor
//   row r-1          marker labels
//   row r            key summary and file name
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tarno {

// [SECTION] Screen work (called by the display loop) ------------------------------
void initialise_display();          // fills the display state from the spectrum, clears and draws the whole screen
void set_display_viewport();        // the plot area's viewport for the current screen configuration
void redraw_whole_screen();         // clears the window; bottom line, file name(s), then a frame
void publish_spectrum_in_block();   // the spectrum's range and file name (without directory) to the exchange block
void compose_bottom_line();         // the bottom row's text: key summary (none with linked input) and help hint
void draw_frame();                  // snaps the view, draws the plot area, marker scale and status lines
void update_cursor(double new_cursor); // XOR-moves the cursor line and updates the readouts
void draw_point_boxes();            // a box around every point of the view inside the vertical window
void draw_cursor_line();            // the cursor line in XOR mode (drawing it twice erases it)
void draw_data_curve();             // the curve of the view (interpolated, every point or decimated)
void draw_every_point();            // the curve through every point of the view, whatever the regime
void draw_frame_box();              // the box around the data area
void draw_linked_indicator();       // the red strokes of active linked operation, top right
void draw_offset_marker();          // the dashed F8 marker at the partner's cursor plus the offset
void write_status_lines();          // status lines 1 and 2 in full; clears the message flag

// [SECTION] Drawing parts ------------------------------------------------------------
void MARSCA(double low, double high);   // marker ticks under the data and the label row
void INTERP(double low, double high, int32_t first, int32_t last, int32_t& count, int32_t& expansion);

// [SECTION] Pure helpers (tested on their own) -------------------------------------------
std::string status_line_1();        // the 80 characters of status row 1 for the current state
std::string status_line_2();        // the 80 characters of status row 2
std::string marker_label_row(double low, double high, double step); // the 80-character label row
double marker_step(double low, double high); // tick spacing of the marker scale
double clamp_to_frame(double v);    // an intensity held inside [y_floor, y_high] for drawing

// Peak-preserving value of one group: the extreme of `values` (starting both
// extremes at `mean`) that lies farther from the mean; the maximum on a tie.
int32_t group_extreme(std::span<const int32_t> values, double mean);

// Curve regimes of a frame by its number of intervals n.
enum CurveRegime {
    CurveRegime_Interpolated,   // n < 512: INTERP subdivides the points
    CurveRegime_EveryPoint,     // 512 <= n < 10 screen_width
    CurveRegime_Decimated,      // n >= 10 screen_width: one extreme per group
};
CurveRegime curve_regime(int32_t intervals);

}  // namespace tarno
