// The close question drawn by the SDL main thread over the window's picture.
//
//   col 16                                              col 65
//   | TARNO                                              |  text 15 on 1
//   |                                                    |
//   |  End the program and close the window?             |  text 0 on 15
//   |                                                    |
//   |  Y or ENTER: yes, close     N or ESC: no, go on    |  text 1 on 15
//   |                                                    |
#include "window/close_question.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "common/utf8.hpp"
#include "window/core.hpp"

namespace tarno::window_internal {

constexpr int BOX_COLUMN = 16;      // first column of the box (1-based)
constexpr int BOX_WIDTH = 50;       // cells
constexpr int BOX_ROWS = 6;

// Writes `text` into one row of cells of the box, blank padded to its width.
static void draw_box_row(std::vector<uint32_t>& frame, int width, int height, int row, std::string_view text,
                         int text_color, int background_color) {
    draw_text_cells_into_locked(frame, width, height, row, BOX_COLUMN, padded_characters(text, BOX_WIDTH), text_color,
                                background_color);
}

void draw_close_question_locked(std::vector<uint32_t>& frame, int width, int height) {
    if (frame.size() != size_t(width) * size_t(height)) return;
    const int top = std::max(1, (core().rows - BOX_ROWS) / 2 + 1);
    draw_box_row(frame, width, height, top, " TARNO", COLOR_WHITE, COLOR_BLUE);
    draw_box_row(frame, width, height, top + 1, "", COLOR_BLACK, COLOR_WHITE);
    draw_box_row(frame, width, height, top + 2, std::string("  ") + CLOSE_QUESTION, COLOR_BLACK, COLOR_WHITE);
    draw_box_row(frame, width, height, top + 3, "", COLOR_BLACK, COLOR_WHITE);
    draw_box_row(frame, width, height, top + 4, "  Y or ENTER: yes, close     N or ESC: no, go on", COLOR_BLUE, COLOR_WHITE);
    draw_box_row(frame, width, height, top + 5, "", COLOR_BLACK, COLOR_WHITE);
}

}  // namespace tarno::window_internal
