// The window's geometry: the surface and its console grid, the installed
// backend, configure_window and the window-size routines, and the reset to a
// new window that both backends use.
//
// NOTE: the frame window has no decorations of its own in this layer (no
// menus, no status bar), so the frame and the drawing area have the same size;
// only the frame remembers a position.
#include <algorithm>
#include <mutex>

#include "window/backend.hpp"
#include "common/fields.hpp"  // trim
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

// [SECTION] Limits
constexpr int MIN_PIXELS = 16;       // smallest drawing area side we accept (pixels)
constexpr int MAX_PIXELS = 8192;     // largest drawing area side we accept (pixels)
constexpr int MAX_ROWS = 200;
constexpr int MAX_COLUMNS = 256;
constexpr const char* DEFAULT_CONSOLE_FACE = "Courier New";

// [SECTION] File-level state
static Backend* g_backend = nullptr;
static std::string g_console_face = DEFAULT_CONSOLE_FACE;   // set by configure_window
static int g_console_font_size = 0;                          // pixels; 0 = fit the cell

// Sets the backend the core calls (nullptr = none).
void install_backend(Backend* backend) { g_backend = backend; }
// Returns the installed backend, or nullptr.
Backend* installed_backend() { return g_backend; }

// Returns the pixel value the current background index shows.
// NOTE: the background accepts 0..255 but the palette has 16 entries; 16..255 show as 15 (white).
uint32_t background_pixel_locked() { return pack_rgb(palette_rgb(core().background_color)); }

// Fills a window-pixel rectangle (inclusive), clipped to the surface.
void fill_pixels_locked(int x1, int y1, int x2, int y2, uint32_t colour) {
    Surface& s = surface();
    x1 = std::max(x1, 0);
    y1 = std::max(y1, 0);
    x2 = std::min(x2, s.width - 1);
    y2 = std::min(y2, s.height - 1);
    for (int y = y1; y <= y2; ++y)
        std::fill(s.pixels.begin() + size_t(y) * s.width + x1, s.pixels.begin() + size_t(y) * s.width + x2 + 1, colour);
    s.generation++;
}

// Reallocates the pixels and the grid for a new size; everything blank in the background colour.
void resize_surface_locked(int width, int height, int rows, int columns) {
    Surface& s = surface();
    CoreState& c = core();
    s.width = width;
    s.height = height;
    s.pixels.assign(size_t(width) * height, background_pixel_locked());
    c.rows = rows;
    c.columns = columns;
    c.cell_width = std::max(1, width / columns);
    c.cell_height = std::max(1, height / rows);
    c.cells.assign(size_t(rows) * columns, Cell{' ', uint8_t(c.text_color), uint8_t(c.background_color)});
    c.text_row = 1;
    c.text_column = 1;
    c.viewport_x1 = 0;
    c.viewport_y1 = 0;
    c.viewport_x2 = width - 1;
    c.viewport_y2 = height - 1;
    s.text_cursor_width = c.cell_width;
    s.text_cursor_height = c.cell_height;
    set_console_font_locked(g_console_face, g_console_font_size);
    update_text_cursor_locked();
    s.generation++;
}

// Resets canvas, console, colours and the graphics font to a new window of the given size.
void reset_window_state(int width, int height) {
    {
        std::lock_guard guard(surface().lock);
        core() = CoreState{};
        g_console_face = DEFAULT_CONSOLE_FACE;
        g_console_font_size = 0;
        reset_fonts_locked();
        resize_surface_locked(std::clamp(width, MIN_PIXELS, MAX_PIXELS), std::clamp(height, MIN_PIXELS, MAX_PIXELS), 30, 80);
        surface().text_cursor_visible = false;
        surface().progress_note.clear();
    }
    reset_key_state();
}

// Tells the backend that the client area changed; never under the lock.
static void notify_resize() {
    int width, height;
    {
        std::lock_guard guard(surface().lock);
        width = surface().width;
        height = surface().height;
    }
    if (Backend* b = installed_backend()) b->resize(width, height);
}

// Clamps a requested value into [low, high]; clears `exact` when it had to.
static int16_t adjust(int16_t value, int low, int high, bool& exact) {
    int v = std::clamp(int(value), low, high);
    if (v != value) exact = false;
    return int16_t(v);
}

}  // namespace tarno::window_internal

namespace tarno {
using namespace window_internal;

// Sets the drawing area's size, the text grid and the console font. Requests
// outside what the layer can show are adjusted in `config`; returns false then.
bool configure_window(WindowConfig& config) {
    bool exact = true;
    config.pixel_width = adjust(config.pixel_width, MIN_PIXELS, MAX_PIXELS, exact);
    config.pixel_height = adjust(config.pixel_height, MIN_PIXELS, MAX_PIXELS, exact);
    config.text_columns = adjust(config.text_columns, 1, MAX_COLUMNS, exact);
    config.text_rows = adjust(config.text_rows, 1, MAX_ROWS, exact);
    // -1 (layer default) and 0 (not set) both mean our 16 colours.
    if (config.colour_count != -1 && config.colour_count != 0 && config.colour_count != 16) {
        config.colour_count = 16;
        exact = false;
    }
    if (config.font_extended_size < -1) {
        config.font_extended_size = -1;
        exact = false;
    }
    // NOTE: the attribute flags are kept in the record; the console face is always
    // drawn upright in its regular weight so that every cell stays the same size.
    {
        std::lock_guard guard(surface().lock);
        std::string_view face = trim(config.font_name);
        if (!face.empty()) g_console_face = std::string(face);
        g_console_font_size = config.font_extended_size > 0 ? config.font_extended_size : 0;
        core().colour_count = 16;
        resize_surface_locked(config.pixel_width, config.pixel_height, config.text_rows, config.text_columns);
    }
    notify_resize();
    if (Backend* b = installed_backend()) b->set_title(trim(config.title));
    return exact;
}

// Returns the frame's placement or the drawing area (which = UNIT_CONSOLE), in pixels.
WindowRect get_window_size(int which) {
    std::lock_guard guard(surface().lock);
    const Surface& s = surface();
    if (which == UNIT_FRAME) return {core().frame_x, core().frame_y, s.width, s.height};
    return {0, 0, s.width, s.height};
}

// Moves/resizes the frame (the drawing area follows) or resizes the drawing area.
// A width or height below one pixel keeps the size (the start-up code parks the
// drawing window at zero size to let it fill the frame).
void set_window_size(int which, WindowRect rect) {
    bool resized = false;
    {
        std::lock_guard guard(surface().lock);
        CoreState& c = core();
        Surface& s = surface();
        if (which == UNIT_FRAME) {
            c.frame_x = rect.x;
            c.frame_y = rect.y;
        }
        if (rect.width >= 1 && rect.height >= 1) {
            int width = std::clamp(rect.width, MIN_PIXELS, MAX_PIXELS);
            int height = std::clamp(rect.height, MIN_PIXELS, MAX_PIXELS);
            if (width != s.width || height != s.height) {
                resize_surface_locked(width, height, c.rows, c.columns);
                resized = true;
            }
        }
    }
    if (resized) notify_resize();
}

}  // namespace tarno
