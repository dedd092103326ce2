// In-window dialog helpers: painting text cells and saving the screen.
#include "window/screen_panel.hpp"

#include "window/backend.hpp"   // surface(): the pixels and cell size
#include "window/window.hpp"    // public console routines, read_key

#include <algorithm>

namespace tarno::window_internal {

SavedScreen::SavedScreen() {
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        pixels_ = s.pixels;
        width_ = s.width;
        height_ = s.height;
    }
    // The setters return the previous value; set each straight back.
    color_ = set_color(0);
    set_color(color_);
    text_color_ = set_text_color(0);
    set_text_color(text_color_);
    background_color_ = set_background_color(0);
    set_background_color(background_color_);
    write_mode_ = set_write_mode(WRITE_MODE_COPY);
    row_ = text_row();
    column_ = text_column();
    cursor_visible_ = show_text_cursor(false);
    pass_direction_keys_ = pass_direction_keys(true);  // the dialogs move with the arrow keys
}

void SavedScreen::restore() {
    if (restored_) return;
    restored_ = true;
    set_color(color_);
    set_text_color(text_color_);
    set_background_color(background_color_);
    set_write_mode(write_mode_);
    set_text_position(row_, column_);
    pass_direction_keys(pass_direction_keys_);
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        // A window resized meanwhile keeps what it shows now.
        if (s.width == width_ && s.height == height_ && s.pixels.size() == pixels_.size()) {
            s.pixels = pixels_;
            ++s.generation;
        }
    }
    show_text_cursor(cursor_visible_);
}

int console_row_count() {
    Surface& s = surface();
    std::lock_guard hold(s.lock);
    if (s.text_cursor_height <= 0) return 1;
    return std::max(1, s.height / s.text_cursor_height);
}

void write_cells(int row, int column, std::string_view text, int width, int text_color, int background_color) {
    if (width <= 0) return;
    std::string cells(text.substr(0, static_cast<size_t>(width)));
    cells.resize(static_cast<size_t>(width), ' ');
    set_text_color(text_color);
    set_background_color(background_color);
    set_text_position(row, column);
    write_text(cells);
}

int read_dialog_key() {
    int key = read_key();
    if (key == KEY_PREFIX_FUNCTION || key == KEY_PREFIX_CURSOR) return -read_key();
    return key;
}

std::string keep_tail(std::string_view text, size_t width) {
    if (text.size() <= width) return std::string(text);
    if (width <= 3) return std::string(text.substr(text.size() - width));
    return "..." + std::string(text.substr(text.size() - (width - 3)));
}

}  // namespace tarno::window_internal
