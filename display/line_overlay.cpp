// The line overlay on the plot: sticks of the catalogue, marks of the
// assigned lines, the readout of the catalogue line under the cursor, the
// observed - calculated figure after a measurement, and PGDN/PGUP stepping.
//
// Readout places (the specified text of the rows is never overwritten):
//   row 1, columns 38-50: "C-L:" and cursor - line (F9.4), in the gap after "<- Cursor";
//   row 2, columns 12-68: the line's frequency (F12.4), uncertainty (F8.4),
//                         log intensity (F8.3), upper and lower quanta as written;
//   after a measurement, row 2, columns 40-53: "O-C:" and observed - calculated (F10.4).
#include <algorithm>
#include <cmath>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/measurement.hpp"
#include "display/messages.hpp"
#include "window/window.hpp"

namespace tarno {

LineOverlay overlay{};

constexpr int READOUT_ROW1_COLUMN = 38, READOUT_ROW1_WIDTH = 13;
constexpr int READOUT_ROW2_COLUMN = 12, READOUT_ROW2_WIDTH = 57;
constexpr int O_MINUS_C_COLUMN = 40;

bool overlay_has_lines() {
    return !overlay.hidden && (overlay.catalogue.size() > 0 || overlay.assigned.size() > 0);
}

static bool catalogue_shown() { return !overlay.hidden && overlay.catalogue.size() > 0; }

// [SECTION] Sticks and marks ---------------------------------------------------------------

int32_t plot_last_column() { return screen.screen_width - 4; }

// Frequency at the centre of plot column c: the world x that the window
// layer maps onto that column.
static double column_frequency(int32_t c, double view_low, double view_high, int32_t last_column) {
    return view_low + c * (view_high - view_low) / last_column;
}

// Column of a frequency, as the window layer rounds it.
static double column_position(double f, double view_low, double view_high, int32_t last_column) {
    return (f - view_low) * last_column / (view_high - view_low);
}

// First position at or after `from` whose frequency is not below `bound`:
// galloping from `from`, so that stepping column by column reads the
// frequencies in order instead of jumping across the whole array.
template <class Iterator>
static Iterator gallop_lower_bound(Iterator from, Iterator end, double bound) {
    size_t step = 1;
    Iterator low = from;
    while (size_t(end - low) > step && *(low + step - 1) < bound) {
        low += step;
        step *= 2;
    }
    return std::lower_bound(low, low + std::min<size_t>(step, size_t(end - low)), bound);
}

// One pass over the lines in view: for each inner column the strongest line
// whose position rounds to it (the first of equal ones). Column c takes the
// positions [c - 0.5, c + 0.5); its end is found by binary search.
std::vector<Stick> catalogue_sticks(const Catalogue& catalogue, double view_low, double view_high,
                                    int32_t last_column, int32_t strongest_count) {
    std::vector<Stick> sticks;
    if (catalogue.size() == 0 || !(view_high > view_low) || last_column < 2) return sticks;
    const auto& f = catalogue.frequency;
    const double per_column = (view_high - view_low) / last_column;
    auto begin = std::lower_bound(f.begin(), f.end(), view_low + 0.5 * per_column);
    for (int32_t c = 1; c < last_column && begin != f.end(); ++c) {
        auto end = gallop_lower_bound(begin, f.end(), view_low + (c + 0.5) * per_column);
        if (end != begin) {
            sticks.push_back({c, strongest_line_in(catalogue, size_t(begin - f.begin()), size_t(end - f.begin()))});
        }
        begin = end;
    }
    if (strongest_count > 0 && sticks.size() > size_t(strongest_count)) {
        auto stronger = [&](const Stick& a, const Stick& b) {
            return catalogue.log_intensity[a.line] > catalogue.log_intensity[b.line];
        };
        std::nth_element(sticks.begin(), sticks.begin() + strongest_count, sticks.end(), stronger);
        sticks.resize(size_t(strongest_count));
        std::sort(sticks.begin(), sticks.end(), [](const Stick& a, const Stick& b) { return a.column < b.column; });
    }
    return sticks;
}

// Inner columns that hold at least one assigned line, ascending.
std::vector<int32_t> assigned_columns(const AssignedLines& lines, double view_low, double view_high,
                                      int32_t last_column) {
    std::vector<int32_t> columns;
    if (lines.size() == 0 || !(view_high > view_low)) return columns;
    auto begin = std::lower_bound(lines.frequency.begin(), lines.frequency.end(), view_low);
    auto end = std::upper_bound(begin, lines.frequency.end(), view_high);
    for (auto it = begin; it != end; ++it) {
        int32_t c = int32_t(std::llround(column_position(*it, view_low, view_high, last_column)));
        if (c >= 1 && c < last_column && (columns.empty() || columns.back() != c)) columns.push_back(c);
    }
    return columns;
}

std::optional<size_t> strongest_line_near(const Catalogue& catalogue, double frequency, double half_window) {
    const auto& f = catalogue.frequency;
    auto begin = std::lower_bound(f.begin(), f.end(), frequency - half_window);
    auto end = std::upper_bound(begin, f.end(), frequency + half_window);
    std::optional<size_t> best;
    for (auto it = begin; it != end; ++it) {
        size_t k = size_t(it - f.begin());
        if (!best || catalogue.log_intensity[k] > catalogue.log_intensity[*best] ||
            (catalogue.log_intensity[k] == catalogue.log_intensity[*best] &&
             std::fabs(f[k] - frequency) < std::fabs(f[*best] - frequency)))
            best = k;
    }
    return best;
}

std::optional<size_t> nearest_line_within(const Catalogue& catalogue, double frequency, double low, double high) {
    const auto& f = catalogue.frequency;
    auto begin = std::lower_bound(f.begin(), f.end(), std::min(low, high));
    auto end = std::upper_bound(begin, f.end(), std::max(low, high));
    std::optional<size_t> best;
    for (auto it = begin; it != end; ++it) {
        size_t k = size_t(it - f.begin());
        double distance = std::fabs(f[k] - frequency);
        if (!best) { best = k; continue; }
        double best_distance = std::fabs(f[*best] - frequency);
        if (distance < best_distance ||
            (distance == best_distance && catalogue.log_intensity[k] > catalogue.log_intensity[*best]))
            best = k;
    }
    return best;
}

// [SECTION] Drawing ---------------------------------------------------------------------------

// One pixel row in intensity units: the world window spans y_bottom..y_high
// over the viewport's pixel rows.
static double pixel_height() {
    const DisplayState& d = display;
    return (d.y_high - d.y_bottom) / (screen.screen_height - 4 * screen.row_height + 4);
}

// Sticks rise from one pixel above the box's bottom line; the strongest in
// view reaches a third of the plot height, the others linearly less (at
// least one pixel, so a weak line still shows where it is).
static void draw_sticks() {
    const DisplayState& d = display;
    const Catalogue& c = overlay.catalogue;
    const int32_t last_column = plot_last_column();
    std::vector<Stick> sticks = catalogue_sticks(c, d.view_low, d.view_high, last_column, overlay.strongest_count);
    if (sticks.empty()) return;
    float strongest = c.log_intensity[sticks.front().line];
    for (const Stick& s : sticks) strongest = std::max(strongest, c.log_intensity[s.line]);
    const double pixel = pixel_height();
    const double bottom = d.y_floor + pixel;
    const double third = (d.y_high - d.y_floor) / 3;
    for (const Stick& s : sticks) {
        double relative = std::pow(10.0, double(c.log_intensity[s.line]) - strongest);
        double top = std::max(bottom, d.y_floor + third * relative);
        set_color(c.detail[s.line].tag < 0 ? COLOR_EXPERIMENTAL_STICK : COLOR_CATALOGUE_STICK);
        double x = column_frequency(s.column, d.view_low, d.view_high, last_column);
        move_to_world(x, top);
        line_to_world(x, bottom);
    }
}

// A short mark hanging below the top of the plot.
static void draw_mark_at_column(int32_t column) {
    const DisplayState& d = display;
    const double pixel = pixel_height();
    double x = column_frequency(column, d.view_low, d.view_high, plot_last_column());
    move_to_world(x, d.y_high - ASSIGNED_MARK_TOP * pixel);
    line_to_world(x, d.y_high - (ASSIGNED_MARK_TOP + ASSIGNED_MARK_LENGTH - 1) * pixel);
}

static void draw_marks() {
    const DisplayState& d = display;
    set_color(COLOR_ASSIGNED_MARK);
    for (int32_t column : assigned_columns(overlay.assigned, d.view_low, d.view_high, plot_last_column()))
        draw_mark_at_column(column);
}

void draw_line_overlay() {
    overlay.readout_shown = false;      // the frame rewrites the status rows
    if (!overlay_has_lines()) return;
    const DisplayState& d = display;
    if (!(d.view_high > d.view_low) || !(d.y_high > d.y_floor)) return;
    set_write_mode(WRITE_MODE_COPY);
    set_line_style(0xFFFF);
    if (overlay.catalogue.size() > 0) draw_sticks();
    if (overlay.assigned.size() > 0) draw_marks();
    set_color(COLOR_WHITE);
}

// The mark of a line just assigned: the cursor is taken off while it is
// drawn, so that erasing the cursor later leaves the mark as it is.
void draw_assigned_mark(double frequency) {
    const DisplayState& d = display;
    if (overlay.hidden) return;
    int32_t last_column = plot_last_column();
    int32_t column = int32_t(std::llround(column_position(frequency, d.view_low, d.view_high, last_column)));
    if (!(frequency >= d.view_low && frequency <= d.view_high) || column < 1 || column >= last_column) return;
    draw_cursor_line();
    set_write_mode(WRITE_MODE_COPY);
    set_line_style(0xFFFF);
    set_color(COLOR_ASSIGNED_MARK);
    draw_mark_at_column(column);
    set_color(COLOR_WHITE);
    draw_cursor_line();
}

// [SECTION] Readout and navigation -------------------------------------------------------------

static std::string state_text(const std::array<char, 2 * CATALOGUE_QUANTA>& text, int16_t quantum_format) {
    int n = quanta_per_state(quantum_format);
    if (n == 0) n = CATALOGUE_QUANTA;
    return std::string(text.data(), size_t(2 * n));
}

std::string catalogue_readout_row1(double cursor, const Catalogue& c, size_t line) {
    return "C-L:" + format_fixed(cursor - c.frequency[line], 9, 4);
}

std::string catalogue_readout_row2(const Catalogue& c, size_t line) {
    const CatalogueDetail& d = c.detail[line];
    std::string text = format_fixed(c.frequency[line], 12, 4) + format_fixed(d.uncertainty, 8, 4) +
                       format_fixed(c.log_intensity[line], 8, 3) + " " + state_text(d.upper_text, d.quantum_format) +
                       " " + state_text(d.lower_text, d.quantum_format);
    return padded(text, READOUT_ROW2_WIDTH);
}

static void write_readout(const std::string& row1, const std::string& row2) {
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    set_text_position(1, READOUT_ROW1_COLUMN);
    write_text(padded(row1, READOUT_ROW1_WIDTH));
    set_text_position(2, READOUT_ROW2_COLUMN);
    write_text(padded(row2, READOUT_ROW2_WIDTH));
}

void show_cursor_readout() {
    if (overlay.catalogue.size() == 0) return;
    const DisplayState& d = display;
    std::optional<size_t> line;
    // within READOUT_PIXELS whole pixels: up to half a pixel more in frequency
    if (catalogue_shown())
        line = strongest_line_near(overlay.catalogue, d.cursor_freq, (READOUT_PIXELS + 0.5) * d.freq_per_pixel);
    if (line) {
        write_readout(catalogue_readout_row1(d.cursor_freq, overlay.catalogue, *line),
                      catalogue_readout_row2(overlay.catalogue, *line));
        overlay.readout_shown = true;
    } else if (overlay.readout_shown) {
        write_readout("", "");
        overlay.readout_shown = false;
    }
}

void show_observed_minus_calculated(const LineMeasurement& measured) {
    if (!catalogue_shown() || measured.failed || measured.fit_freq.empty()) return;
    const std::string text = "O-C:";
    const size_t width = text.size() + 10;
    // only into blanks of the result's second row
    std::string row2 = padded(line_result_row2(measured), 80);
    if (row2.find_first_not_of(' ', O_MINUS_C_COLUMN - 2) < O_MINUS_C_COLUMN + width) return;
    const double observed = measured.frequency;
    std::optional<size_t> line =
        nearest_line_within(overlay.catalogue, observed, measured.fit_freq.front(), measured.fit_freq.back());
    if (!line) return;
    set_text_color(COLOR_BLUE);
    set_background_color(COLOR_LIGHT_GREY);
    set_text_position(2, O_MINUS_C_COLUMN);
    write_text(text + format_fixed(observed - overlay.catalogue.frequency[*line], 10, 4));
    set_text_color(COLOR_BLACK);
}

// The drawn stick next to the cursor's column in `direction`, in the current view.
static std::optional<size_t> drawn_line_beside_cursor(int direction) {
    const DisplayState& d = display;
    const int32_t last_column = plot_last_column();
    std::vector<Stick> sticks = catalogue_sticks(overlay.catalogue, d.view_low, d.view_high, last_column,
                                                 overlay.strongest_count);
    double cursor_column = std::round(column_position(d.cursor_freq, d.view_low, d.view_high, last_column));
    if (direction > 0) {
        for (const Stick& s : sticks) if (s.column > cursor_column) return s.line;
    } else {
        for (auto it = sticks.rbegin(); it != sticks.rend(); ++it) if (it->column < cursor_column) return it->line;
    }
    return std::nullopt;
}

// The drawn stick in the column of catalogue line `line` (a stronger
// neighbour may stand for it), or the line itself.
static size_t drawn_line_at(size_t line) {
    const DisplayState& d = display;
    const int32_t last_column = plot_last_column();
    double column = std::round(column_position(overlay.catalogue.frequency[line], d.view_low, d.view_high, last_column));
    for (const Stick& s : catalogue_sticks(overlay.catalogue, d.view_low, d.view_high, last_column,
                                           overlay.strongest_count))
        if (s.column == column) return s.line;
    return line;
}

// PGDN/PGUP: the cursor goes to the next drawn catalogue line to the right
// (left). When the next one lies beyond the view, the view moves by whole
// widths until it holds that line; the cursor lands on it.
Redraw step_to_catalogue_line(int direction) {
    if (!catalogue_shown()) return Redraw_None;
    if (!view_matches_block()) {
        follow_exchange_block();
        return Redraw_None;
    }
    DisplayState& d = display;
    const Catalogue& c = overlay.catalogue;
    if (std::optional<size_t> line = drawn_line_beside_cursor(direction)) {
        update_cursor(c.frequency[*line]);
        return Redraw_None;
    }
    // the first line beyond the view
    const double width = d.view_high - d.view_low;
    std::optional<size_t> beyond;
    if (direction > 0) {
        auto it = std::upper_bound(c.frequency.begin(), c.frequency.end(), d.view_high);
        if (it != c.frequency.end()) beyond = size_t(it - c.frequency.begin());
    } else {
        auto it = std::lower_bound(c.frequency.begin(), c.frequency.end(), d.view_low);
        if (it != c.frequency.begin()) beyond = size_t(it - c.frequency.begin()) - 1;
    }
    if (!beyond) {
        show_error(direction > 0 ? " ERROR: no catalogue line above the view" : " ERROR: no catalogue line below the view");
        return Redraw_None;
    }
    const double target = c.frequency[*beyond];
    const double steps = std::floor((target - d.view_low) / width);
    d.view_low += steps * width;
    d.view_high += steps * width;
    d.cursor_freq = target;
    draw_frame();
    double landed = c.frequency[drawn_line_at(*beyond)];
    if (landed != d.cursor_freq) update_cursor(landed);
    else show_cursor_readout();
    return Redraw_None;
}

}  // namespace tarno
