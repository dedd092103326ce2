// The two status lines at the top of the display and the cursor update:
//
//   row 1   " X:" index(I7) "   " frequency(F12.4) "  <- Cursor" ... "Display ranges -> X:" points(I8)
//   row 2   " Y:" intensity(I7) ...                                              "Y:" range(I8)
//
// A cursor move only overwrites the numbers, unless a command wrote a message
// into the rows since (message flag): then both lines are rewritten in full.
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/point_index.hpp"
#include "exchange/exchange_block.hpp"
#include "window/window.hpp"

namespace tarno {

// Intensity under the cursor (cursor index held inside the spectrum).
static int32_t cursor_intensity() { return index_intensity(display.cursor_index); }

std::string status_line_1() {
    const DisplayState& d = display;
    std::string line = " X:" + format_integer(d.cursor_index, 7) + "   " + format_fixed(d.cursor_freq, 12, 4) +
                       "  <- Cursor" + std::string(15, ' ') + "Display ranges -> X:" +
                       format_integer(static_cast<long long>(d.last_index) - d.first_index, 8);
    return padded(line, 80);
}

std::string status_line_2() {
    const DisplayState& d = display;
    std::string line = " Y:" + format_integer(cursor_intensity(), 7) + std::string(59, ' ') + "Y:" +
                       format_integer(truncate_to_int64(d.y_high - d.y_low), 8);
    return padded(line, 80);
}

// Writes both status lines in text colour 0 on background 7 and keeps line 1
// for the exit question to restore.
void write_status_lines() {
    DisplayState& d = display;
    std::string line1 = status_line_1();
    set_text_color(0);
    set_background_color(7);
    set_text_position(1, 1);
    write_text(line1);
    set_text_position(2, 1);
    write_text(status_line_2());
    set_text_field(d.status_line_1, line1);
    d.message_flag = false;
}

// Moves the cursor line to `new_cursor` (XOR erase and redraw) and updates
// the readouts; the cursor goes to the exchange block.
void update_cursor(double new_cursor) {
    DisplayState& d = display;
    draw_cursor_line();
    d.cursor_freq = new_cursor;
    draw_cursor_line();
    publish_cursor(d.cursor_freq);
    set_text_color(0);
    d.cursor_index = point_index(d.cursor_freq);
    if (d.message_flag) {
        write_status_lines();
        show_cursor_readout();
        return;
    }
    set_background_color(7);
    set_text_position(1, 4);
    write_text(format_integer(d.cursor_index, 7) + "   " + format_fixed(d.cursor_freq, 12, 4));
    set_text_position(2, 5);
    write_text(format_integer(cursor_intensity(), 6));
    // the stored first line follows the numbers, so the exit question restores what is shown
    set_text_field(d.status_line_1, status_line_1());
    show_cursor_readout();
}

}  // namespace tarno
