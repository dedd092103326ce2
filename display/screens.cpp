// Commands that leave the plot for a while: the help pages, the spectral
// information page, the window-height toggle, the exit question, and the
// view check in front of the baseline subtraction.
#include "app/info_screen.hpp"
#include "app/records.hpp"
#include "app/startup.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/messages.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

#include <string>

namespace tarno {

// Waits until ENTER is pressed; other keys are consumed.
void wait_for_enter() {
    int16_t key = 0;
    while (INKEY(key) != KEY_ENTER) {}
}

// Runs a full-page text screen in full window height (30 rows) on a cleared
// window, then returns to the height the display had.
template <class Page>
static Redraw run_full_height_page(Page page) {
    bool switched = screen.text_rows == 17;
    if (switched) NARGR();
    set_text_color(0);
    set_background_color(7);
    clear_screen(0);
    set_text_position(1, 1);
    page();
    if (switched) NARGR();
    set_display_viewport();
    return Redraw_WholeScreen;
}

Redraw show_help_screens() {
    return run_full_height_page([] { HELP(0); });
}

Redraw show_information_screen() {
    return run_full_height_page([] {
        SPEINF();
        wait_for_enter();
    });
}

Redraw toggle_window_height() {
    NARGR();
    set_display_viewport();
    return Redraw_WholeScreen;
}

// "ARE YOU SURE (Y/N) ?" in row 1; N puts the status line back.
bool confirm_exit() {
    DisplayState& d = display;
    set_text_color(0);
    set_background_color(7);
    clear_message_rows();
    set_text_color(15);
    set_background_color(12);
    set_text_position(1, 1);
    write_text(" ARE YOU SURE (Y/N) ?");
    for (;;) {
        int16_t key = 0;
        INKEY(key);
        if (key == 'Y' || key == 'y') return true;
        if (key == 'N' || key == 'n') break;
    }
    set_text_color(0);
    set_background_color(7);
    set_text_position(1, 1);
    write_text(text_field_view(d.status_line_1));
    set_text_position(2, 1);
    write_text(std::string(80, ' '));
    // row 2 no longer shows its readout: the next cursor move rewrites both rows
    d.message_flag = true;
    return false;
}

// The baseline subtraction works only on a view inside the spectrum.
Redraw baseline_command() {
    const DisplayState& d = display;
    int32_t n = spectrum.point_count;
    bool inside = d.first_index >= 1 && d.first_index <= n && d.last_index >= 1 && d.last_index <= n;
    if (!inside) {
        show_error(" ERROR: ensure that display is not outside frequency limits of spectrum");
        return Redraw_None;
    }
    return run_baseline_procedure();
}

}  // namespace tarno
