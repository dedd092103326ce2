// The curve through every point draws many points per pixel column as one
// vertical run (window polyline_to_world). The framebuffer must be exactly
// what one line_to_world per point draws: random, line and flat spectra at
// several zooms, and raw polylines in every write mode and line style,
// reaching far outside the viewport.
#include <cmath>
#include <random>
#include <vector>

#include "display/frame.hpp"
#include "display/point_index.hpp"
#include "tests/flow/display_flow.hpp"

namespace tarno::testing {
namespace {

constexpr int WIDTH = 800, HEIGHT = 540;

std::vector<uint32_t> framebuffer() {
    std::vector<uint32_t> pixels;
    pixels.reserve(size_t(WIDTH) * HEIGHT);
    for (int y = 0; y < HEIGHT; ++y)
        for (int x = 0; x < WIDTH; ++x) {
            Rgb p = headless::pixel(x, y);
            pixels.push_back(uint32_t(p.r) << 16 | uint32_t(p.g) << 8 | p.b);
        }
    return pixels;
}

// Index of the first differing pixel, or -1.
long first_difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    for (size_t k = 0; k < a.size(); ++k)
        if (a[k] != b[k]) return long(k);
    return -1;
}

// The curve as it was drawn before: one line per point.
void draw_every_point_one_by_one() {
    const DisplayState& d = display;
    auto clamped = [&](double v) { return std::clamp(v, d.y_floor, std::max(d.y_floor, d.y_high)); };
    move_to_world(d.view_low, clamped(index_intensity(d.first_index)));
    for (int32_t i = d.first_index + 1; i <= d.last_index; ++i)
        line_to_world(index_frequency(i), clamped(index_intensity(i)));
}

class DenseCurve : public DisplayFlow {};

TEST_F(DenseCurve, every_point_curve_is_pixel_identical_to_point_by_point_lines) {
    constexpr int32_t N = 300000;
    struct Kind { const char* name; std::function<int32_t(int32_t)> value; };
    const Kind kinds[] = {
        {"random", [](int32_t i) { return int32_t((uint32_t(i) * 2654435761u) >> 18) - 8000; }},
        {"lines", [](int32_t i) {
             const double u = (i % 20000 - 10000) / 4.0;
             return int32_t(((uint32_t(i) * 2654435761u) >> 26) + 9000 * std::exp(-u * u / 2));
         }},
        {"flat", [](int32_t) { return 1234; }},
    };
    // Spans of the view in points: whole, dense, near one point per column, sparse.
    const double spans[] = {N + 5000.0, 60000, 2500, 900, 130};
    for (const Kind& kind : kinds) {
        load_spectrum(N, 1000.0, 0.25, kind.value);
        headless::run([] { initialise_display(); });
        for (double span : spans) {
            headless::run([&] {
                DisplayState& d = display;
                d.view_low = 1000.0 + 0.25 * (N / 3.0 - span / 2);
                d.view_high = d.view_low + 0.25 * span;
                d.cursor_freq = (d.view_low + d.view_high) / 2;
                draw_frame();
                // A vertical window cutting the highest points, as after a zoom in intensity.
                d.y_high = d.y_low + 0.8 * (d.y_high - d.y_low);
                set_write_mode(WRITE_MODE_COPY);
                set_line_style(0xFFFF);
                set_color(15);
                clear_screen(1);
            });
            headless::run([] { draw_every_point(); });
            std::vector<uint32_t> fast = framebuffer();
            headless::run([] { clear_screen(1); draw_every_point_one_by_one(); });
            std::vector<uint32_t> slow = framebuffer();
            long k = first_difference(fast, slow);
            EXPECT_EQ(k, -1) << kind.name << ", " << span << " points in view: pixel (" << k % WIDTH << ", "
                             << k / WIDTH << ") differs";
            EXPECT_NE(first_difference(slow, std::vector<uint32_t>(slow.size(), slow[size_t(WIDTH) * 100 + 1])), -1)
                << kind.name << ": nothing drawn";
        }
    }
}

TEST_F(DenseCurve, polyline_matches_lines_in_every_mode_and_style) {
    std::mt19937 random(4242);
    std::uniform_real_distribution<double> wobble(-1.0, 1.0);
    headless::run([] {
        set_viewport(10, 20, 700, 500);
        set_world_window(true, 0.0, 0.0, 1000.0, 100.0);
    });
    struct Setting { int mode; uint16_t style; };
    const Setting settings[] = {{WRITE_MODE_COPY, 0xFFFF}, {WRITE_MODE_XOR, 0xFFFF},
                                {WRITE_MODE_COPY, 0x9999}, {0, 0xFFFF}, {2, 0xFFFF}, {WRITE_MODE_XOR, 0xEEEE}};
    for (const Setting& setting : settings) {
        // Dense columns, steps far outside the viewport (and the drawing limits), back inside.
        std::vector<double> xs, ys;
        double x = -50;
        for (int k = 0; k < 20000; ++k) {
            x += 0.07 + 0.05 * wobble(random);
            double y = 50 + 45 * std::sin(k / 300.0) + 20 * wobble(random);
            if (k % 4000 == 1000) y = 1e12;
            if (k % 4000 == 2000) y = -300;
            xs.push_back(k % 5000 == 3000 ? 1e15 : x);
            ys.push_back(y);
        }
        auto prepare = [&] {
            set_write_mode(WRITE_MODE_COPY);
            set_background_color(1);
            clear_screen(1);
            set_write_mode(setting.mode);
            set_line_style(setting.style);
            set_color(14);
            move_to_world(-60, 50);
        };
        headless::run([&] {
            prepare();
            for (size_t k = 0; k < xs.size(); k += 777) {
                size_t n = std::min<size_t>(777, xs.size() - k);
                polyline_to_world(std::span<const double>(&xs[k], n), std::span<const double>(&ys[k], n));
            }
            line_to_world(1100, 10);   // continues from the last position with the same style phase
        });
        std::vector<uint32_t> fast = framebuffer();
        headless::run([&] {
            prepare();
            for (size_t k = 0; k < xs.size(); ++k) line_to_world(xs[k], ys[k]);
            line_to_world(1100, 10);
        });
        std::vector<uint32_t> slow = framebuffer();
        long k = first_difference(fast, slow);
        EXPECT_EQ(k, -1) << "mode " << setting.mode << ", style " << std::hex << setting.style << std::dec
                         << ": pixel (" << k % WIDTH << ", " << k / WIDTH << ") differs";
    }
}

}  // namespace
}  // namespace tarno::testing
