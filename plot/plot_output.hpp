// Plot output for GLE (Graphics Layout Engine): the settings menu, the plot
// data files and one GLE script per page.
//
// What a reader must know first:
//  - A plot is cut into strips: each strip is one graph 273 mm long on paper
//    covering 273 x plot_scaling frequency units; consecutive strips continue
//    the range, and 1, 2 or 3 strips go on a page.
//  - Names come from the spectrum file name, directory included: the base
//    name ends before its first "." or blank (also one in a directory name).
//      data file               base + ".dat"
//      interpolated points     base + "_interpolated.dat"
//      page scripts            base + page number + ".gle"   (abc1.gle ... abc99.gle, abc**.gle beyond)
//  - The data file holds the points of the plotted range with intensities
//    normalised to the plot's Y-limits (0 at the lower, 1 at the upper limit,
//    not clipped); each script draws it over its strips' frequency ranges.
//  - Every file is staged (common/staged_file.hpp). A file that cannot be
//    written is reported and the plot output returns to the display.
//
// Sections:
//   [SECTION] Settings
//   [SECTION] Routines
//   [SECTION] Names and pieces (used by the routines, open for tests)
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/line_writer.hpp"   // WrittenItems
#include "window/window.hpp"   // CalendarDate, ClockTime

namespace tarno {

// [SECTION] Settings ----------------------------------------------------------

// Kept for the life of the program; zero until the first GLEOUT applies the defaults.
struct PlotSettings {
    int32_t strips_per_page;    // 1, 2 or 3 strips on a page (default 1)
    double marker_spacing;      // minor tick spacing, frequency units; major ticks every 10 (default 1.0)
    double plot_scaling;        // frequency units per mm of plot (default: view width / 273 at the first call)
};
extern PlotSettings plot_settings;

constexpr double STRIP_MM = 273.0;          // length of one strip on paper (mm)

// A plot file that could not be written, and why.
struct PlotFileFailure {
    std::string file;
    std::string reason;         // the failed step and its cause, e.g. "creating a temporary file: Permission denied"
};

// [SECTION] Routines ----------------------------------------------------------

// The plot output dialogue on a cleared console: the menu with the strip
// preview until ENTER writes the files (or -1 leaves). Items 5 and 6 change
// the display's own frequency limits, which stay changed.
void GLEOUT(double& view_low, double& view_high, double y_floor, double y_high, int32_t expansion,
            int32_t interp_count);

// Writes the script text of one strip: the first strip of a page creates the
// page file (header, strip, title), later ones are added to it. Returns the
// failure when the page file could not be written.
std::optional<PlotFileFailure> WRIGLE(double strip_start, double strip_end, double marker_spacing, int32_t strip_number,
                                      int32_t strips_per_page, std::string_view spectrum_name, int32_t base_length);

// Appends the "xplaces" and "xnames" lines of one group of up to 7 major
// ticks to `script`: every tick's position, and a label on every K-th tick
// counted from the first label position.
void XLAB(double first_label, double strip_end, double group_start, double group_end, double major_spacing,
          int32_t label_step, std::string& script);

// [SECTION] Names and pieces --------------------------------------------------
int32_t base_name_length(std::string_view spectrum_name);    // characters before the first "." or blank
std::string page_file_name(std::string_view spectrum_name, int32_t base_length, int32_t page); // base + page + ".gle"
std::string plot_title(std::string_view spectrum_name);      // bare file name, each "_" followed by "{\tt-\rm}"
std::string shown_file_name(const std::string& name);        // as the console shows it: "..." + the last 44 beyond 45 characters
std::string page_header(std::string_view spectrum_name, CalendarDate date, ClockTime time); // the page's comment head and settings
bool strip_reaches(double strip_end, double upper_limit);    // the strips cover the range up to upper_limit
std::optional<PlotFileFailure> write_plot_data(const std::string& data_name, std::string_view spectrum_name,
                                               double low, double high, int32_t y_lower, int32_t y_upper,
                                               const WrittenItems& progress = {}); // progress: points written so far
std::optional<PlotFileFailure> write_interpolated_data(const std::string& data_name, std::string_view spectrum_name,
                                                       std::span<const double> freq, std::span<const int32_t> value,
                                                       int32_t y_lower, int32_t y_upper);

}  // namespace tarno
