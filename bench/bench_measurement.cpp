// Measurement benchmark: key O with the whole 10,000,000-point spectrum in
// view, in milliseconds per measurement. The fit itself is tiny; the time is
// the point-by-point redraw of every point in view that the result shows.
//   measure_whole_10M   search, fits, redraw of 10M points, parabola, marks, rows
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>   // getpid: a config directory of this run
#include <vector>

#include "app/records.hpp"
#include "app/startup.hpp"
#include "bench/bench.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/measurement.hpp"
#include "exchange/exchange_block.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int32_t LINE_SPACING = 50000;     // points between lines
constexpr int MEASURE_REPEATS = 3;

// A 10M-point spectrum of Gaussian lines on noise, displayed whole, the cursor
// on the flank of the line nearest the middle.
static void prepare_measurement() {
    SpectrumRecord& s = spectrum;
    s.point_count = MAX_POINTS;
    uint32_t noise = 777;
    s.intensity_min = 0;
    s.intensity_max = 0;
    for (int32_t i = 1; i <= MAX_POINTS; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const double u = (i % LINE_SPACING - LINE_SPACING / 2) / 3.0;
        const int32_t v = static_cast<int32_t>(noise >> 26) + static_cast<int32_t>(8000 * std::exp(-u * u / 2));
        s.frequency[i] = 200000.0 + (i - 1) * 0.05;
        s.intensity[i] = v;
        s.intensity_min = std::min(s.intensity_min, v);
        s.intensity_max = std::max(s.intensity_max, v);
    }
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[MAX_POINTS];
    s.freq_step = 0.05;

    std::string config_home = "/tmp/tarno-bench-config-" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    headless::start(800, 540);
    use_private_exchange_block();
    set_text_field(text.data_file_name, "bench.spe");
    headless::run([] {
        int32_t found = 0;
        STARTG(found);
        initialise_display();
    });
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
