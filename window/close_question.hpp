// The question the window asks itself when its close button is pressed and
// the desktop's message box cannot be shown (SDL's box needs the X core fonts,
// which a plain system may lack). The SDL main thread draws it over its copy
// of the window's picture, so it appears while the program computes, and
// takes the answer from the keys before the program sees them.
#pragma once

#include <cstdint>
#include <vector>

namespace tarno::window_internal {

constexpr const char* CLOSE_QUESTION = "End the program and close the window?";

// Draws the question box over `frame` (the window's pixels, width x height)
// in the console font; surface().lock must be held (the font's state).
void draw_close_question_locked(std::vector<uint32_t>& frame, int width, int height);

}  // namespace tarno::window_internal
