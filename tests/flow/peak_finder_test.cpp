// AUTOPK on the headless console: the dialogue with its repeated questions,
// the results file compared line by line, the screen summary, the overwrite
// question, a failed write, and the start from the display's fitting-width key.
#include "processing/peak_finder.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "display/linked.hpp"
#include "tests/flow/display_flow.hpp"
#include "tests/support/file_size_limit.hpp"   // a real write error without filling a disk
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;
using testing::lines_of;
using testing::files_in;
using testing::row_containing;
using testing::row;

// [SECTION] Helpers -----------------------------------------------------------

const std::string DASHES(78, '-');

// Number of console rows containing `text`.
int rows_containing(std::string_view text) {
    int count = 0;
    for (int r = 1; r <= 30; ++r) count += headless::row_text(r).find(text) != std::string::npos;
    return count;
}

// top - curvature d^2, held at 0 and above.
int32_t parabola_at(int32_t i, int32_t centre, int32_t top, int32_t curvature) {
    const int32_t d = i - centre;
    return std::max(0, top - curvature * d * d);
}

// The spectrum record: n points from 1000 MHz in 0.5 MHz steps.
void load(int32_t n, const std::function<int32_t(int32_t)>& value) {
    testing::load_spectrum(n, 1000.0, 0.5, value);
}

// Three exact parabolas (tops 1000, 400, 10 at points 20, 50, 80) on a flat 0.
int32_t three_lines(int32_t i) {
    return parabola_at(i, 20, 1000, 10) + parabola_at(i, 50, 400, 10) + parabola_at(i, 80, 10, 1);
}

// A clean line at 20, a ragged one at 60 (large error) and a weak one at 100.
int32_t doubtful_lines(int32_t i) {
    const int32_t ragged[] = {0, 50, 100, 300, 900, 250, 400, 0, 0};
    if (i >= 56 && i <= 64) return ragged[i - 56];
    return parabola_at(i, 20, 1000, 10) + (i == 100 ? 150 : 0);
}

struct Call {
    int32_t first = 1, last = 100;
    int16_t cutoff = 5, baseline = 0, fit_width = 7;
    double bar_scale = 800.0, nominal_error = 0.0;
};

class PeakFinder : public ::testing::Test {
protected:
    FixtureDir dir;

    void SetUp() override {
        headless::start();
        set_text_field(text.data_file_name, dir.file("fixture.spe"));
        load(100, three_lines);
    }

    // Runs AUTOPK with one typed line per answer and a final ENTER.
    headless::RunResult find(const std::vector<std::string>& answers, const Call& call = {}) {
        for (const std::string& answer : answers) headless::type_line(answer);
        headless::press_keys("\r");
        return headless::run([&] {
            use_display_colours();
            AUTOPK(call.first, call.last, call.cutoff, call.baseline, call.fit_width, call.bar_scale, call.nominal_error);
        });
    }

    // The results lines of a file (between the column heading and the closing lines).
    std::vector<std::string> results_of(const std::string& name) {
        std::vector<std::string> lines = lines_of(dir.read(name));
        std::vector<std::string> results;
        for (const std::string& line : lines)
            if (line.size() > 47 && line.substr(44, 3) == "  |") results.push_back(line);
        return results;
    }

    // The display hands over text colour 0 on background colour 7.
    static void use_display_colours() {
        set_text_color(COLOR_BLACK);
        set_background_color(COLOR_LIGHT_GREY);
    }

    static void keep_screenshot(const std::string& name) {
        if (const char* shots = std::getenv("TARNO_SCREENSHOT_DIR")) {
            EXPECT_TRUE(headless::save_png(std::string(shots) + "/" + name));
        }
    }
};

// [SECTION] Results file ---------------------------------------------------------

TEST_F(PeakFinder, results_file_of_a_small_fixture) {
    // widths: 2 x (7 + 10/150) x 0.5, 2 x (4 + 40/90) x 0.5, 2 x 2.2 x 0.5;
    // bars of 1000, 400, 10 on a scale of 800: 40.5 cut to 32, 16.5, 0.9
    EXPECT_FALSE(find({"0", "peaks.txt"}).script_exhausted);
    const std::vector<std::string> expected{
        DASHES,
        " TARNO VodaZadare RESULTS FOR SPECTRUM:",
        std::string(19, ' ') + dir.file("fixture.spe"),
        "",
        "   cutoff:        5                    fitting width:    7",
        " baseline:        0",
        DASHES,
        "",
        "    Frequency     Error   Intensity     FWHH",
        "",
        "    1009.50000 +- 0.00000    1000    7.06667  |--------------------------------",
        "    1024.50000 +- 0.00000     400    4.44444  |----------------",
        "    1039.50000 +- 0.00000      10    2.20000  |.",
        " ",
        "                        Mean FWHH =  4.57037 +-  1.98880",
        " Total number of identified lines =        3",
        " ",
        DASHES,
    };
    EXPECT_EQ(lines_of(dir.read("peaks.txt")), expected);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"peaks.txt"});
}

TEST_F(PeakFinder, narrow_fitting_width_gives_an_empty_list) {
    Call call;
    call.fit_width = 3;
    call.nominal_error = 0.01;
    EXPECT_FALSE(find({"1", "empty.txt"}, call).script_exhausted);
    std::vector<std::string> lines = lines_of(dir.read("empty.txt"));
    ASSERT_EQ(lines.size(), 15u);       // header, closing lines, no discarded-lines line
    EXPECT_EQ(lines[4], "   cutoff:        5                    fitting width:    3");
    EXPECT_EQ(lines[10], " ");
    EXPECT_EQ(lines[11], "                        Mean FWHH =  0.00000 +-  0.00000");
    EXPECT_EQ(lines[12], " Total number of identified lines =        0");
    EXPECT_EQ(lines[13], " ");
    EXPECT_EQ(lines[14], DASHES);
    EXPECT_EQ(row_containing("DERUVAVEVU found      0 transitions"), row_containing("DERUVAVEVU found"));
}

TEST_F(PeakFinder, complete_spectrum_asks_the_nominal_error_and_discards) {
    load(120, doubtful_lines);
    Call call;
    call.baseline = 200;
    call.cutoff = 100;
    // unreadable, 0 and negative answers are asked again; "5000" has 5 implied decimals: 0.05
    EXPECT_FALSE(find({"1", "x", "0", "-2", "5000", "whole.txt"}, call).script_exhausted);
    EXPECT_EQ(rows_containing("Please specify nominal frequency measurement error:"), 4);
    std::vector<std::string> whole = lines_of(dir.read("whole.txt"));
    ASSERT_EQ(results_of("whole.txt").size(), 1u);
    EXPECT_EQ(results_of("whole.txt")[0].substr(0, 14), "    1009.50000");
    EXPECT_EQ(whole[whole.size() - 4], " Total number of identified lines =        1");
    EXPECT_EQ(whole[whole.size() - 3], "  Total number of discarded lines =        2");

    // the current window neither asks nor discards, even with no nominal error
    headless::start();
    call.last = 120;
    EXPECT_FALSE(find({"0", "window.txt"}, call).script_exhausted);
    EXPECT_EQ(row_containing("nominal frequency"), 0);
    EXPECT_EQ(results_of("window.txt").size(), 3u);
    EXPECT_EQ(lines_of(dir.read("window.txt")).size(), whole.size() + 1);   // two more lines, no discarded line

    // a nominal error handed over is not asked for
    headless::start();
    call.nominal_error = 100.0;
    EXPECT_FALSE(find({"1", "given.txt"}, call).script_exhausted);
    EXPECT_EQ(row_containing("nominal frequency"), 0);
    EXPECT_EQ(results_of("given.txt").size(), 2u);      // the ragged line passes, the weak one does not
}

TEST_F(PeakFinder, window_beyond_the_spectrum_scans_its_points) {
    Call call;
    call.first = -300;
    call.last = 460;
    EXPECT_FALSE(find({"0", "beyond.txt"}, call).script_exhausted);
    EXPECT_EQ(results_of("beyond.txt").size(), 3u);

    headless::start();
    call.first = 150;     // wholly beyond the last point
    call.last = 900;
    EXPECT_FALSE(find({"0", "outside.txt"}, call).script_exhausted);
    EXPECT_TRUE(results_of("outside.txt").empty());
}

// [SECTION] Screen ----------------------------------------------------------------

TEST_F(PeakFinder, range_question_screen_is_written_again_for_bad_answers) {
    Call call;
    call.cutoff = 1234;
    call.baseline = -56;
    for (const char* answer : {"2", "abc", "-1"}) headless::type_line(answer);
    headless::RunResult run = headless::run([&] {
        AUTOPK(call.first, call.last, call.cutoff, call.baseline, call.fit_width, call.bar_scale, 0.0);
    });
    EXPECT_TRUE(run.script_exhausted);      // still at the range question
    const std::vector<std::string> expected{
        "",
        "_____P E A K F I N D E R" + std::string(56, '_'),
        "",
        "",
        "     Peaks will be identified for lines with intensity above",
        "     the cutoff value and peak intensities will be relative",
        "     to the specified baseline",
        "",
        "     Y-axis cutoff:     1234",
        "     Y-axis baseline:    -56",
        "",
        "     Select search range:  0 = current window",
        std::string(27, ' ') + "1 = complete spectrum",
        "",
        std::string(22, ' ') + "....",
        "",
    };
    for (size_t r = 0; r < expected.size(); ++r) EXPECT_EQ(row(static_cast<int>(r) + 1), expected[r]) << "row " << r + 1;
    EXPECT_EQ(headless::row_text(1), padded(" ", 80));
    EXPECT_EQ(headless::row_text(15).substr(0, 27), std::string(22, ' ') + ".... ");
}

TEST_F(PeakFinder, progress_counts_and_summary) {
    // 25 lines: the count is shown after the 10th and the 20th
    load(1250, [](int32_t i) { return parabola_at(i, 40 + (i - 1) / 50 * 50, 500, 20); });
    Call call;
    call.last = 1250;
    EXPECT_FALSE(find({"0", "progress.txt"}, call).script_exhausted);
    keep_screenshot("peak_finder_summary.png");
    int count_row = row_containing("The number of identified lines:");
    ASSERT_GT(count_row, 0);
    EXPECT_EQ(row(count_row), "     The number of identified lines:");
    EXPECT_EQ(row(count_row + 1), "        10   20");
    EXPECT_EQ(row(count_row + 2), "");
    EXPECT_EQ(row(count_row + 3), "     DERUVAVEVU found     25 transitions");
    EXPECT_EQ(row(count_row + 4), "");
    EXPECT_EQ(row(count_row + 5), "     Output has been written to " + dir.file("progress.txt"));
    EXPECT_EQ(headless::cell_text_color(count_row + 5, 6), COLOR_BLACK);
    EXPECT_EQ(headless::cell_text_color(count_row + 5, 33), COLOR_LIGHT_RED);
    EXPECT_EQ(row(count_row + 6), "");
    EXPECT_EQ(headless::row_text(count_row + 7).substr(0, 65), std::string(40, ' ') + "Press ENTER to continue  ");
    EXPECT_EQ(results_of("progress.txt").size(), 25u);
}

TEST_F(PeakFinder, waits_for_enter_before_returning) {
    headless::type_line("0");
    headless::type_line("wait.txt");
    headless::press_keys("xy");
    headless::RunResult run = headless::run([] { AUTOPK(1, 100, 5, 0, 7, 800.0, 0.0); });
    EXPECT_TRUE(run.script_exhausted);      // other keys do not end it
    EXPECT_TRUE(std::filesystem::exists(dir.file("wait.txt")));
}

// [SECTION] Names and existing files ------------------------------------------------

TEST_F(PeakFinder, overwrite_question) {
    struct Case {
        const char* what;
        std::vector<std::string> answers;   // after the first name, "old.txt"
        int questions;                      // times the overwrite question was asked
        bool old_replaced;
        const char* new_file;               // written under another name (or nullptr)
    };
    const Case cases[] = {
        {"Y replaces", {"Y"}, 1, true, nullptr},
        {"y with trailing blanks replaces", {"y   "}, 1, true, nullptr},
        {"Yes is neither: asked again", {"Yes", " Y", "nope", "y"}, 4, true, nullptr},
        {"N asks a new name", {"N", "new.txt"}, 1, false, "new.txt"},
        {"a new name that exists is asked about again", {"n", "taken.txt", "N", "new.txt"}, 2, false, "new.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(dir.path());
        dir.write("old.txt", "old");
        dir.write("taken.txt", "taken");
        headless::start();
        std::vector<std::string> answers{"0", "old.txt"};
        answers.insert(answers.end(), c.answers.begin(), c.answers.end());
        EXPECT_FALSE(find(answers).script_exhausted);
        EXPECT_EQ(rows_containing("THIS FILE ALREADY EXISTS, OVERWRITE (Y/N)?"), c.questions);
        if (c.old_replaced) {
            EXPECT_EQ(results_of("old.txt").size(), 3u);
        } else {
            EXPECT_EQ(dir.read("old.txt"), "old");
        }
        EXPECT_EQ(dir.read("taken.txt"), "taken");
        if (c.new_file) {
            EXPECT_EQ(results_of(c.new_file).size(), 3u);
        }
    }
}

TEST_F(PeakFinder, blank_name_leaves_without_writing) {
    headless::type_line("0");
    headless::type_line("   ");
    headless::RunResult run = headless::run([] { AUTOPK(1, 100, 5, 0, 7, 800.0, 0.0); });
    EXPECT_FALSE(run.script_exhausted);     // returned at once, no ENTER needed
    EXPECT_TRUE(files_in(dir).empty());

    // also at the new-name prompt after N
    dir.write("old.txt", "old");
    headless::start();
    for (const char* answer : {"0", "old.txt", "N", ""}) headless::type_line(answer);
    run = headless::run([] { AUTOPK(1, 100, 5, 0, 7, 800.0, 0.0); });
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"old.txt"});
}

TEST_F(PeakFinder, name_is_cut_to_twenty_one_characters) {
    EXPECT_FALSE(find({"0", "abcdefghijklmnopqrstu-vwxyz"}).script_exhausted);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"abcdefghijklmnopqrstu"});
}

// [SECTION] Failures ----------------------------------------------------------------

TEST_F(PeakFinder, directory_that_cannot_be_written_is_reported) {
    set_text_field(text.data_file_name, dir.file("gone/fixture.spe"));
    EXPECT_FALSE(find({"0", "peaks.txt", "Y", "N", ""}).script_exhausted);
    EXPECT_EQ(rows_containing("****ERROR, cannot create a file in"), 2);
    EXPECT_TRUE(files_in(dir).empty());
}

TEST_F(PeakFinder, write_failure_is_reported_and_leaves_no_partial_file) {
    // 200 lines make a results file well beyond the 4096-byte limit set here
    load(10000, [](int32_t i) { return parabola_at(i, 25 + (i - 1) / 50 * 50, 500, 20); });
    dir.write("full.txt", "previous peak list");
    Call call;
    call.last = 10000;
    headless::RunResult run{};
    {
        testing::FileSizeLimit limit(4096);
        run = find({"0", "full.txt", "Y"}, call);
    }
    EXPECT_FALSE(run.script_exhausted);
    int error_row = row_containing("****ERROR, the results could not be written to:");
    ASSERT_GT(error_row, 0);
    EXPECT_EQ(row(error_row + 1), "     " + dir.file("full.txt"));
    EXPECT_EQ(headless::cell_text_color(error_row + 1, 6), COLOR_LIGHT_RED);
    EXPECT_EQ(row(error_row + 2), "     writing: File too large");
    EXPECT_EQ(row(error_row + 3), "     No file has been written; a file of that name is left as it was.");
    EXPECT_EQ(row(error_row - 2), "     DERUVAVEVU found    200 transitions");
    EXPECT_EQ(row_containing("Output has been written to"), 0);
    EXPECT_EQ(dir.read("full.txt"), "previous peak list");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"full.txt"});
    ASSERT_FALSE(headless::tones().empty());
    EXPECT_EQ(headless::tones().back().frequency_hz, 4000);
}

// [SECTION] From the display ------------------------------------------------------------

class PeakFinderKey : public testing::DisplayFlow {
protected:
    FixtureDir dir;

    void SetUp() override {
        DisplayFlow::SetUp();
        set_text_field(text.data_file_name, dir.file("display.spe"));
        // lines every 100 points of a 2000-point spectrum; the first view shows points 1..800
        testing::load_spectrum(2000, 1000.0, 0.5, [](int32_t i) {
            return 100 + parabola_at(i, 50 + (i - 1) / 100 * 100, 5000, 100);
        });
        linked_input.line_uncertainty = 0.0f;
    }
    void TearDown() override { linked_input.line_uncertainty = 0.0f; }
};

TEST_F(PeakFinderKey, negative_fitting_width_runs_the_peak_finder_on_the_view) {
    headless::press_keys("0");
    headless::type_line("-9");
    headless::press_keys("\r\r");            // baseline level and cutoff as offered
    headless::type_line("0");
    headless::type_line("view.txt");
    headless::press_keys("\r");
    run_display();
    EXPECT_EQ(display.fit_width, 9);
    ASSERT_EQ(display.first_index, 1);
    ASSERT_EQ(display.last_index, 800);
    std::vector<std::string> lines = lines_of(dir.read("view.txt"));
    ASSERT_GT(lines.size(), 5u);
    const int32_t level = static_cast<int32_t>(display.mean_intensity);
    EXPECT_EQ(lines[5], " baseline: " + format_integer(level, 8));
    EXPECT_EQ(lines[4].substr(0, 19).find("cutoff:"), 3u);
    EXPECT_EQ(lines[4].substr(39), "fitting width:    9");
    int found = 0;
    for (const std::string& line : lines) found += line.size() > 47 && line.substr(44, 3) == "  |";
    EXPECT_EQ(found, 8);                    // the lines at 50, 150, ..., 750
    // back in the display: the whole screen drawn again, the text cursor hidden
    EXPECT_EQ(row(1).substr(0, 3), " X:");
}

TEST_F(PeakFinderKey, nominal_error_comes_from_the_linked_input) {
    linked_input.line_uncertainty = 0.02f;
    headless::press_keys("0");
    headless::type_line("-7");
    headless::press_keys("\r\r");
    headless::type_line("1");
    headless::type_line("whole.txt");       // no nominal-error question before the name
    headless::press_keys("\r");
    run_display();
    std::vector<std::string> lines = lines_of(dir.read("whole.txt"));
    int found = 0;
    for (const std::string& line : lines) found += line.size() > 47 && line.substr(44, 3) == "  |";
    EXPECT_EQ(found, 20);
}

}  // namespace
}  // namespace tarno
