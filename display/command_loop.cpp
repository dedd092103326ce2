// LOOKFM: the display loop. It initialises the display, then reads single
// keys and dispatches each through one switch to a command; the command says
// what is redrawn afterwards (nothing, the frame, or the whole screen; cursor
// commands update the cursor themselves). ENTER followed by Y leaves.
//
// Keys of the commands that come with other modules have their case here,
// marked with the module's tag (MEASURE, SAVE, LINKED, SMOOTH, MODIFY, PLOT,
// PEAKS); each hooks in with one call.
#include "display/append_modify.hpp"
#include "display/display_commands.hpp"
#include "display/display_loop.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/linked.hpp"
#include "display/measurement.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

namespace tarno {

// Dispatches one key; returns what to redraw. Keys without a command change nothing.
static Redraw dispatch_key(int16_t key) {
    switch (key) {
    // view and scale
    case 'A': shift_view(-0.5); return Redraw_Frame;
    case 'a': shift_view(-0.1); return Redraw_Frame;
    case 'S': shift_view(0.5); return Redraw_Frame;
    case 's': shift_view(0.1); return Redraw_Frame;
    case 'Q': zoom_out(0.5); return Redraw_Frame;
    case 'q': zoom_out(0.1); return Redraw_Frame;
    case 'E': zoom_in(0.25); return Redraw_Frame;
    case 'e': zoom_in(0.45); return Redraw_Frame;
    case 'W': scale_vertical(1.0f - 0.25f); return Redraw_Frame;
    case 'w': scale_vertical(1.0f - 0.05f); return Redraw_Frame;
    case 'Z': scale_vertical(1.0f + 0.25f); return Redraw_Frame;
    case 'z': scale_vertical(1.0f + 0.05f); return Redraw_Frame;
    case '2': shift_vertical(0.02f); return Redraw_Frame;
    case '@': shift_vertical(0.1f); return Redraw_Frame;
    case '3': shift_vertical(-0.02f); return Redraw_Frame;
    case '#': shift_vertical(-0.1f); return Redraw_Frame;
    case '-': case '_': invert_intensities(); return Redraw_Frame;
    case 'R': case 'r': restore_original(); return Redraw_Frame;
    case KEY_HOME: go_home(); return Redraw_Frame;
    case KEY_END: go_end(); return Redraw_Frame;

    // cursor
    case 'K': case KEY_LEFT: return move_cursor_by(-8);
    case 'k': return move_cursor_by(-1);
    case 'L': case KEY_RIGHT: return move_cursor_by(8);
    case 'l': return move_cursor_by(1);
    case ',': update_cursor(comma_position()); return Redraw_None;
    case 'P': case 'p': draw_point_boxes(); return Redraw_None;

    // dialogues and other screens
    case 'F': case 'f': return frequency_limits_dialogue();
    case '0': case ')': return fitting_width_dialogue();
    case '^': return toggle_window_height();
    case 'H': case 'h': return show_help_screens();
    case 'I': case 'i': return show_information_screen();
    case KEY_ENTER: return confirm_exit() ? Redraw_Exit : Redraw_None;

    // commands of other modules
    case 'O': case 'o':     // MEASURE: peak frequency of the line under the cursor
        measure_line_for_datafile(); return Redraw_None;     // LINKED: then the datafile step
    case '9': case '(':     // MEASURE: cursor as measurement
        take_cursor_as_line(); return Redraw_None;
    case '=': case '+':     // MEASURE: average of the last two measurements
        average_for_datafile(); return Redraw_None;          // LINKED: then the average record
    case 'B': case 'b':     // SMOOTH: baseline subtraction (after the view check)
        return baseline_command();
    case 'N': case 'n':     // SMOOTH: smoothing
        return smoothing_command();
    case 'm':               // SAVE: save spectrum
        return save_spectrum_command();
    case 'M':               // MODIFY: modify spectrum
        return modify_spectrum_command();
    case '&':               // MODIFY: append spectrum
        return append_spectrum_command();
    case 'G': case 'g':     // PLOT: plot output
        return plot_output_command();
    case KEY_F1: case KEY_F2: case KEY_F3:  // LINKED: measure a line for the partner
        return measure_for_partner_key(key);
    case KEY_F7:            // LINKED: linked operation off/on
        return toggle_linked_operation();
    case KEY_F8:            // LINKED: offset marker on/off
        return toggle_offset_marker();
    case KEY_ESCAPE:        // LINKED: reread the linked-operation input
        return reread_linked_input();
    case 'C': case 'c':     // OVERLAY: catalogue and assigned lines
        return line_lists_screen();
    case 'T': case 't':     // OVERLAY: assign the line from the catalogue
        return assign_from_catalogue();
    case KEY_PGDN: return step_to_catalogue_line(1);     // OVERLAY: next catalogue line
    case KEY_PGUP: return step_to_catalogue_line(-1);    // OVERLAY: previous catalogue line

    default: return Redraw_None;
    }
}

// Reads and dispatches keys until the exit is confirmed.
void run_command_loop() {
    for (;;) {
        switch (dispatch_key(wait_for_display_key())) {
        case Redraw_None: break;
        case Redraw_Frame: draw_frame(); break;
        case Redraw_WholeScreen: redraw_whole_screen(); break;
        case Redraw_Exit: return;
        }
    }
}

void LOOKFM() {
    initialise_display();
    run_command_loop();
}

}  // namespace tarno
