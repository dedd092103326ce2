// The commands of the display loop, one routine per key (or key pair), and
// what the loop redraws after each. The loop's key switch delegates here.
#pragma once

#include <cstdint>

namespace tarno {

// What the loop does after a command.
enum Redraw {
    Redraw_None,            // straight back to the key wait
    Redraw_Frame,           // a frame with the new limits (text rows stay)
    Redraw_WholeScreen,     // clear everything; bottom line, file name, frame
    Redraw_Exit,            // leave the display loop
};

// [SECTION] Loop and key wait -------------------------------------------------------------
void run_command_loop();                // LOOKFM after its initialisation: keys until ENTER and Y
int16_t wait_for_display_key();         // next key code (ordinary > 0, extended < 0)

// [SECTION] View and scale (state changes only; the loop draws the frame) ----------------
void shift_view(double fraction);       // view and cursor move by fraction x width (A, a, S, s)
void zoom_out(double fraction);         // each limit moves out by fraction x width (Q, q)
void zoom_in(double half_width);        // limits at cursor -+ half_width x width (E, e)
void scale_vertical(float f);           // vertical window about the reference level (W, w, Z, z)
void shift_vertical(float fraction);    // vertical window and reference level by fraction x height (2, @, 3, #)
void invert_intensities();              // every intensity mirrored inside the vertical window (-, _)
void restore_original();                // intensities back from the copy taken at the start (R, r)
void recompute_intensity_mean();        // intensity_sum and mean_intensity from the current intensities
void go_home();                         // view from the first point, same resolution (HOME)
void go_end();                          // view up to the last point (END)

// [SECTION] Cursor -------------------------------------------------------------------------------
Redraw move_cursor_by(int pixels);      // K, k, LEFT (negative), L, l, RIGHT: after the exchange-block rule
double comma_position();                // the cursor's next place for the comma key (updates centre_memory)
bool view_matches_block();              // the block holds the display's own view and cursor
void follow_exchange_block();           // adopts the block's view or cursor and redraws what changed

// [SECTION] Dialogues and screens ---------------------------------------------------------------
Redraw frequency_limits_dialogue();     // F, f
Redraw fitting_width_dialogue();        // 0, )
Redraw baseline_command();              // B, b: the view must lie inside the spectrum
Redraw run_baseline_procedure();        // B, b after the view check: SMOOTH's dialogue, cutoffs, baseline shown
Redraw smoothing_command();             // N, n: SMOOTH in smoothing mode
Redraw show_help_screens();             // H, h
Redraw show_information_screen();       // I, i
Redraw toggle_window_height();          // ^
bool confirm_exit();                    // ENTER: "ARE YOU SURE (Y/N) ?"; true for Y
void wait_for_enter();                  // consumes keys until ENTER
Redraw save_spectrum_command();         // m: the save dialogue (processing/save_spectrum.hpp)
Redraw plot_output_command();           // G, g: the plot output dialogue (plot/plot_output.hpp)

void HELP(int16_t text_colour);         // the two help pages, each closed by ENTER

}  // namespace tarno
