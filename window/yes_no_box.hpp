// The Yes/No question drawn inside the window. It works from the keyboard
// alone (Y, N, ENTER, ESC, LEFT/RIGHT/TAB), so it needs no window manager to
// get the focus, and it leaves the screen as it found it.
#pragma once

#include <string_view>

namespace tarno::window_internal {

// Asks `message` (lines split at '\n') under `caption`; true for Yes.
// ENTER takes the highlighted button (Yes at first), ESC answers No.
bool ask_yes_no_in_window(std::string_view caption, std::string_view message);

}  // namespace tarno::window_internal
