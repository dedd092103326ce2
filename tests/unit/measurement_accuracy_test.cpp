// How well O finds the centre of an isolated line: bias and scatter of the
// fitted frequency against the true centre, in point steps, for the line shape
// of frequency-modulation spectra (second derivative of a Lorentzian or a
// Gaussian, centre lobe pointing up), over fitting widths and noise levels.
//
// These are figures to know, not thresholds, so the study is disabled in the
// normal test run. Run it with
//   build/unit_measurement_accuracy_test --gtest_also_run_disabled_tests
// The default line is the demo recording's (tools/demo): a Lorentzian of half
// width 0.35 MHz at 0.05 MHz per point, i.e. 7 points, whose centre lobe is
// 4.6 points wide at half height. TARNO_LINE_HALF_WIDTH=<points> sets another.
// Noise is given as a fraction of the line's peak: the demo's weakest lines
// have 20 %, its typical ones a few per cent.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "app/records.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/measurement.hpp"
#include "window/headless.hpp"

namespace {

using namespace tarno;

constexpr int POINTS = 1200;        // every-point frame over the whole spectrum
constexpr double F0 = 100000.0;
constexpr double STEP = 0.05;
constexpr double AMPLITUDE = 10000;
constexpr double BASE = 500;
constexpr int TRIALS = 2000;

enum Shape { Shape_Lorentzian2f, Shape_Gaussian2f };

// Centre lobe of the second derivative, normalised to 1 at u = 0 (u in units of
// the width parameter), sign turned so the lobe points up.
double lobe(Shape shape, double u) {
    if (shape == Shape_Lorentzian2f) return (1 - 3 * u * u) / std::pow(1 + u * u, 3);
    return (1 - u * u) * std::exp(-u * u / 2);
}

// Full width of the centre lobe at half its height, in points, for width parameter w.
double lobe_fwhh(Shape shape, double w) {
    double lo = 0, hi = 3;
    for (int k = 0; k < 100; ++k) {
        double mid = (lo + hi) / 2;
        (lobe(shape, mid) > 0.5 ? lo : hi) = mid;
    }
    return 2 * lo * w;
}

struct Figures {
    double bias, scatter;   // over all measured lines (point steps)
    int lost;               // fits more than one point away from the true centre
    double core_scatter;    // scatter of the others (point steps)
    int refused;
};

// Measures TRIALS lines at random sub-point centres with noise of `noise`
// (standard deviation, as a fraction of the amplitude).
Figures study(Shape shape, int fit_width, double w, double noise, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> offset(-0.5, 0.5);
    std::normal_distribution<double> gauss(0.0, noise * AMPLITUDE);
    const int centre_point = POINTS / 2;
    double sum = 0, sum2 = 0, core2 = 0;
    int measured = 0, refused = 0, lost = 0;
    for (int t = 0; t < TRIALS; ++t) {
        const double x0 = centre_point + offset(rng);
        for (int i = 1; i <= POINTS; ++i) {
            double v = BASE + AMPLITUDE * lobe(shape, (i - x0) / w) + (noise > 0 ? gauss(rng) : 0);
            spectrum.intensity[i] = static_cast<int32_t>(v);
        }
        display.mean_intensity = BASE;
        display.fit_width = static_cast<int16_t>(fit_width);
        display.cursor_index = centre_point + 1;     // on the flank, as a user would place it
        display.cursor_freq = spectrum.frequency[centre_point + 1];
        LineMeasurement r = find_line();
        if (r.failed) {
            ++refused;
            continue;
        }
        const double error_points = (r.frequency - (F0 + (x0 - 1) * STEP)) / STEP;
        sum += error_points;
        sum2 += error_points * error_points;
        ++measured;
        if (std::fabs(error_points) > 1) ++lost;
        else core2 += error_points * error_points;
    }
    const double mean = measured ? sum / measured : 0;
    const double var = measured > 1 ? (sum2 - measured * mean * mean) / (measured - 1) : 0;
    const int core = measured - lost;
    return {mean, std::sqrt(std::max(var, 0.0)), lost, core > 0 ? std::sqrt(core2 / core) : 0, refused};
}

TEST(measurement_accuracy, DISABLED_isolated_lines) {
    headless::start(800, 540);
    screen.screen_width = 799;
    screen.screen_height = 539;
    screen.text_rows = 30;
    screen.row_height = 18;
    display = DisplayState{};
    spectrum.point_count = POINTS;
    for (int i = 1; i <= POINTS; ++i) {
        spectrum.frequency[i] = F0 + (i - 1) * STEP;
        spectrum.intensity[i] = static_cast<int32_t>(BASE);
    }
    display.y_low = BASE - AMPLITUDE;
    display.y_high = BASE + 1.2 * AMPLITUDE;
    display.view_low = spectrum.frequency[1];
    display.view_high = spectrum.frequency[POINTS];
    display.cursor_freq = spectrum.frequency[POINTS / 2];
    set_display_viewport();
    draw_frame();
    ASSERT_EQ(display.expansion, 1);

    const char* env = std::getenv("TARNO_LINE_HALF_WIDTH");
    const double w = env ? std::atof(env) : 0.35 / 0.05;
    std::printf("width parameter %.2f points, %d lines per figure, bias/scatter in point steps\n", w, TRIALS);
    std::printf("%-14s %5s %8s %10s %10s %6s %12s %8s\n", "shape", "width", "noise", "bias", "scatter", "lost",
                "rms(kept)", "refused");
    for (Shape shape : {Shape_Lorentzian2f, Shape_Gaussian2f}) {
        std::printf("%s: centre lobe %.2f points wide at half height\n",
                    shape == Shape_Lorentzian2f ? "Lorentzian 2f" : "Gaussian 2f", lobe_fwhh(shape, w));
        for (int width : {5, 7, 11}) {
            for (double noise : {0.0, 0.01, 0.05, 0.20}) {
                Figures f = study(shape, width, w, noise, 1234u + width);
                std::printf("%-14s %5d %7.0f%% %+10.4f %10.4f %6d %12.4f %8d\n",
                            shape == Shape_Lorentzian2f ? "Lorentzian 2f" : "Gaussian 2f", width, noise * 100,
                            f.bias, f.scatter, f.lost, f.core_scatter, f.refused);
            }
        }
    }
}

}  // namespace
