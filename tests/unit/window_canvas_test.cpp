// The drawing surface: colours, world mapping, lines (style, clipping, end
// points, exclusive-or), rectangles and flood fill, checked pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "window/headless.hpp"
#include "window/window.hpp"

using namespace tarno;

namespace {

constexpr Rgb BLACK{0, 0, 0};
constexpr Rgb WHITE{255, 255, 255};
constexpr Rgb YELLOW{255, 255, 0};

// Every pixel of the window, for exact before/after comparisons.
std::vector<Rgb> snapshot() {
    std::vector<Rgb> pixels;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 800; ++x) pixels.push_back(headless::pixel(x, y));
    return pixels;
}

int count_pixels(Rgb colour, int x1 = 0, int y1 = 0, int x2 = 799, int y2 = 539) {
    int n = 0;
    for (int y = y1; y <= y2; ++y)
        for (int x = x1; x <= x2; ++x) n += headless::pixel(x, y) == colour;
    return n;
}

class Canvas : public ::testing::Test {
protected:
    void SetUp() override { headless::start(800, 540); }
};

TEST_F(Canvas, colour_indices_are_clamped_and_the_background_refuses_out_of_range) {
    struct Case { int index; Rgb shown; };
    const Case cases[] = {{16, WHITE}, {300, WHITE}, {-1, BLACK}, {-100, BLACK}, {14, YELLOW}};
    for (const Case& c : cases) {
        set_color(c.index);
        move_to(10, 10);
        line_to(10, 10);
        EXPECT_EQ(headless::pixel(10, 10), c.shown) << "graphics colour " << c.index;
        set_text_color(c.index);
        set_text_position(2, 1);
        write_text("\xdb");  // any glyph: check the recorded colour
        EXPECT_EQ(headless::cell_text_color(2, 1), std::clamp(c.index, 0, 15)) << "text colour " << c.index;
    }
    EXPECT_EQ(set_color(3), 14) << "returns the previous (clamped) index";

    set_background_color(7);
    EXPECT_EQ(set_background_color(256), 7);
    EXPECT_EQ(set_background_color(-1), 7);
    EXPECT_EQ(set_background_color(2), 7) << "256 and -1 were refused";
    // 16..255 are accepted; with 16 palette entries they show as the last one.
    set_background_color(200);
    clear_screen(0);
    EXPECT_EQ(headless::pixel(400, 300), WHITE);
    EXPECT_EQ(set_background_color(0), 200);
}

TEST_F(Canvas, world_window_maps_to_the_nearest_pixel) {
    set_viewport(100, 50, 200, 150);  // 101 x 101 pixels
    ASSERT_TRUE(set_world_window(false, 0.0, 0.0, 1.0, 1.0));
    set_color(15);
    // px = 0 + (x - 0) * 100 / 1, rounded: 0.504 -> 50, 0.506 -> 51
    move_to_world(0.504, 0.0);
    line_to_world(0.504, 0.0);
    move_to_world(0.506, 1.0);
    line_to_world(0.506, 1.0);
    EXPECT_EQ(headless::pixel(150, 50), WHITE);
    EXPECT_EQ(headless::pixel(151, 150), WHITE);

    // Inverted: y grows upwards, y1 on the bottom edge.
    ASSERT_TRUE(set_world_window(true, 0.0, 0.0, 1.0, 1.0));
    set_color(14);
    move_to_world(0.0, 0.0);
    line_to_world(0.0, 0.0);
    move_to_world(1.0, 1.0);
    line_to_world(1.0, 1.0);
    EXPECT_EQ(headless::pixel(100, 150), YELLOW);
    EXPECT_EQ(headless::pixel(200, 50), YELLOW);
}

TEST_F(Canvas, equal_world_bounds_are_refused_and_reversed_bounds_swapped) {
    set_viewport(0, 0, 100, 100);
    ASSERT_TRUE(set_world_window(false, 0.0, 0.0, 10.0, 10.0));
    EXPECT_FALSE(set_world_window(false, 5.0, 0.0, 5.0, 10.0));
    EXPECT_FALSE(set_world_window(false, 0.0, 3.0, 10.0, 3.0));
    EXPECT_FALSE(set_world_window(false, 0.0, 0.0, NAN, 1.0));
    set_color(15);
    move_to_world(5.0, 5.0);
    line_to_world(5.0, 5.0);
    EXPECT_EQ(headless::pixel(50, 50), WHITE) << "the previous window is still in force";

    ASSERT_TRUE(set_world_window(false, 10.0, 10.0, 0.0, 0.0));
    set_color(14);
    move_to_world(2.0, 3.0);
    line_to_world(2.0, 3.0);
    EXPECT_EQ(headless::pixel(20, 30), YELLOW) << "reversed bounds map like the swapped ones";
}

TEST_F(Canvas, lines_draw_the_end_point_except_in_xor_mode) {
    set_color(15);
    move_to(10, 10);
    line_to(20, 10);
    EXPECT_EQ(count_pixels(WHITE), 11);
    set_write_mode(WRITE_MODE_XOR);
    set_color(14);
    move_to(10, 20);
    line_to(20, 20);
    EXPECT_EQ(count_pixels(YELLOW), 10);
    EXPECT_EQ(headless::pixel(20, 20), BLACK);
}

TEST_F(Canvas, xor_polyline_toggles_each_pixel_once_and_twice_restores) {
    // A scene with text, a curve and graphics text under the cursor.
    set_background_color(7);
    clear_screen(0);
    set_text_color(0);
    set_text_position(5, 1);
    console_write("Frequency 123456.789 MHz");
    set_color(15);
    move_to(0, 300);
    for (int x = 1; x < 800; ++x) line_to(x, 300 + int(80 * std::sin(x * 0.05)));
    init_fonts();
    select_font("t'Arial'h20w10");
    set_color(12);
    move_to(200, 60);
    draw_text("version 5.VII.2006");
    const std::vector<Rgb> before = snapshot();

    set_write_mode(WRITE_MODE_XOR);
    set_color(14);
    auto cursor = [] {
        move_to(210, 0);
        line_to(210, 539);
        move_to(0, 70);  // a closed polyline over text and curve
        line_to(400, 70);
        line_to(400, 350);
        line_to(0, 350);
        line_to(0, 70);
        move_to(5, 530);  // a steep diagonal
        line_to(300, 2);
    };
    cursor();
    // Corner (400, 70) is on two segments and must be toggled once, not twice.
    Rgb corner_before = before[70 * 800 + 400];
    Rgb corner_now = headless::pixel(400, 70);
    EXPECT_EQ(corner_now, (Rgb{uint8_t(corner_before.r ^ 255), uint8_t(corner_before.g ^ 255), corner_before.b}));
    cursor();
    EXPECT_TRUE(snapshot() == before) << "drawing the cursor twice restores every pixel";
}

TEST_F(Canvas, line_style_mask_advances_per_pixel) {
    set_color(15);
    set_line_style(0xEEEE);  // 1110 repeated: three on, one off
    move_to(0, 5);
    line_to(15, 5);
    std::string drawn;
    for (int x = 0; x < 16; ++x) drawn += headless::pixel(x, 5) == WHITE ? '1' : '0';
    EXPECT_EQ(drawn, "1110111011101110");

    set_line_style(0x9999);  // 1001 1001 ...; the pattern continues along a polyline
    move_to(0, 7);
    line_to(5, 7);
    line_to(11, 7);
    drawn.clear();
    for (int x = 0; x < 12; ++x) drawn += headless::pixel(x, 7) == WHITE ? '1' : '0';
    EXPECT_EQ(drawn, "100110011001");
}

TEST_F(Canvas, lines_are_clipped_to_the_viewport_with_the_same_pixels_inside) {
    struct Segment { int x0, y0, x1, y1; };
    const Segment segments[] = {
        {-50, 20, 250, 170}, {120, -40, 60, 300}, {-10, -10, 310, 205}, {300, 100, -5, 101}, {150, -400, 151, 900},
    };
    for (const Segment& seg : segments) {
        // Unclipped reference over the whole window, offset so it lies inside.
        headless::start(800, 540);
        set_color(15);
        move_to(seg.x0 + 400, seg.y0 + 200);
        line_to(seg.x1 + 400, seg.y1 + 200);
        std::vector<Rgb> reference = snapshot();

        headless::start(800, 540);
        set_viewport(450, 250, 650, 350);  // the reference's (50,50)-(250,150)
        set_color(15);
        move_to(seg.x0 - 50, seg.y0 - 50);
        line_to(seg.x1 - 50, seg.y1 - 50);
        for (int y = 0; y < 540; ++y)
            for (int x = 0; x < 800; ++x) {
                bool inside = x >= 450 && x <= 650 && y >= 250 && y <= 350;
                Rgb expected = inside ? reference[y * 800 + x] : BLACK;
                ASSERT_EQ(headless::pixel(x, y), expected)
                    << "segment (" << seg.x0 << "," << seg.y0 << ")-(" << seg.x1 << "," << seg.y1 << ") at " << x << "," << y;
            }
    }
}

// What a write mode (0 OR, 1 AND, 2 inverse copy, 3 copy, 4 exclusive-or) makes of a pixel.
Rgb combined(Rgb pixel, Rgb colour, int mode) {
    switch (mode) {
    case 0: return {uint8_t(pixel.r | colour.r), uint8_t(pixel.g | colour.g), uint8_t(pixel.b | colour.b)};
    case 1: return {uint8_t(pixel.r & colour.r), uint8_t(pixel.g & colour.g), uint8_t(pixel.b & colour.b)};
    case 2: return {uint8_t(~colour.r), uint8_t(~colour.g), uint8_t(~colour.b)};
    case WRITE_MODE_XOR: return {uint8_t(pixel.r ^ colour.r), uint8_t(pixel.g ^ colour.g), uint8_t(pixel.b ^ colour.b)};
    default: return colour;
    }
}

// The reference line, straight from its definition: step k = 0..n of a line of
// major length n and minor length dn lies at major m0 + k and minor
// n0 + ⌊(2k·dn + n)/(2n)⌋ (each in the line's direction); exclusive-or leaves
// out step n; a step is drawn when bit (phase + k) mod 16 of the style, from
// the top, is set and the pixel lies in the clip rectangle.
struct ReferenceLine {
    int x1, y1, x2, y2;  // clip rectangle (window pixels, inclusive)
    int origin_x, origin_y;
    uint16_t style;
    int mode;
    Rgb colour;
    int phase = 0;
    void draw(std::vector<Rgb>& image, int width, int x0, int y0, int x1_, int y1_) {
        const int dx = x1_ - x0, dy = y1_ - y0;
        const long long n = std::max(std::abs(dx), std::abs(dy));
        const bool x_major = std::abs(dx) >= std::abs(dy);
        const long long dn = x_major ? std::abs(dy) : std::abs(dx);
        const long long steps = mode == WRITE_MODE_XOR ? n - 1 : n;
        for (long long k = 0; k <= steps; ++k) {
            long long along = k, across = n == 0 ? 0 : (2 * k * dn + n) / (2 * n);
            long long x = x0 + (dx < 0 ? -1 : 1) * (x_major ? along : across);
            long long y = y0 + (dy < 0 ? -1 : 1) * (x_major ? across : along);
            x += origin_x;
            y += origin_y;
            bool styled = (style >> (15 - (phase + k) % 16)) & 1;
            if (styled && x >= x1 && x <= x2 && y >= y1 && y <= y2) {
                Rgb& pixel = image[size_t(y) * width + size_t(x)];
                pixel = combined(pixel, colour, mode);
            }
        }
        phase = int((phase + n) % 16);
    }
};

TEST_F(Canvas, random_polylines_match_the_reference_line) {
    constexpr int WIDTH = 160, HEIGHT = 120;
    constexpr int CASES = 400;
    const int spans[] = {3, 40, 200, 30000};  // end points within ±span of the viewport: short lines to long clipped ones
    std::mt19937_64 random(20261211);
    auto any = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    for (int trial = 0; trial < CASES; ++trial) {
        headless::start(WIDTH, HEIGHT);
        // A patchwork background, so every write mode shows what it did.
        for (int patch = 0; patch < 6; ++patch) {
            set_background_color(any(0, 15));
            set_viewport(any(0, WIDTH), any(0, HEIGHT), any(0, WIDTH), any(0, HEIGHT));
            clear_screen(1);
        }
        std::vector<Rgb> expected;
        for (int y = 0; y < HEIGHT; ++y)
            for (int x = 0; x < WIDTH; ++x) expected.push_back(headless::pixel(x, y));

        const int vx1 = any(-20, WIDTH), vy1 = any(-20, HEIGHT), vx2 = any(vx1, WIDTH + 20), vy2 = any(vy1, HEIGHT + 20);
        const uint16_t style = any(0, 2) == 0 ? 0xFFFF : uint16_t(any(0, 0xFFFF));
        const int mode = any(0, 4), colour = any(0, 15), span = spans[any(0, 3)];
        set_viewport(vx1, vy1, vx2, vy2);
        set_line_style(style);
        set_write_mode(mode);
        set_color(colour);
        ReferenceLine reference{std::max(vx1, 0), std::max(vy1, 0), std::min(vx2, WIDTH - 1), std::min(vy2, HEIGHT - 1),
                                vx1, vy1, style, mode, palette_rgb(colour)};
        auto any_point = [&] { return std::pair{any(-span, vx2 - vx1 + span), any(-span, vy2 - vy1 + span)}; };
        auto [x, y] = any_point();
        move_to(x, y);
        std::string path = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
        for (int segment = any(1, 3); segment > 0; --segment) {
            auto [next_x, next_y] = any_point();
            if (any(0, 5) == 0) next_x = x;  // some vertical and single-pixel segments
            line_to(next_x, next_y);
            reference.draw(expected, WIDTH, x, y, next_x, next_y);
            x = next_x;
            y = next_y;
            path += "-(" + std::to_string(x) + "," + std::to_string(y) + ")";
        }
        for (int py = 0; py < HEIGHT; ++py)
            for (int px = 0; px < WIDTH; ++px)
                ASSERT_EQ(headless::pixel(px, py), expected[size_t(py) * WIDTH + px])
                    << "trial " << trial << " at " << px << "," << py << ": viewport (" << vx1 << "," << vy1 << ")-(" << vx2
                    << "," << vy2 << ") style " << style << " mode " << mode << " path " << path;
    }
}

TEST_F(Canvas, far_away_world_points_are_clipped_without_trouble) {
    set_viewport(0, 0, 799, 539);
    set_world_window(false, 0.0, 0.0, 1.0, 1.0);
    set_color(15);
    move_to_world(-1e12, 0.5);
    line_to_world(1e12, 0.5);
    EXPECT_EQ(count_pixels(WHITE), 800);
    move_to_world(0.5, 1e300);
    line_to_world(0.5, -1e300);
    EXPECT_EQ(headless::pixel(400, 0), WHITE);
    EXPECT_EQ(headless::pixel(400, 539), WHITE);
}

TEST_F(Canvas, flood_fill_stops_at_the_border_colour_and_the_viewport) {
    set_background_color(7);
    clear_screen(0);
    set_viewport(100, 100, 300, 300);
    set_world_window(false, 0.0, 0.0, 200.0, 200.0);
    set_color(15);
    fill_rectangle_world(RECTANGLE_BORDER, 20.0, 20.0, 120.0, 80.0);
    set_color(1);
    flood_fill(50, 50, 15);
    EXPECT_EQ(headless::pixel(150, 150), (Rgb{0, 0, 128})) << "inside the box";
    EXPECT_EQ(headless::pixel(120, 120), WHITE) << "the border stays";
    EXPECT_EQ(headless::pixel(110, 110), (Rgb{192, 192, 192})) << "outside the box";
    EXPECT_EQ(count_pixels({0, 0, 128}), 99 * 59);

    // Without a border in reach the fill ends at the viewport.
    set_color(2);
    flood_fill(5, 5, 15);
    EXPECT_EQ(headless::pixel(100, 100), (Rgb{0, 128, 0}));
    EXPECT_EQ(headless::pixel(99, 100), (Rgb{192, 192, 192}));
    EXPECT_EQ(headless::pixel(301, 300), (Rgb{192, 192, 192}));
    EXPECT_EQ(headless::pixel(150, 150), (Rgb{0, 0, 128})) << "the box is bounded by its border";

    // Filling a region with the colour it already has, or from the border itself, ends at once.
    flood_fill(5, 5, 15);
    set_color(4);
    flood_fill(20, 20, 15);
    EXPECT_EQ(headless::pixel(120, 120), WHITE);
}

TEST_F(Canvas, flood_fill_of_a_large_region_needs_no_recursion) {
    set_color(15);
    // A comb of many columns: the fill snakes through a long path.
    for (int x = 2; x < 798; x += 2) {
        move_to(x, x % 4 == 0 ? 0 : 2);
        line_to(x, x % 4 == 0 ? 537 : 539);
    }
    set_color(9);
    flood_fill(1, 1, 15);
    EXPECT_EQ(headless::pixel(797, 300), (Rgb{0, 0, 255}));
}

TEST_F(Canvas, rectangles_fill_or_outline_and_xor_outline_restores) {
    set_viewport(0, 0, 799, 539);
    set_world_window(false, 0.0, 0.0, 799.0, 539.0);
    set_color(12);
    fill_rectangle_world(RECTANGLE_FILL, 10.0, 10.0, 19.0, 14.0);
    EXPECT_EQ(count_pixels({255, 0, 0}), 10 * 5);
    const std::vector<Rgb> before = snapshot();
    set_write_mode(WRITE_MODE_XOR);
    set_color(14);
    fill_rectangle_world(RECTANGLE_BORDER, 5.0, 5.0, 30.0, 12.0);
    EXPECT_EQ(count_pixels(YELLOW), 2 * 26 + 2 * 6 - 10) << "outline pixels once; ten lie over the red box";
    fill_rectangle_world(RECTANGLE_BORDER, 5.0, 5.0, 30.0, 12.0);
    EXPECT_TRUE(snapshot() == before);
    fill_rectangle_world(7, 5.0, 5.0, 30.0, 12.0);  // unknown control: nothing
    EXPECT_TRUE(snapshot() == before);
}

TEST_F(Canvas, write_mode_returns_previous_and_refuses_unknown_modes) {
    EXPECT_EQ(set_write_mode(WRITE_MODE_XOR), WRITE_MODE_COPY);
    EXPECT_EQ(set_write_mode(9), -1);
    EXPECT_EQ(set_write_mode(WRITE_MODE_COPY), WRITE_MODE_XOR);
}

}  // namespace

namespace {

TEST(Screenshot, save_png_writes_the_framebuffer) {
    headless::start(320, 200);
    set_color(14);
    move_to(0, 0);
    line_to(319, 199);
    const std::string path = ::testing::TempDir() + "window_screenshot.png";
    ASSERT_TRUE(headless::save_png(path));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    unsigned char header[24] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
    std::fclose(file);
    std::remove(path.c_str());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(header + 1), 3), "PNG");
    auto big_endian = [&](int at) { return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3]; };
    EXPECT_EQ(big_endian(16), 320);
    EXPECT_EQ(big_endian(20), 200);
    EXPECT_FALSE(headless::save_png("/nonexistent-directory/x.png"));
}

}  // namespace
