// The message rows: rows 1 and 2 carry a command's result instead of the
// status lines until the next cursor move or frame.
#include "display/messages.hpp"

#include "app/records.hpp"
#include "common/fields.hpp"
#include "common/utf8.hpp"
#include "display/display_state.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int ERROR_BEEP_HZ = 4000;
constexpr int ERROR_BEEP_MS = 250;

// Writes one 80-character row at column 1.
static void write_row(int row, std::string_view line) {
    set_text_position(row, 1);
    write_text(padded_characters(line, 80));   // a name in the message keeps its characters whole
}

void clear_message_rows() {
    write_row(1, {});
    write_row(2, {});
}

void show_message(std::string_view line1, std::string_view line2) {
    set_text_color(COLOR_BLUE);
    set_background_color(COLOR_LIGHT_GREY);
    write_row(1, line1);
    bool is_error = line1.size() >= 6 && line1.substr(1, 5) == "ERROR";
    write_row(2, is_error ? std::string_view() : line2);
    set_text_color(COLOR_BLACK);
    display.message_flag = true;
}

void show_error(std::string_view line1) {
    beep(ERROR_BEEP_HZ, ERROR_BEEP_MS);
    show_message(line1);
}

}  // namespace tarno
