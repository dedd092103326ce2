// A note that shows a long piece of work is under way: a pass number or a
// share that counts up, near where the screen's next line will go.
//
//   ProgressNote note(text_row(), 6);                      // the empty row under the last answer
//   write_lines_in_order(out, count, format, [&](int64_t done, int64_t total) {
//       note.show_share("Writing", done, total);           // "Writing  37 %", redrawn only at a new percent
//   });
//   // note destroyed: gone from the window
//
// The note is drawn by the presenter over its copy of the window's picture
// (show_progress_note), never into the canvas or the console grid, and the
// text position does not move: what the program writes and draws is the same
// with or without it, and nothing of it is left once it is hidden. Only the
// program thread shows notes; the presenter keeps the window alive meanwhile.
#pragma once

#include <cstdint>
#include <string_view>

namespace tarno {

class ProgressNote {
public:
    ProgressNote(int row, int column) : row_(row), column_(column) {}
    ~ProgressNote();                                 // hides the note
    ProgressNote(const ProgressNote&) = delete;
    ProgressNote& operator=(const ProgressNote&) = delete;

    void show(std::string_view text);                // shows `text` now
    void show_share(std::string_view label, int64_t done, int64_t total); // label and the whole percent done

private:
    int row_, column_;          // the note's first cell
    int shown_percent_ = -1;    // the percent on show (-1: none yet)
};

}  // namespace tarno
