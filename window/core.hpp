// The window core's own state: the console grid, the current colours, the
// viewport and world window, the graphics position and the pen. Shared by the
// window/*.cpp files of the core; nothing outside window/ includes this.
//
// Everything in CoreState is guarded by surface().lock, like the pixels. A
// routine whose name ends in _locked expects the caller to hold that lock.
//
//   window pixels (0,0) ─────────────────────────────▶ x
//     │   ┌ cell (1,1) ┐┌ cell (1,2) ┐ …  80 columns of cell_width pixels
//     │   └────────────┘└────────────┘
//     ▼   …  text rows of cell_height pixels (grid may leave a strip below)
//     y       viewport (x1,y1)-(x2,y2) inclusive: origin and clip of graphics
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "window/backend.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

// One console cell: the character (a Unicode code point) and the colours it was written in.
struct Cell {
    char32_t character = U' ';
    uint8_t text_color = 15;          // palette index 0..15
    uint8_t background_color = 0;     // as set (0..255); 16..255 show as palette index 15
};

struct CoreState {
    // Console grid. Set by reset_window_state() and configure_window().
    int columns = 80;
    int rows = 30;
    int cell_width = 10;              // pixels
    int cell_height = 18;             // pixels
    std::vector<Cell> cells;          // rows * columns, row-major
    int text_row = 1;                 // 1-based
    int text_column = 1;              // 1-based; columns + 1 = the row is full (wraps on the next character)

    // Current colours.
    int graphics_color = 15;
    int text_color = 15;
    int background_color = 0;

    // Viewport in window pixels (inclusive); graphics coordinates are relative to (x1, y1).
    int viewport_x1 = 0, viewport_y1 = 0, viewport_x2 = 799, viewport_y2 = 539;

    // World window. Without one, world coordinates are viewport pixels.
    bool world_set = false;
    bool world_inverted = false;
    double world_x1 = 0, world_y1 = 0, world_x2 = 1, world_y2 = 1;

    // Pen.
    int64_t position_x = 0, position_y = 0;   // viewport pixels
    int write_mode = WRITE_MODE_COPY;
    uint16_t line_style = 0xFFFF;
    int style_phase = 0;              // bit of the mask the next line pixel uses (continues along a polyline)

    // Window placement (the frame has no decorations of its own here).
    int frame_x = 0, frame_y = 0;
    int colour_count = 16;

    // Services.
    std::string dialog_filter;
    int exit_behaviour = 1;
};
// The one core state, created on first use; inline like surface().
inline CoreState& core() {
    static CoreState c;
    return c;
}

// [SECTION] Helpers shared by the core files
inline uint32_t pack_rgb(Rgb c) { return (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b; }
inline Rgb unpack_rgb(uint32_t p) { return {uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p)}; }
// `over` laid on `under` with coverage 0..255: each channel the nearest value of
// (under·(255 − coverage) + over·coverage) / 255.
inline uint32_t blend_rgb(uint32_t under, uint32_t over, int coverage) {
    Rgb u = unpack_rgb(under), o = unpack_rgb(over);
    auto mix = [coverage](int a, int b) { return uint8_t((a * (255 - coverage) + b * coverage + 127) / 255); };
    return pack_rgb({mix(u.r, o.r), mix(u.g, o.g), mix(u.b, o.b)});
}
uint32_t background_pixel_locked();                 // colour the background index shows
void fill_pixels_locked(int x1, int y1, int x2, int y2, uint32_t colour); // window pixels, inclusive, clipped to the surface
void resize_surface_locked(int width, int height, int rows, int columns); // reallocates pixels and grid, blank in the background colour
void redraw_console_locked();                       // draws every cell again (after a font change)
void draw_cell_locked(int row, int column);         // 1-based; draws one cell into the pixels
void update_text_cursor_locked();                   // moves the presenter's cursor to the text position

// Graphics text (canvas.cpp): blends a glyph's coverage 0..255 into a window pixel, clipped to the viewport.
void blend_pixel_locked(int x, int y, int coverage);

// Console font (fonts.cpp): renders one character into a cell of the window's
// pixels, or of another picture of the window (the close question's overlay).
void draw_console_glyph_locked(char32_t character, int x, int y, int width, int height,
                               uint32_t foreground, uint32_t background);
void draw_console_glyph_into_locked(std::vector<uint32_t>& pixels, int pixels_width, int pixels_height, char32_t character,
                                    int x, int y, int width, int height, uint32_t foreground, uint32_t background);
// Draws `text` into console cells of such a picture from (row, column), 1-based,
// in palette colours; it stops at the last column (no wrap).
void draw_text_cells_into_locked(std::vector<uint32_t>& pixels, int pixels_width, int pixels_height, int row, int column,
                                 std::string_view text, int text_color, int background_color);
void set_console_font_locked(const std::string& face, int pixel_size); // pixel_size <= 0: fit the cell
void reset_fonts_locked();                          // graphics font back to none, faces stay loaded

// Progress note (progress_note.cpp): drawn over a copy of the window's pixels
// (`frame`, width x height) when one is shown.
void draw_progress_note_locked(std::vector<uint32_t>& frame, int width, int height);

// Key queue internals (keys.cpp).
void reset_key_state();                             // empties queue and file arguments, direction keys off
void reset_file_arguments();

bool write_png(const std::string& path, int width, int height, const std::vector<uint32_t>& pixels);

}  // namespace tarno::window_internal
