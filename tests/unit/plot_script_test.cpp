// The pieces of the GLE page scripts: tick label groups and their number
// forms, page file names, the title, the page header and the strip ends.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "plot/plot_output.hpp"
#include "tests/support/fixture_dir.hpp"
#include "tests/support/gle_render.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

std::vector<std::string> lines_with(const std::string& text, std::string_view start) {
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with(start)) found.push_back(line);
    return found;
}

// The labels (texts inside the quotes, blanks trimmed) of all xnames lines, "" for unlabelled ticks.
std::vector<std::string> labels_of(const std::string& script) {
    std::vector<std::string> labels;
    for (const std::string& line : lines_with(script, " xnames ")) {
        for (size_t at = line.find('"'); at != std::string::npos; at = line.find('"', at)) {
            size_t close = line.find('"', at + 1);
            std::string label = line.substr(at + 1, close - at - 1);
            size_t first = label.find_first_not_of(' ');
            labels.push_back(first == std::string::npos ? "" : label.substr(first));
            at = close + 1;
        }
    }
    return labels;
}

// The page script of one strip, written by WRIGLE as strip 1 of a 1-strip
// page; GLE must render it (over a data file of two points).
std::string strip_script(double start, double end, double marker_spacing) {
    FixtureDir dir;
    std::string name = dir.file("x.spe");
    headless::start();
    std::optional<PlotFileFailure> failure;
    headless::run([&] { failure = WRIGLE(start, end, marker_spacing, 1, 1, name, base_name_length(name)); });
    EXPECT_FALSE(failure) << (failure ? failure->reason : "");
    dir.write("x.dat", "!\n" + format_fixed(start, 12, 4) + "   0.2000\n" + format_fixed(end, 12, 4) + "   0.8000\n");
    EXPECT_EQ(testing::gle_problems(dir.path().string(), "x1.gle", "pdf"), "");
    return dir.read("x1.gle");
}

// [SECTION] Tick label groups -------------------------------------------------

TEST(PlotLabels, labels_every_kth_tick_from_the_first_label_position) {
    struct Case {
        const char* what;
        double start, end, marker_spacing;
        std::vector<std::string> labels;        // one entry per major tick of the groups
    };
    const Case cases[] = {
        // Repeated addition leaves 10.3, 10.5, ... a hair below the multiples of
        // 0.2 counted from 10.1; counted in rounded thousandths they keep their labels.
        {"positions a rounding error below a label step", 10.05, 11.05, 0.01,
         {"10.1", "", "10.3", "", "10.5", "", "10.7", "", "10.9", ""}},
        {"a strip start on a multiple of T starts one tick later", 10.0, 19.0, 0.1,
         {"11", "", "13", "", "15", "", "17", ""}},
        // K = 2 counted from F0 across the group boundary: 7 ends group 1, 8 opens group 2 unlabelled.
        {"K = 2 across a group boundary", 0.05, 9.05, 0.1, {"1", "", "3", "", "5", "", "7", "", "9"}},
        {"T of 1 or more: halves rounded away from zero", 1.0, 18.0, 0.25, {"3", "", "8", "", "13", "", "18"}},
        {"negative positions round away from zero too", -20.0, 0.0, 0.25, {"-18", "", "-13", "", "-8", "", "-3"}},
        {"T from 0.01 up to 0.1: two decimals", 1.001, 1.141, 0.002, {"1.02", "", "1.06", "", "1.10", "", "1.14"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(labels_of(strip_script(c.start, c.end, c.marker_spacing)), c.labels);
    }
}

TEST(PlotLabels, places_list_every_tick_in_fixed_columns) {
    std::string script = strip_script(1.0, 18.0, 0.25);      // T = 2.5: 2.5, 5, ..., 17.5
    std::vector<std::string> places = lines_with(script, " xplaces ");
    ASSERT_EQ(places.size(), 1u);
    EXPECT_EQ(places[0], " xplaces         3        5        8       10       13       15       18");
    EXPECT_EQ(lines_with(script, " xnames ")[0],
              " xnames \"        3\"   \" \"   \"        8\"   \" \"   \"       13\"   \" \"   \"       18\"");
    EXPECT_EQ(lines_with(strip_script(10.05, 11.05, 0.01), " xplaces ")[0],
              " xplaces      10.1     10.2     10.3     10.4     10.5     10.6     10.7");
}

TEST(PlotLabels, short_strips_have_no_label_lines) {
    std::string script = strip_script(100.0, 105.9, 0.1);     // 5 major intervals
    EXPECT_TRUE(lines_with(script, " xplaces").empty());
    EXPECT_TRUE(lines_with(script, " xnames").empty());
    EXPECT_FALSE(lines_with(strip_script(100.0, 106.5, 0.1), " xplaces").empty()) << "6 intervals have them";
}

TEST(PlotLabels, a_full_field_is_followed_by_a_blank) {
    std::string script;
    XLAB(123456789.0, 123456800.0, 123456789.0, 123456795.0, 1.0, 2, script);
    EXPECT_EQ(lines_with(script, " xplaces ")[0].substr(0, 29), " xplaces 123456789 123456790 ");
}

TEST(PlotLabels, a_group_too_long_for_the_buffer_gives_the_sorry_lines) {
    std::string script;
    XLAB(1.0, 100.0, 1.0, 40.0, 1.0, 2, script);       // 40 ticks do not fit 127 columns
    EXPECT_EQ(script, "!\n!\n! SORRY - Could not generate xnames/xplaces lines\n!\n");
    script.clear();
    XLAB(1.0, 100.0, 1.0, 12.0, 1.0, 2, script);       // 12 places fit, their 12 names do not
    std::vector<std::string> lines = lines_with(script, "");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[1].starts_with(" xplaces "));
    EXPECT_EQ(lines[3], "! SORRY - Could not generate xnames/xplaces lines");
}

// [SECTION] Names, title, header ----------------------------------------------

TEST(PlotNames, base_name_ends_at_the_first_dot_or_blank) {
    struct Case { const char* name; int32_t length; } cases[] = {
        {"/data/run5.spe", 10}, {"/data/run5", 10}, {"/data.v2/run5.spe", 5},
        {"/data/run 5.spe", 9}, {"/data/run5.spe    ", 10}, {"", 0}, {" run5.spe", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(base_name_length(c.name), c.length) << c.name;
}

TEST(PlotNames, page_files_are_numbered_with_stars_from_page_100) {
    EXPECT_EQ(page_file_name("/d/abc.spe", 6, 1), "/d/abc1.gle");
    EXPECT_EQ(page_file_name("/d/abc.spe", 6, 9), "/d/abc9.gle");
    EXPECT_EQ(page_file_name("/d/abc.spe", 6, 10), "/d/abc10.gle");
    EXPECT_EQ(page_file_name("/d/abc.spe", 6, 99), "/d/abc99.gle");
    EXPECT_EQ(page_file_name("/d/abc.spe", 6, 100), "/d/abc**.gle");
    EXPECT_EQ(page_file_name(" abc.spe", 0, 3), "3.gle");
}

TEST(PlotNames, title_is_the_bare_name_with_underscores_kept_visible) {
    EXPECT_EQ(plot_title("/data/run_5_b.spe"), "run_{\\tt-\\rm}5_{\\tt-\\rm}b.spe");
    EXPECT_EQ(plot_title("C:\\rot\\ocs.spe"), "ocs.spe");
    EXPECT_EQ(plot_title("run5.spe"), "run5.spe");
    EXPECT_EQ(plot_title("/run5.spe"), "/run5.spe");       // only a leading separator: the whole name
}

TEST(PlotNames, page_header_has_date_and_time_aligned_with_blanks) {
    std::string header = page_header("/data/run5.spe   ", CalendarDate{2026, 4, 3}, ClockTime{9, 5, 7, 0});
    const std::string dash = "!" + std::string(75, '-');
    EXPECT_EQ(header, dash + "\n" +
                          "!   Diagram from TARNO,   generated   9: 5: 7  3/ 4/2026\n"
                          "!\n"
                          "!   Plot of spectrum from file:  /data/run5.spe\n" +
                          dash + "\n" +
                          "!\n"
                          "size 29.5 21\n"
                          " \n"
                          "set lwidth 0.025\n"
                          "set join round\n");
}

TEST(PlotStrips, an_end_within_a_relative_1e_9_reaches_the_limit) {
    EXPECT_TRUE(strip_reaches(86019.95, 86019.95));
    EXPECT_TRUE(strip_reaches(86019.949999999, 86019.95));
    EXPECT_FALSE(strip_reaches(86019.9499, 86019.95));
    EXPECT_TRUE(strip_reaches(-0.9999999999, -1.0));
    EXPECT_FALSE(strip_reaches(-1.001, -1.0));
}

// Asterisks in a field would make GLE refuse the script: a number too wide
// goes in the room it needs after one blank.
TEST(PlotStrips, numbers_too_wide_for_their_fields_stay_readable) {
    std::string script = strip_script(9999990.0, 10000100.0, 1.0);
    EXPECT_EQ(lines_with(script, "    xaxis ")[0],
              "    xaxis  min 9999990.00 max  10000100.00 dticks     10.00 dsubticks     1.000");
    EXPECT_EQ(lines_with(strip_script(99999990.0, 100000100.0, 0.01), " xplaces ")[0].substr(0, 31),
              " xplaces  99999990.1 99999990.2");
    EXPECT_EQ(lines_with(strip_script(999999900.0, 1000000600.0, 10.0), " xplaces ")[0],
              " xplaces  1000000000 1000000100 1000000200 1000000300 1000000400 1000000500");
}

}  // namespace
}  // namespace tarno
