// The text console: a grid of rows x columns cells (character, text colour,
// background colour) drawn into the same pixels as the graphics. Text goes to
// the text position and advances it; a character past the last column wraps
// to the next row, and a row past the last one scrolls the grid (and its
// pixels) up by one row. Line input reads the same key queue as read_key().
//
// Sections:
//   [SECTION] Grid drawing
//   [SECTION] Writing
//   [SECTION] Public routines
//   [SECTION] Line input
#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

#include "common/utf8.hpp"
#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

constexpr const char* PAUSE_PROMPT = "Press ENTER to continue";

// [SECTION] Grid drawing --------------------------------------------------------

// Returns the cell at a 1-based position.
static Cell& cell_at(int row, int column) {
    CoreState& c = core();
    return c.cells[size_t(row - 1) * c.columns + (column - 1)];
}

// Draws one cell (1-based) into the pixels with the console font.
void draw_cell_locked(int row, int column) {
    const CoreState& c = core();
    const Cell& cell = cell_at(row, column);
    int x = (column - 1) * c.cell_width;
    int y = (row - 1) * c.cell_height;
    uint32_t foreground = pack_rgb(palette_rgb(cell.text_color));
    uint32_t background = pack_rgb(palette_rgb(cell.background_color));
    draw_console_glyph_locked(cell.character, x, y, c.cell_width, c.cell_height, foreground, background);
    surface().generation++;
}

// Draws every cell again (after the console font changed).
void redraw_console_locked() {
    const CoreState& c = core();
    for (int row = 1; row <= c.rows; ++row)
        for (int column = 1; column <= c.columns; ++column) draw_cell_locked(row, column);
}

// Puts the presenter's blinking cursor on the cell of the text position.
void update_text_cursor_locked() {
    const CoreState& c = core();
    Surface& s = surface();
    int column = std::min(c.text_column, c.columns);
    s.text_cursor_x = (column - 1) * c.cell_width;
    s.text_cursor_y = (c.text_row - 1) * c.cell_height;
    s.text_cursor_width = c.cell_width;
    s.text_cursor_height = c.cell_height;
}

// Blanks a rectangle of cells (1-based, inclusive) in the current colours, grid and pixels.
static void blank_cells_locked(int row1, int column1, int row2, int column2) {
    CoreState& c = core();
    for (int row = row1; row <= row2; ++row)
        for (int column = column1; column <= column2; ++column)
            cell_at(row, column) = Cell{' ', uint8_t(c.text_color), uint8_t(c.background_color)};
}

// Moves the grid and its pixels up by one row; the new last row is blank in the background colour.
static void scroll_up_locked() {
    CoreState& c = core();
    Surface& s = surface();
    std::move(c.cells.begin() + c.columns, c.cells.end(), c.cells.begin());
    blank_cells_locked(c.rows, 1, c.rows, c.columns);
    int grid_height = std::min(c.rows * c.cell_height, s.height);
    size_t row_pixels = size_t(c.cell_height) * s.width;
    if (grid_height > c.cell_height)
        std::memmove(s.pixels.data(), s.pixels.data() + row_pixels, (size_t(grid_height) * s.width - row_pixels) * sizeof(uint32_t));
    for (int column = 1; column <= c.columns; ++column) draw_cell_locked(c.rows, column);
    s.generation++;
}

// [SECTION] Writing -------------------------------------------------------------

// Moves the text position to column 1 of the next row, scrolling past the last row.
static void new_line_locked() {
    CoreState& c = core();
    c.text_column = 1;
    if (c.text_row < c.rows)
        c.text_row++;
    else
        scroll_up_locked();
}

// Writes one character at the text position and advances it (wrapping at the last column).
static void put_character_locked(char32_t character) {
    CoreState& c = core();
    if (character == '\n') return new_line_locked();
    if (character == '\r') {
        c.text_column = 1;
        return;
    }
    if (c.text_column > c.columns) new_line_locked();
    cell_at(c.text_row, c.text_column) = Cell{character, uint8_t(c.text_color), uint8_t(c.background_color)};
    draw_cell_locked(c.text_row, c.text_column);
    c.text_column++;
}

// Writes UTF-8 text, one cell per character.
static void write_locked(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        DecodedCharacter ch = decode_character(text, pos);
        put_character_locked(ch.code);
        pos += ch.length;
    }
    update_text_cursor_locked();
}

// Takes back the last echoed character of a line being typed.
static void erase_previous_locked() {
    CoreState& c = core();
    if (c.text_column > 1) {
        c.text_column--;
    } else if (c.text_row > 1) {
        c.text_row--;
        c.text_column = c.columns;
    } else {
        return;
    }
    cell_at(c.text_row, c.text_column) = Cell{' ', uint8_t(c.text_color), uint8_t(c.background_color)};
    draw_cell_locked(c.text_row, c.text_column);
    update_text_cursor_locked();
}

}  // namespace tarno::window_internal

namespace tarno {
using namespace window_internal;

// [SECTION] Public routines -----------------------------------------------------

// Fills an area with the background colour: 0 the window (and blanks the whole
// grid), 1 the viewport (and blanks the cells lying wholly inside it), 2 the
// text window, which is the whole grid here. Areas 0 and 2 put the text
// position at row 1, column 1. Returns 0, or -1 for an unknown area.
int clear_screen(int area) {
    if (area < 0 || area > 2) return -1;
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    Surface& s = surface();
    uint32_t background = background_pixel_locked();
    if (area == 1) {
        fill_pixels_locked(c.viewport_x1, c.viewport_y1, c.viewport_x2, c.viewport_y2, background);
        // Cells wholly inside the viewport are gone from the screen, so from the grid too.
        int column1 = (c.viewport_x1 + c.cell_width - 1) / c.cell_width + 1;
        int row1 = (c.viewport_y1 + c.cell_height - 1) / c.cell_height + 1;
        int column2 = std::min((c.viewport_x2 + 1) / c.cell_width, c.columns);
        int row2 = std::min((c.viewport_y2 + 1) / c.cell_height, c.rows);
        if (row1 <= row2 && column1 <= column2) blank_cells_locked(row1, column1, row2, column2);
        return 0;
    }
    fill_pixels_locked(0, 0, s.width - 1, s.height - 1, background);
    blank_cells_locked(1, 1, c.rows, c.columns);
    c.text_row = 1;
    c.text_column = 1;
    update_text_cursor_locked();
    return 0;
}

// Shows or hides the blinking text cursor (drawn by the presenter); returns the previous state.
bool show_text_cursor(bool on) {
    std::lock_guard guard(surface().lock);
    bool previous = surface().text_cursor_visible;
    surface().text_cursor_visible = on;
    surface().generation++;
    return previous;
}

// Sets where the next console text goes; clamped into the grid.
void set_text_position(int row, int column) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    c.text_row = std::clamp(row, 1, c.rows);
    c.text_column = std::clamp(column, 1, c.columns);
    update_text_cursor_locked();
    surface().generation++;
}

// Returns the row of the text position.
int text_row() {
    std::lock_guard guard(surface().lock);
    return core().text_row;
}

// Returns the column of the text position (columns + 1 after a full row).
int text_column() {
    std::lock_guard guard(surface().lock);
    return core().text_column;
}

// Writes text at the text position without a line break.
void write_text(std::string_view text) {
    std::lock_guard guard(surface().lock);
    write_locked(text);
}

// Writes a line and moves to column 1 of the next row. A line that filled the
// row exactly does not leave an extra empty row.
void console_write(std::string_view line) {
    std::lock_guard guard(surface().lock);
    write_locked(line);
    new_line_locked();
    update_text_cursor_locked();
}

// [SECTION] Line input ----------------------------------------------------------

// Reads one typed line with echo; backspace takes back a character, ENTER ends
// the line (not part of the result) and moves to the next row. Extended keys
// and other control characters are ignored. Never holds the lock while waiting.
//
// Characters beyond ASCII arrive as their UTF-8 bytes and are kept whole. The
// lead byte 0xE0 is also the prefix of cursor keys: a scan code (below 0x80)
// after it makes a cursor key, a continuation byte (0x80 and up) a character.
std::string console_read_line() {
    std::string line;
    std::string partial;        // the bytes of a character still arriving
    int expected = 0;           // its length
    for (;;) {
        int key = read_key();
        if (key == KEY_PREFIX_FUNCTION) {
            read_key();  // the scan code of a function key
            continue;
        }
        if (key == KEY_PREFIX_CURSOR) {
            int next = read_key();
            if (next < 0x80) continue;  // the scan code of a cursor key
            partial = {char(key), char(next)};
            expected = 3;
            continue;
        }
        if (key >= 0x80) {
            if (!partial.empty() && (key & 0xC0) == 0x80) {
                partial.push_back(char(key));
            } else {
                partial.assign(1, char(key));   // a new character; an unfinished one is dropped
                expected = utf8_sequence_length(uint8_t(key));
            }
            if (int(partial.size()) < expected) continue;
            // Complete: kept when it is a valid character; a stray byte is dropped, never put into a name.
            DecodedCharacter ch = expected >= 2 ? decode_character(partial, 0) : DecodedCharacter{0, 0};
            bool valid = ch.length == partial.size() && ch.code >= 0xA0;
            std::string bytes = std::exchange(partial, {});
            if (!valid) continue;
            std::lock_guard guard(surface().lock);
            line += bytes;
            write_locked(bytes);
            continue;
        }
        partial.clear();
        std::lock_guard guard(surface().lock);
        if (key == KEY_ENTER || key == KEY_LINEFEED) {
            new_line_locked();
            update_text_cursor_locked();
            return line;
        }
        if (key == KEY_BACKSPACE) {
            if (!line.empty()) {
                line.erase(last_character_start(line));
                erase_previous_locked();
            }
            continue;
        }
        if (key < 32 || key == KEY_DELETE_CHARACTER) continue;   // control keys are not text
        line.push_back(char(key));
        write_locked(std::string_view(&line.back(), 1));
    }
}

// Writes the pause prompt and waits for ENTER.
void pause_until_enter() {
    {
        std::lock_guard guard(surface().lock);
        if (core().text_column > 1) new_line_locked();
        write_locked(PAUSE_PROMPT);
    }
    for (;;) {
        int key = read_key();
        if (key == KEY_PREFIX_FUNCTION || key == KEY_PREFIX_CURSOR) {
            read_key();
            continue;
        }
        if (key == KEY_ENTER || key == KEY_LINEFEED) break;
    }
    std::lock_guard guard(surface().lock);
    new_line_locked();
    update_text_cursor_locked();
}

}  // namespace tarno
