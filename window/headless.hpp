// The headless backend: the same canvas, console and key queue with no window.
// Tests script the keys and typed lines, the answers of dialogs and message
// boxes, then run a piece of the program and assert on the screen rows,
// pixels, recorded tones, records and files.
//
//   headless::start(800, 540);
//   headless::type_line("spectrum.spe");     // "spectrum.spe" + ENTER
//   headless::press_keys("\r");
//   auto run = headless::run([] { MAIN__(); });
//   EXPECT_TRUE(run.script_exhausted);
//   EXPECT_EQ(headless::row_text(3).substr(0, 10), "   ...");
//
// When the key script runs out, the next read_key() ends the program under
// test (ProgramEnded with script_exhausted) so the test can assert afterwards.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "window/window.hpp"

namespace tarno::headless {

struct Tone {
    int frequency_hz;
    int duration_ms;
};

// A progress note as it was shown, and the console text it was drawn over then.
struct ShownNote {
    int row, column;        // its first cell
    std::string text;
    std::string covered;    // the characters of the cells under it at that moment
};

struct RunResult {
    bool ended;             // the program called end_program (or the script ran out)
    int status;             // exit status given to end_program
    bool script_exhausted;  // ended because the key script ran out
};

void start(int width = 800, int height = 540);      // a fresh window state, empty script, no tones
void press_keys(std::string_view bytes);            // each byte is one keystroke
void press_extended(int prefix, int scan_code);     // e.g. press_extended(224, 75) for LEFT
void type_line(std::string_view text);              // text then ENTER (13)
void answer_dialog(std::optional<std::string> path);// next select_file() result (nothing = cancel)
void answer_yes_no(bool yes);                       // next ask_yes_no() result
RunResult run(const std::function<void()>& program);// runs on this thread until it returns or ends
void hold_key_script(bool on);                      // while on, an exhausted script waits for keys pressed from another thread

std::string row_text(int row);                      // the 80 characters of a text row (1-based)
int cell_text_color(int row, int column);           // palette index of the character at a cell
int cell_background_color(int row, int column);
Rgb pixel(int x, int y);                            // window pixel (not viewport relative)
bool save_png(const std::string& path);             // the framebuffer as a PNG file
std::vector<Tone> tones();                          // tones played since start()
std::vector<ShownNote> progress_notes();            // progress notes shown since start(), in order (drawn over the picture, not in it)
std::string progress_note();                        // the progress note shown now ("" when none)
std::vector<std::string> dialog_captions();         // captions of the select_file() calls since start()
std::string last_dialog_filter();                   // filter list the last select_file() showed

}  // namespace tarno::headless
