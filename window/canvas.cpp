// The drawing surface: colours, viewport, world window, lines, rectangles and
// flood fill on the 32-bit framebuffer.
//
// What a reader must know first:
//  - Pixel coordinates are relative to the viewport's top-left; drawing is
//    clipped to the viewport (and to the window).
//  - Lines are Bresenham lines. In exclusive-or mode the end point is not
//    drawn, so the segments of a polyline meet without a pixel toggled twice:
//    a polyline toggles every pixel once and drawing it again restores the
//    screen. The other modes give the same pixel whether drawn once or twice,
//    so they draw the end point and a line reaches the pixel it was drawn to
//    (a flood fill bounded by a line to the last column does not leak there).
//  - The line style mask advances one bit per line pixel (most significant
//    bit first) and continues along a polyline; move_to restarts it.
//
// Sections:
//   [SECTION] Pixels and clipping
//   [SECTION] World mapping
//   [SECTION] Lines
//   [SECTION] Public routines
#include <algorithm>
#include <bit>        // rotl: the line style mask turns one bit per pixel
#include <cmath>
#include <mutex>

#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

constexpr int WRITE_MODE_OR = 0;
constexpr int WRITE_MODE_AND = 1;
constexpr int WRITE_MODE_INVERSE = 2;     // pixel takes the complement of the colour
constexpr double COORDINATE_LIMIT = 536870912.0;  // 2^29: lines are pre-clipped to this box so the step arithmetic fits in 64 bits
constexpr uint16_t STYLE_TOP_BIT = 0x8000;       // the line style bit of the current pixel (most significant first)
constexpr double POSITION_LIMIT = 1099511627776.0; // 2^40: where a mapped world position is clamped

// [SECTION] Pixels and clipping -------------------------------------------------

namespace {
struct ClipRect {
    int x1, y1, x2, y2;   // window pixels, inclusive; empty when x1 > x2 or y1 > y2
};
}  // namespace

// The viewport intersected with the window.
static ClipRect clip_rect_locked() {
    const CoreState& c = core();
    const Surface& s = surface();
    return {std::max(c.viewport_x1, 0), std::max(c.viewport_y1, 0), std::min(c.viewport_x2, s.width - 1),
            std::min(c.viewport_y2, s.height - 1)};
}

// Calls body(op) with op(pixel, colour) combining a pixel with a colour in the
// write mode. A loop over many pixels goes inside body, so it is compiled once
// per mode and chooses the mode once, not per pixel.
template <typename Body>
static inline void with_write_mode(int mode, Body body) {
    switch (mode) {
    case WRITE_MODE_XOR: body([](uint32_t& pixel, uint32_t colour) { pixel ^= colour; }); break;
    case WRITE_MODE_OR: body([](uint32_t& pixel, uint32_t colour) { pixel |= colour; }); break;
    case WRITE_MODE_AND: body([](uint32_t& pixel, uint32_t colour) { pixel &= colour; }); break;
    case WRITE_MODE_INVERSE: body([](uint32_t& pixel, uint32_t colour) { pixel = ~colour & 0xFFFFFFu; }); break;
    default: body([](uint32_t& pixel, uint32_t colour) { pixel = colour; }); break;
    }
}

// Combines one pixel with a colour in the write mode.
static inline void combine(uint32_t& pixel, uint32_t colour, int mode) {
    with_write_mode(mode, [&](auto op) { op(pixel, colour); });
}

static uint32_t graphics_pixel_locked() { return pack_rgb(palette_rgb(core().graphics_color)); }

// Blends a glyph's coverage (0..255) into a window pixel in the graphics colour,
// clipped to the viewport. Only copy mode blends; the other modes take a pixel
// when it is at least half covered, so exclusive-or text drawn twice restores.
void blend_pixel_locked(int x, int y, int coverage) {
    ClipRect clip = clip_rect_locked();
    if (coverage <= 0 || x < clip.x1 || x > clip.x2 || y < clip.y1 || y > clip.y2) return;
    Surface& s = surface();
    uint32_t& pixel = s.pixels[size_t(y) * s.width + x];
    uint32_t colour = graphics_pixel_locked();
    int mode = core().write_mode;
    if (mode != WRITE_MODE_COPY) {
        if (coverage >= 128) combine(pixel, colour, mode);
        return;
    }
    if (coverage >= 255) {
        pixel = colour;
        return;
    }
    pixel = blend_rgb(pixel, colour, coverage);
}

// Fills a window-pixel rectangle (inclusive) in the graphics colour and write mode, clipped to the viewport.
static void fill_rect_locked(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    ClipRect clip = clip_rect_locked();
    int left = int(std::max<int64_t>(x1, clip.x1)), right = int(std::min<int64_t>(x2, clip.x2));
    int top = int(std::max<int64_t>(y1, clip.y1)), bottom = int(std::min<int64_t>(y2, clip.y2));
    if (left > right || top > bottom) return;
    Surface& s = surface();
    uint32_t colour = graphics_pixel_locked();
    with_write_mode(core().write_mode, [&](auto op) {
        for (int y = top; y <= bottom; ++y) {
            uint32_t* row = s.pixels.data() + size_t(y) * s.width;
            for (int x = left; x <= right; ++x) op(row[x], colour);
        }
    });
    s.generation++;
}

// [SECTION] World mapping -------------------------------------------------------

// Rounds a mapped coordinate to the nearest pixel (halves away from zero), clamped far outside the window.
static int64_t round_pixel(double value) {
    if (std::isnan(value)) return 0;
    return std::llround(std::clamp(value, -POSITION_LIMIT, POSITION_LIMIT));
}

// px = vx1 + (x − x1)(vx2 − vx1)/(x2 − x1), with vx1 = 0 and vx2 the viewport's last column.
static int64_t world_to_pixel_x(double x) {
    const CoreState& c = core();
    if (!c.world_set) return round_pixel(x);
    double vx1 = 0, vx2 = c.viewport_x2 - c.viewport_x1;
    return round_pixel(vx1 + (x - c.world_x1) * (vx2 - vx1) / (c.world_x2 - c.world_x1));
}

// The same for y; inverted, y1 maps to the bottom edge and y grows upwards.
static int64_t world_to_pixel_y(double y) {
    const CoreState& c = core();
    if (!c.world_set) return round_pixel(y);
    double bottom = c.viewport_y2 - c.viewport_y1;
    double vy1 = c.world_inverted ? bottom : 0, vy2 = c.world_inverted ? 0 : bottom;
    return round_pixel(vy1 + (y - c.world_y1) * (vy2 - vy1) / (c.world_y2 - c.world_y1));
}

// [SECTION] Lines ---------------------------------------------------------------

// Cuts a segment to the box |x|, |y| <= COORDINATE_LIMIT (Liang–Barsky); false when it misses the box.
static bool clip_to_limit(double& x0, double& y0, double& x1, double& y1) {
    double t0 = 0, t1 = 1, dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 + COORDINATE_LIMIT, COORDINATE_LIMIT - x0, y0 + COORDINATE_LIMIT, COORDINATE_LIMIT - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return false;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
    double sx = x0, sy = y0;
    x0 = sx + t0 * dx;
    y0 = sy + t0 * dy;
    x1 = sx + t1 * dx;
    y1 = sy + t1 * dy;
    return true;
}

namespace {
// Steps of a line along its major axis: step k is at major = m0 + sm·k and
// minor = n0 + sn·⌊(2k·|dn| + n)/(2n)⌋ (Bresenham's midpoint rounding), k = 0..n−1.
struct LineSteps {
    int64_t m0, n0;       // start on the major and minor axis
    int sm, sn;           // directions (+1 / -1)
    int64_t n, dn;        // major length, |minor length|
    int64_t minor_at(int64_t k) const { return n0 + sn * ((2 * k * dn + n) / (2 * n)); }
};
}  // namespace

// First and last step (inclusive) whose major coordinate lies in [low, high].
static void clip_major(const LineSteps& line, int64_t low, int64_t high, int64_t& first, int64_t& last) {
    int64_t a = line.sm > 0 ? low - line.m0 : line.m0 - high;
    int64_t b = line.sm > 0 ? high - line.m0 : line.m0 - low;
    first = std::max(first, a);
    last = std::min(last, b);
}

// Narrows [first, last] to the steps whose minor coordinate lies in [low, high]
// (the minor coordinate is monotonic in k, so two binary searches find them).
static void clip_minor(const LineSteps& line, int64_t low, int64_t high, int64_t& first, int64_t& last) {
    if (first > last) return;
    auto inside_or_past = [&](int64_t k) {  // true from the first step that reached the range
        int64_t v = line.minor_at(k);
        return line.sn > 0 ? v >= low : v <= high;
    };
    auto beyond = [&](int64_t k) {          // true from the first step that left the range
        int64_t v = line.minor_at(k);
        return line.sn > 0 ? v > high : v < low;
    };
    int64_t lo = first, hi = last + 1;
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (inside_or_past(mid)) hi = mid; else lo = mid + 1;
    }
    int64_t start = lo;
    lo = start;
    hi = last + 1;
    while (lo < hi) {
        int64_t mid = lo + (hi - lo) / 2;
        if (beyond(mid)) hi = mid; else lo = mid + 1;
    }
    first = start;
    last = lo - 1;
}

// Draws a line from (x0, y0) to (x1, y1) in viewport pixels in the graphics
// colour, line style and write mode, clipped to the viewport; the end point
// only when the mode is not exclusive-or.
static void draw_line_locked(int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
    CoreState& c = core();
    Surface& s = surface();
    x0 += c.viewport_x1; x1 += c.viewport_x1;
    y0 += c.viewport_y1; y1 += c.viewport_y1;
    auto beyond_limit = [](int64_t v) { return v > int64_t(COORDINATE_LIMIT) || v < -int64_t(COORDINATE_LIMIT); };
    if (beyond_limit(x0) || beyond_limit(y0) || beyond_limit(x1) || beyond_limit(y1)) {
        double fx0 = double(x0), fy0 = double(y0), fx1 = double(x1), fy1 = double(y1);
        if (!clip_to_limit(fx0, fy0, fx1, fy1)) return;
        x0 = std::llround(fx0); y0 = std::llround(fy0);
        x1 = std::llround(fx1); y1 = std::llround(fy1);
    }
    int64_t dx = x1 - x0, dy = y1 - y0;
    bool x_major = std::llabs(dx) >= std::llabs(dy);
    LineSteps line{x_major ? x0 : y0, x_major ? y0 : x0,
                   (x_major ? dx : dy) < 0 ? -1 : 1, (x_major ? dy : dx) < 0 ? -1 : 1,
                   std::llabs(x_major ? dx : dy), std::llabs(x_major ? dy : dx)};
    int phase = c.style_phase;
    c.style_phase = int((phase + line.n) % 16);
    bool with_end = c.write_mode != WRITE_MODE_XOR;
    ClipRect clip = clip_rect_locked();
    if (clip.x1 > clip.x2 || clip.y1 > clip.y2) return;
    if (line.n == 0) {  // a point: its only pixel is the end point
        if (with_end && ((c.line_style >> (15 - phase)) & 1) && x0 >= clip.x1 && x0 <= clip.x2 && y0 >= clip.y1 && y0 <= clip.y2)
            combine(s.pixels[size_t(y0) * s.width + size_t(x0)], graphics_pixel_locked(), c.write_mode);
        s.generation++;
        return;
    }
    int64_t first = 0, last = with_end ? line.n : line.n - 1;
    clip_major(line, x_major ? clip.x1 : clip.y1, x_major ? clip.x2 : clip.y2, first, last);
    int64_t minor_low = x_major ? clip.y1 : clip.x1, minor_high = x_major ? clip.y2 : clip.x2;
    // The minor coordinate runs from n0 to minor_at(n) = n0 + sn·dn; only a
    // line leaving the clip across the minor axis needs the searches.
    int64_t minor_end = line.n0 + line.sn * line.dn;
    if (std::min(line.n0, minor_end) < minor_low || std::max(line.n0, minor_end) > minor_high)
        clip_minor(line, minor_low, minor_high, first, last);
    if (first > last) {
        s.generation++;
        return;
    }

    // Walk the steps incrementally: the midpoint numerator 2k·dn + n grows by
    // 2·dn per step, so its quotient by 2n (the minor offset) moves by one
    // whenever the remainder reaches 2n (dn <= n: at most once a step). One
    // division places the first step; the pixel index moves with the steps.
    const int64_t two_n = 2 * line.n, two_dn = 2 * line.dn;
    const int64_t numerator = 2 * first * line.dn + line.n;
    int64_t remainder = numerator % two_n;
    int64_t major = line.m0 + line.sm * first, minor = line.n0 + line.sn * (numerator / two_n);
    const ptrdiff_t width = s.width;
    ptrdiff_t index = x_major ? minor * width + major : major * width + minor;
    const ptrdiff_t major_step = x_major ? line.sm : line.sm * width;
    const ptrdiff_t minor_step = x_major ? line.sn * width : line.sn;
    // The style mask rotated so that its top bit belongs to the current step.
    uint16_t style = std::rotl(c.line_style, int((phase + first) % 16));
    const uint32_t colour = graphics_pixel_locked();
    uint32_t* pixels = s.pixels.data();
    with_write_mode(c.write_mode, [&](auto op) {
        for (int64_t k = first; k <= last; ++k) {
            if (style & STYLE_TOP_BIT) op(pixels[index], colour);
            style = std::rotl(style, 1);
            index += major_step;
            remainder += two_dn;
            if (remainder >= two_n) {
                remainder -= two_n;
                index += minor_step;
            }
        }
    });
    s.generation++;
}

// [SECTION] Flood fill ----------------------------------------------------------

// Fills the 4-connected region around a window pixel up to the border colour,
// inside the viewport; a scanline fill with an explicit stack (no recursion)
// and a visited map, so a fill colour equal to what is already there still ends.
static void flood_fill_locked(int seed_x, int seed_y, uint32_t border) {
    ClipRect clip = clip_rect_locked();
    if (seed_x < clip.x1 || seed_x > clip.x2 || seed_y < clip.y1 || seed_y > clip.y2) return;
    Surface& s = surface();
    int width = clip.x2 - clip.x1 + 1, height = clip.y2 - clip.y1 + 1;
    std::vector<uint8_t> visited(size_t(width) * height, 0);
    auto pixel = [&](int x, int y) -> uint32_t& { return s.pixels[size_t(y) * s.width + x]; };
    auto open = [&](int x, int y) {
        return !visited[size_t(y - clip.y1) * width + (x - clip.x1)] && pixel(x, y) != border;
    };
    if (!open(seed_x, seed_y)) return;
    uint32_t colour = graphics_pixel_locked();
    int mode = core().write_mode;
    struct Seed { int x, y; };
    std::vector<Seed> stack{{seed_x, seed_y}};
    while (!stack.empty()) {
        Seed seed = stack.back();
        stack.pop_back();
        if (!open(seed.x, seed.y)) continue;
        int left = seed.x, right = seed.x;
        while (left > clip.x1 && open(left - 1, seed.y)) --left;
        while (right < clip.x2 && open(right + 1, seed.y)) ++right;
        for (int x = left; x <= right; ++x) {
            visited[size_t(seed.y - clip.y1) * width + (x - clip.x1)] = 1;
            combine(pixel(x, seed.y), colour, mode);
        }
        // One seed per open run in the rows above and below.
        for (int y : {seed.y - 1, seed.y + 1}) {
            if (y < clip.y1 || y > clip.y2) continue;
            bool in_run = false;
            for (int x = left; x <= right; ++x) {
                bool o = open(x, y);
                if (o && !in_run) stack.push_back({x, y});
                in_run = o;
            }
        }
    }
    s.generation++;
}

}  // namespace tarno::window_internal

namespace tarno {
using namespace window_internal;

// [SECTION] Public routines -----------------------------------------------------

// Clamps a graphics or text colour index into the palette.
static int clamp_color(int index) { return std::clamp(index, 0, 15); }

// Sets the graphics colour (clamped into the palette); returns the previous index.
int set_color(int index) {
    std::lock_guard guard(surface().lock);
    int previous = core().graphics_color;
    core().graphics_color = clamp_color(index);
    return previous;
}

// Sets the console text colour (clamped into the palette); returns the previous index.
int set_text_color(int index) {
    std::lock_guard guard(surface().lock);
    int previous = core().text_color;
    core().text_color = clamp_color(index);
    return previous;
}

// Refuses (keeps the colour) outside 0..255; returns the previous index.
int set_background_color(int index) {
    std::lock_guard guard(surface().lock);
    int previous = core().background_color;
    if (index >= 0 && index <= 255) core().background_color = index;
    return previous;
}

// Sets the clipping and origin rectangle (window pixels, inclusive; reversed corners are swapped).
void set_viewport(int x1, int y1, int x2, int y2) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    c.viewport_x1 = std::min(x1, x2);
    c.viewport_x2 = std::max(x1, x2);
    c.viewport_y1 = std::min(y1, y2);
    c.viewport_y2 = std::max(y1, y2);
}

// Sets world coordinates over the viewport; false (nothing changes) for equal or non-finite bounds.
bool set_world_window(bool inverted, double x1, double y1, double x2, double y2) {
    if (!(std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2))) return false;
    if (x1 == x2 || y1 == y2) return false;
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    c.world_set = true;
    c.world_inverted = inverted;
    c.world_x1 = std::min(x1, x2);
    c.world_x2 = std::max(x1, x2);
    c.world_y1 = std::min(y1, y2);
    c.world_y2 = std::max(y1, y2);
    return true;
}

// Moves the graphics position (viewport pixels); the line style starts again.
void move_to(int x, int y) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    c.position_x = x;
    c.position_y = y;
    c.style_phase = 0;
}

// Draws a line from the graphics position; its end becomes the position.
void line_to(int x, int y) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    draw_line_locked(c.position_x, c.position_y, x, y);
    c.position_x = x;
    c.position_y = y;
}

// As move_to, in world coordinates.
void move_to_world(double x, double y) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    c.position_x = world_to_pixel_x(x);
    c.position_y = world_to_pixel_y(y);
    c.style_phase = 0;
}

// As line_to, in world coordinates.
void line_to_world(double x, double y) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    int64_t px = world_to_pixel_x(x), py = world_to_pixel_y(y);
    draw_line_locked(c.position_x, c.position_y, px, py);
    c.position_x = px;
    c.position_y = py;
}

// Draws a vertical run of pixels (viewport pixels, top <= bottom) in the
// graphics colour and write mode, clipped to the viewport.
static void draw_column_locked(int64_t x, int64_t top, int64_t bottom) {
    const CoreState& c = core();
    Surface& s = surface();
    x += c.viewport_x1; top += c.viewport_y1; bottom += c.viewport_y1;
    ClipRect clip = clip_rect_locked();
    if (x < clip.x1 || x > clip.x2) return;
    top = std::max<int64_t>(top, clip.y1);
    bottom = std::min<int64_t>(bottom, clip.y2);
    uint32_t colour = graphics_pixel_locked();
    with_write_mode(c.write_mode, [&](auto op) {
        for (int64_t y = top; y <= bottom; ++y) op(s.pixels[size_t(y) * s.width + size_t(x)], colour);
    });
    s.generation++;
}

// As line_to_world to each point in turn, under one lock. In a mode where
// drawing a pixel twice changes nothing (all but exclusive-or) with a solid
// line, the segments that stay in one pixel column cover exactly the column
// between their lowest and highest end point: they are drawn as that one run.
// Dense curves (many points per column) draw in a fraction of the time with
// the same pixels and the same line style phase.
void polyline_to_world(std::span<const double> xs, std::span<const double> ys) {
    std::lock_guard guard(surface().lock);
    CoreState& c = core();
    const size_t count = std::min(xs.size(), ys.size());
    if (c.write_mode == WRITE_MODE_XOR || c.line_style != 0xFFFF) {
        for (size_t k = 0; k < count; ++k) {
            int64_t px = world_to_pixel_x(xs[k]), py = world_to_pixel_y(ys[k]);
            draw_line_locked(c.position_x, c.position_y, px, py);
            c.position_x = px;
            c.position_y = py;
        }
        return;
    }
    auto inside_limit = [&](int64_t x, int64_t y) {
        x += c.viewport_x1; y += c.viewport_y1;
        return x <= int64_t(COORDINATE_LIMIT) && x >= -int64_t(COORDINATE_LIMIT) &&
               y <= int64_t(COORDINATE_LIMIT) && y >= -int64_t(COORDINATE_LIMIT);
    };
    // The run in the column of the position: from run_top to run_bottom, to
    // be drawn when a segment inside the column joined it.
    int64_t run_top = c.position_y, run_bottom = c.position_y;
    bool run_open = false;
    for (size_t k = 0; k < count; ++k) {
        int64_t px = world_to_pixel_x(xs[k]), py = world_to_pixel_y(ys[k]);
        if (px == c.position_x && inside_limit(px, c.position_y) && inside_limit(px, py)) {
            run_top = std::min(run_top, py);
            run_bottom = std::max(run_bottom, py);
            run_open = true;
            c.style_phase = int((c.style_phase + std::llabs(py - c.position_y)) % 16);
        } else {
            if (run_open) draw_column_locked(c.position_x, run_top, run_bottom);
            run_open = false;
            draw_line_locked(c.position_x, c.position_y, px, py);
            run_top = run_bottom = py;
        }
        c.position_x = px;
        c.position_y = py;
    }
    if (run_open) draw_column_locked(c.position_x, run_top, run_bottom);
}

// Draws a filled rectangle or its one-pixel outline (every pixel once, so an
// exclusive-or outline drawn twice restores); the position does not move.
void fill_rectangle_world(int control, double x1, double y1, double x2, double y2) {
    if (control != RECTANGLE_FILL && control != RECTANGLE_BORDER) return;
    std::lock_guard guard(surface().lock);
    const CoreState& c = core();
    int64_t ax = world_to_pixel_x(x1) + c.viewport_x1, bx = world_to_pixel_x(x2) + c.viewport_x1;
    int64_t ay = world_to_pixel_y(y1) + c.viewport_y1, by = world_to_pixel_y(y2) + c.viewport_y1;
    int64_t left = std::min(ax, bx), right = std::max(ax, bx), top = std::min(ay, by), bottom = std::max(ay, by);
    if (control == RECTANGLE_FILL || right - left < 2 || bottom - top < 2) {
        fill_rect_locked(left, top, right, bottom);
        return;
    }
    fill_rect_locked(left, top, right, top);
    fill_rect_locked(left, bottom, right, bottom);
    fill_rect_locked(left, top + 1, left, bottom - 1);
    fill_rect_locked(right, top + 1, right, bottom - 1);
}

// Fills the region around (x, y) (viewport pixels) bounded by the border colour, inside the viewport.
void flood_fill(int x, int y, int border_color) {
    std::lock_guard guard(surface().lock);
    const CoreState& c = core();
    flood_fill_locked(c.viewport_x1 + x, c.viewport_y1 + y, pack_rgb(palette_rgb(border_color)));
}

// Sets the dash mask (bit set = pixel drawn, most significant bit first).
void set_line_style(uint16_t mask) {
    std::lock_guard guard(surface().lock);
    core().line_style = mask;
    core().style_phase = 0;
}

// Sets the write mode (0 OR, 1 AND, 2 inverse copy, 3 copy, 4 exclusive-or);
// returns the previous mode, or -1 (no change) for another number.
int set_write_mode(int mode) {
    if (mode < WRITE_MODE_OR || mode > WRITE_MODE_XOR) return -1;
    std::lock_guard guard(surface().lock);
    int previous = core().write_mode;
    core().write_mode = mode;
    return previous;
}

}  // namespace tarno
