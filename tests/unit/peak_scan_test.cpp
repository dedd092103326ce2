// The peak finder's scan on spans: lines of the demo's shape are found where
// they are (with and without noise), exact parabolas give exact widths, and
// the candidate spacing, acceptance, crossing memory and degenerate fits
// behave as the scan's rules say.
#include "processing/peak_scan.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "tools/demo/line_model.hpp"

namespace tarno {
namespace {

// [SECTION] Helpers -----------------------------------------------------------

// A spectrum in the scan's layout: element 0 unused, points 1..n.
struct Spectrum {
    std::vector<double> frequency;
    std::vector<int32_t> intensity;
    int32_t n() const { return static_cast<int32_t>(intensity.size()) - 1; }
};

Spectrum make_spectrum(int32_t n, double f0, double step, const std::function<int32_t(int32_t)>& value) {
    Spectrum s{std::vector<double>(static_cast<size_t>(n) + 1, 0.0), std::vector<int32_t>(static_cast<size_t>(n) + 1, 0)};
    for (int32_t i = 1; i <= n; ++i) {
        s.frequency[static_cast<size_t>(i)] = f0 + (i - 1) * step;
        s.intensity[static_cast<size_t>(i)] = value(i);
    }
    return s;
}

PeakScanSettings settings_for(const Spectrum& s, int32_t cutoff, int32_t fit_width, bool whole = false,
                              double nominal_error = 0.01) {
    PeakScanSettings settings{};
    settings.first = 1;
    settings.last = s.n();
    settings.cutoff = cutoff;
    settings.baseline = 0;
    settings.fit_width = fit_width;
    settings.discard_lines = whole;
    settings.nominal_error = nominal_error;
    settings.bar_scale = 1000.0;
    return settings;
}

struct ScanOutcome {
    std::vector<FoundLine> lines;
    int32_t discarded;
    FwhhSummary fwhh;
};

ScanOutcome run_scan(const Spectrum& s, const PeakScanSettings& settings, HalfHeightMemory memory = {}) {
    PeakScan scan = start_peak_scan(s.frequency, s.intensity, settings);
    ScanOutcome outcome{};
    while (std::optional<FoundLine> line = next_peak(scan, memory)) outcome.lines.push_back(*line);
    EXPECT_EQ(scan.identified, static_cast<int32_t>(outcome.lines.size()));
    outcome.discarded = scan.discarded;
    outcome.fwhh = summarise_fwhh(scan);
    return outcome;
}

// An exact parabola top - curvature d^2 (held at 0 and above) at `centre`.
int32_t parabola_at(int32_t i, int32_t centre, int32_t top, int32_t curvature) {
    const int64_t d = i - centre;
    return static_cast<int32_t>(std::max<int64_t>(0, top - curvature * d * d));
}

// Full width at half height of the demo line shape in units of its half width w:
// 2u with (1 - 3u^2)/(1 + u^2)^3 = 1/2, by bisection.
double demo_fwhh_in_widths() {
    double low = 0.0, high = 0.5;
    for (int k = 0; k < 100; ++k) {
        const double mid = (low + high) / 2;
        (demo::line_shape(mid) > 0.5 ? low : high) = mid;
    }
    return 2 * low;
}

// [SECTION] Lines of the demo's shape -------------------------------------------------

struct DemoLine {
    double centre;      // MHz
    double height;
};

// 20 isolated lines of the demo model on its 0.05 MHz grid, centres off the grid.
std::vector<DemoLine> demo_lines() {
    std::vector<DemoLine> lines;
    for (int k = 0; k < 20; ++k)
        lines.push_back({demo::FIRST_MHZ + (500 + 1000 * k + 0.37 * (k % 3) - 0.21 * (k % 2)) * demo::STEP_MHZ,
                         2000.0 + 900.0 * k});
    return lines;
}

Spectrum demo_spectrum(double noise_rms, uint32_t seed) {
    const std::vector<DemoLine> lines = demo_lines();
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, noise_rms);
    return make_spectrum(20500, demo::FIRST_MHZ, demo::STEP_MHZ, [&](int32_t i) {
        const double f = demo::FIRST_MHZ + (i - 1) * demo::STEP_MHZ;
        double v = noise_rms > 0 ? noise(random) : 0.0;
        for (const DemoLine& line : lines) v += line.height * demo::line_shape((f - line.centre) / demo::LINE_HALF_WIDTH_MHZ);
        return static_cast<int32_t>(std::lround(v));
    });
}

TEST(peak_scan, demo_lines_are_found_in_order_near_their_centres) {
    const std::vector<DemoLine> truth = demo_lines();
    const double fwhh = demo_fwhh_in_widths() * demo::LINE_HALF_WIDTH_MHZ;
    struct Case {
        const char* what;
        double noise_rms;
        double centre_tolerance;    // MHz, beside 4 x the reported error
        double fwhh_tolerance;      // MHz
    };
    const Case cases[] = {
        {"without noise", 0.0, 0.002, 0.01},
        {"with noise", 100.0, 0.004, 0.03},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Spectrum s = demo_spectrum(c.noise_rms, 1207);
        ScanOutcome found = run_scan(s, settings_for(s, 800, 7, true, 0.01));
        ASSERT_EQ(found.lines.size(), truth.size());
        EXPECT_EQ(found.discarded, 0);
        for (size_t k = 0; k < truth.size(); ++k) {
            SCOPED_TRACE(testing::Message() << "line " << k);
            const FoundLine& line = found.lines[k];
            EXPECT_NEAR(line.frequency, truth[k].centre, c.centre_tolerance + 4 * line.error);
            EXPECT_NEAR(line.fwhh, fwhh, c.fwhh_tolerance);
            EXPECT_NEAR(static_cast<double>(line.printed_intensity), truth[k].height, 0.05 * truth[k].height);
            if (k > 0) {
                EXPECT_GT(line.frequency, found.lines[k - 1].frequency);
            }
        }
        EXPECT_NEAR(found.fwhh.mean, fwhh, c.fwhh_tolerance);
    }
}

// [SECTION] Exact lines --------------------------------------------------------------

TEST(peak_scan, exact_parabolas_give_exact_widths_and_bars) {
    // top 1000, 400 and 10 over a flat 0; half heights crossed at 7 + 10/150,
    // 4 + 40/90 and 2 + 1/5 points on each side (0.5 MHz per point)
    Spectrum s = make_spectrum(100, 1000.0, 0.5, [](int32_t i) {
        return parabola_at(i, 20, 1000, 10) + parabola_at(i, 50, 400, 10) + parabola_at(i, 80, 10, 1);
    });
    PeakScanSettings settings = settings_for(s, 5, 7);
    settings.bar_scale = 800.0;
    ScanOutcome found = run_scan(s, settings);
    ASSERT_EQ(found.lines.size(), 3u);
    const double expected_fwhh[] = {7 + 1 / 15.0, 4 + 4 / 9.0, 2.2};
    const double expected_frequency[] = {1009.5, 1024.5, 1039.5};
    const int expected_bar[] = {32, 16, 0};     // 40.5 cut to 32; 16.5; 0.9
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_NEAR(found.lines[k].frequency, expected_frequency[k], 1e-6);
        EXPECT_NEAR(found.lines[k].fwhh, expected_fwhh[k], 1e-6);
        EXPECT_EQ(found.lines[k].bar_length, expected_bar[k]);
    }
}

TEST(peak_scan, bar_lengths) {
    struct Case {
        long long printed;
        double scale;
        int expected;
    };
    const Case cases[] = {
        {1000, 1000.0, 32}, {2000, 1000.0, 32},    // full, and cut to 32
        {15, 1000.0, 0},    {16, 1000.0, 1},        // 0.98 and 1.012 truncated
        {-500, 1000.0, 16}, {500, -1000.0, 16},     // the magnitude counts
        {0, 0.0, 0},        {5, 0.0, 32},           // 0/0 is no bar; x/0 a full one
    };
    for (const Case& c : cases)
        EXPECT_EQ(bar_length_of(c.printed, c.scale), c.expected) << c.printed << " over " << c.scale;
}

TEST(peak_scan, equal_widths_have_zero_spread) {
    // Summed as the scan sums them, these equal widths leave sum of squares / n
    // a little below the squared mean: the spread is 0, not the root of a
    // negative number.
    struct Case {
        double width;
        int32_t count;
    };
    for (const Case& c : {Case{0.1, 3}, Case{1.3, 7}, Case{4.2, 25}}) {
        PeakScan scan{};
        for (int32_t k = 0; k < c.count; ++k) {
            scan.fwhh_sum += c.width;
            scan.fwhh_sum_of_squares += c.width * c.width;
        }
        scan.identified = c.count;
        ASSERT_LT(scan.fwhh_sum_of_squares / c.count - (scan.fwhh_sum / c.count) * (scan.fwhh_sum / c.count), 0.0);
        FwhhSummary fwhh = summarise_fwhh(scan);
        EXPECT_DOUBLE_EQ(fwhh.mean, c.width);
        EXPECT_EQ(fwhh.spread, 0.0) << c.width << " x " << c.count;
    }

    // 26 copies of one line found by a scan
    Spectrum s = make_spectrum(2600, 86000.1, 0.07, [](int32_t i) { return parabola_at(i, 50 + (i - 1) / 100 * 100, 3000, 37); });
    ScanOutcome found = run_scan(s, settings_for(s, 100, 9));
    ASSERT_EQ(found.lines.size(), 26u);
    EXPECT_GT(found.fwhh.mean, 0.0);
    EXPECT_LT(found.fwhh.spread, 1e-6);
    EXPECT_FALSE(std::isnan(found.fwhh.spread));
}

// [SECTION] Where the scan looks ------------------------------------------------------

TEST(peak_scan, nothing_is_found_without_room_or_with_a_narrow_width) {
    Spectrum s = make_spectrum(100, 1000.0, 0.5, [](int32_t i) { return parabola_at(i, 50, 1000, 10); });
    struct Case {
        const char* what;
        int32_t first, last, fit_width;
        size_t expected;
    };
    const Case cases[] = {
        {"width 3: q is 0", 1, 100, 3, 0},
        {"range of 2w+1 points", 50 - 8, 50 + 6, 7, 0},
        {"range of 2w+2 points: one candidate index", 50 - 8, 50 + 7, 7, 1},
        {"range of 2w+2 points, line off the only index", 50 - 7, 50 + 8, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PeakScanSettings settings = settings_for(s, 5, c.fit_width);
        settings.first = c.first;
        settings.last = c.last;
        ScanOutcome found = run_scan(s, settings);
        EXPECT_EQ(found.lines.size(), c.expected);
        EXPECT_EQ(found.discarded, 0);
        if (c.expected == 0) {
            EXPECT_EQ(found.fwhh.mean, 0.0);
            EXPECT_EQ(found.fwhh.spread, 0.0);
        }
    }
}

TEST(peak_scan, maxima_closer_than_r_plus_one_are_reported_once) {
    // width 9: q = 2, r = 4; after a line at i the next index examined is i + 5
    for (int32_t gap : {3, 5}) {
        SCOPED_TRACE(testing::Message() << "gap " << gap);
        Spectrum s = make_spectrum(80, 1000.0, 0.5, [gap](int32_t i) {
            return i == 30 ? 100 : i == 30 + gap ? 90 : 0;
        });
        ScanOutcome found = run_scan(s, settings_for(s, 50, 9));
        EXPECT_EQ(found.lines.size(), gap == 3 ? 1u : 2u);
    }
}

TEST(peak_scan, half_height_search_stays_in_the_range_and_reuses_crossings) {
    // a line at 50 whose left half-height crossing (about 38.8) lies before the range
    Spectrum s = make_spectrum(100, 1000.0, 0.5, [](int32_t i) { return parabola_at(i, 50, 1000, 4); });
    PeakScanSettings settings = settings_for(s, 5, 7);
    settings.first = 42;
    HalfHeightMemory memory{1010.0, 0.0};
    PeakScan scan = start_peak_scan(s.frequency, s.intensity, settings);
    std::optional<FoundLine> line = next_peak(scan, memory);
    ASSERT_TRUE(line);
    const double right = 1024.5 + (11 + 16 / 92.0) * 0.5;
    EXPECT_NEAR(memory.right, right, 1e-6);
    EXPECT_EQ(memory.left, 1010.0);
    EXPECT_NEAR(line->fwhh, right - 1010.0, 1e-6);
}

TEST(peak_scan, long_half_height_walks_skip_blocks_with_the_same_result) {
    // The baseline is far from the data, so the half level is crossed only far
    // away: near the start of a long spectrum, and at a feature 200000 points
    // after the line. The block summaries (of every size, searched for points
    // at or below and at or above the level) must find the same pairs as a
    // point-by-point walk. The features are two points wide, so that no
    // feature is itself a candidate.
    const int32_t n = 1000000;
    const int32_t far = 700001;
    struct Case {
        const char* what;
        int32_t feature;        // value of the only points on the far side of the half level
        int16_t baseline;
    };
    for (const Case& c : {Case{"baseline far below", -20000, -12000}, Case{"baseline far above", 30000, 25000}}) {
        SCOPED_TRACE(c.what);
        Spectrum s = make_spectrum(n, 1000.0, 0.01, [&](int32_t i) {
            if (i == 3 || i == 4 || i == far || i == far + 1) return c.feature;
            return 5000 + static_cast<int32_t>(int64_t{i} * 7919 % 13) + parabola_at(i, 500000, 4000, 40);    // a rough floor and the line
        });
        PeakScanSettings settings = settings_for(s, 8500, 7);
        settings.baseline = c.baseline;
        ScanOutcome found = run_scan(s, settings);
        ASSERT_EQ(found.lines.size(), 1u);
        const FoundLine& line = found.lines[0];
        const double half = (line.peak_intensity + c.baseline) / 2;
        auto crossing = [&](int32_t a, int32_t b) {
            const size_t ia = static_cast<size_t>(a), ib = static_cast<size_t>(b);
            const double ya = s.intensity[ia], yb = s.intensity[ib];
            return s.frequency[ia] + (half - ya) * (s.frequency[ib] - s.frequency[ia]) / (yb - ya);
        };
        EXPECT_NEAR(line.fwhh, crossing(far - 1, far) - crossing(4, 5), 1e-9);
    }
}

// [SECTION] Acceptance and degenerate fits ---------------------------------------------

TEST(peak_scan, complete_spectrum_discards_and_counts_doubtful_lines) {
    // a clean line, a ragged one (large fit error) and one below the baseline level
    Spectrum s = make_spectrum(120, 1000.0, 0.5, [](int32_t i) {
        const int32_t ragged[] = {0, 50, 100, 300, 900, 250, 400, 0, 0};
        int32_t v = parabola_at(i, 20, 1000, 10);
        if (i >= 56 && i <= 64) v = ragged[i - 56];
        if (i == 100) v = 150;
        return v;
    });
    PeakScanSettings settings = settings_for(s, 100, 7, false, 0.05);
    settings.baseline = 200;
    ScanOutcome window = run_scan(s, settings);
    settings.discard_lines = true;
    ScanOutcome whole = run_scan(s, settings);
    ASSERT_EQ(window.lines.size(), 3u);
    EXPECT_EQ(window.discarded, 0);
    EXPECT_GT(window.lines[1].error, 3 * 0.05);
    EXPECT_LT(window.lines[2].printed_intensity, 0);
    ASSERT_EQ(whole.lines.size(), 1u);
    EXPECT_EQ(whole.discarded, 2);
    EXPECT_NEAR(whole.lines[0].frequency, 1009.5, 1e-6);

    // a negative nominal error discards every line
    settings.nominal_error = -1.0;
    ScanOutcome negative = run_scan(s, settings);
    EXPECT_TRUE(negative.lines.empty());
    EXPECT_EQ(negative.discarded, 3);
}

TEST(peak_scan, a_fit_without_vertex_is_no_line_at_zero) {
    // The candidate at 50 fits a vertex 46 points away, on flat data where
    // the refit has no curvature; the candidate at 53 is a proper line.
    Spectrum s = make_spectrum(200, 1000.0, 0.5, [](int32_t i) { return i == 50 ? 10 : i == 53 ? 59 : 0; });
    for (bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "complete spectrum" : "current window");
        ScanOutcome found = run_scan(s, settings_for(s, 5, 7, whole, 10.0));
        ASSERT_EQ(found.lines.size(), 1u);
        EXPECT_NEAR(found.lines[0].frequency, 1026.0, 1.0);
        EXPECT_EQ(found.discarded, whole ? 1 : 0);
    }
}

}  // namespace
}  // namespace tarno
