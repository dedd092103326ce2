// Window benchmark: one full frame of the display as the window layer sees it.
//   frame_points: clear the plot viewport, an 8000-vertex polyline in world
//   coordinates, the frame box and 30 console rows of 80 characters (ms per
//   frame, the best of ten batches of ten frames).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "bench/bench.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno::bench {

constexpr int FRAME_VERTICES = 8000;
constexpr int FRAME_BATCHES = 10;   // the best batch counts: the machine is shared, stalls are not the frame's
constexpr int FRAMES_PER_BATCH = 10;

// Draws one display-like frame.
static void draw_frame(const std::vector<double>& values, int frame) {
    set_viewport(0, 36, 799, 503);
    set_background_color(COLOR_BLACK);
    clear_screen(1);
    set_world_window(true, 0.0, -1.5, double(FRAME_VERTICES - 1), 1.5);
    set_color(COLOR_WHITE);
    move_to_world(0.0, values[0]);
    for (int i = 1; i < FRAME_VERTICES; ++i) line_to_world(double(i), values[size_t(i)]);
    set_color(COLOR_LIGHT_GREY);
    fill_rectangle_world(RECTANGLE_BORDER, 0.0, -1.5, double(FRAME_VERTICES - 1), 1.5);
    set_viewport(0, 0, 799, 539);
    set_text_color(frame % 2 ? COLOR_BLACK : COLOR_BLUE);
    set_background_color(COLOR_LIGHT_GREY);
    for (int row = 1; row <= 30; ++row) {
        set_text_position(row, 1);
        write_text(std::string(80, char('A' + (row + frame) % 26)));
    }
}

static std::vector<Figure> frame_points() {
    headless::start(800, 540);
    init_fonts();
    std::vector<double> values(FRAME_VERTICES);
    for (int i = 0; i < FRAME_VERTICES; ++i) values[size_t(i)] = std::sin(i * 0.37) * std::cos(i * 0.011);
    draw_frame(values, 0);  // warm-up: glyph cache, pages
    double best = 1e30;
    for (int batch = 0; batch < FRAME_BATCHES; ++batch) {
        auto start = std::chrono::steady_clock::now();
        for (int frame = 1; frame <= FRAMES_PER_BATCH; ++frame) draw_frame(values, frame);
        best = std::min(best, seconds_since(start) * 1000.0 / FRAMES_PER_BATCH);
    }
    return {{"frame_points", best, "ms"}};
}
TARNO_BENCH(frame_points);

}  // namespace tarno::bench
