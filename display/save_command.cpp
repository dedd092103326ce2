// Key m of the display: the save dialogue on a cleared console page; the
// display is drawn again afterwards.
#include "display/display_commands.hpp"
#include "display/frame.hpp"
#include "processing/save_spectrum.hpp"
#include "window/window.hpp"

namespace tarno {

// Runs SAVESP on a cleared page and asks for the whole screen again.
Redraw save_spectrum_command() {
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    set_text_position(1, 1);
    show_text_cursor(true);
    SAVESP();
    set_display_viewport();
    return Redraw_WholeScreen;
}

}  // namespace tarno
