// Initialisation of the display state when the display loop starts, the plot
// viewport, and the whole-screen redraw (bottom line, file name, frame).
#include <algorithm>
#include <string>

#include "app/records.hpp"
#include "app/startup.hpp"
#include "common/fields.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/linked.hpp"
#include "display/linked_state.hpp"
#include "display/point_index.hpp"
#include "exchange/exchange_block.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int INITIAL_FIT_WIDTH = 7;
constexpr const char* KEY_SUMMARY = "A-S  Q-E  Z-W  2-3    K-L              ";
constexpr const char* HELP_HINT = "                                  H=help ";

// [SECTION] Steps of the initialisation ---------------------------------------------------

// Vertical window 5 % beyond the intensity range; a flat spectrum gets a
// range of its own so the world window stays valid.
static void set_initial_vertical_window() {
    DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    double range = static_cast<double>(s.intensity_max) - s.intensity_min;
    d.y_low = s.intensity_min - 0.05f * range;
    d.y_high = s.intensity_max + 0.05f * range;
    if (!(d.y_high > d.y_low)) {
        d.y_low = s.intensity_min - 1.0;
        d.y_high = s.intensity_max + 1.0;
    }
    d.reference_level = d.y_low + 0.25 * (d.y_high - d.y_low);
    d.start_reference_level = d.reference_level;
}

// Recomputes the sum and the mean of the spectrum's intensities (0 when empty).
void recompute_intensity_mean() {
    DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    double sum = 0;
    for (int32_t i = 1; i <= s.point_count; ++i) sum += s.intensity[i];
    d.intensity_sum = sum;
    d.mean_intensity = s.point_count > 0 ? sum / s.point_count : 0;
}

// Takes the copy that restore returns to, and the mean of the spectrum.
static void take_original_and_mean() {
    SpectrumRecord& s = spectrum;
    for (int32_t i = 1; i <= s.point_count; ++i) s.original_intensity[i] = s.intensity[i];
    recompute_intensity_mean();
}

// First view: one point per pixel from the first point. A spectrum shorter
// than the screen is shown whole, its arrays padded to the screen width with
// the last intensity on the extended axis.
static void set_initial_view() {
    DisplayState& d = display;
    SpectrumRecord& s = spectrum;
    int32_t n = std::max(s.point_count, 1);
    int32_t screen_points = screen.screen_width + 1;
    d.view_low = index_frequency(1);
    if (n < screen_points) {
        d.view_high = index_frequency(n);
        for (int32_t i = n + 1; i <= std::min(screen_points, MAX_POINTS); ++i) {
            s.intensity[i] = s.intensity[n];
            s.frequency[i] = index_frequency(i);
        }
    } else {
        d.view_high = index_frequency(screen_points);
    }
    d.cursor_freq = (d.view_low + d.view_high) / 2;
}

// The directory of the spectrum file, up to and including its last separator;
// empty when the only separator is the first character.
static std::string spectrum_directory() {
    std::string name = trimmed_text_field(text.data_file_name);
    std::string directory(directory_part(name));
    return directory.size() <= 1 ? std::string() : directory;
}

// Publishes the spectrum's range and name for a partner program.
void publish_spectrum_in_block() {
    std::string name(trim(name_part(trimmed_text_field(text.data_file_name))));
    publish_spectrum(index_frequency(1), index_frequency(std::max(spectrum.point_count, 1)), name);
}

// The bottom row: key summary (none in linked operation) and the help hint.
void compose_bottom_line() {
    std::string first = linked.linked_input_found == 1 ? std::string(39, ' ') : std::string(KEY_SUMMARY);
    set_text_field(display.bottom_line, first + HELP_HINT);
}

// [SECTION] Public routines ------------------------------------------------------------------

void set_display_viewport() {
    const ScreenConfig& c = screen;
    set_viewport(2, 2 * c.row_height - 2, c.screen_width - 2, c.screen_height - 2 * c.row_height + 2);
}

// Fills the display state from the spectrum record and draws the first screen.
void initialise_display() {
    DisplayState& d = display;
    set_text_field(d.spectrum_directory, spectrum_directory());
    load_linked_input();
    linked.linked_flag = linked.linked_input_found;
    linked.offset_marker_on = false;
    d.fit_width = INITIAL_FIT_WIDTH;
    d.centre_memory = 0;
    d.expansion = 1;
    d.interp_count = 0;
    d.message_flag = false;

    set_initial_vertical_window();
    take_original_and_mean();
    compose_bottom_line();
    set_initial_view();
    publish_spectrum_in_block();

    if (screen.text_rows != 17) NARGR();
    set_background_color(7);
    set_display_viewport();
    clear_screen(0);
    redraw_whole_screen();
}

// Clears the window and draws bottom line, file name(s) and a frame.
void redraw_whole_screen() {
    const ScreenConfig& c = screen;
    set_text_color(0);
    set_background_color(7);
    show_text_cursor(false);
    clear_screen(0);
    set_text_position(c.text_rows, 1);
    write_text(text_field_view(display.bottom_line).substr(0, 79));

    std::string name = trimmed_text_field(text.data_file_name);
    set_text_color(12);
    set_text_position(c.text_rows, 41);
    write_text(name.size() <= 30 ? padded(name, 30) : "..." + name.substr(name.size() - 28));
    if (linked.linked_input_found == 1) {
        set_text_color(2);
        set_text_position(c.text_rows, 2);
        write_text(trim(text_field_view(linked.datafile_short_name)));
    }
    set_text_color(15);
    draw_frame();
}

}  // namespace tarno
