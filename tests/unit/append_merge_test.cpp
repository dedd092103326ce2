// The pieces of append without a screen: the reader of the appended file
// (no date test, both count forms, refusals), the merge onto the current grid
// (skipped points, dummy points, interpolation, capacity), and the full name
// of the appended file.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_format.hpp"
#include "display/append_modify.hpp"
#include "tests/support/fixture_dir.hpp"
#include "tests/support/spectrum_files.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;
using testing::binary_spectrum_bytes;
using testing::recording_header;

// [SECTION] Reader ------------------------------------------------------------------

std::vector<int16_t> ramp(int n, int start, int step) {
    std::vector<int16_t> v;
    for (int i = 0; i < n; ++i) v.push_back(static_cast<int16_t>(start + i * step));
    return v;
}

struct ReadBack {
    AppendedRead outcome;
    AppendedSpectrum spectrum;
    std::vector<int32_t> values;
};

ReadBack read_file(const std::string& bytes, size_t room = 100000) {
    FixtureDir dir;
    ReadBack r{AppendedRead_Ok, {}, std::vector<int32_t>(room, 77)};
    r.outcome = read_appended_spectrum(dir.write("next.spe", bytes), r.values, r.spectrum);
    return r;
}

TEST(append_reader, short_form_without_the_date_test) {
    SpectrumHeader h = recording_header();
    h.day = 0; h.year = 1066;           // the main reader would take this for text
    // The stored last frequency is not used: Ea comes from Fa, Na and Sa.
    ReadBack r = read_file(binary_spectrum_bytes(h, ramp(12, -5, 3), 500.0, 999.0, 0.25));
    ASSERT_EQ(r.outcome, AppendedRead_Ok);
    EXPECT_EQ(r.spectrum.count, 12);
    EXPECT_EQ(r.spectrum.first, 500.0);
    EXPECT_EQ(r.spectrum.step, 0.25);
    EXPECT_EQ(r.spectrum.last, 502.75);
    EXPECT_DOUBLE_EQ(r.spectrum.mean, (-5 + 28) / 2.0);
    EXPECT_EQ(r.values[0], -5);
    EXPECT_EQ(r.values[11], 28);
    EXPECT_EQ(r.values[12], 77) << "nothing written past Na";
}

TEST(append_reader, long_form_count) {
    std::vector<int16_t> values = ramp(40000, -20000, 1);
    ReadBack r = read_file(binary_spectrum_bytes(recording_header(), values, 10.0, 0.0, 0.5));
    ASSERT_EQ(r.outcome, AppendedRead_Ok);
    EXPECT_EQ(r.spectrum.count, 40000);
    EXPECT_EQ(r.values[39999], 19999);
    EXPECT_DOUBLE_EQ(r.spectrum.mean, -0.5);
    EXPECT_EQ(r.spectrum.last, 10.0 + 39999 * 0.5);
}

TEST(append_reader, refusals) {
    const std::string good = binary_spectrum_bytes(recording_header(), ramp(20, 0, 1), 1.0, 20.0, 1.0);
    std::string nine = binary_spectrum_bytes(recording_header(), ramp(9, 0, 1), 1.0, 9.0, 1.0);
    std::string zero_step = good;
    testing::patch_double(zero_step, INTENSITY_OFFSET + 2 * 20 + 16, 0.0);
    std::string nan_first = good;
    testing::patch_double(nan_first, INTENSITY_OFFSET + 2 * 20, std::nan(""));
    std::string long_negative = good;
    testing::patch_int16(long_negative, HEADER_BYTES, LONG_FORM_MARK);
    testing::patch_int32(long_negative, HEADER_BYTES + 2, -7);
    struct Case { const char* what; std::string bytes; size_t room; AppendedRead expected; };
    const Case cases[] = {
        {"9 points", nine, 100, AppendedRead_TooFewPoints},
        {"negative long count", long_negative, 100, AppendedRead_TooFewPoints},
        {"more points than room", good, 19, AppendedRead_TooManyPoints},
        {"cut in the header", good.substr(0, 100), 100, AppendedRead_Unreadable},
        {"cut in the intensities", good.substr(0, INTENSITY_OFFSET + 21), 100, AppendedRead_Unreadable},
        {"cut in the frequency block", good.substr(0, good.size() - 10), 100, AppendedRead_Unreadable},
        {"step 0", zero_step, 100, AppendedRead_Unreadable},
        {"first frequency NaN", nan_first, 100, AppendedRead_Unreadable},
        {"empty file", "", 100, AppendedRead_Unreadable},
    };
    for (const Case& c : cases) EXPECT_EQ(read_file(c.bytes, c.room).outcome, c.expected) << c.what;

    FixtureDir dir;
    std::vector<int32_t> room(100);
    AppendedSpectrum a{};
    EXPECT_EQ(read_appended_spectrum(dir.file("missing.spe"), room, a), AppendedRead_CannotOpen);
    EXPECT_EQ(read_appended_spectrum(dir.path().string(), room, a), AppendedRead_CannotOpen) << "a directory";
}

// [SECTION] Merge -------------------------------------------------------------------

// A current spectrum of n points on 100, 100.5, ... and arrays with room for
// `capacity` points; binary fractions keep every grid sum exact.
struct Grid {
    static constexpr double STEP = 0.5;
    int32_t n;
    std::vector<double> frequency;
    std::vector<int32_t> intensity;
    Grid(int32_t points, int32_t capacity) : n(points), frequency(capacity + 1, -1.0), intensity(capacity + 1, -1) {
        for (int32_t i = 1; i <= n; ++i) {
            frequency[i] = 100.0 + (i - 1) * STEP;
            intensity[i] = 1000 + i;
        }
    }
    double last() const { return frequency[n]; }
    MergeResult merge(double first, double step, const std::vector<int32_t>& values) {
        AppendedSpectrum a{static_cast<int32_t>(values.size()), first, step, first + (values.size() - 1) * step, 0};
        return merge_appended(a, values, frequency, intensity, n, STEP);
    }
};

std::vector<int32_t> squares(int count) {
    std::vector<int32_t> v;
    for (int k = 1; k <= count; ++k) v.push_back(10 * k * k);   // A(k) = 10 k^2
    return v;
}

TEST(append_merge, contiguous_spectrum_on_the_same_grid_is_copied) {
    Grid g(20, 100);
    std::vector<int32_t> values = squares(12);
    MergeResult m = g.merge(g.last() + Grid::STEP, Grid::STEP, values);
    EXPECT_EQ(m.outcome, MergeOutcome_Merged);
    EXPECT_EQ(m.skipped, 0);
    EXPECT_EQ(m.dummies, 0);
    EXPECT_FALSE(m.capacity_reached);
    ASSERT_EQ(m.point_count, 32);
    for (int32_t k = 1; k <= 12; ++k) {
        EXPECT_EQ(g.frequency[20 + k], g.last() + k * Grid::STEP) << k;
        EXPECT_EQ(g.intensity[20 + k], values[k - 1]) << k;
    }
    EXPECT_EQ(g.intensity[20], 1020) << "the current part is untouched";
    EXPECT_EQ(g.frequency[33], -1.0) << "nothing written past the last point";
}

TEST(append_merge, second_half_of_a_split_spectrum_gives_back_the_whole_grid) {
    // 0.04 is not a binary fraction: the running grid sum lands a hair off
    // the appended points, on either side
    for (double f0 : {240000.0, 86000.01, 1.0e6 + 0.003}) {
        const double step = 0.04;
        const int32_t half = 3000;
        std::vector<double> frequency(2 * half + 1);
        std::vector<int32_t> intensity(2 * half + 1);
        for (int32_t i = 1; i <= half; ++i) frequency[i] = f0 + (i - 1) * step;
        std::vector<int32_t> values = squares(half);
        AppendedSpectrum a{half, f0 + half * step, step, f0 + half * step + (half - 1) * step, 0};
        MergeResult m = merge_appended(a, values, frequency, intensity, half, step);
        EXPECT_EQ(m.dummies, 0) << f0;
        EXPECT_EQ(m.skipped, 0) << f0;
        ASSERT_EQ(m.point_count, 2 * half) << f0 << ": the last appended point is kept";
        for (int32_t k = 1; k <= half; ++k) {
            ASSERT_NEAR(frequency[half + k], f0 + (half + k - 1) * step, 1e-6) << k;
            ASSERT_NEAR(intensity[half + k], values[k - 1], 1) << k;
        }
    }
}

TEST(append_merge, gap_of_five_and_a_half_steps_gets_five_dummies) {
    Grid g(20, 100);
    std::vector<int32_t> values = squares(12);
    MergeResult m = g.merge(g.last() + 5.5 * Grid::STEP, Grid::STEP, values);
    EXPECT_EQ(m.dummies, 5);
    EXPECT_EQ(m.skipped, 0);
    for (int32_t j = 21; j <= 25; ++j) EXPECT_EQ(g.intensity[j], values[0]) << j;
    // the sixth grid point lies half-way between A(1) and A(2)
    EXPECT_EQ(g.frequency[26], g.last() + 6 * Grid::STEP);
    EXPECT_EQ(g.intensity[26], (10 + 40) / 2);
    // and the grid ends at the last grid point not above Ea
    EXPECT_EQ(m.point_count, 25 + 11);
    EXPECT_EQ(g.intensity[36], (values[10] + values[11]) / 2);
}

TEST(append_merge, overlapping_start_skips_points_and_interpolates_the_rest) {
    Grid g(20, 100);
    std::vector<int32_t> values = squares(14);
    // P(1) = F(N) - 3.5 S: points 1..4 lie more than one step below F(N) + S
    MergeResult m = g.merge(g.last() - 3.5 * Grid::STEP, Grid::STEP, values);
    EXPECT_EQ(m.skipped, 4);
    EXPECT_EQ(m.dummies, 0);
    EXPECT_EQ(g.frequency[21], g.last() + Grid::STEP);
    EXPECT_EQ(g.intensity[21], (values[4] + values[5]) / 2);     // between A(5) and A(6)
    EXPECT_EQ(m.point_count, 20 + 9);
}

TEST(append_merge, interpolation_truncates_toward_zero) {
    Grid g(20, 100);
    std::vector<int32_t> values{-10, -13, -16, -19, -22, -25, -28, -31, -34, -37};
    g.merge(g.last() + 0.5 * Grid::STEP, Grid::STEP, values);
    EXPECT_EQ(g.intensity[21], -11) << "-11.5 truncated toward zero";
}

TEST(append_merge, finer_appended_step_after_a_gap_interpolates_between_the_right_points) {
    Grid g(20, 100);
    std::vector<int32_t> values = squares(40);
    // Fa = F(N) + 1.2 S, Sa = S / 4: one dummy; the next grid point F(N) + 2S
    // lies 0.2 appended steps above P(4), between A(4) and A(5).
    MergeResult m = g.merge(g.last() + 1.2 * Grid::STEP, Grid::STEP / 4, values);
    EXPECT_EQ(m.dummies, 1);
    EXPECT_NEAR(g.intensity[22], 160 + 0.2 * 90, 1) << "not extrapolated from A(1) and A(2)";
}

TEST(append_merge, capacity) {
    {   // reached while interpolating: the points made are kept
        Grid g(20, 25);
        MergeResult m = g.merge(g.last() + Grid::STEP, Grid::STEP, squares(12));
        EXPECT_EQ(m.outcome, MergeOutcome_Merged);
        EXPECT_TRUE(m.capacity_reached);
        EXPECT_EQ(m.point_count, 25);
        EXPECT_EQ(g.intensity[25], 250);
    }
    {   // exactly filled by the last appended point: no message
        Grid g(20, 32);
        MergeResult m = g.merge(g.last() + Grid::STEP, Grid::STEP, squares(12));
        EXPECT_FALSE(m.capacity_reached);
        EXPECT_EQ(m.point_count, 32);
    }
    {   // reached while filling the gap: given up
        Grid g(20, 23);
        MergeResult m = g.merge(g.last() + 5.5 * Grid::STEP, Grid::STEP, squares(12));
        EXPECT_EQ(m.outcome, MergeOutcome_NoRoom);
        EXPECT_EQ(m.point_count, 20);
    }
    {   // the current spectrum fills the arrays: no room for a single point
        Grid g(20, 20);
        MergeResult m = g.merge(g.last() + Grid::STEP, Grid::STEP, squares(12));
        EXPECT_EQ(m.outcome, MergeOutcome_NoRoom);
        EXPECT_EQ(m.point_count, 20);
    }
}

TEST(append_merge, spectrum_wholly_below_the_grid_is_refused) {
    Grid g(20, 100);
    MergeResult m = g.merge(90.0, Grid::STEP, squares(12));
    EXPECT_EQ(m.outcome, MergeOutcome_BelowGrid);
    EXPECT_EQ(m.point_count, 20);
    EXPECT_EQ(g.frequency[21], -1.0);
}

// [SECTION] File name ---------------------------------------------------------------

TEST(append_path, typed_name_joins_the_directory_of_the_current_spectrum) {
    struct Case { const char* current; const char* typed; const char* expected; };
    const Case cases[] = {
        {"/data/spectra/run5.spe", "next.spe", "/data/spectra/next.spe"},
        {"/data/spectra/run5.spe", "  next.spe  ", "/data/spectra/next.spe"},
        {"run5.spe", "next.spe", "next.spe"},
        {"/run5.spe", "next.spe", "next.spe"},
        {"C:\\rot\\run5.spe", "next.spe", "C:\\rot\\next.spe"},
    };
    for (const Case& c : cases) {
        set_text_field(text.data_file_name, c.current);
        EXPECT_EQ(appended_file_path(c.typed), c.expected) << c.current;
    }
}

}  // namespace
}  // namespace tarno
