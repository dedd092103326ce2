// The fitting-width prompt (key 0): the number of points a peak fit takes.
// An odd width 3..499 is kept; a negative odd width -5..-499 is kept as its
// magnitude and starts the preparation of the automatic peak finder: the
// baseline level and then the cutoff are set on the screen with W, w, Z, z
// as horizontal lines, and ENTER fixes each; then the peak finder runs.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/linked.hpp"           // line_uncertainty: the nominal error of the peak finder
#include "display/messages.hpp"
#include "display/point_index.hpp"
#include "input/keyboard.hpp"
#include "processing/peak_finder.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int MAX_FIT_WIDTH = 499;

// [SECTION] Level lines --------------------------------------------------------------------

// A 16-bit level from a real value, truncated and held inside the 16-bit range.
static int16_t to_level(double value) {
    return static_cast<int16_t>(std::clamp(truncate_to_int32(value), -32768, 32767));
}

// Draws (or, drawn again, erases) a horizontal line across the view at `level`.
static void draw_level_line(int16_t level) {
    const DisplayState& d = display;
    move_to_world(d.view_low, level);
    line_to_world(d.view_high, level);
}

// Shows `prompt` in row 1 (row 2 cleared) in text colour 12.
static void show_level_prompt(const char* prompt) {
    set_text_color(12);
    clear_message_rows();
    set_text_position(1, 1);
    write_text(prompt);
}

// The next level after a W/w/Z/z key: 1.5 pixels per key, a further 9 for the
// capital letter; `floor` is where a downward step may not reach (none for the
// baseline level, which is held inside the vertical window).
struct LevelRules {
    double floor_level;         // a downward step to this or below gives floor + 1 pixel
    bool has_floor;
};

static int16_t step_level(int16_t level, int16_t key, const LevelRules& rules) {
    const DisplayState& d = display;
    double t = (d.y_high - d.y_low) / screen.screen_height;   // one pixel in intensity units
    int16_t next = level;
    switch (key) {
    case 'z': next = to_level(next - 1.5 * t); break;
    case 'Z': next = to_level(to_level(next - 1.5 * t) - 9 * t); break;
    case 'w': next = to_level(next + 1.5 * t); break;
    case 'W': next = to_level(to_level(next + 1.5 * t) + 9 * t); break;
    default: return level;
    }
    int16_t top = to_level(d.y_high);
    if (!rules.has_floor) return std::clamp(next, std::min(to_level(d.y_low), top), top);
    if (next < level && next <= rules.floor_level) next = to_level(rules.floor_level + t);
    return std::min(next, top);
}

// Moves an XOR line with W, w, Z, z until ENTER; returns the level fixed.
static int16_t set_level_with_keys(int16_t level, const LevelRules& rules) {
    set_write_mode(WRITE_MODE_XOR);
    set_color(12);
    draw_level_line(level);
    for (;;) {
        int16_t key = 0;
        INKEY(key);
        if (key == KEY_ENTER) return level;
        int16_t next = step_level(level, key, rules);
        if (next == level) continue;
        draw_level_line(level);
        level = next;
        draw_level_line(level);
    }
}

// The preparation of the automatic peak finder: baseline level, then cutoff.
static void prepare_peak_finder() {
    DisplayState& d = display;
    double t = (d.y_high - d.y_low) / screen.screen_height;
    show_level_prompt(" Set the baseline level with W,Z keys, terminate with ENTER");
    int16_t level = set_level_with_keys(to_level(d.mean_intensity), LevelRules{0, false});
    show_level_prompt(" Set the Y-axis cutoff with W,Z keys, terminate with ENTER");
    int16_t cutoff = set_level_with_keys(to_level(level + 10 * t), LevelRules{static_cast<double>(level), true});
    set_text_color(0);
    set_background_color(7);
    AUTOPK(d.first_index, d.last_index, cutoff, level, d.fit_width, d.y_high - d.mean_intensity,
           linked_input.line_uncertainty);
    show_text_cursor(false);
    set_write_mode(WRITE_MODE_COPY);
    set_color(15);
}

// [SECTION] The prompt -------------------------------------------------------------------------

// Asks the width until an accepted one is typed (ENTER alone reads 0: not accepted).
static int ask_fit_width() {
    for (;;) {
        set_text_color(1);
        set_background_color(7);
        clear_message_rows();
        set_text_position(1, 1);
        console_write(" Current no. of points for fitting lineshape: " + format_integer(display.fit_width, 3));
        write_text("        New number (odd, -ve for DERUVAVEVU):  ");
        std::optional<long long> n = read_integer_field(console_read_line(), 5);
        if (!n) continue;
        bool odd = *n % 2 != 0;
        if (odd && *n >= 3 && *n <= MAX_FIT_WIDTH) return static_cast<int>(*n);
        if (odd && *n <= -5 && *n >= -MAX_FIT_WIDTH) return static_cast<int>(*n);
    }
}

Redraw fitting_width_dialogue() {
    int n = ask_fit_width();
    display.fit_width = static_cast<int16_t>(n > 0 ? n : -n);
    if (n < 0) prepare_peak_finder();
    return Redraw_WholeScreen;
}

}  // namespace tarno
