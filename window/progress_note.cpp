// The progress note: kept in the Surface for the presenter, which draws it
// over its copy of the picture (see progress_note.hpp).
#include "window/progress_note.hpp"

#include <mutex>
#include <string>

#include "common/fields.hpp"    // format_integer
#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno {
using namespace window_internal;

static constexpr int PERCENT_COLUMNS = 4;   // " 37" after the label, then " %"

void show_progress_note(int row, int column, std::string_view text) {
    {
        std::lock_guard guard(surface().lock);
        Surface& s = surface();
        const CoreState& c = core();
        s.progress_note = std::string(text);
        s.progress_note_row = row;
        s.progress_note_column = column;
        s.progress_note_text_color = c.text_color;
        s.progress_note_background_color = c.background_color;
        s.generation++;
    }
    if (Backend* b = installed_backend()) b->progress_shown(row, column, text);
}

void hide_progress_note() {
    std::lock_guard guard(surface().lock);
    Surface& s = surface();
    if (s.progress_note.empty()) return;
    s.progress_note.clear();
    s.generation++;
}

ProgressNote::~ProgressNote() { hide_progress_note(); }

void ProgressNote::show(std::string_view text) {
    show_progress_note(row_, column_, text);
}

void ProgressNote::show_share(std::string_view label, int64_t done, int64_t total) {
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    if (percent == shown_percent_) return;
    shown_percent_ = percent;
    show(std::string(label) + format_integer(percent, PERCENT_COLUMNS) + " %");
}

}  // namespace tarno

namespace tarno::window_internal {

// The note's cells, clipped to the row (it never wraps) and to the frame.
void draw_progress_note_locked(std::vector<uint32_t>& frame, int width, int height) {
    const Surface& s = surface();
    if (s.progress_note.empty() || frame.size() != size_t(width) * size_t(height)) return;
    draw_text_cells_into_locked(frame, width, height, s.progress_note_row, s.progress_note_column, s.progress_note,
                                s.progress_note_text_color, s.progress_note_background_color);
}

}  // namespace tarno::window_internal
