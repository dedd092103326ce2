// The arithmetic of the display: the point-index rule and its extension
// beyond the spectrum, INTERP's subdivision, the curve regimes, the
// peak-preserving group value, and the marker scale's step and labels.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "app/records.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"

namespace tarno {
namespace {

// A spectrum of n points at f0, f0 + step, ... with the given intensities (repeated when short).
void load(int32_t n, double f0, double step, std::vector<int32_t> values = {0}) {
    spectrum.point_count = n;
    for (int32_t i = 1; i <= n; ++i) {
        spectrum.frequency[i] = f0 + (i - 1) * step;
        spectrum.intensity[i] = values[(i - 1) % values.size()];
    }
}

TEST(point_index, rounds_halves_away_from_zero_and_extends_the_axis) {
    load(11, 100.0, 0.5);           // 100.0 .. 105.0
    struct Case { double f; int32_t index; } cases[] = {
        {100.0, 1}, {100.24, 1}, {100.25, 2}, {104.74, 10}, {105.0, 11},
        {105.25, 12},                   // above: +0.5 of a step rounds up
        {99.75, 0}, {99.76, 1},         // below: quotient -0.5 rounds away from zero to -1 -> index 0
        {99.0, -1}, {110.0, 21},
    };
    for (const Case& c : cases) EXPECT_EQ(point_index(c.f), c.index) << "f = " << c.f;
    EXPECT_DOUBLE_EQ(index_frequency(0), 99.5);
    EXPECT_DOUBLE_EQ(index_frequency(-3), 98.0);
    EXPECT_DOUBLE_EQ(index_frequency(15), 107.0);
}

TEST(point_index, intensity_is_flat_outside_and_huge_views_do_not_overflow) {
    load(3, 0.0, 1.0, {5, 6, 7});
    EXPECT_EQ(index_intensity(-100), 5);
    EXPECT_EQ(index_intensity(2), 6);
    EXPECT_EQ(index_intensity(1000), 7);
    EXPECT_EQ(point_index(1e300), INDEX_LIMIT);
    EXPECT_EQ(point_index(-1e300), -INDEX_LIMIT);
    EXPECT_EQ(point_index(NAN), -INDEX_LIMIT);
}

TEST(point_index, single_point_spectrum_uses_the_stored_step) {
    load(1, 50.0, 0.0, {9});
    spectrum.freq_step = 0.25;
    EXPECT_EQ(point_index(50.0), 1);
    EXPECT_EQ(point_index(50.5), 3);
    EXPECT_DOUBLE_EQ(index_frequency(0), 49.75);
    spectrum.freq_step = 0;          // nothing stored: one unit per point
    EXPECT_DOUBLE_EQ(index_frequency(3), 52.0);
}

TEST(interp, subdivides_on_the_parabola_until_more_than_512_points) {
    // 4 points (3 intervals): 7, 13, 25, ..., 769 points after 8 passes
    load(4, 0.0, 1.0, {0, 8, 0, 8});
    int32_t count = 0, expansion = 1;
    INTERP(0.0, 3.0, 1, 4, count, expansion);
    EXPECT_EQ(count, 769);
    EXPECT_EQ(expansion, 256);
    EXPECT_DOUBLE_EQ(display.interp_freq[1], 0.0);
    EXPECT_DOUBLE_EQ(display.interp_freq[769], 3.0);
    EXPECT_DOUBLE_EQ(display.interp_freq[385], 1.5);
    // every original point stays where it was
    EXPECT_EQ(display.interp_value[1], 0);
    EXPECT_EQ(display.interp_value[257], 8);
    EXPECT_EQ(display.interp_value[513], 0);
    EXPECT_EQ(display.interp_value[769], 8);
}

TEST(interp, one_pass_values_are_truncated_toward_zero) {
    // 512 points (511 intervals): one pass, 1023 values
    std::vector<int32_t> values(512, 0);
    values[0] = 10; values[1] = 20; values[2] = 7;           // 0.375*10 + 0.75*20 - 0.125*7 = 17.875
    values[509] = -9; values[510] = -5; values[511] = -3;    // -0.125*-9 + 0.75*-5 + 0.375*-3 = -3.75
    load(512, 0.0, 1.0, values);
    int32_t count = 0, expansion = 1;
    INTERP(0.0, 511.0, 1, 512, count, expansion);
    EXPECT_EQ(count, 1023);
    EXPECT_EQ(expansion, 2);
    EXPECT_EQ(display.interp_value[2], 17);
    EXPECT_EQ(display.interp_value[1022], -3);
    EXPECT_EQ(display.interp_value[1023], -3);
}

TEST(interp, points_outside_the_spectrum_continue_flat) {
    load(4, 0.0, 1.0, {4, 4, 4, 100});
    int32_t count = 0, expansion = 1;
    INTERP(-3.0, 0.0, -2, 1, count, expansion);      // indices -2..1: all intensity(1)
    for (int32_t k = 1; k <= count; ++k) ASSERT_EQ(display.interp_value[k], 4) << k;
}

TEST(curve_regime, thresholds_at_512_and_ten_times_the_width) {
    screen.screen_width = 799;
    EXPECT_EQ(curve_regime(3), CurveRegime_Interpolated);
    EXPECT_EQ(curve_regime(511), CurveRegime_Interpolated);
    EXPECT_EQ(curve_regime(512), CurveRegime_EveryPoint);
    EXPECT_EQ(curve_regime(7989), CurveRegime_EveryPoint);
    EXPECT_EQ(curve_regime(7990), CurveRegime_Decimated);
}

TEST(group_extreme, keeps_the_value_farthest_from_the_mean) {
    struct Case { std::vector<int32_t> values; double mean; int32_t expected; } cases[] = {
        {{0, 0, 900, 0}, 0.0, 900},         // a narrow line pointing up
        {{0, -700, 0, 0}, 0.0, -700},       // and one pointing down
        {{-5, 5}, 0.0, 5},                  // a tie takes the maximum
        {{10, 12, 11}, 100.0, 10},          // all below the mean: the lowest
        {{7, 7}, 7.0, 7},
    };
    for (const Case& c : cases) EXPECT_EQ(group_extreme(c.values, c.mean), c.expected);
}

TEST(marker_scale, step_gives_at_least_15_ticks) {
    screen.screen_width = 799;
    struct Case { double low, high, step; } cases[] = {
        {100.0, 120.0, 1.0},        // 20 units: 20 ticks of 1, not 2 of 10
        {100.0, 114.9, 0.1},        // 14.9 units: 0.1
        {0.0, 2e6, 100000.0},       // wide views keep the first step
        {0.0, 0.0016, 0.0001},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(marker_step(c.low, c.high), c.step, c.step * 1e-9) << c.low << ".." << c.high;
    // a view far too wide for 100000 steps gets no more ticks than 10 per pixel
    EXPECT_LE(1e13 / marker_step(0, 1e13), 8000.0);
    EXPECT_EQ(marker_step(5, 5), 0);
}

TEST(marker_scale, labels_centred_on_long_ticks_except_near_edges_and_neighbours) {
    screen.screen_width = 799;
    // 100..120, step 1: long ticks at 100, 110, 120 -> columns 0, 40, 80: only 110 is labelled
    std::string row = marker_label_row(100.0, 120.0, 1.0);
    EXPECT_EQ(row, std::string(36, ' ') + "   110.0" + std::string(36, ' '));

    // column 4 is the first labelled, column 3 is not
    EXPECT_EQ(marker_label_row(96.0, 116.0, 1.0).substr(0, 9), std::string(9, ' '));   // 100 at column 16
    EXPECT_EQ(marker_label_row(99.0, 119.0, 1.0).substr(0, 8), "   100.0");             // B = 4
    EXPECT_EQ(marker_label_row(99.2, 119.2, 1.0).substr(0, 8), std::string(8, ' '));   // B = 3

    // labels 10 units apart over 150 units are 5.33 columns apart: one whose
    // column B-6 is taken by its predecessor is left out
    std::string dense = marker_label_row(12000.0, 12150.0, 1.0);
    EXPECT_EQ(dense.substr(0, 20), "  12010.0    12030.0");
    EXPECT_EQ(dense.find("12020.0"), std::string::npos);

    // from one million the label has no decimals
    EXPECT_NE(marker_label_row(999990.0, 1000010.0, 1.0).find("1000000."), std::string::npos);
}

}  // namespace
}  // namespace tarno
