// The graphics window layer: one window that is both a text console and a
// drawing surface. Every screen of the program goes through these routines;
// nothing above this layer knows about SDL, FreeType or fontconfig.
//
// What a reader must know first:
//  - Colours are palette indices 0..15 (classic PC order, see palette_rgb()).
//  - Pixel coordinates are relative to the top-left of the current viewport;
//    world coordinates map linearly onto the viewport (set_world_window).
//  - Text positions are 1-based: row 1, column 1 is the top-left cell of a
//    grid of text_rows x 80 cells covering the window.
//  - Keys arrive as bytes from read_key(); an extended key is two bytes, a
//    prefix 0 (function keys) or 224 (cursor block) and the PC scan code.
//  - The canvas and console are guarded by one lock inside the layer; every
//    routine here may be called from the program thread while the backend
//    presents frames. read_key() may be called from any thread.
//  - The program ends through end_program(), which unwinds the program thread
//    (it throws ProgramEnded) back to the backend that started it.
//
// Sections:
//   [SECTION] Types
//   [SECTION] Window and console
//   [SECTION] Keys
//   [SECTION] Graphics
//   [SECTION] Fonts
//   [SECTION] Services (time, tones, dialogs, random numbers, program end)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarno {

// [SECTION] Types --------------------------------------------------------------
struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

constexpr int UNIT_CONSOLE = 0;     // the drawing window as console output
constexpr int UNIT_KEYBOARD = 5;    // the drawing window as keyboard input
constexpr int UNIT_FRAME = -1;      // the frame window around the drawing window

constexpr int WRITE_MODE_COPY = 3;  // pixel takes the graphics colour
constexpr int WRITE_MODE_XOR = 4;   // pixel RGB exclusive-or palette RGB

constexpr int RECTANGLE_BORDER = 2; // fill_rectangle_world: outline only
constexpr int RECTANGLE_FILL = 3;   // fill_rectangle_world: filled

// Palette indices (classic PC order; palette_rgb() gives their colours).
constexpr int COLOR_BLACK = 0;
constexpr int COLOR_BLUE = 1;
constexpr int COLOR_GREEN = 2;
constexpr int COLOR_CYAN = 3;
constexpr int COLOR_RED = 4;
constexpr int COLOR_MAGENTA = 5;
constexpr int COLOR_BROWN = 6;
constexpr int COLOR_LIGHT_GREY = 7;
constexpr int COLOR_DARK_GREY = 8;
constexpr int COLOR_LIGHT_BLUE = 9;
constexpr int COLOR_LIGHT_GREEN = 10;
constexpr int COLOR_LIGHT_CYAN = 11;
constexpr int COLOR_LIGHT_RED = 12;
constexpr int COLOR_LIGHT_MAGENTA = 13;
constexpr int COLOR_YELLOW = 14;
constexpr int COLOR_WHITE = 15;

constexpr int KEY_PREFIX_FUNCTION = 0;   // prefix byte of function keys
constexpr int KEY_PREFIX_CURSOR = 224;   // prefix byte of cursor-block keys
// PC scan codes that follow a prefix byte.
constexpr int SCAN_F1 = 59, SCAN_F2 = 60, SCAN_F3 = 61, SCAN_F4 = 62, SCAN_F5 = 63;
constexpr int SCAN_F6 = 64, SCAN_F7 = 65, SCAN_F8 = 66, SCAN_F9 = 67, SCAN_F10 = 68;
constexpr int SCAN_F11 = 133, SCAN_F12 = 134;
constexpr int SCAN_HOME = 71, SCAN_UP = 72, SCAN_PGUP = 73, SCAN_LEFT = 75, SCAN_RIGHT = 77;
constexpr int SCAN_END = 79, SCAN_DOWN = 80, SCAN_PGDN = 81, SCAN_INS = 82, SCAN_DEL = 83;

// Key codes as the program reads them (INKEY, read_dialog_key): an ordinary
// key is its character code, an extended key the negative of its scan code.
constexpr int16_t KEY_BACKSPACE = 8;
constexpr int16_t KEY_TAB = 9;
constexpr int16_t KEY_LINEFEED = 10;
constexpr int16_t KEY_ENTER = 13;
constexpr int16_t KEY_ESCAPE = 27;
constexpr int16_t KEY_DELETE_CHARACTER = 127;  // the ASCII DEL a terminal sends for backspace; never typed text
constexpr int16_t KEY_F1 = -SCAN_F1;
constexpr int16_t KEY_F2 = -SCAN_F2;
constexpr int16_t KEY_F3 = -SCAN_F3;
constexpr int16_t KEY_F7 = -SCAN_F7;
constexpr int16_t KEY_F8 = -SCAN_F8;
constexpr int16_t KEY_HOME = -SCAN_HOME;
constexpr int16_t KEY_UP = -SCAN_UP;
constexpr int16_t KEY_PGUP = -SCAN_PGUP;
constexpr int16_t KEY_LEFT = -SCAN_LEFT;
constexpr int16_t KEY_RIGHT = -SCAN_RIGHT;
constexpr int16_t KEY_END = -SCAN_END;
constexpr int16_t KEY_DOWN = -SCAN_DOWN;
constexpr int16_t KEY_PGDN = -SCAN_PGDN;

// What configure_window is asked for; the layer may adjust fields and leaves
// the values it used in the record.
struct WindowConfig {
    int16_t pixel_width;        // client area width (pixels)
    int16_t pixel_height;       // client area height (pixels)
    int16_t text_columns;       // 80
    int16_t text_rows;          // 30 or 17
    int16_t colour_count;       // -1 = layer default, 0 = not set
    int32_t font_size;          // -2 = use the extended font fields, 0 = not set
    std::string title;          // caption ("" or " ": none)
    std::string font_name;      // console face, e.g. "Courier New"
    int32_t font_extended_size; // -1 = fit the cell, 0 = not set
    int32_t font_attributes;    // sum of attribute flags from the configuration file
};

struct WindowRect {
    int x, y, width, height;    // pixels
};

struct CalendarDate { int year, month, day; };
struct ClockTime { int hour, minute, second, hundredths; };

// Thrown by end_program() (and by read_key() when the window is being closed
// or a headless key script has run out); caught only by the backend runner.
struct ProgramEnded {
    int status;                 // process exit status
    bool script_exhausted;      // headless: the test's key script ran out
};

// [SECTION] Window and console -------------------------------------------------
bool configure_window(WindowConfig& config);         // sets size and text grid; false when the request was adjusted (config then holds what was used)
WindowRect get_window_size(int which);               // which: UNIT_FRAME or UNIT_CONSOLE; pixels
void set_window_size(int which, WindowRect rect);    // moves/resizes; the drawing area follows the frame
int native_window_handle(int unit);                  // handle that another thread can post a character to
void send_character(int handle, uint8_t character);  // posts a keystroke to that window (reaches a pending read_key)
void focus_window(int unit);                         // gives the keyboard focus to the drawing window
int clear_screen(int area);                          // 0 window, 1 viewport, 2 text window; fills with the background colour; -1 refused
                                                     // (0 and 2 blank the grid and put the text position home; 1 blanks the cells wholly inside the viewport)
bool show_text_cursor(bool on);                      // shows/hides the blinking text cursor; returns the previous state
void set_text_position(int row, int column);         // 1-based; where console text goes next
int text_row();                                      // current text position, row
int text_column();                                   // current text position, column
void write_text(std::string_view text);              // writes at the text position without a line break
void console_write(std::string_view line);           // writes a line and moves to column 1 of the next row (scrolls past the last)
std::string console_read_line();                     // reads one typed line (echo, backspace, ENTER), without the ENTER
void pause_until_enter();                            // writes a pause line and waits for ENTER
void set_exit_behaviour(int behaviour);              // 1 ask before closing, 2 close after 20 ms, 3 keep open
void show_progress_note(int row, int column, std::string_view text); // a note over the cells from (row, column) on, in the current text colours, until hidden;
                                                     // drawn by the presenter only: the canvas, the grid and the text position stay as they are
void hide_progress_note();                           // takes the note away
void delete_menu(int menu, int item);                // no menus here: nothing to remove
void menu_action(int action);                        // no menus here: nothing to do

// [SECTION] Keys ----------------------------------------------------------------
int read_key();                                      // waits for one byte (0..255), no echo; any thread
void unread_keys(std::span<const uint8_t> bytes);    // puts bytes back at the front of the key queue, in order
bool pass_direction_keys(bool on);                   // direction and function keys reach read_key; returns the previous setting
void set_file_arguments(std::vector<std::string> arguments); // command-line file names, queue shared by all blank-name opens
std::optional<std::string> next_file_argument();     // the next queued name (also files dropped on the window), if any

// [SECTION] Graphics ------------------------------------------------------------
Rgb palette_rgb(int index);                          // colour of a palette index (clamped to 0..15)
int set_color(int index);                            // graphics colour; >= 16 -> 15, < 0 -> 0; returns the previous
int set_text_color(int index);                       // console text colour, same rules; returns the previous
int set_background_color(int index);                 // outside 0..255 refused (kept); returns the previous; 16..255 show as white (15)
void set_viewport(int x1, int y1, int x2, int y2);   // clipping and origin rectangle (window pixels, inclusive)
bool set_world_window(bool inverted, double x1, double y1, double x2, double y2); // false (no change) when x1 = x2 or y1 = y2
void move_to(int x, int y);                          // viewport pixels
void line_to(int x, int y);                          // line in colour, style and mode; in XOR mode without its end point (a polyline toggles each pixel once)
void move_to_world(double x, double y);
void line_to_world(double x, double y);
void polyline_to_world(std::span<const double> x, std::span<const double> y); // line_to_world to each point in turn, faster for dense curves (same pixels)
void fill_rectangle_world(int control, double x1, double y1, double x2, double y2); // RECTANGLE_FILL or RECTANGLE_BORDER
void flood_fill(int x, int y, int border_color);     // viewport pixels; fills up to the border colour
void set_line_style(uint16_t mask);                  // 0xFFFF solid, 0xEEEE dashed, 0x9999 dotted
int set_write_mode(int mode);                        // WRITE_MODE_COPY or WRITE_MODE_XOR; returns the previous

// [SECTION] Fonts ---------------------------------------------------------------
int init_fonts();                                    // number of installed faces found (negative on failure)
int select_font(std::string_view description);       // e.g. "t'Arial'h75w25ei"; negative when nothing matches
void draw_text(std::string_view text);               // at the graphics position (top-left), advancing it by the width

// [SECTION] Services ------------------------------------------------------------
void beep(int frequency_hz, int duration_ms);        // a tone; without sound it still takes its time
void advise_large_pages(void* begin, size_t bytes);  // hint: memory about to be filled for the first time may take huge pages (no-op where unsupported)
void sleep_ms(int milliseconds);
CalendarDate current_date();
ClockTime current_time();
void set_dialog_filter(std::string_view filter);     // " All Files (*.*), *.*; ..." pairs, each ended by ';'
std::optional<std::string> select_file(std::string_view caption); // chosen path, nothing when cancelled
bool ask_yes_no(std::string_view caption, std::string_view message); // message box with Yes and No
double random_uniform();                             // uniform in [0, 1)
void seed_random(int seed);                          // -1 seeds from the clock
[[noreturn]] void end_program(int status);           // ends the program (throws ProgramEnded)

}  // namespace tarno
