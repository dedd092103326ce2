// Line measurement (O, 9, =) on synthetic spectra drawn by the real frame on
// the headless backend: the search, the refusals and their messages, the
// memory of the last two lines, the baseline of 9, and the result rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "app/records.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/measurement.hpp"
#include "window/headless.hpp"

namespace {

using namespace tarno;

constexpr double F0 = 100000.0;     // MHz
constexpr double STEP = 0.05;       // MHz per point

double freq_of(int i) { return F0 + (i - 1) * STEP; }

// A Gaussian line of `amp` on a flat `base`, centred at point `centre` (fractional).
std::function<double(int)> gaussian(double base, double amp, double centre, double sigma) {
    return [=](int i) { return base + amp * std::exp(-0.5 * std::pow((i - centre) / sigma, 2)); };
}

class Measurement : public ::testing::Test {
public:
    void SetUp() override {
        headless::start(800, 540);
        screen.screen_width = 799;
        screen.screen_height = 539;
        screen.text_rows = 30;
        screen.row_height = 18;
        display = DisplayState{};
        measurement = MeasurementMemory{};
    }

    // Fills the spectrum with n points of `shape` (truncated to integers) and
    // sets the baseline level to their mean, as the display loop does.
    void load(int n, const std::function<double(int)>& shape) {
        spectrum.point_count = n;
        double sum = 0;
        int lo = INT32_MAX, hi = INT32_MIN;
        for (int i = 1; i <= n; ++i) {
            spectrum.frequency[i] = freq_of(i);
            spectrum.intensity[i] = static_cast<int32_t>(shape(i));
            sum += spectrum.intensity[i];
            lo = std::min(lo, spectrum.intensity[i]);
            hi = std::max(hi, spectrum.intensity[i]);
        }
        spectrum.intensity_min = lo;
        spectrum.intensity_max = hi;
        display.mean_intensity = sum / n;
        display.y_low = lo - 0.05 * (hi - lo);
        display.y_high = hi + 0.05 * (hi - lo);
        display.fit_width = 7;
    }

    // Draws a frame over points first..last with the cursor at point `cursor`.
    void view(int first, int last, double cursor) {
        display.view_low = freq_of(first);
        display.view_high = freq_of(last);
        display.cursor_freq = freq_of(1) + (cursor - 1) * STEP;
        set_display_viewport();
        draw_frame();
    }
};

// Everything an error must leave alone.
struct Snapshot {
    MeasurementMemory memory;
    double mean;
    explicit Snapshot() : memory(measurement), mean(display.mean_intensity) {}
    bool unchanged() const {
        return std::memcmp(&memory, &measurement, sizeof memory) == 0 && mean == display.mean_intensity;
    }
};

TEST_F(Measurement, cursor_on_either_flank_finds_the_same_top) {
    load(2000, gaussian(100, 5000, 1000.3, 2.5));
    for (bool interpolated : {false, true}) {
        SCOPED_TRACE(interpolated ? "interpolated frame" : "raw frame");
        const int first = interpolated ? 990 : 400, last = interpolated ? 1010 : 1600;
        view(first, last, 997);
        LineMeasurement rising = measure_line();
        view(first, last, 1004);
        LineMeasurement falling = measure_line();
        ASSERT_FALSE(rising.failed) << rising.error_message;
        ASSERT_FALSE(falling.failed) << falling.error_message;
        EXPECT_EQ(rising.interpolated, interpolated);
        EXPECT_DOUBLE_EQ(rising.frequency, falling.frequency);
        EXPECT_NEAR(rising.frequency, freq_of(1) + 999.3 * STEP, 0.1 * STEP);
        EXPECT_GT(rising.intensity, 4000);
        // FWHH of a Gaussian: 2.3548 sigma.
        ASSERT_TRUE(rising.has_half_width);
        EXPECT_NEAR(rising.half_width, 2.3548 * 2.5 * STEP, 0.15 * STEP);
        EXPECT_EQ(measurement.measure_last, falling.frequency);
        EXPECT_EQ(measurement.measure_prev, rising.frequency);
    }
}

TEST_F(Measurement, downward_line_below_the_mean_gives_negative_intensity) {
    load(2000, gaussian(3000, -2500, 1200.6, 3.0));
    view(600, 1800, 1203);
    ASSERT_LT(spectrum.intensity[1203], display.mean_intensity);
    LineMeasurement dip = measure_line();
    ASSERT_FALSE(dip.failed) << dip.error_message;
    EXPECT_NEAR(dip.frequency, freq_of(1) + 1199.6 * STEP, 0.1 * STEP);
    EXPECT_LT(dip.intensity, -2000);
    EXPECT_TRUE(dip.has_half_width);
}

TEST_F(Measurement, refusals_show_their_message_and_change_nothing) {
    struct Case {
        const char* name;
        std::function<void(Measurement&)> set_up;
        const char* row1;
        bool beep;
    };
    const Case cases[] = {
        {"width 3 on raw points",
         [](Measurement& t) {
             t.load(2000, gaussian(100, 5000, 1000, 2.5));
             display.fit_width = 3;
             t.view(400, 1600, 1000);
         },
         " ERROR: 3 point width allowed only on expanded data: increase X-expansion", false},
        {"line at the first points of the spectrum",
         [](Measurement& t) {
             t.load(2000, gaussian(100, 5000, 3, 1.5));
             t.view(1, 1200, 3);
         },
         " ERROR: peak measurements are only allowed within the limits of spectrum", true},
        {"flat region",
         [](Measurement& t) {
             t.load(2000, [](int i) { return i > 1500 && i < 1510 ? 900.0 : 100.0; });
             t.view(400, 1600, 800);
         },
         " ERROR: Zero dynamic range in data for fitting peak frequency", true},
        {"ledge on a straight flank: the fit has no curvature",
         [](Measurement&) {
             // Around the ledge 999..1001 the flank rises point-symmetrically,
             // so the parabola through its centre is a straight line. The
             // step 2^34 keeps PEAKF's arithmetic exact (its 1e-7 offsets
             // vanish), so the curvature comes out exactly 0.
             const int n = 2000;
             const double step = 17179869184.0;
             const int32_t flank[7] = {-12, -4, 0, 0, 0, 4, 12};   // points 997..1003
             spectrum.point_count = n;
             for (int i = 1; i <= n; ++i) {
                 spectrum.frequency[i] = i * step;
                 spectrum.intensity[i] = i < 997 ? 100 : i > 1003 ? 5100 : 5000 + flank[i - 997];
             }
             spectrum.intensity_min = 100;
             spectrum.intensity_max = 5100;
             display.fit_width = 7;
             display.mean_intensity = 2584;
             display.y_low = 0;
             display.y_high = 5200;
             display.view_low = 400 * step;
             display.view_high = 1600 * step;
             display.cursor_freq = 1000 * step;
             set_display_viewport();
             draw_frame();
         },
         " ERROR: no curvature in data for fitting peak frequency (straight flank)", true},
        {"rising to the end of the spectrum",
         [](Measurement& t) {
             t.load(2000, [](int i) { return 10.0 * i; });
             t.view(400, 1600, 1500);
         },
         " ERROR: peak search ended outside the spectrum", true},
        {"rising to the edge of an interpolated view",
         [](Measurement& t) {
             t.load(2000, [](int i) { return 1000.0 * i; });  // steep: stays rising when interpolated
             t.view(990, 1010, 1005);
         },
         " ERROR: peak search ended outside the display screen", true},
        {"top closer to the edge than half the fitting width",
         [](Measurement& t) {
             t.load(2000, gaussian(100, 5000, 2, 4.0));
             t.view(1, 1200, 8);
         },
         " ERROR: fitting interval exceeds data bounds", true},
        {"fitting width times expansion above 500",
         [](Measurement& t) {
             t.load(4000, gaussian(100, 5000, 2000, 4.0));
             display.fit_width = 17;   // 17 x 32 interpolated points
             t.view(1990, 2010, 2000);
         },
         " ERROR: Too many points for peak measurement: reduce X-expansion", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        measurement.measure_last = 123.5;
        measurement.error_last = 0.25;
        c.set_up(*this);
        Snapshot before;
        size_t tones = headless::tones().size();
        LineMeasurement r = measure_line();
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(headless::row_text(1), std::string(c.row1) + std::string(80 - std::strlen(c.row1), ' '));
        EXPECT_EQ(headless::row_text(2), std::string(80, ' '));
        EXPECT_EQ(headless::tones().size() - tones, c.beep ? 1u : 0u);
        EXPECT_TRUE(before.unchanged());
    }
}

TEST_F(Measurement, width_3_measures_on_an_interpolated_frame) {
    load(2000, gaussian(100, 5000, 1000.3, 2.5));
    display.fit_width = 3;
    view(990, 1010, 999);
    ASSERT_GT(display.expansion, 1);
    LineMeasurement r = measure_line();
    ASSERT_FALSE(r.failed) << r.error_message;
    EXPECT_NEAR(r.frequency, freq_of(1) + 999.3 * STEP, 0.1 * STEP);
    EXPECT_EQ(r.fit_freq.size(), static_cast<size_t>(3 * display.expansion));
}

TEST_F(Measurement, a_side_that_never_falls_to_half_height_has_no_width) {
    // The right flank stops on a shoulder above half height up to the last point.
    load(2000, [](int i) {
        if (i <= 1000) return 100 + 5000 * std::exp(-0.5 * std::pow((i - 1000) / 3.0, 2));
        return std::max(100 + 5000 * std::exp(-0.5 * std::pow((i - 1000) / 3.0, 2)), 4000.0);
    });
    display.mean_intensity = 100;
    view(400, 1600, 998);
    LineMeasurement r = measure_line();
    ASSERT_FALSE(r.failed) << r.error_message;
    EXPECT_FALSE(r.has_half_width);
    EXPECT_FALSE(measurement.has_half_width);
    EXPECT_EQ(headless::row_text(2).substr(0, 38), "      Halfwidth (FWHH):           none");
}

TEST_F(Measurement, cursor_then_average_uses_the_previous_error_alone) {
    load(2000, gaussian(100, 5000, 1000.3, 2.5));
    view(400, 1600, 1000);
    LineMeasurement line = measure_line();
    ASSERT_FALSE(line.failed);
    ASSERT_GT(line.error, 0);

    view(400, 1600, 1100);
    take_cursor_as_line();
    EXPECT_EQ(measurement.measure_last, display.cursor_freq);
    EXPECT_EQ(measurement.error_last, 0);
    EXPECT_EQ(measurement.measure_prev, line.frequency);
    EXPECT_EQ(display.mean_intensity, spectrum.intensity[1100]) << "the ordinate becomes the baseline";
    EXPECT_EQ(headless::row_text(1),
              "    Cursor frequency =    100054.9500  taken as measured frequency" + std::string(14, ' '));
    EXPECT_EQ(headless::row_text(2),
              "    Cursor ordinate  =       100.0000  taken as new baseline level" + std::string(14, ' '));

    LineAverage a = average_lines();
    EXPECT_DOUBLE_EQ(a.average, (display.cursor_freq + line.frequency) / 2);
    EXPECT_FLOAT_EQ(a.error, static_cast<float>(line.error));
    EXPECT_DOUBLE_EQ(a.difference, display.cursor_freq - line.frequency);
    EXPECT_EQ(headless::row_text(1).substr(0, 24), "    Average frequency = ");
    EXPECT_EQ(headless::row_text(1).substr(24 + 14 + 3 + 7 + 11), "Line1 =  100054.9500 ");
    EXPECT_EQ(headless::row_text(2).substr(0, 24), " Difference frequency = ");
}

TEST_F(Measurement, cursor_ordinate_on_an_interpolated_frame_comes_from_the_curve) {
    load(2000, gaussian(100, 5000, 1000.0, 2.5));
    view(990, 1010, 1000.5);   // half-way between two points: only the curve has a value there
    ASSERT_GT(display.expansion, 1);
    take_cursor_as_line();
    const double expected_j =
        std::round((display.interp_count - 1) * (display.cursor_freq - display.view_low) /
                   (display.view_high - display.view_low)) + 1;
    EXPECT_EQ(display.mean_intensity, display.interp_value[static_cast<int>(expected_j)]);
    EXPECT_NE(display.mean_intensity, spectrum.intensity[1000]);
}

TEST(measurement_rows, result_rows_as_text) {
    display = DisplayState{};
    LineMeasurement r{};
    r.frequency = 100012.34567;
    r.error = 0.00123;
    r.intensity = -345.678;
    r.has_half_width = true;
    r.half_width = 0.28731;
    display.fit_width = 7;
    EXPECT_EQ(line_result_row1(r),
              " Fitted peak frequency:    100012.3457 +- 0.0012         Intensity:     -345.68");
    EXPECT_EQ(line_result_row2(r),
              "      Halfwidth (FWHH):         0.2873                 Data points:        7");
    r.interpolated = true;
    display.expansion = 32;
    display.fit_width = 3;
    EXPECT_EQ(line_result_row2(r),
              "      Halfwidth (FWHH):         0.2873                 Data points:  32 *  3");
    r.error = 123.4;   // does not fit F7.4
    EXPECT_EQ(line_result_row1(r).substr(38, 10), " +-*******");
}

}  // namespace
