// Keys N and B in the display: the smoothing and baseline dialogues, the
// cutoff step, the baseline shown on the screen, and what the spectrum holds
// afterwards. Expected spectra are built from the plain serial filter pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/fields.hpp"
#include "processing/smooth.hpp"
#include "processing/smooth_filter.hpp"
#include "tests/flow/display_flow.hpp"
#include "window/headless.hpp"

namespace tarno::testing {
namespace {

using Points = std::vector<int32_t>;

constexpr int32_t POINTS = 3000;

// A sloping baseline with noise and a strong line every 500 points.
int32_t sample_value(int32_t i) {
    int32_t noise = static_cast<int32_t>((uint32_t(i) * 2654435761u) >> 24) - 128;
    int32_t line = i % 500 >= 240 && i % 500 < 260 ? 6000 : 0;
    return 2000 + i / 3 + noise + line;
}

Points intensities() { return Points(spectrum.intensity + 1, spectrum.intensity + 1 + spectrum.point_count); }
Points originals() { return Points(spectrum.original_intensity + 1, spectrum.original_intensity + 1 + spectrum.point_count); }
Points preliminary() { return Points(spectrum.preliminary_baseline + 1, spectrum.preliminary_baseline + 1 + spectrum.point_count); }
Points final_baseline() { return Points(spectrum.smoothing_source + 1, spectrum.smoothing_source + 1 + spectrum.point_count); }

Points serial_pass(const Points& s, int n) {
    std::vector<float> w(n);
    smoothing_weights(n, w);
    Points out(s.size());
    smooth_pass_serial(s, w, out);
    return out;
}

// Five passes; the first reads the values clamped into [P + lower, P + upper] when a band is given.
Points five_passes(Points v, int n, const Points* p = nullptr, int32_t lower = 0, int32_t upper = 0) {
    if (p != nullptr) {
        for (size_t i = 0; i < v.size(); ++i) v[i] = std::max(std::min(v[i], (*p)[i] + upper), (*p)[i] + lower);
    }
    for (int pass = 0; pass < 5; ++pass) v = serial_pass(v, n);
    return v;
}

// original - baseline, lifted by the reference level.
Points subtracted(const Points& original, const Points& baseline) {
    Points out(original.size());
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int32_t>(original[i] - baseline[i] + display.reference_level);
    return out;
}

// One pixel of the frame in intensity units, as the cutoff step counts it.
int32_t pixel_unit() {
    int32_t u = static_cast<int32_t>((display.y_high - display.y_floor) / screen.screen_height);
    return u == 0 ? 1 : u;
}

class SmoothKeys : public DisplayFlow {
protected:
    void SetUp() override {
        DisplayFlow::SetUp();
        load_spectrum(POINTS, 140000.0, 0.1, sample_value);
        for (int32_t i = 1; i <= POINTS; ++i) loaded.push_back(sample_value(i));
    }

    // Each run starts the display afresh (it takes its original copy then):
    // a later stage of a dialogue is reached by running the whole script again.
    void run_again(std::string_view keys) {
        load_spectrum(POINTS, 140000.0, 0.1, sample_value);
        run_display(keys);
    }

    Points loaded;
};

TEST_F(SmoothKeys, N_smooths_the_spectrum_once) {
    headless::press_keys("N");
    headless::type_line("7");
    run_display();
    EXPECT_EQ(intensities(), serial_pass(loaded, 7));
    EXPECT_EQ(final_baseline(), loaded);                // the source buffer keeps the input
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos);   // display back
}

// Values the prompt refuses are asked again; the answer that is accepted decides.
TEST_F(SmoothKeys, refused_intervals_ask_again) {
    struct Case { const char* key; std::vector<const char*> refused; };
    const Case cases[] = {
        {"N", {"4", "501", "-5", "-3", "3", "x1", "500"}},
        {"B", {"4", "501", "-4", "-3", "1", "-501", "abc"}},
    };
    for (const Case& c : cases) {
        load_spectrum(POINTS, 140000.0, 0.1, sample_value);
        headless::press_keys(c.key);
        for (const char* answer : c.refused) headless::type_line(answer);
        headless::type_line("5");
        headless::press_keys("\r");     // B: " Press ENTER to continue"
        run_display();
        Points expected = std::string(c.key) == "N" ? serial_pass(loaded, 5) : subtracted(loaded, five_passes(loaded, 5));
        EXPECT_EQ(intensities(), expected) << c.key;
    }
}

TEST_F(SmoothKeys, the_smoothing_page_and_prompt) {
    headless::press_keys("N");
    run_display();      // ends at the prompt
    EXPECT_EQ(row(2), "_____L E A S T   S Q U A R E S   S M O O T H I N G" + std::string(30, '_'));
    EXPECT_EQ(row(5).substr(0, 51), "     This is standard cubic polynomial smoothing of");
    EXPECT_EQ(row(9), "     - A.Savitzky, M.J.E.Golay, Anal.Chem. 36, 1627 (1964)");
    EXPECT_EQ(row(12), "     Specify the number of points for the smoothing interval");
    EXPECT_EQ(row(13), "     ( >3 and odd, ENTER to exit)");
    EXPECT_EQ(headless::row_text(15).substr(0, 37), std::string(30, ' ') + "  .... ");
}

TEST_F(SmoothKeys, B_with_a_positive_interval_subtracts_five_passes) {
    headless::press_keys("B");
    headless::type_line("9");
    run_display();      // ends at " Press ENTER to continue"
    EXPECT_EQ(row(1), " Press ENTER to continue");
    Points baseline = five_passes(loaded, 9);
    EXPECT_EQ(final_baseline(), baseline);

    run_again("B9\r\r");
    EXPECT_EQ(intensities(), subtracted(loaded, baseline));
    double sum = 0;
    for (int32_t v : intensities()) sum += v;
    EXPECT_DOUBLE_EQ(display.intensity_sum, sum);
    EXPECT_DOUBLE_EQ(display.mean_intensity, sum / POINTS);
}

// The baseline dialogue on its own: the title, then one line as each pass starts.
TEST_F(SmoothKeys, the_baseline_dialogue_shows_each_pass) {
    headless::type_line("11");
    headless::run([] {
        int32_t mode = 2, lower = 0, upper = 0, interval = 0;
        SMOOTH(mode, lower, upper, interval);
        EXPECT_EQ(mode, 2);
        EXPECT_EQ(interval, 11);
    });
    EXPECT_EQ(row(2), "_____B A S E L I N E   S U B T R A C T I O N" + std::string(36, '_'));
    EXPECT_EQ(row(13), "     ( >3 and odd, -ve value for fine control with cutoff limits)");
    EXPECT_EQ(row(18), "     S U B T R A C T I N G");
    for (int pass = 1; pass <= 5; ++pass) EXPECT_EQ(row(20 + pass), std::string(20, ' ') + " Smooth  " + std::to_string(pass));
    EXPECT_EQ(final_baseline(), five_passes(loaded, 11));
}

// ENTER twice in the cutoff step: the band runs from the preliminary baseline
// (twice as long a window) to 20 pixel units above it; the final baseline takes
// the interval typed.
TEST_F(SmoothKeys, negative_interval_runs_the_cutoff_step_with_the_default_band) {
    headless::press_keys("B");
    headless::type_line("-5");
    run_display();      // ends in the upper-cutoff step
    int32_t u = pixel_unit();
    EXPECT_EQ(row(1), " Upper cutoff =" + format_integer(20 * u, 7) + ", set with W,Z keys, terminate with ENTER");
    Points p = five_passes(loaded, 11);
    EXPECT_EQ(preliminary(), p);
    EXPECT_EQ(intensities(), loaded);

    run_again("B-5\r\r");     // the lower-cutoff step
    EXPECT_EQ(row(1).substr(0, 22), " Lower cutoff =      0");

    run_again("B-5\r\r\r\r");
    Points baseline = five_passes(loaded, 5, &p, 0, 20 * u);
    EXPECT_EQ(final_baseline(), baseline);
    EXPECT_EQ(intensities(), subtracted(loaded, baseline));
}

TEST_F(SmoothKeys, long_negative_intervals_use_the_longest_window) {
    for (const char* answer : {"-251", "-499"}) {
        load_spectrum(POINTS, 140000.0, 0.1, sample_value);
        headless::press_keys("B");
        headless::type_line(answer);
        run_display();
        EXPECT_EQ(preliminary(), five_passes(loaded, 499)) << answer;
    }
}

// Z stops the upper cutoff 3 units above the lower one; W stops the lower 3 below the upper.
TEST_F(SmoothKeys, cutoff_keys_stop_at_their_bounds) {
    headless::press_keys("B");
    headless::type_line("-7");
    headless::press_keys(std::string(60, 'Z'));
    run_display();
    int32_t u = pixel_unit();
    EXPECT_EQ(row(1).substr(0, 22), " Upper cutoff =" + format_integer(-497 * u, 7));

    const std::string upper_keys = "B-7\r" + std::string(60, 'Z') + "wwW\r";   // back up by 7 units
    run_again(upper_keys + "WWWWWWz");
    int32_t upper = -490 * u;
    EXPECT_EQ(row(1).substr(0, 22), " Lower cutoff =" + format_integer(upper - 3 * u - u, 7));

    run_again(upper_keys + "WWWWWWz\r\r");
    Points p = five_passes(loaded, 15);
    EXPECT_EQ(final_baseline(), five_passes(loaded, 7, &p, upper - 4 * u, upper));
}

TEST_F(SmoothKeys, a_second_subtraction_works_from_the_subtracted_spectrum_and_the_original) {
    headless::press_keys("B");
    headless::type_line("25");
    headless::press_keys("\r");
    headless::press_keys("B");
    headless::type_line("25");
    headless::press_keys("\r");
    run_display();
    Points once = subtracted(loaded, five_passes(loaded, 25));
    EXPECT_EQ(intensities(), subtracted(loaded, five_passes(once, 25)));
    EXPECT_EQ(originals(), loaded);
}

TEST_F(SmoothKeys, smoothing_before_a_subtraction_is_not_carried_into_it) {
    headless::press_keys("N");
    headless::type_line("5");
    headless::press_keys("B");
    headless::type_line("13");
    headless::press_keys("\r");
    run_display();
    EXPECT_EQ(intensities(), subtracted(loaded, five_passes(serial_pass(loaded, 5), 13)));
}

TEST_F(SmoothKeys, enter_or_0_at_the_prompts_changes_nothing) {
    headless::press_keys("N");
    headless::type_line("");
    headless::press_keys("B");
    headless::type_line("");
    headless::press_keys("B");
    headless::type_line("0");
    run_display();
    EXPECT_EQ(intensities(), loaded);
    EXPECT_NE(headless::row_text(screen.text_rows).find("run5.spe"), std::string::npos);
}

// The screen of the result: original in blue, baseline in light red, and the
// interval bar, on the grey page; saved as PNG when TARNO_SCREENSHOT_DIR is set.
TEST_F(SmoothKeys, the_baseline_is_drawn_over_the_original) {
    headless::press_keys("B");
    headless::type_line("-21");
    headless::press_keys("WW");
    run_display();
    if (const char* dir = std::getenv("TARNO_SCREENSHOT_DIR")) headless::save_png(std::string(dir) + "/cutoff_step.png");
    run_again("B-21\rWW\r");
    if (const char* dir = std::getenv("TARNO_SCREENSHOT_DIR")) headless::save_png(std::string(dir) + "/lower_step.png");
    run_again("B-21\rWW\r\r");
    if (const char* dir = std::getenv("TARNO_SCREENSHOT_DIR")) headless::save_png(std::string(dir) + "/baseline_shown.png");

    int blue = 0, red = 0, grey = 0, all = 0;
    for (int y = 2 * screen.row_height; y < screen.screen_height - 2 * screen.row_height; ++y) {
        for (int x = 4; x < screen.screen_width - 4; ++x) {
            ++all;
            Rgb p = headless::pixel(x, y);
            blue += p == palette_rgb(COLOR_BLUE);
            red += p == palette_rgb(COLOR_LIGHT_RED);
            grey += p == palette_rgb(COLOR_LIGHT_GREY);
        }
    }
    EXPECT_GT(blue, 800);       // a curve across the whole width
    EXPECT_GT(red, 800);
    EXPECT_GT(grey, all * 9 / 10);  // no plot-area fill: the page stays grey
    EXPECT_EQ(row(1), " Press ENTER to continue");
}

}  // namespace
}  // namespace tarno::testing
