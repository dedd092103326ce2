// O, 9 and = through the display loop on the headless window: the result rows,
// the drawn fit and its marks (pixels, and a screenshot on request), the
// fitting width of 3 refused on raw points and accepted after zooming in, and
// 9 then = averaging with the earlier measurement.
//
// TARNO_SCREENSHOT_DIR=<dir> keeps a PNG of the drawn fit there.
#include "tests/flow/display_flow.hpp"

#include <cmath>
#include <cstdlib>
#include <string>

#include "common/fields.hpp"
#include "display/measurement.hpp"

namespace tarno::testing {
namespace {

constexpr double F0 = 230000.0;     // MHz
constexpr double STEP = 0.04;       // MHz per point
constexpr double LINE_POINT = 400.3;

// A frequency-modulation line (second derivative of a Lorentzian, centre lobe
// up) on a flat baseline.
int32_t fm_line(int32_t i) {
    const double u = (i - LINE_POINT) / 8.0;
    return static_cast<int32_t>(1000 + 20000 * (1 - 3 * u * u) / std::pow(1 + u * u, 3));
}

class MeasurementKeys : public DisplayFlow {
protected:
    void SetUp() override {
        DisplayFlow::SetUp();
        load_spectrum(4000, F0, STEP, fm_line);
        measurement = MeasurementMemory{};
    }

    // Counts the pixels of the plot area with the colour of palette index `colour`.
    static int count_pixels(int colour) {
        const Rgb want = palette_rgb(colour);
        int n = 0;
        for (int y = 40; y < 500; ++y)
            for (int x = 0; x < 800; ++x) n += headless::pixel(x, y) == want;
        return n;
    }

    static void keep_screenshot(const std::string& name) {
        if (const char* dir = std::getenv("TARNO_SCREENSHOT_DIR")) {
            EXPECT_TRUE(headless::save_png(std::string(dir) + "/" + name));
        }
    }
};

TEST_F(MeasurementKeys, O_draws_the_fit_and_writes_the_result_rows) {
    run_display("O");
    const double true_centre = F0 + (LINE_POINT - 1) * STEP;
    ASSERT_EQ(row(1).substr(0, 24), " Fitted peak frequency: ") << row(1);
    EXPECT_NEAR(measurement.measure_last, true_centre, 0.1 * STEP);
    EXPECT_EQ(row(1).substr(24, 14), format_fixed(measurement.measure_last, 14, 4));
    EXPECT_EQ(row(1).substr(48, 19), "         Intensity:");
    EXPECT_EQ(row(2).substr(0, 24), "      Halfwidth (FWHH): ");
    EXPECT_EQ(row(2).substr(38), std::string(17, ' ') + "Data points:        7");
    EXPECT_TRUE(measurement.has_half_width);
    EXPECT_EQ(headless::cell_text_color(1, 2), 1);
    EXPECT_EQ(headless::cell_background_color(1, 2), 7);

    // Parabola in light red, vertex line, baseline and top in light cyan,
    // interval edges and half-height line in yellow (the cursor too).
    EXPECT_GT(count_pixels(12), 3);
    EXPECT_GT(count_pixels(11), 700);
    EXPECT_GT(count_pixels(14), 150);
    keep_screenshot("measurement_fit.png");
}

TEST_F(MeasurementKeys, width_3_is_refused_on_raw_points_and_measures_when_zoomed_in) {
    headless::press_keys("0");
    headless::type_line("3");
    run_display("O");
    EXPECT_EQ(row(1), " ERROR: 3 point width allowed only on expanded data: increase X-expansion");
    EXPECT_EQ(row(2), "");
    EXPECT_TRUE(headless::tones().empty()) << "this refusal has no tone";
    EXPECT_EQ(measurement.measure_last, 0);

    // Four zooms about the cursor leave 50 intervals: an interpolated frame.
    headless::press_keys("0");
    headless::type_line("3");
    run_display("EEEEO");
    ASSERT_GT(display.expansion, 1);
    ASSERT_EQ(row(1).substr(0, 24), " Fitted peak frequency: ") << row(1);
    EXPECT_EQ(row(2).substr(55), "Data points:" + format_integer(display.expansion, 4) + " *  3");
    EXPECT_NEAR(measurement.measure_last, F0 + (LINE_POINT - 1) * STEP, 0.1 * STEP);
    keep_screenshot("measurement_fit_interpolated.png");
}

TEST_F(MeasurementKeys, cursor_then_average_reports_both_lines) {
    run_display("O" "LLLL" "9" "=");
    const double line = measurement.measure_prev;
    const double cursor = display.cursor_freq;
    EXPECT_EQ(measurement.measure_last, cursor);
    EXPECT_NEAR(line, F0 + (LINE_POINT - 1) * STEP, 0.1 * STEP);
    EXPECT_EQ(row(1).substr(0, 38), "    Average frequency = " + format_fixed((line + cursor) / 2, 14, 4));
    EXPECT_EQ(row(1).substr(59), "Line1 =" + format_fixed(cursor, 13, 4));
    EXPECT_EQ(row(2).substr(0, 38), " Difference frequency = " + format_fixed(std::fabs(cursor - line), 14, 4));
    EXPECT_EQ(row(2).substr(59), "Line2 =" + format_fixed(line, 13, 4));
    // The error is the line's alone: the cursor measurement has none.
    EXPECT_EQ(row(1).substr(38, 10), " +-" + format_fixed(static_cast<float>(measurement.error_prev), 7, 4));
    EXPECT_EQ(display.mean_intensity, spectrum.intensity[display.cursor_index]);
}

}  // namespace
}  // namespace tarno::testing
