// The F dialogue: typed display limits. A page shows the limits of the data,
// of the display and the cursor; then the lower and the upper limit are asked.
// ENTER keeps a limit; a negative lower limit centres the view (same width)
// on its magnitude; a negative upper limit sets the width about the cursor.
#include <optional>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/point_index.hpp"
#include "window/window.hpp"

namespace tarno {

namespace {
// How the typed limit ended the dialogue, or that it goes on.
enum LimitAnswer {
    LimitAnswer_Accepted,       // go on (to the upper limit, or redraw)
    LimitAnswer_ViewCentred,    // a negative answer placed the view; the dialogue ends
};
}  // namespace

// Writes the page: heading, the three rows of limits and the instructions.
static void write_limits_page() {
    const DisplayState& d = display;
    double first = index_frequency(1), last = index_frequency(std::max(spectrum.point_count, 1));
    console_write(" ");
    console_write("_____F R E Q U E N C Y   L I M I T S" + std::string(44, '_'));
    console_write(std::string(34, ' ') + "       lower       upper           range");
    console_write("");
    console_write("  Frequency limits of data:       " + format_fixed(first, 12, 3) + format_fixed(last, 12, 3) +
                  format_fixed(last - first, 16, 3));
    console_write("  Frequency limits of display:    " + format_fixed(d.view_low, 12, 3) +
                  format_fixed(d.view_high, 12, 3) + format_fixed(d.view_high - d.view_low, 16, 3));
    console_write("  Frequency of cursor:            " + std::string(6, ' ') + format_fixed(d.cursor_freq, 12, 3));
    console_write("");
    console_write("");
    console_write("  Specify new display limits  1/ ENTER keeps previous value");
    console_write(std::string(30, ' ') + "2/ -ve lower limit moves cursor");
    console_write(std::string(30, ' ') + "3/ -ve upper limit changes range");
}

// Asks one limit until the answer reads as a number (F20.0); single precision.
static float ask_limit(const char* prompt, double current) {
    for (;;) {
        write_text(std::string(" ") + prompt + format_fixed(current, 12, 3) + " -->  ");
        std::optional<double> value = read_fixed_field(console_read_line(), 20, 0);
        if (value) return static_cast<float>(*value);
    }
}

// Lower limit: asked until accepted; a negative answer centres the view.
static LimitAnswer ask_lower_limit() {
    DisplayState& d = display;
    double first = index_frequency(1), last = index_frequency(std::max(spectrum.point_count, 1));
    for (;;) {
        float v = ask_limit(" Lower frequency display limit:  ", d.view_low);
        if (v < 0) {
            double width = d.view_high - d.view_low;
            double centre = -v;
            if (centre > last) centre = last - width / 2;
            if (centre < first) centre = first + width / 2;
            d.view_low = centre - width / 2;
            d.view_high = centre + width / 2;
            d.cursor_freq = centre;
            return LimitAnswer_ViewCentred;
        }
        if (v > last) continue;
        if (v > 0) d.view_low = v;
        return LimitAnswer_Accepted;
    }
}

// Upper limit: asked until accepted; a negative answer is a width about the cursor.
static LimitAnswer ask_upper_limit() {
    DisplayState& d = display;
    double first = index_frequency(1);
    for (;;) {
        float u = ask_limit(" Upper frequency display limit:  ", d.view_high);
        if (u < 0) {
            d.view_low = d.cursor_freq + u / 2;
            d.view_high = d.cursor_freq - u / 2;
            return LimitAnswer_ViewCentred;
        }
        if (u == 0) {
            if (d.view_high > d.view_low) return LimitAnswer_Accepted;
            continue;
        }
        if (u > d.view_low && u >= first) {
            d.view_high = u;
            return LimitAnswer_Accepted;
        }
    }
}

// Runs the dialogue; the whole screen is redrawn afterwards in every case.
Redraw frequency_limits_dialogue() {
    DisplayState& d = display;
    set_background_color(COLOR_LIGHT_GREY);
    set_text_color(COLOR_BLACK);
    clear_screen(0);
    set_text_position(1, 1);
    write_limits_page();
    if (ask_lower_limit() == LimitAnswer_ViewCentred) return Redraw_WholeScreen;
    if (ask_upper_limit() == LimitAnswer_ViewCentred) return Redraw_WholeScreen;
    d.cursor_freq = (d.view_low + d.view_high) / 2;
    return Redraw_WholeScreen;
}

}  // namespace tarno
