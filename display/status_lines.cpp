// The two status lines at the top of the display and the cursor update:
//
//   row 1   " X:" index(I7) "   " frequency(F12.4) "  <- Cursor" ... "Display ranges -> X:" points(I8)
//   row 2   " Y:" intensity(I7) ...                                              "Y:" range(I8)
//
// The range readouts end in column 79; a readout that outgrows its field (the
// indices of a 10,000,000-point spectrum) is written in full and takes room
// from the gap. A cursor move rewrites row 1 and the intensity of row 2, unless
// a command wrote a message into the rows since (message flag): then both
// lines are rewritten in full.
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

constexpr size_t STATUS_END_COLUMN = 79;   // the range readouts end here

// Intensity under the cursor (cursor index held inside the spectrum).
static int32_t cursor_intensity() { return index_intensity(display.cursor_index); }

// Returns `left` and `right` as one 80-column row with `right` ending in
// column 79: a readout grown past its field takes room from the gap.
static std::string spread_row(const std::string& left, const std::string& right) {
    const size_t used = left.size() + right.size();
    return padded(left + std::string(used < STATUS_END_COLUMN ? STATUS_END_COLUMN - used : 1, ' ') + right, 80);
}

std::string status_line_1() {
    const DisplayState& d = display;
    return spread_row(" X:" + format_count(d.cursor_index, 7) + "   " + format_fixed(d.cursor_freq, 12, 4) + "  <- Cursor",
                      "Display ranges -> X:" + format_count(static_cast<long long>(d.last_index) - d.first_index, 8));
}

std::string status_line_2() {
    const DisplayState& d = display;
    return spread_row(" Y:" + format_integer(cursor_intensity(), 7),
                      "Y:" + format_count(truncate_to_int64(d.y_high - d.y_low), 8));
}

// Writes both status lines in text colour 0 on background 7 and keeps line 1
// for the exit question to restore.
void write_status_lines() {
    DisplayState& d = display;
    std::string line1 = status_line_1();
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
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
    set_text_color(COLOR_BLACK);
    d.cursor_index = point_index(d.cursor_freq);
    if (d.message_flag) {
        write_status_lines();
        show_cursor_readout();
        return;
    }
    set_background_color(COLOR_LIGHT_GREY);
    // the whole first row: an index grown past its field moves the text after it
    const std::string line1 = status_line_1();
    set_text_position(1, 1);
    write_text(line1);
    set_text_position(2, 5);
    write_text(format_integer(cursor_intensity(), 6));
    // the stored first line follows the numbers, so the exit question restores what is shown
    set_text_field(d.status_line_1, line1);
    show_cursor_readout();
}

}  // namespace tarno
