// Key G of the display: the plot output dialogue on a cleared console page;
// the display is drawn again afterwards, with the frequency limits the
// dialogue may have changed.
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "plot/plot_output.hpp"
#include "window/window.hpp"

namespace tarno {

// Runs GLEOUT on the display's view and vertical window and asks for the whole screen again.
Redraw plot_output_command() {
    DisplayState& d = display;
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    show_text_cursor(true);
    GLEOUT(d.view_low, d.view_high, d.y_floor, d.y_high, d.expansion, d.interp_count);
    set_display_viewport();
    return Redraw_WholeScreen;
}

}  // namespace tarno
