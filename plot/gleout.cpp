// GLEOUT: the plot output dialogue. A menu of the plot settings with a
// preview of the strips the range is cut into; ENTER writes the data file(s)
// and one GLE script per page, -1 leaves without writing.
//
//   _____g l e   O U T P U T________________________________________________________
//
//                         min         max          range   10*mark     mm
//    full SPECTRUM:     86000.00    86019.95       19.95      1
//
//         STRIP: 1      86000.00    86010.00       10.00      1     273.0
//         ...
//         1: Strips per page =      1
//         ...
//         Select 1-6 (ENTER=OK, -1=exit) .....
//
// Strips start at the lower limit and follow each other by repeated addition
// of the strip length; they continue while the last one ends below the upper
// limit. An end within a relative 1e-9 of the limit counts as reaching it:
// after the autofit (-3) repeated addition often stops a rounding error short,
// which would add a near-empty strip, and often a page.
//
// Sections:
//   [SECTION] Settings and constants
//   [SECTION] Console helpers
//   [SECTION] Strips
//   [SECTION] Menu
//   [SECTION] Menu items
//   [SECTION] Writing
//   [SECTION] GLEOUT
#include <algorithm>    // clamp, min
#include <cmath>        // fabs
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/records.hpp"              // spectrum, data_file_name
#include "common/fields.hpp"            // fixed-width fields, answers
#include "display/display_state.hpp"    // the display's interpolated points
#include "input/keyboard.hpp"           // INKEY for the closing ENTER
#include "plot/plot_output.hpp"
#include "window/progress_note.hpp"     // the share of the data file written
#include "window/window.hpp"            // console

namespace tarno {

// [SECTION] Settings and constants --------------------------------------------
PlotSettings plot_settings;

static constexpr double STRIP_END_TOLERANCE = 1e-9;    // relative: an end this close to the limit reaches it
static constexpr double LARGEST_SPACING = 1000.0;      // bound of marker spacing and plot scaling
static constexpr double SMALLEST_SCALING = 0.001;      // plot scaling must lie above this
// The marker spacing may not lie below 0.001 as a single-precision number
// (0.0010000000474974513): exactly 0.001 is refused.
static const double SMALLEST_MARKER_SPACING = static_cast<double>(0.001f);
static constexpr int SELECTION_COLUMNS = 2;            // the menu answer is read from its first 2 characters
static constexpr int Y_LIMIT_COLUMNS = 15;             // each Y-limit is read from a field of 15 characters
static constexpr int PROGRESS_COLUMN = 15;             // the share of the data file written, under "Data written to"

// The plot's intensity limits, for one call.
struct YLimits {
    int32_t lower;
    int32_t upper;
};

// [SECTION] Console helpers ---------------------------------------------------

// Writes `prefix` and then `name` in the highlight colour, ending the line.
static void say_with_name(std::string_view prefix, const std::string& name) {
    write_text(prefix);
    set_text_color(COLOR_LIGHT_RED);
    console_write(name);
    set_text_color(COLOR_BLACK);
}

// Writes a question on a fresh line and returns the typed answer.
static std::string ask(std::string_view prompt) {
    console_write(" ");
    write_text(prompt);
    return console_read_line();
}

// Reads one number in free form. An empty answer does not cancel the
// question: reading goes on with the next typed line. Nothing for a line that
// is not a number.
static std::optional<double> read_free_number() {
    for (;;) {
        std::string line = console_read_line();
        if (trim(line).empty()) continue;
        std::optional<std::vector<double>> values = read_free_format(line, 1);
        if (!values) return std::nullopt;
        return (*values)[0];
    }
}

// Writes a question on a fresh line and reads a number in free form.
static std::optional<double> ask_number(std::string_view prompt) {
    console_write(" ");
    write_text(prompt);
    return read_free_number();
}

// Returns an integer truncated toward zero, held inside the 32-bit range.
static int32_t truncated_int32(double value) {
    if (!(value > -2147483648.0)) return INT32_MIN;    // NaN too
    if (!(value < 2147483647.0)) return INT32_MAX;
    return static_cast<int32_t>(value);
}

// Returns a count truncated toward zero for an Iw field; a value beyond any
// field stays too wide for it.
static long long truncated_count(double value) {
    constexpr double LARGEST = 1e18;
    if (!(std::fabs(value) < LARGEST)) return value < 0 ? -static_cast<long long>(LARGEST) : static_cast<long long>(LARGEST);
    return static_cast<long long>(value);
}

// [SECTION] Strips ------------------------------------------------------------

// True when a strip ending at `strip_end` covers the range up to `upper_limit`.
bool strip_reaches(double strip_end, double upper_limit) {
    return !(strip_end < upper_limit - STRIP_END_TOLERANCE * std::fabs(upper_limit));
}

// One strip of the plot.
struct Strip {
    int32_t number;     // 1-based over the whole plot
    double start;
    double end;
};

// Returns the strips of the range: the first from `low`, each next one a
// strip length later, while the last ends below `high`.
static std::vector<Strip> plot_strips(double low, double high, double scaling) {
    const double length = STRIP_MM * scaling;
    std::vector<Strip> strips{{1, low, low + length}};
    while (!strip_reaches(strips.back().end, high)) {
        double start = strips.back().start + length;
        if (!(start > strips.back().start)) break;     // a length lost in the magnitude of the start
        strips.push_back({strips.back().number + 1, start, start + length});
    }
    return strips;
}

// [SECTION] Menu --------------------------------------------------------------

// Writes the full-spectrum line: first and last frequency, their difference and the major intervals.
static void show_full_spectrum(double marker_spacing) {
    const SpectrumRecord& s = spectrum;
    const double first = s.point_count > 0 ? s.frequency[1] : 0.0;
    const double last = s.point_count > 0 ? s.frequency[s.point_count] : 0.0;
    console_write(" full SPECTRUM: " + format_fixed(first, 12, 2) + format_fixed(last, 12, 2) +
                  format_fixed(last - first, 12, 2) +
                  format_integer(truncated_count((last - first) / (10.0 * marker_spacing)), 7));
}

// Writes one preview line per strip: its range, major intervals and length in mm.
static void show_strip_preview(double low, double high) {
    const PlotSettings& ps = plot_settings;
    const double length = STRIP_MM * ps.plot_scaling;
    for (const Strip& strip : plot_strips(low, high, ps.plot_scaling)) {
        const double mm = strip.end > high ? (high - strip.start) / ps.plot_scaling : STRIP_MM;
        console_write("      STRIP:" + format_integer(strip.number, 2) + "  " + format_fixed(strip.start, 12, 2) +
                      format_fixed(strip.end, 12, 2) + format_fixed(length, 12, 2) +
                      format_integer(truncated_count(length / (10.0 * ps.marker_spacing)), 7) +
                      format_fixed(mm, 10, 1));
    }
}

// Clears the screen and writes the menu, ending with the selection prompt.
static void show_menu(double low, double high, YLimits y) {
    const PlotSettings& ps = plot_settings;
    clear_screen(0);
    console_write(" ");
    console_write("_____g l e   O U T P U T" + std::string(56, '_'));
    console_write("");
    console_write("");
    console_write(std::string(22, ' ') + "min" + std::string(9, ' ') + "max" + std::string(10, ' ') + "range" +
                  std::string(3, ' ') + "10*mark" + std::string(5, ' ') + "mm");
    show_full_spectrum(ps.marker_spacing);
    console_write("");
    show_strip_preview(low, high);
    console_write(" ");
    console_write("      1: Strips per page =" + format_integer(ps.strips_per_page, 7));
    console_write("      2:  Marker spacing =" + format_fixed(ps.marker_spacing, 11, 3) + "          [" +
                  format_fixed(ps.marker_spacing / ps.plot_scaling, 8, 2) + " mm]");
    console_write("      3:    Plot scaling =" + format_fixed(ps.plot_scaling, 11, 3) + " units/mm [-3 for autofit]");
    console_write("      4:        Y-limits =" + format_integer(y.lower, 7) + format_integer(y.upper, 7));
    console_write("      5: Start frequency =" + format_fixed(low, 11, 3));
    console_write("      6: End   frequency =" + format_fixed(high, 11, 3));
    console_write("");
    write_text("      Select 1-6 (ENTER=OK, -1=exit) ..... ");
}

// [SECTION] Menu items --------------------------------------------------------
// Each asks for its value; a value out of bounds or unreadable leaves the setting as it was.

static void ask_strips_per_page() {
    std::optional<long long> n = read_integer_field(ask(" Number of strips per page (1,2,or 3) =  "), SELECTION_COLUMNS);
    if (n && *n >= 1 && *n <= 3) plot_settings.strips_per_page = static_cast<int32_t>(*n);
}

static void ask_marker_spacing() {
    std::optional<double> v = ask_number("  New marker spacing:  ");
    if (v && *v >= SMALLEST_MARKER_SPACING && *v <= LARGEST_SPACING) plot_settings.marker_spacing = *v;
}

static void ask_plot_scaling() {
    std::optional<double> v = ask_number("  New plot scaling:  ");
    if (v && *v > SMALLEST_SCALING && *v <= LARGEST_SPACING) plot_settings.plot_scaling = *v;
}

// Reads two integers from fields of 15 characters; a comma ends a field early.
static std::optional<YLimits> read_y_limits(std::string_view answer) {
    std::string_view fields[2];
    for (std::string_view& field : fields) {
        size_t width = std::min<size_t>(answer.size(), Y_LIMIT_COLUMNS);
        size_t comma = answer.substr(0, width).find(',');
        field = answer.substr(0, comma == std::string_view::npos ? width : comma);
        answer.remove_prefix(comma == std::string_view::npos ? width : comma + 1);
    }
    std::optional<long long> lower = read_integer_field(fields[0], Y_LIMIT_COLUMNS);
    std::optional<long long> upper = read_integer_field(fields[1], Y_LIMIT_COLUMNS);
    if (!lower || !upper || *lower < INT32_MIN || *lower > INT32_MAX || *upper < INT32_MIN || *upper > INT32_MAX)
        return std::nullopt;
    return YLimits{static_cast<int32_t>(*lower), static_cast<int32_t>(*upper)};
}

// Shows the data's intensity range and asks for new limits that overlap it.
static void ask_y_limits(YLimits& y) {
    const SpectrumRecord& s = spectrum;
    console_write(" ");
    console_write(" Y-axis limits of data: " + format_integer(s.intensity_min, 7) + format_integer(s.intensity_max, 7));
    console_write("");
    write_text(" Specify new MINY,MAXY: ");
    std::optional<YLimits> limits = read_y_limits(console_read_line());
    if (limits && limits->lower < limits->upper && limits->upper > s.intensity_min && limits->lower < s.intensity_max)
        y = *limits;
}

// The lowest frequency limit accepted: one strip length below the first point.
static double lowest_limit() {
    const double first = spectrum.point_count > 0 ? spectrum.frequency[1] : 0.0;
    return first - STRIP_MM * plot_settings.plot_scaling;
}

static void ask_start_frequency(double& low, double high) {
    std::optional<double> v = ask_number(" New start frequency =  ");
    if (v && *v < high && *v >= lowest_limit()) low = *v;
}

static void ask_end_frequency(double low, double& high) {
    std::optional<double> v = ask_number("   New end frequency =  ");
    if (v && *v > low && *v >= lowest_limit()) high = *v;
}

// [SECTION] Writing -----------------------------------------------------------

// Reports a file that could not be written and waits for ENTER.
static void report_failure(const PlotFileFailure& failure) {
    beep(4000, 250);
    console_write(" ");
    console_write("     ****ERROR, this plot file could not be written:");
    say_with_name("     ", shown_file_name(failure.file));
    console_write("     " + failure.reason);
    console_write(" ");
    write_text(std::string(25, ' ') + "Press ENTER to return to the display");
    wait_for_enter();
}

// Writes the data file(s) and the page scripts; on the first failure reports it and stops.
static void write_plot_files(double low, double high, YLimits y, int32_t expansion, int32_t interp_count) {
    const PlotSettings& ps = plot_settings;
    const std::string name = data_file_path();
    const int32_t base_length = base_name_length(name);
    const std::string base = name.substr(0, static_cast<size_t>(base_length));
    console_write(" ");
    console_write("");
    say_with_name(std::string(14, ' ') + "Data written to ", shown_file_name(base + ".dat"));
    std::optional<PlotFileFailure> failure;
    {
        ProgressNote note(text_row(), PROGRESS_COLUMN);     // gone before the scripts are announced
        failure = write_plot_data(base + ".dat", name, low, high, y.lower, y.upper,
                                  [&](int64_t written, int64_t total) { note.show_share("Writing", written, total); });
    }
    if (!failure && expansion > 1) {
        const DisplayState& d = display;
        const size_t count = static_cast<size_t>(std::clamp(interp_count, 0, INTERP_CAPACITY));
        failure = write_interpolated_data(base + "_interpolated.dat", name,
                                          std::span<const double>(d.interp_freq).subspan(1, count),
                                          std::span<const int32_t>(d.interp_value).subspan(1, count), y.lower, y.upper);
    }
    for (const Strip& strip : plot_strips(low, high, ps.plot_scaling)) {
        if (failure) break;
        failure = WRIGLE(strip.start, strip.end, ps.marker_spacing, strip.number, ps.strips_per_page, name, base_length);
    }
    if (failure) {
        report_failure(*failure);
        return;
    }
    console_write(" ");
    console_write("");
    write_text(std::string(25, ' ') + "f i n i s h e d,   Press ENTER to continue");
    wait_for_enter();
}

// [SECTION] GLEOUT ------------------------------------------------------------

// Runs the menu until the files are written (ENTER) or the user leaves (-1).
void GLEOUT(double& view_low, double& view_high, double y_floor, double y_high, int32_t expansion,
            int32_t interp_count) {
    PlotSettings& ps = plot_settings;
    if (ps.strips_per_page == 0) ps.strips_per_page = 1;
    if (ps.marker_spacing == 0.0) ps.marker_spacing = 1.0;
    if (ps.plot_scaling == 0.0) ps.plot_scaling = (view_high - view_low) / STRIP_MM;
    YLimits y{truncated_int32(y_floor), truncated_int32(y_high)};
    for (;;) {
        show_menu(view_low, view_high, y);
        std::optional<long long> selection = read_integer_field(console_read_line(), SELECTION_COLUMNS);
        if (!selection) continue;
        switch (*selection) {
        case -1: return;
        case -3: ps.plot_scaling = (view_high - view_low) / (ps.strips_per_page * STRIP_MM); break;
        case 0: write_plot_files(view_low, view_high, y, expansion, interp_count); return;
        case 1: ask_strips_per_page(); break;
        case 2: ask_marker_spacing(); break;
        case 3: ask_plot_scaling(); break;
        case 4: ask_y_limits(y); break;
        case 5: ask_start_frequency(view_low, view_high); break;
        case 6: ask_end_frequency(view_low, view_high); break;
        default: break;
        }
    }
}

}  // namespace tarno
