// Measurement benchmark: key O with the whole 10,000,000-point spectrum in
// view, in milliseconds per measurement. The fit itself is tiny; the time is
// the point-by-point redraw of every point in view that the result shows.
//   measure_whole_10M   search, fits, redraw of 10M points, parabola, marks, rows
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "bench/bench_spectrum.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/measurement.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int32_t LINE_SPACING = 50000;     // points between lines
constexpr int MEASURE_REPEATS = 3;

// A 10M-point spectrum of Gaussian lines on noise, displayed whole, the cursor
// on the flank of the line nearest the middle.
static void prepare_measurement() {
    fill_bench_spectrum(MAX_POINTS, 777, [](int32_t i, uint32_t noise) {
        const double u = (i % LINE_SPACING - LINE_SPACING / 2) / 3.0;
        return static_cast<int32_t>(noise >> 26) + static_cast<int32_t>(8000 * std::exp(-u * u / 2));
    });
    start_bench_display();
}

static std::vector<Figure> measure_whole_10M() {
    prepare_measurement();
    double ms = 0;
    bool failed = false;
    headless::run([&] {
        display.view_low = spectrum.frequency[1];
        display.view_high = spectrum.frequency[MAX_POINTS];
        display.cursor_freq = spectrum.frequency[100 * LINE_SPACING + LINE_SPACING / 2 - 2];
        draw_frame();
        auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < MEASURE_REPEATS; ++k) failed |= measure_line().failed;
        ms = seconds_since(start) * 1000.0 / MEASURE_REPEATS;
    });
    if (failed) return {{"measure_whole_10M_refused", 1, "flag"}};
    return {{"measure_whole_10M", ms, "ms"}};
}
TARNO_BENCH(measure_whole_10M);

}  // namespace tarno::bench
