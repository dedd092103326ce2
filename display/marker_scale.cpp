// MARSCA: the frequency marker scale under the data. Ticks every d frequency
// units (d a power of ten, at least 15 ticks in the view); every tenth tick is
// long and carries a label in the label row above the bottom line:
//
//    |         |         |         |      <- y_floor (bottom of the frame box)
//    |''''|''''|''''|''''|''''|''''|''    short ticks 5, long ticks 13 marker units
//      123.0     124.0     125.0          label row (text_rows - 1)
//
// A label is centred on its tick's column (80 columns over the view); it is
// left out within 3 columns of either edge and where it would touch the
// previous label. The long tick is drawn all the same.
#include <cmath>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr double FIRST_MARKER_STEP = 100000;
constexpr int MIN_TICKS = 15;
constexpr int LABEL_COLUMNS = 80;

// Returns the tick spacing: from 100000 down by tenths until the view holds at
// least 15 ticks; then, so a huge view cannot take forever, up by tens until
// no more ticks than pixels are drawn (they would merge into a band anyway).
double marker_step(double low, double high) {
    double range = high - low;
    if (!(range > 0) || !std::isfinite(range)) return 0;
    double d = FIRST_MARKER_STEP;
    while (std::trunc(range / d) < MIN_TICKS && d > 1e-300) d = d * 0.1;
    double most_ticks = 10.0 * (screen.screen_width + 1);
    while (range / d > most_ticks) d = d * 10;
    return d;
}

// True when the tick at f is every tenth one (k = round(f/d) a multiple of 10).
static bool is_long_tick(double f, double d) {
    double k = round_half_away(f / d);
    return round_half_away(std::trunc(0.1 * k) * 10) == k;
}

// The first tick at or above `low`.
static double first_tick(double low, double d) {
    double f0 = std::trunc(low / d) * d;
    return f0 < low ? f0 + d : f0;
}

// The tick after f; +infinity ends the scale when d is lost in f's precision.
static double next_tick(double f, double d) {
    double next = f + d;
    return next > f ? next : INFINITY;
}

// Writes the label of a long tick at f into `row` (80 columns, 1-based B).
static void place_label(std::string& row, double f, double low, double high) {
    double column = std::trunc(LABEL_COLUMNS * (f - low) / (high - low));
    if (column < 4 || column > 75) return;
    int b = static_cast<int>(column);
    if (b >= 8 && row[b - 6 - 1] != ' ') return;
    std::string label = f < 1000000 ? format_fixed(f, 8, 1) : format_fixed(f, 8, 0);
    row.replace(b - 3 - 1, 8, label);
}

std::string marker_label_row(double low, double high, double d) {
    std::string row(LABEL_COLUMNS, ' ');
    if (!(d > 0)) return row;
    for (double f = first_tick(low, d); f <= high; f = next_tick(f, d))
        if (is_long_tick(f, d)) place_label(row, f, low, high);
    return row;
}

// Draws the ticks for the interval [low, high] and writes the label row.
void MARSCA(double low, double high) {
    const DisplayState& s = display;
    double d = marker_step(low, high);
    if (d > 0) {
        set_color(COLOR_WHITE);
        for (double f = first_tick(low, d); f <= high; f = next_tick(f, d)) {
            double length = is_long_tick(f, d) ? 13 : 5;
            move_to_world(f, s.y_floor);
            line_to_world(f, s.y_low - length * s.marker_unit);
        }
    }
    set_text_color(COLOR_BLUE);
    set_background_color(COLOR_LIGHT_GREY);
    set_text_position(screen.text_rows - 1, 1);
    write_text(marker_label_row(low, high, d));
}

}  // namespace tarno
