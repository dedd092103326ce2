// WRIGLE: the GLE script of one strip, added to its page's script file.
//
// A page file is made of:
//   page header   comment lines (source, date and time), page size, line settings
//   strip blocks  one GLE graph per strip: the data file over the strip's range,
//                 ticks every marker spacing, explicit labels (XLAB) on long strips
//   title         the bare spectrum file name above the first strip
//   dash lines    one after each strip (two on a page of one strip)
//
// Layout by strips per page (lengths in cm, as GLE reads them):
//
//   strips | graph height | graph position (amove y)  | title position
//   -------+--------------+---------------------------+---------------
//      1   |    20.00     |  2.00                     |     19.5
//      2   |    11.00     | 11.00, 1.80               |     20.9
//      3   |     7.40     | 14.60, 8.20, 1.80         |     21.2
//
// The constants are single-precision numbers printed with 2 or 1 decimals.
// The first strip of a page creates the page file, later strips are added to
// it; each call rewrites the page through a staged file (old text + new strip),
// so a failed write leaves the page as it was.
#include <cmath>        // trunc
#include <cstdint>
#include <fstream>      // reading the page written so far
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "common/fields.hpp"
#include "common/staged_file.hpp"
#include "plot/plot_output.hpp"
#include "window/window.hpp"

namespace tarno {

static const std::string DASH_LINE = "!" + std::string(75, '-') + "\n";
static constexpr size_t NUMBER_LINE_COLUMNS = 30;   // lines carrying numbers are padded to this
static constexpr size_t TITLE_MOVE_COLUMNS = 35;    // the title's amove line is padded to this
static constexpr int MOST_GROUP_TICKS = 6;          // a label group spans 6 major intervals (7 ticks)
static constexpr int MOST_STRIP_LABELS = 5;
static constexpr size_t SHOWN_NAME_MAX = 45;        // longer names are shown as "..." + the last 44

// Where a strip's graph and its page's title go.
struct StripLayout {
    float graph_height;
    float graph_position;
    float title_position;
};

// [SECTION] Names -------------------------------------------------------------

// Returns the page script name: base name, page number (one digit below 10,
// else two; "**" from 100), ".gle".
std::string page_file_name(std::string_view spectrum_name, int32_t base_length, int32_t page) {
    std::string_view base = spectrum_name.substr(0, static_cast<size_t>(base_length));
    return std::string(base) + format_integer(page, page < 10 ? 1 : 2) + ".gle";
}

// Returns the title: the name after the last directory separator (the whole
// name when there is none or only a leading one), each "_" followed by
// "{\tt-\rm}" so that GLE draws it as an underscore instead of a subscript.
std::string plot_title(std::string_view spectrum_name) {
    size_t separator = spectrum_name.find_last_of("/\\");
    std::string_view bare = (separator == std::string_view::npos || separator == 0)
                                ? spectrum_name
                                : spectrum_name.substr(separator + 1);
    std::string title;
    for (char c : bare) {
        title += c;
        if (c == '_') title += "{\\tt-\\rm}";
    }
    return title;
}

// The data file as the script names it: base + ".dat" without its directory
// (the scripts sit beside it).
static std::string data_reference(std::string_view spectrum_name, int32_t base_length) {
    return std::string(name_part(spectrum_name.substr(0, static_cast<size_t>(base_length)))) + ".dat";
}

// Returns `name` as the console shows it: "..." and its last 44 characters when longer than 45.
std::string shown_file_name(const std::string& name) {
    if (name.size() <= SHOWN_NAME_MAX) return name;
    return "..." + name.substr(name.size() - (SHOWN_NAME_MAX - 1));
}

// [SECTION] Page pieces -------------------------------------------------------

// Returns `value` as Fw.d for the script; a value too wide for the field is
// written in the room it needs after one blank: GLE refuses asterisks.
static std::string script_number(double value, int width, int decimals) {
    std::string field;
    append_fixed_or_wider(field, value, width, decimals);
    return field;
}

// Returns `line` blank padded to `columns`, with its line break.
static std::string padded_line(const std::string& line, size_t columns) {
    return (line.size() < columns ? padded(line, columns) : line) + "\n";
}

// Returns the page header: comment lines with the date and time (right-aligned
// with blanks) and the source, then the page size and line settings.
std::string page_header(std::string_view spectrum_name, CalendarDate date, ClockTime time) {
    std::string text = DASH_LINE;
    text += "!   Diagram from TARNO,   generated" + format_integer(time.hour, 4) + ":" + format_integer(time.minute, 2) +
            ":" + format_integer(time.second, 2) + format_integer(date.day, 3) + "/" + format_integer(date.month, 2) +
            "/" + format_integer(date.year, 4) + "\n";
    text += "!\n";
    text += "!   Plot of spectrum from file:  " + std::string(trim_right(spectrum_name)) + "\n";
    text += DASH_LINE;
    text += "!\n";
    text += "size 29.5 21\n";
    text += " \n";
    text += "set lwidth 0.025\n";
    text += "set join round\n";
    return text;
}

// Returns the graph size and positions for the strip's place on its page.
static StripLayout layout_for(int32_t strips_per_page, int32_t strip_number, bool first_on_page) {
    switch (strips_per_page) {
    case 2: return {11.0f, first_on_page ? 11.0f : 1.8f, 20.9f};
    case 3: return {7.4f, first_on_page ? 14.6f : (strip_number % 3 != 0 ? 8.2f : 1.8f), 21.2f};
    default: return {20.0f, 2.0f, 19.5f};
    }
}

// Appends the label groups of a strip: none with 5 major intervals or fewer;
// otherwise groups of 6 intervals from the first major tick above the strip
// start, labelled every K-th tick so that at most 5 labels fall on the strip.
static void append_label_groups(double start, double end, double marker_spacing, std::string& text) {
    const double spacing = 10.0 * marker_spacing;
    double first_label = std::trunc(start / spacing) * spacing;
    if (first_label <= start) first_label += spacing;
    if (std::trunc((end - start) / spacing) <= MOST_STRIP_LABELS) return;
    int32_t label_step = 2;
    while ((end - start) / (label_step * spacing) > MOST_STRIP_LABELS) ++label_step;
    double group_start = first_label;
    double group_end = group_start + MOST_GROUP_TICKS * spacing;
    XLAB(first_label, end, group_start, group_end, spacing, label_step, text);
    while (end - spacing > group_end) {
        double next = group_end + spacing;
        if (!(next > group_end)) break;     // the spacing is lost in the magnitude: no further group
        group_start = next;
        group_end = group_start + MOST_GROUP_TICKS * spacing;
        XLAB(first_label, end, group_start, group_end, spacing, label_step, text);
    }
}

// Returns the GLE graph of one strip.
static std::string strip_block(double start, double end, double marker_spacing, StripLayout layout,
                               const std::string& data_file) {
    std::string text = " \n";
    text += padded_line("amove" + format_fixed(-4.9f, 6, 2) + format_fixed(layout.graph_position, 6, 2),
                        NUMBER_LINE_COLUMNS);
    text += "begin graph\n";
    text += "    nobox\n";
    text += padded_line("    size 37.5" + format_fixed(layout.graph_height, 6, 2), NUMBER_LINE_COLUMNS);
    text += "    d1 bigfile " + data_file + "\n";
    text += "    xaxis  min " + script_number(start, 10, 2) + " max " + script_number(end, 10, 2) + " dticks " +
            script_number(10.0 * marker_spacing, 9, 2) + " dsubticks " + script_number(marker_spacing, 9, 3) + "\n";
    text += "    x2ticks off\n";
    text += "    xticks length 0.3\n";
    text += "    xsubticks length 0.12\n";
    text += "    xlabels hei 0.5 font texcmr\n";
    text += "    yaxis min  0.0 max 1.0\n";
    text += "    ylabels off\n";
    text += "    yticks off\n";
    text += "    d1 lstyle 1 smooth\n";
    append_label_groups(start, end, marker_spacing, text);
    text += "end graph\n";
    return text;
}

// Returns the title block of a page.
static std::string title_block(std::string_view spectrum_name, StripLayout layout, bool one_strip_per_page) {
    std::string text = " \n";
    text += "set font texcmr\n";
    text += "set hei 0.7\n";
    text += padded_line("amove" + format_fixed(0.8f, 6, 1) + format_fixed(layout.title_position, 6, 1),
                        TITLE_MOVE_COLUMNS);
    text += "text " + plot_title(trim_right(spectrum_name)) + "\n";
    text += "!\n";
    if (one_strip_per_page) text += DASH_LINE;
    return text;
}

// [SECTION] WRIGLE ------------------------------------------------------------

// Reads the page written so far; nothing when it cannot be read.
static std::optional<std::string> read_page(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return text;
}

// Tells where the page script goes, the name in the highlight colour.
static void announce_page(const std::string& file) {
    write_text("      Control file written to ");
    set_text_color(COLOR_LIGHT_RED);
    console_write(shown_file_name(file));
    set_text_color(COLOR_BLACK);
}

// Writes one strip into its page file (creating the page for its first strip).
std::optional<PlotFileFailure> WRIGLE(double strip_start, double strip_end, double marker_spacing, int32_t strip_number,
                                      int32_t strips_per_page, std::string_view spectrum_name, int32_t base_length) {
    const int32_t page = (strip_number - 1) / strips_per_page + 1;
    const bool first_on_page = strip_number - (page - 1) * strips_per_page == 1;
    const StripLayout layout = layout_for(strips_per_page, strip_number, first_on_page);
    const std::string file = page_file_name(spectrum_name, base_length, page);
    const CalendarDate date = current_date();
    const ClockTime time = current_time();

    std::string text;
    if (strips_per_page == 1 || first_on_page) {
        announce_page(file);
        text = page_header(spectrum_name, date, time);
    } else {
        std::optional<std::string> written = read_page(file);
        if (!written) return PlotFileFailure{file, "reading the page written so far"};
        text = std::move(*written);
    }
    text += strip_block(strip_start, strip_end, marker_spacing, layout, data_reference(spectrum_name, base_length));
    if (first_on_page) text += title_block(spectrum_name, layout, strips_per_page == 1);
    text += DASH_LINE;

    StagedFile out(file, StagedFile::Mode::replace);
    if (!out.is_open()) return PlotFileFailure{file, out.reason()};
    out.write(text);
    if (!out.commit()) return PlotFileFailure{file, out.reason()};
    return std::nullopt;
}

}  // namespace tarno
