// Key & in the display: the append dialogue, its refusals, the merge with its
// messages, the adjustment view and its keys, and what restore (R) returns to
// afterwards. TARNO_SCREENSHOT_DIR=<dir> keeps PNGs of the pages and the
// adjustment view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "display/point_index.hpp"
#include "tests/flow/display_flow.hpp"
#include "tests/support/spectrum_files.hpp"

namespace tarno::testing {
namespace {

constexpr double F0 = 1000.0;       // first frequency of the current spectrum
constexpr double STEP = 0.25;       // both spectra's step: every grid sum is exact
constexpr int32_t N = 1000;         // points of the current spectrum

int32_t current_value(int32_t i) { return (i * 37) % 2000 - 1000; }
int16_t appended_value(int k) { return static_cast<int16_t>((k * 53) % 1800 - 500); }

// Keeps a PNG of the window when TARNO_SCREENSHOT_DIR names a directory.
void keep_screenshot(const std::string& name) {
    if (const char* out = std::getenv("TARNO_SCREENSHOT_DIR")) {
        EXPECT_TRUE(headless::save_png(std::string(out) + "/" + name));
    }
}

class AppendKey : public DisplayFlow {
protected:
    FixtureDir dir;

    void SetUp() override {
        DisplayFlow::SetUp();
        set_text_field(text.data_file_name, dir.file("run5.spe"));
        load_spectrum(N, F0, STEP, current_value);
    }

    // A fresh window and the current spectrum as loaded, for a second run.
    void restart() { SetUp(); }

    double last_frequency() const { return F0 + (N - 1) * STEP; }

    // Writes an appended file of `count` points from `first`.
    void write_appended(const std::string& name, int count, double first, double step = STEP) {
        std::vector<int16_t> values;
        for (int k = 1; k <= count; ++k) values.push_back(appended_value(k));
        dir.write(name, binary_spectrum_bytes(recording_header(), values, first, first + (count - 1) * step, step));
    }

    // All rows of the screen, trimmed.
    static std::vector<std::string> rows() {
        std::vector<std::string> all;
        for (int r = 1; r <= screen.text_rows; ++r) all.push_back(row(r));
        return all;
    }
    static bool shows(const std::string& line) {
        std::vector<std::string> all = rows();
        return std::find(all.begin(), all.end(), line) != all.end();
    }

    void expect_spectrum_as_loaded() {
        EXPECT_EQ(spectrum.point_count, N);
        for (int32_t i = 1; i <= N; ++i) {
            ASSERT_EQ(spectrum.intensity[i], current_value(i)) << i;
            ASSERT_EQ(spectrum.original_intensity[i], current_value(i)) << i;
        }
        EXPECT_EQ(trimmed_text_field(text.data_file_name), dir.file("run5.spe"));
    }
};

TEST_F(AppendKey, dialogue_page) {
    run_display("&");       // the script runs out at the name prompt
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(row(2), "_____A P P E N D   S P E C T R U M" + std::string(46, '_'));
    EXPECT_EQ(row(5), "     WARNING: this operation should only be carried out with a freshly");
    EXPECT_EQ(row(6), "              launched program without having made any transformations");
    EXPECT_EQ(row(7), "              such as background subtraction or smoothing");
    EXPECT_EQ(headless::cell_text_color(5, 6), COLOR_LIGHT_RED);
    EXPECT_EQ(row(9), "     Specify name of spectrum to be appended - do not type the path, which is");
    EXPECT_EQ(row(10), "     implied by the current spectrum (or press ENTER to exit)");
    EXPECT_EQ(row(12), "      Current spectrum:  " + dir.file("run5.spe"));
    EXPECT_EQ(headless::row_text(13).substr(0, 25), "        To be appended:  ");
    EXPECT_EQ(headless::cell_text_color(9, 6), COLOR_BLACK);
    keep_screenshot("append_dialogue.png");
}

TEST_F(AppendKey, long_current_name_is_shown_by_its_end) {
    std::string name = "/data/" + std::string(60, 'x') + "/run5.spe";
    set_text_field(text.data_file_name, name);
    run_display("&");
    EXPECT_EQ(row(12), "      Current spectrum:  ..." + name.substr(name.size() - 49));
}

TEST_F(AppendKey, gap_of_five_and_a_half_steps_report) {
    write_appended("next.spe", 400, last_frequency() + 5.5 * STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    run_display();          // the script runs out at "Press ENTER to continue"
    EXPECT_TRUE(shows(std::string(20, ' ') + "Npts" + std::string(10, ' ') + "Fstart" + std::string(10, ' ') +
                      "Fend" + std::string(9, ' ') + "Fstep"));
    EXPECT_TRUE(shows("      Current:      1000       1000.0000     1249.7500      0.250000"));
    EXPECT_TRUE(shows("     Appended:       400       1251.1250     1350.8750      0.250000"));
    EXPECT_TRUE(shows("       5 dummy points inserted between current and appended spectrum"));
    EXPECT_TRUE(shows("     Press ENTER to continue"));
    keep_screenshot("append_report.png");
}

TEST_F(AppendKey, merge_adjust_and_apply_the_offset) {
    write_appended("next.spe", 400, last_frequency() + 5.5 * STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    headless::press_keys("\rwWx\r");   // continue; up 1 pixel, up 10; x is ignored; ENTER fixes it
    run_display();

    const SpectrumRecord& s = spectrum;
    const DisplayState& d = display;
    double u = (d.y_high - d.y_low) / screen.screen_height;
    int32_t offset = truncate_to_int32(truncate_to_int32(truncate_to_int32(u) + u) + 9 * u);
    ASSERT_GT(offset, 10);
    // five dummies with A(1), then A interpolated half-way between neighbours
    ASSERT_EQ(s.point_count, N + 5 + 399);
    for (int32_t j = N + 1; j <= N + 5; ++j) EXPECT_EQ(s.intensity[j], appended_value(1) + offset) << j;
    for (int32_t k = 1; k < 400; ++k) {
        int32_t j = N + 5 + k;
        ASSERT_EQ(s.frequency[j], last_frequency() + (5 + k) * STEP) << j;
        ASSERT_EQ(s.intensity[j], truncate_to_int32((appended_value(k) + appended_value(k + 1)) / 2.0) + offset) << j;
        ASSERT_EQ(s.original_intensity[j], s.intensity[j]) << j;
    }
    for (int32_t i = 1; i <= N; ++i) ASSERT_EQ(s.intensity[i], current_value(i)) << "current part kept";
    EXPECT_EQ(s.freq_first, F0);
    EXPECT_EQ(s.freq_last, s.frequency[s.point_count]);
    EXPECT_EQ(text_field_view(header.comment), padded(" Merged spectrum", 72));
    EXPECT_EQ(trimmed_text_field(text.data_file_name), dir.file("next.spe"));
    // the display comes back on 400 steps around the junction
    EXPECT_EQ(d.cursor_freq, last_frequency());
    EXPECT_EQ(d.view_low, last_frequency() - 200 * STEP);
    EXPECT_EQ(d.view_high, last_frequency() + 200 * STEP);
    EXPECT_NE(headless::row_text(screen.text_rows).find("next.spe"), std::string::npos);
}

TEST_F(AppendKey, restore_returns_to_the_merged_spectrum_with_its_offset) {
    write_appended("next.spe", 50, last_frequency() + STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    headless::press_keys("\rZ\r-R");     // down 10 pixels; invert, then restore
    run_display();
    const SpectrumRecord& s = spectrum;
    ASSERT_EQ(s.point_count, N + 50);
    int32_t offset = s.intensity[N + 1] - appended_value(1);
    EXPECT_LT(offset, 0);
    for (int32_t k = 1; k <= 50; ++k) ASSERT_EQ(s.intensity[N + k], appended_value(k) + offset) << k;
    for (int32_t i = 1; i <= N; ++i) ASSERT_EQ(s.intensity[i], current_value(i)) << i;
}

TEST_F(AppendKey, append_starts_from_the_reference_copy) {
    headless::press_keys("-@&");    // invert, shift the vertical window, then & and leave
    headless::type_line("");
    run_display();
    expect_spectrum_as_loaded();
    EXPECT_EQ(display.reference_level, display.start_reference_level);
}

TEST_F(AppendKey, overlapping_start_skips_points) {
    write_appended("next.spe", 100, last_frequency() - 3.5 * STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    run_display();
    EXPECT_TRUE(shows("       4 points from the appended spectrum have been skipped"));
    EXPECT_FALSE(shows("dummy points inserted"));
    EXPECT_EQ(spectrum.intensity[N + 1], truncate_to_int32((appended_value(5) + appended_value(6)) / 2.0));
}

TEST_F(AppendKey, spectrum_ending_one_and_a_half_steps_beyond_is_refused) {
    write_appended("short.spe", 12, last_frequency() + 1.5 * STEP - 11 * STEP);
    headless::press_keys("&");
    headless::type_line("short.spe");
    run_display();
    EXPECT_TRUE(shows("     SORRY - Prepending or merging of spectra is not possible"));
    keep_screenshot("append_sorry.png");
    // after ENTER the dialogue comes again, with nothing changed
    restart();
    headless::press_keys("&");
    headless::type_line("short.spe");
    headless::press_keys("\r");
    run_display();      // runs out at the name prompt of the dialogue shown again
    EXPECT_EQ(row(2), "_____A P P E N D   S P E C T R U M" + std::string(46, '_'));
    expect_spectrum_as_loaded();
}

TEST_F(AppendKey, unusable_files_are_refused_with_the_reason) {
    write_appended("nine.spe", 9, last_frequency() + STEP);
    write_appended("far.spe", 20, last_frequency() + 2.0 * MAX_POINTS * STEP);
    std::string cut = binary_spectrum_bytes(recording_header(), std::vector<int16_t>(300, 7), 1300.0, 1374.75, STEP);
    dir.write("cut.spe", cut.substr(0, 400));
    struct Case { const char* typed; std::string notice; };
    const Case cases[] = {
        {"missing.spe", "     Cannot open " + dir.file("missing.spe")},
        {"nine.spe", "     Fewer than 10 points in " + dir.file("nine.spe")},
        {"cut.spe", "     Cannot read " + dir.file("cut.spe") + " as a binary spectrum"},
        {"far.spe", "     No room: the gap would pass the maximum number of 10000000 points"},
        {"next_spectrum_of_the_run.spe", "     Cannot open " + dir.file("next_spectrum_of_the_r")},  // 22 characters read
    };
    for (const Case& c : cases) {
        restart();
        headless::press_keys("&");
        headless::type_line(c.typed);
        run_display();      // runs out at the name prompt of the dialogue shown again
        EXPECT_EQ(row(4), c.notice) << c.typed;
        EXPECT_EQ(headless::cell_text_color(4, 6), COLOR_LIGHT_RED);
        // the values read into the reference copy's room are gone again
        for (int32_t i = 1; i <= N; ++i) ASSERT_EQ(spectrum.original_intensity[i], current_value(i)) << c.typed;
    }
}

TEST_F(AppendKey, capacity_reached_while_interpolating_keeps_the_points_made) {
    const int32_t n = MAX_POINTS - 5;
    load_spectrum(n, F0, STEP, [](int32_t i) { return i % 100; });
    write_appended("next.spe", 100, F0 + n * STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    run_display();
    EXPECT_TRUE(shows("     The maximum number of 10000000 points has been reached"));
    restart();
    load_spectrum(n, F0, STEP, [](int32_t i) { return i % 100; });
    headless::press_keys("&");
    headless::type_line("next.spe");
    headless::press_keys("\r\r");
    run_display();
    EXPECT_EQ(spectrum.point_count, MAX_POINTS);
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(spectrum.intensity[n + k], appended_value(k)) << k;
}

TEST_F(AppendKey, adjustment_view) {
    write_appended("next.spe", 400, last_frequency() + 30.5 * STEP);
    headless::press_keys("&");
    headless::type_line("next.spe");
    headless::press_keys("\r");
    run_display();          // runs out in the adjustment view
    EXPECT_EQ(row(1), " Adjust Y-position of appended spectrum with W,Z keys, terminate with ENTER");
    EXPECT_EQ(headless::cell_text_color(1, 2), COLOR_LIGHT_RED);
    keep_screenshot("append_adjustment.png");

    // Left of the junction the current part in blue over grey; right of it
    // the appended part in exclusive-or light green (grey ^ light green).
    Rgb grey = palette_rgb(COLOR_LIGHT_GREY);
    Rgb blue = palette_rgb(COLOR_BLUE);
    Rgb xor_green{static_cast<uint8_t>(grey.r ^ palette_rgb(COLOR_LIGHT_GREEN).r),
                  static_cast<uint8_t>(grey.g ^ palette_rgb(COLOR_LIGHT_GREEN).g),
                  static_cast<uint8_t>(grey.b ^ palette_rgb(COLOR_LIGHT_GREEN).b)};
    int left_blue = 0, right_blue = 0, left_green = 0, right_green = 0;
    int mid = (screen.screen_width + 1) / 2;
    for (int y = 2 * screen.row_height; y < screen.screen_height - 2 * screen.row_height; ++y)
        for (int x = 10; x < screen.screen_width - 10; ++x) {
            Rgb p = headless::pixel(x, y);
            if (std::abs(x - mid) < 4) continue;    // the junction itself
            if (p == blue) (x < mid ? left_blue : right_blue)++;
            if (p == xor_green) (x < mid ? left_green : right_green)++;
        }
    EXPECT_GT(left_blue, 300);
    EXPECT_EQ(right_blue, 0);
    EXPECT_GT(right_green, 300);
    EXPECT_EQ(left_green, 0);
}

}  // namespace
}  // namespace tarno::testing
