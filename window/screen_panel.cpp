// In-window dialog helpers: painting text cells and saving the screen.
#include "window/screen_panel.hpp"

#include "common/utf8.hpp"      // cells hold characters, not bytes
#include "window/backend.hpp"   // surface(): the pixels and cell size
#include "window/window.hpp"    // public console routines, read_key

#include <algorithm>

namespace tarno::window_internal {

SavedScreen::SavedScreen() {
    cursor_visible_ = show_text_cursor(false);
    pass_direction_keys_ = pass_direction_keys(true);  // the dialogs move with the arrow keys
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        pixels_ = s.pixels;
        width_ = s.width;
        height_ = s.height;
        state_ = core();
    }
    set_write_mode(WRITE_MODE_COPY);
}

void SavedScreen::restore() {
    if (restored_) return;
    restored_ = true;
    pass_direction_keys(pass_direction_keys_);
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        CoreState& c = core();
        // A window resized meanwhile keeps what it shows now.
        if (s.width == width_ && s.height == height_ && s.pixels.size() == pixels_.size() &&
            c.rows == state_.rows && c.columns == state_.columns && c.cells.size() == state_.cells.size()) {
            s.pixels = pixels_;
            c = state_;
            update_text_cursor_locked();
            ++s.generation;
        }
    }
    show_text_cursor(cursor_visible_);
}

int console_row_count() {
    Surface& s = surface();
    std::lock_guard hold(s.lock);
    return std::max(1, core().rows);
}

void write_cells(int row, int column, std::string_view text, int width, int text_color, int background_color) {
    if (width <= 0) return;
    std::string cells = padded_characters(text, static_cast<size_t>(width));
    set_text_color(text_color);
    set_background_color(background_color);
    set_text_position(row, column);
    write_text(cells);
}

int read_dialog_key() {
    int key = read_key();
    if (key == KEY_PREFIX_FUNCTION) return -read_key();
    if (key == KEY_PREFIX_CURSOR) {
        int next = read_key();
        if (next < 0x80) return -next;
        // The lead byte of a typed character (UTF-8): its bytes come one by one.
        const uint8_t rest[] = {uint8_t(next)};
        unread_keys(rest);
    }
    return key;
}

}  // namespace tarno::window_internal
