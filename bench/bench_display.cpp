// Display benchmarks: whole frames as the display loop draws them (snap,
// clear, box, curve, cursor, marker scale, status rows) on the headless
// window in the display's reduced height, in milliseconds per frame:
//   frame_decimated_10M   the whole 10,000,000-point spectrum in view (decimated)
//   frame_points_display  7,000 intervals, every point drawn
//   frame_interp          300 intervals, interpolated
// The first is also the frame a held S or A key draws: it stays well below a
// key-repeat interval (about 33 ms), so held keys leave no backlog.
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "bench/bench_spectrum.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int32_t BENCH_POINTS = MAX_POINTS;
constexpr int FRAME_REPEATS = 20;

// A synthetic 10M-point recording (noise, a slow baseline and lines up and
// down) and a display initialised on it, once per run.
static void prepare_display() {
    static bool prepared = false;
    if (prepared) return;
    prepared = true;
    fill_bench_spectrum(BENCH_POINTS, 12345, [](int32_t i, uint32_t noise) {
        int32_t v = static_cast<int32_t>(noise >> 24) - 128 + static_cast<int32_t>(300 * std::sin(i * 1e-5));
        if (i % 49999 == 0) v += (i % 3 == 0 ? -5000 : 8000);
        return v;
    });
    start_bench_display();
}

// Milliseconds per frame for a view of `intervals` intervals from point 1000.
static double time_frames(int32_t first, int32_t intervals) {
    prepare_display();
    double ms = 0;
    headless::run([&] {
        auto set_view = [&] {
            display.view_low = spectrum.frequency[first];
            display.view_high = spectrum.frequency[first + intervals];
        };
        set_view();
        draw_frame();   // warm-up
        auto start = std::chrono::steady_clock::now();
        for (int k = 0; k < FRAME_REPEATS; ++k) {
            set_view();
            draw_frame();
        }
        ms = seconds_since(start) * 1000.0 / FRAME_REPEATS;
    });
    return ms;
}

static std::vector<Figure> frame_decimated_10M() {
    return {{"frame_decimated_10M", time_frames(1, BENCH_POINTS - 1), "ms"}};
}
TARNO_BENCH(frame_decimated_10M);

static std::vector<Figure> frame_points_display() {
    return {{"frame_points_display", time_frames(1000, 7000), "ms"}};
}
TARNO_BENCH(frame_points_display);

static std::vector<Figure> frame_interp() {
    return {{"frame_interp", time_frames(1000, 300), "ms"}};
}
TARNO_BENCH(frame_interp);

}  // namespace tarno::bench
