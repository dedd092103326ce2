// GLEOUT on the headless console: the menu and its preview, every item's
// bounds, the data files and page scripts compared with golden files, names
// derived from the spectrum file name, unwritable files, key G in the display
// and, the real check, GLE itself rendering every page script written here.
//
// Golden files live in tests/golden/plot/<case>/; the fixture directory is
// written there as "@DIR@" and the generation time as "@TIME@". To write them
// anew after a deliberate change: TARNO_UPDATE_GOLDEN=1 build/flow_plot_output_test
// (and read the difference before committing it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "plot/plot_output.hpp"
#include "tests/flow/display_flow.hpp"
#include "tests/support/fixture_dir.hpp"
#include "tests/support/gle_render.hpp"
#include "window/headless.hpp"

namespace tarno::testing {
namespace {

// [SECTION] Helpers -------------------------------------------------------------

// The file's text with the fixture directory as "@DIR@" and the generation time as "@TIME@".
std::string normalised(std::string text, const FixtureDir& dir) {
    const std::string path = dir.path().string();
    for (size_t at = text.find(path); at != std::string::npos; at = text.find(path, at))
        text.replace(at, path.size(), "@DIR@");
    static const std::regex generated(
        R"((!   Diagram from TARNO,   generated)[ 0-9]{4}:[ 0-9]{2}:[ 0-9]{2}[ 0-9]{3}/[ 0-9]{2}/[0-9]{4}\n)");
    return std::regex_replace(text, generated, "$1@TIME@\n");
}

std::string golden_path(const std::string& case_name, const std::string& file) {
    const char* source = std::getenv("TARNO_SOURCE_DIR");
    return std::string(source ? source : ".") + "/tests/golden/plot/" + case_name + "/" + file;
}

// Compares each file written in `dir` with its golden copy (or writes the copy on request).
void expect_golden(const FixtureDir& dir, const std::string& case_name, const std::vector<std::string>& files) {
    for (const std::string& file : files) {
        SCOPED_TRACE(case_name + "/" + file);
        ASSERT_TRUE(std::filesystem::exists(dir.file(file))) << "not written";
        std::string actual = normalised(dir.read(file), dir);
        std::string path = golden_path(case_name, file);
        if (std::getenv("TARNO_UPDATE_GOLDEN")) {
            std::filesystem::create_directories(std::filesystem::path(path).parent_path());
            std::ofstream(path, std::ios::binary) << actual;
            continue;
        }
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << "no golden file " << path;
        std::string expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(actual, expected);
    }
}

std::string gle_problems(const FixtureDir& dir, const std::string& script, const std::string& device) {
    return testing::gle_problems(dir.path().string(), script, device);
}

// Every page script in `dir` renders as PDF without an error.
void expect_gle_renders_all(const FixtureDir& dir) {
    int pages = 0;
    for (const std::string& file : files_in(dir)) {
        if (std::filesystem::path(file).extension() != ".gle") continue;
        ++pages;
        EXPECT_EQ(gle_problems(dir, file, "pdf"), "") << file;
    }
    EXPECT_GT(pages, 0);
}

// A spectrum of 400 points from 86000 in steps of 0.05 with a strong line at
// 86010 and a weaker one at 86004, on a level of 100.
void load_two_lines() {
    load_spectrum(400, 86000.0, 0.05, [](int32_t i) {
        double f = 86000.0 + (i - 1) * 0.05;
        double strong = 9000.0 * std::exp(-std::pow((f - 86010.0) / 0.12, 2));
        double weak = 3000.0 * std::exp(-std::pow((f - 86004.0) / 0.1, 2));
        return static_cast<int32_t>(100.0 + strong + weak);
    });
}

class PlotOutput : public ::testing::Test {
protected:
    FixtureDir dir;
    double low = 86000.0, high = 86019.95;

    void SetUp() override {
        headless::start(800, 540);
        plot_settings = PlotSettings{};
        load_two_lines();
        set_text_field(text.data_file_name, dir.file("run_5.spe"));
    }

    // Runs GLEOUT with one typed line per answer and, unless the last answer
    // leaves (-1), ENTER for the closing "Press ENTER".
    headless::RunResult gleout(const std::vector<std::string>& answers, double y_floor = -400.0,
                               double y_high = 9600.0, int32_t expansion = 1, int32_t interp_count = 0) {
        for (const std::string& answer : answers) headless::type_line(answer);
        if (answers.empty() || answers.back() != "-1") headless::press_keys("\r");
        return headless::run([&] { GLEOUT(low, high, y_floor, y_high, expansion, interp_count); });
    }
};

// [SECTION] Menu --------------------------------------------------------------

TEST_F(PlotOutput, menu_shows_the_settings_and_the_strip_preview) {
    auto run = gleout({"3", "0.05", "-1"});
    EXPECT_FALSE(run.script_exhausted);
    const std::vector<std::string> expected{
        "",
        "_____g l e   O U T P U T" + std::string(56, '_'),
        "",
        "",
        "                      min         max          range   10*mark     mm",
        " full SPECTRUM:     86000.00    86019.95       19.95      1",
        "",
        "      STRIP: 1      86000.00    86013.65       13.65      1     273.0",
        "      STRIP: 2      86013.65    86027.30       13.65      1     126.0",
        "",
        "      1: Strips per page =      1",
        "      2:  Marker spacing =      1.000          [   20.00 mm]",
        "      3:    Plot scaling =      0.050 units/mm [-3 for autofit]",
        "      4:        Y-limits =   -400   9600",
        "      5: Start frequency =  86000.000",
        "      6: End   frequency =  86019.950",
        "",
        "      Select 1-6 (ENTER=OK, -1=exit) ..... -1",
    };
    for (size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(row(static_cast<int>(r + 1)), expected[r]) << "row " << r + 1;
    EXPECT_EQ(files_in(dir), std::vector<std::string>{}) << "-1 writes nothing";
}

TEST_F(PlotOutput, defaults_apply_once_and_settings_stay_for_the_run) {
    gleout({"-1"});
    EXPECT_EQ(plot_settings.strips_per_page, 1);
    EXPECT_EQ(plot_settings.marker_spacing, 1.0);
    EXPECT_EQ(plot_settings.plot_scaling, (86019.95 - 86000.0) / 273.0);
    gleout({"1", "2", "2", "0.5", "-1"});
    high = 86100.0;     // another view: the plot scaling is not computed again
    gleout({"-1"});
    EXPECT_EQ(plot_settings.strips_per_page, 2);
    EXPECT_EQ(plot_settings.marker_spacing, 0.5);
    EXPECT_EQ(plot_settings.plot_scaling, (86019.95 - 86000.0) / 273.0);
    EXPECT_EQ(row(row_containing("4:        Y-limits")), "      4:        Y-limits =   -400   9600")
        << "Y-limits are reset on every call";
}

TEST_F(PlotOutput, each_item_takes_values_within_its_bounds_only) {
    struct Case {
        const char* what;
        std::vector<std::string> answers;   // then -1
        int32_t strips;
        double marker, scaling, low, high;
    };
    const double s0 = (86019.95 - 86000.0) / 273.0;
    const double first_bound = 86000.0 - 273.0 * s0;
    const Case cases[] = {
        {"strips 3", {"1", "3"}, 3, 1.0, s0, 86000.0, 86019.95},
        {"strips 0 refused", {"1", "0"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"strips 4 refused", {"1", "4"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"marker 0.001 refused (below the single-precision 0.001)", {"2", "0.001"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"marker 0.0010001 taken", {"2", "0.0010001"}, 1, 0.0010001, s0, 86000.0, 86019.95},
        {"marker 1000 taken", {"2", "1000"}, 1, 1000.0, s0, 86000.0, 86019.95},
        {"marker 1000.5 refused", {"2", "1000.5"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"marker: empty lines do not cancel", {"2", "", "", "0.25"}, 1, 0.25, s0, 86000.0, 86019.95},
        {"marker: a word is refused", {"2", "fine"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"scaling 0.001 refused", {"3", "0.001"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"scaling 0.0011 taken", {"3", "0.0011"}, 1, 1.0, 0.0011, 86000.0, 86019.95},
        {"scaling 1000.5 refused", {"3", "1000.5"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"autofit over 2 strips", {"1", "2", "-3"}, 2, 1.0, (86019.95 - 86000.0) / 546.0, 86000.0, 86019.95},
        {"start below the upper limit", {"5", "86005.5"}, 1, 1.0, s0, 86005.5, 86019.95},
        {"start at the upper limit refused", {"5", "86019.95"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"start one strip below the first point", {"5", "85980.05"}, 1, 1.0, s0, first_bound, 86019.95},
        {"start further down refused", {"5", "85980"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"end beyond the spectrum", {"6", "86100"}, 1, 1.0, s0, 86000.0, 86100.0},
        {"end below the lower limit refused", {"6", "85999"}, 1, 1.0, s0, 86000.0, 86019.95},
        {"unknown selections show the menu again", {"7", "-2", "x"}, 1, 1.0, s0, 86000.0, 86019.95},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plot_settings = PlotSettings{};
        low = 86000.0, high = 86019.95;
        std::vector<std::string> answers = c.answers;
        answers.push_back("-1");
        auto run = gleout(answers);
        EXPECT_FALSE(run.script_exhausted);
        EXPECT_EQ(plot_settings.strips_per_page, c.strips);
        EXPECT_EQ(plot_settings.marker_spacing, c.marker);
        EXPECT_NEAR(plot_settings.plot_scaling, c.scaling, 1e-15);
        EXPECT_NEAR(low, c.low, 1e-9);
        EXPECT_EQ(high, c.high);
    }
}

TEST_F(PlotOutput, y_limits_must_overlap_the_data) {
    struct Case { const char* answer; int32_t lower, upper; } cases[] = {
        {"-50,5000", -50, 5000},                // a comma ends the first field
        {"          -50           5000", -50, 5000},  // two fields of 15 characters
        {"-50 5000", -400, 9600},               // both numbers in the first field: "-505000", 0
        {"5000,-50", -400, 9600},               // minimum not below maximum
        {"9200,9300", -400, 9600},              // above the data (largest intensity 9100)
        {"-500,100", -400, 9600},               // maximum not above the smallest intensity 100
        {"-500,101", -500, 101},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        gleout({"4", c.answer, "-1"});
        int limits_row = row_containing("Y-axis limits of data:");
        EXPECT_EQ(limits_row, 0) << "the menu is shown again, on a cleared screen";
        EXPECT_EQ(row(row_containing("4:        Y-limits")),
                  "      4:        Y-limits =" + format_integer(c.lower, 7) + format_integer(c.upper, 7));
    }
    EXPECT_EQ(spectrum.intensity_min, 100);
    EXPECT_EQ(spectrum.intensity_max, 9100);
}

// [SECTION] Files -------------------------------------------------------------

TEST_F(PlotOutput, one_strip_per_page_golden) {
    auto run = gleout({"3", "0.05", "2", "0.1", ""});
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"run_5.dat", "run_51.gle", "run_52.gle"}));
    expect_golden(dir, "one_per_page", {"run_5.dat", "run_51.gle", "run_52.gle"});
    int data_row = row_containing("Data written to ");
    ASSERT_GT(data_row, 0);
    EXPECT_EQ(headless::row_text(data_row).substr(0, 30), "              Data written to ");
    EXPECT_EQ(headless::cell_text_color(data_row, 31), COLOR_LIGHT_RED);
    EXPECT_EQ(row(data_row + 1).substr(0, 30), "      Control file written to ");
    EXPECT_EQ(row(data_row + 2).substr(0, 30), "      Control file written to ");
    EXPECT_EQ(row(data_row + 4), "");
    EXPECT_EQ(row(data_row + 5), std::string(25, ' ') + "f i n i s h e d,   Press ENTER to continue");
    expect_gle_renders_all(dir);
}

TEST_F(PlotOutput, two_strips_per_page_after_autofit_golden) {
    // Autofit over 2 strips: repeated addition ends the second strip a
    // rounding error short of the limit; no third strip (and page) follows.
    high = 86019.8;
    auto run = gleout({"1", "2", "-3", "2", "0.05", ""});
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"run_5.dat", "run_51.gle"}));
    expect_golden(dir, "two_per_page", {"run_5.dat", "run_51.gle"});
    expect_gle_renders_all(dir);
}

TEST_F(PlotOutput, three_strips_per_page_seven_strips_golden) {
    high = 86019.0;
    auto run = gleout({"1", "3", "3", "0.01", "2", "0.02", ""});
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"run_5.dat", "run_51.gle", "run_52.gle", "run_53.gle"}));
    expect_golden(dir, "three_per_page", {"run_51.gle", "run_52.gle", "run_53.gle"});
    std::string page3 = dir.read("run_53.gle");
    EXPECT_NE(page3.find("amove -4.90 14.60"), std::string::npos) << "strip 7 at the top of page 3";
    EXPECT_EQ(page3.find("amove -4.90  8.20"), std::string::npos);
    expect_gle_renders_all(dir);
    // One page as a picture too.
    EXPECT_EQ(gle_problems(dir, "run_51.gle", "png"), "");
}

TEST_F(PlotOutput, data_file_takes_the_range_with_both_limits_unclipped) {
    low = 86001.0, high = 86001.2;      // exactly on points 21 and 25
    for (int32_t i = 21; i <= 25; ++i) spectrum.intensity[i] = 1000 * (i - 23);   // -2000 .. 2000
    gleout({"4", "-1000,1000", ""});
    const std::vector<std::string> expected{
        "!  Spectrum from file:  " + dir.file("run_5.spe"),
        "!",
        "  86001.0000  -0.5000",
        "  86001.0500   0.0000",
        "  86001.1000   0.5000",
        "  86001.1500   1.0000",
        "  86001.2000   1.5000",
    };
    EXPECT_EQ(lines_of(dir.read("run_5.dat")), expected);
}

TEST_F(PlotOutput, frequencies_too_wide_for_their_field_stay_readable) {
    load_spectrum(5, 9999998.0, 1.0, [](int32_t i) { return 100 * i; });
    low = 9999998.0, high = 10000002.0;
    gleout({"4", "100,500", ""});
    const std::vector<std::string> expected{
        "!  Spectrum from file:  " + dir.file("run_5.spe"),
        "!",
        "9999998.0000   0.0000",
        "9999999.0000   0.2500",
        " 10000000.0000   0.5000",      // F12.4 is full: the number after one blank, not asterisks
        " 10000001.0000   0.7500",
        " 10000002.0000   1.0000",
    };
    EXPECT_EQ(lines_of(dir.read("run_5.dat")), expected);
    expect_gle_renders_all(dir);
}

TEST_F(PlotOutput, names_follow_the_base_name_rule) {
    struct Case { const char* spectrum; const char* data; const char* page; const char* reference; } cases[] = {
        {"run5", "run5.dat", "run51.gle", "run5.dat"},                    // no ".": the whole name
        {"data.v2/run5.spe", "data.dat", "data1.gle", "data.dat"},        // the first "." is in a directory
        {"runs/run5 old.spe", "runs/run5.dat", "runs/run51.gle", "run5.dat"}, // a blank ends it too
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.spectrum);
        FixtureDir here;
        std::filesystem::create_directories(here.file("data.v2"));
        std::filesystem::create_directories(here.file("runs"));
        set_text_field(text.data_file_name, here.file(c.spectrum));
        plot_settings = PlotSettings{};
        gleout({""});
        EXPECT_TRUE(std::filesystem::exists(here.file(c.data)));
        ASSERT_TRUE(std::filesystem::exists(here.file(c.page)));
        EXPECT_NE(here.read(c.page).find("    d1 bigfile " + std::string(c.reference) + "\n"), std::string::npos);
        EXPECT_EQ(gle_problems(here, c.page, "pdf"), "");
    }
}

TEST_F(PlotOutput, interpolated_points_get_their_own_file) {
    DisplayState& d = display;
    d.interp_count = 3;
    d.interp_freq[1] = 86000.0, d.interp_freq[2] = 86000.025, d.interp_freq[3] = 86000.05;
    d.interp_value[1] = -400, d.interp_value[2] = 4600, d.interp_value[3] = 9600;
    gleout({""}, -400.0, 9600.0, 4, 3);
    const std::vector<std::string> expected{
        "!  Spectrum from file:  " + dir.file("run_5.spe"),
        "!  (interpolated points used for the screen display)",
        "!",
        "  86000.0000   0.0000",
        "  86000.0250   0.5000",
        "  86000.0500   1.0000",
    };
    EXPECT_EQ(lines_of(dir.read("run_5_interpolated.dat")), expected);
    EXPECT_EQ(row_containing("_interpolated"), 0) << "no screen message for this file";
}

TEST_F(PlotOutput, unwritable_files_are_reported_and_the_dialogue_returns) {
    struct Case { const char* what; std::function<void()> arrange; const char* file; } cases[] = {
        {"data file in a missing directory",
         [&] { set_text_field(text.data_file_name, dir.file("gone/run5.spe")); }, "gone/run5.dat"},
        {"page file blocked by a directory of its name",
         [&] {
             set_text_field(text.data_file_name, dir.file("run5.spe"));
             std::filesystem::create_directories(dir.file("run51.gle"));
         },
         "run51.gle"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        headless::start(800, 540);
        c.arrange();
        auto run = gleout({""});
        EXPECT_FALSE(run.ended) << "the program goes on";
        int error_row = row_containing("****ERROR, this plot file could not be written:");
        ASSERT_GT(error_row, 0);
        EXPECT_NE(row(error_row + 1).find(c.file), std::string::npos);
        EXPECT_EQ(headless::cell_text_color(error_row + 1, 6), COLOR_LIGHT_RED);
        EXPECT_GT(row(error_row + 2).size(), 5u) << "the cause is given";
        EXPECT_EQ(row(error_row + 4), std::string(25, ' ') + "Press ENTER to return to the display");
        EXPECT_EQ(row_containing("f i n i s h e d"), 0);
        ASSERT_FALSE(headless::tones().empty());
        EXPECT_EQ(headless::tones().front().frequency_hz, 4000);
    }
}

// [SECTION] Key G in the display --------------------------------------------------

class PlotKey : public DisplayFlow {};

TEST_F(PlotKey, g_writes_the_plot_of_the_view_and_returns_to_the_display) {
    FixtureDir dir;
    set_text_field(text.data_file_name, dir.file("run5.spe"));
    plot_settings = PlotSettings{};
    load_two_lines();
    // E zooms in to 400 intervals: the display interpolates, so its points get a file too.
    headless::press_keys("E");
    headless::press_keys("g");
    headless::type_line("");
    headless::press_keys("\r");
    run_display();
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"run5.dat", "run51.gle", "run5_interpolated.dat"}));
    EXPECT_GT(display.expansion, 1);
    std::vector<std::string> data = lines_of(dir.read("run5.dat"));
    ASSERT_GT(data.size(), 2u);
    EXPECT_EQ(data[2].substr(0, 12), format_fixed(display.view_low, 12, 4)) << "the plot starts at the view";
    EXPECT_EQ(lines_of(dir.read("run5_interpolated.dat")).size(), 3u + static_cast<size_t>(display.interp_count));
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos) << "the display is back";
    EXPECT_EQ(row_containing("g l e   O U T P U T"), 0);
    expect_gle_renders_all(dir);
}

TEST_F(PlotKey, g_with_an_unwritable_file_comes_back_to_the_display) {
    set_text_field(text.data_file_name, "/nonexistent-tarno-dir/run5.spe");
    plot_settings = PlotSettings{};
    load_two_lines();
    headless::press_keys("G");
    headless::type_line("");
    headless::press_keys("\r");
    auto run = run_display();
    EXPECT_TRUE(run.script_exhausted) << "still waiting for keys in the display";
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos);
}

}  // namespace
}  // namespace tarno::testing
