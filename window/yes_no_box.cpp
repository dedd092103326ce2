// The in-window Yes/No box.
//
//   col 16                                              col 65
//   | Caption                                            |  text 15 on 1
//   |                                                    |
//   |  message line 1                                    |  text 0 on 15
//   |  message line 2                                    |
//   |                                                    |
//   |              [  Yes  ]      [  No   ]              |  highlighted: 15 on 1
//   |                                                    |
//   |  Y Yes   N No   ENTER highlighted   ESC No         |  text 8 on 15
#include "window/yes_no_box.hpp"

#include "window/screen_panel.hpp"
#include "window/window.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace tarno::window_internal {

constexpr int BOX_COLUMN = 16;      // first column of the box
constexpr int BOX_WIDTH = 50;       // cells
constexpr int BOX_TEXT_WIDTH = BOX_WIDTH - 4;

// Splits the message at '\n' and wraps lines longer than the box at blanks.
static std::vector<std::string> box_lines(std::string_view message) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= message.size()) {
        size_t end = message.find('\n', start);
        if (end == std::string_view::npos) end = message.size();
        std::string_view line = message.substr(start, end - start);
        while (line.size() > BOX_TEXT_WIDTH) {
            size_t cut = line.rfind(' ', BOX_TEXT_WIDTH);
            if (cut == std::string_view::npos || cut == 0) cut = BOX_TEXT_WIDTH;
            lines.emplace_back(line.substr(0, cut));
            line = line.substr(std::min(line.size(), cut + (line[cut] == ' ' ? 1 : 0)));
        }
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

// Draws the button row with `yes` or No highlighted.
static void draw_buttons(int row, bool yes) {
    constexpr int BODY_FG = COLOR_BLACK, BODY_BG = COLOR_WHITE, HOT_FG = COLOR_WHITE, HOT_BG = COLOR_BLUE,
                  COLD_BG = COLOR_LIGHT_GREY;
    write_cells(row, BOX_COLUMN, "", BOX_WIDTH, BODY_FG, BODY_BG);
    write_cells(row, BOX_COLUMN + 12, "[  Yes  ]", 9, yes ? HOT_FG : BODY_FG, yes ? HOT_BG : COLD_BG);
    write_cells(row, BOX_COLUMN + 28, "[  No   ]", 9, yes ? BODY_FG : HOT_FG, yes ? COLD_BG : HOT_BG);
}

bool ask_yes_no_in_window(std::string_view caption, std::string_view message) {
    SavedScreen saved;
    std::vector<std::string> lines = box_lines(message);
    int height = static_cast<int>(lines.size()) + 6;
    int top = std::max(1, (console_row_count() - height) / 2 + 1);

    // Frame and text ---------------------------------------------------------
    int row = top;
    write_cells(row++, BOX_COLUMN, " " + std::string(caption), BOX_WIDTH, 15, 1);
    write_cells(row++, BOX_COLUMN, "", BOX_WIDTH, 0, 15);
    for (const std::string& line : lines) write_cells(row++, BOX_COLUMN, "  " + line, BOX_WIDTH, 0, 15);
    write_cells(row++, BOX_COLUMN, "", BOX_WIDTH, 0, 15);
    int button_row = row++;
    write_cells(row++, BOX_COLUMN, "", BOX_WIDTH, 0, 15);
    write_cells(row, BOX_COLUMN, "  Y Yes   N No   ENTER highlighted   ESC No", BOX_WIDTH, 8, 15);

    // Keys -------------------------------------------------------------------
    bool yes = true;
    for (;;) {
        draw_buttons(button_row, yes);
        int key = read_dialog_key();
        if (key == 'y' || key == 'Y' || key == 'n' || key == 'N' || key == KEY_ENTER || key == KEY_ESCAPE) {
            bool answer = key == KEY_ENTER ? yes : (key == 'y' || key == 'Y');
            saved.restore();
            return answer;
        }
        if (key == KEY_TAB || key == KEY_LEFT || key == KEY_RIGHT) yes = !yes;
    }
}

}  // namespace tarno::window_internal
