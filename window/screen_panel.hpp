// Helpers for the dialogs the window draws inside itself (the file chooser and
// the Yes/No box): they paint text cells with the public console routines
// and put the screen back as it was when they close. They read keys with
// read_key(), so they run on the program's thread on any backend, the
// headless one included.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "window/core.hpp"   // CoreState: the console grid and drawing state a dialog saves

namespace tarno::window_internal {

// The screen and drawing state a dialog changes, taken when it opens: pixels,
// console grid, colours, viewport, pen, text position, cursor, direction keys.
class SavedScreen {
public:
    SavedScreen();                 // saves; the dialog then draws in copy mode with direction keys on
    void restore();                // puts it all back (once); not done when the program ends meanwhile
private:
    std::vector<uint32_t> pixels_;
    int width_, height_;
    CoreState state_;
    bool cursor_visible_;
    bool pass_direction_keys_;
    bool restored_ = false;
};

int console_row_count();           // text rows of the window (at least 1)
// Writes `text` at (row, column), cut or blank-padded to `width` cells, in the given colours.
void write_cells(int row, int column, std::string_view text, int width, int text_color, int background_color);
// An extended key as one negative code (-scan code), an ordinary key as its
// byte (a character beyond ASCII as its UTF-8 bytes, one per call).
int read_dialog_key();

}  // namespace tarno::window_internal
