// The display state: what the display loop shows and every command changes.
// One shared record, alive for the whole run, reinitialised each time the
// display loop (LOOKFM) starts. Derived fields are recomputed by each frame;
// user-set fields (cursor, vertical limits, reference level, mean, fit width)
// change only by commands.
#pragma once

#include <array>
#include <cstdint>

namespace tarno {

constexpr int INTERP_CAPACITY = 1024;   // interpolated points of one frame

struct DisplayState {
    // View (set by commands; snapped onto point frequencies by each frame)
    double view_low;            // lower frequency limit of the view
    double view_high;           // upper frequency limit of the view
    double cursor_freq;         // cursor frequency (not snapped)
    double centre_memory;       // cursor frequency before the last centring by the comma key

    // Vertical window (set by commands)
    double y_low;               // intensity at the bottom of the data area
    double y_high;              // intensity at the top of the data area
    double reference_level;     // stays at a quarter of the data height when the scale changes
    double start_reference_level; // reference_level as the display loop started; append goes back to it

    // Derived by each frame
    double y_floor;             // copy of y_low: lower end of the cursor, lower clamp of drawn values
    double marker_unit;         // 0.002 (y_high - y_low), doubled with 17 text rows
    double y_bottom;            // y_low - 13 marker_unit: bottom of the world window
    double freq_per_pixel;      // (view_high - view_low) / screen_width
    int32_t first_index;        // point index at view_low (may lie outside 1..point_count)
    int32_t last_index;         // point index at view_high
    int32_t cursor_index;       // point index nearest the cursor
    int32_t expansion;          // 1 for raw points, else 2^(interpolation passes)

    // Spectrum figures (set at initialisation; mean_intensity also by commands)
    double mean_intensity;      // mean of intensity; baseline level of peak search
    double intensity_sum;       // sum of intensity over the spectrum

    // Measurement
    int16_t fit_width;          // points for peak fitting, odd, initially 7

    // Interpolated curve of the last interpolated frame (1-based)
    int32_t interp_count;
    std::array<double, INTERP_CAPACITY + 1> interp_freq;
    std::array<int32_t, INTERP_CAPACITY + 1> interp_value;

    // Loop bookkeeping
    bool message_flag;          // a command wrote into the status rows; next cursor move rewrites them
    std::array<char, 80> status_line_1; // first status line as last drawn (restored after "ARE YOU SURE")
    std::array<char, 80> bottom_line;   // key summary of the bottom row
    std::array<char, 100> spectrum_directory; // directory part of data_file_name
};

extern DisplayState display;

}  // namespace tarno
