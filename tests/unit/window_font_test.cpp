// Font descriptions, face lookup and graphics text; the console font's cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "window/font_description.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

using namespace tarno;
using window_internal::FontRequest;
using window_internal::parse_font_description;

namespace {

constexpr Rgb BLACK{0, 0, 0};

FontRequest request(std::string face, int h, int w, bool bold = false, bool italic = false) {
    FontRequest r;
    r.typeface = std::move(face);
    r.height = h;
    r.width = w;
    r.bold = bold;
    r.italic = italic;
    return r;
}

TEST(FontDescription, grammar) {
    struct Case {
        const char* text;
        std::optional<FontRequest> expected;
    };
    FontRequest underline_fixed = request("Courier New", 12, 0);
    underline_fixed.underline = true;
    underline_fixed.pitch = window_internal::FontPitch_Fixed;
    FontRequest numbered;
    numbered.number = 3;
    numbered.best_fit = true;
    numbered.vector = true;
    numbered.raster = true;
    numbered.pitch = window_internal::FontPitch_Proportional;
    const Case cases[] = {
        {"t'Arial'h75w25ei", request("Arial", 75, 25, true, true)},
        {"T'Arial'H20W10", request("Arial", 20, 10)},
        {"t'Arial'h18w9e", request("Arial", 18, 9, true)},
        {"t'tms rmn'h10", request("Times New Roman", 10, 0)},
        {"t'Helv'", request("Arial", 0, 0)},
        {"t'COURIER'h12uf", underline_fixed},
        {"n3bvrp", numbered},
        {"h 20 w 10", std::nullopt},            // a number must follow its letter
        {"t'Arial", std::nullopt},              // no closing apostrophe
        {"tArial'", std::nullopt},
        {"t'Arial'x", std::nullopt},            // unknown letter
        {"t'Arial' h20", request("Arial", 20, 0)},
        {"", FontRequest{}},
        {"t'Courier New Extra Long Name Over 32 Chars'", request("Courier New Extra Long Name Over", 0, 0)},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_font_description(c.text), c.expected) << '"' << c.text << '"';
}

// The inked columns and rows of what was drawn in `colour`.
struct Ink {
    int left = 10000, right = -1, top = 10000, bottom = -1, count = 0;
};
Ink ink_of(Rgb background) {
    Ink ink;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 800; ++x)
            if (headless::pixel(x, y) != background) {
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
                ink.count++;
            }
    return ink;
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override {
        headless::start(800, 540);
        ASSERT_GT(init_fonts(), 0) << "no installed fonts";
    }
};

TEST_F(Fonts, title_font_is_about_600_pixels_wide_and_75_high) {
    ASSERT_GE(select_font("t'Arial'h75w25ei"), 0);
    set_color(15);
    move_to(40, 20);
    draw_text("TARNO - Revidodi Roridi");
    Ink ink = ink_of(BLACK);
    EXPECT_GE(ink.left, 40);
    EXPECT_NEAR(ink.right - 40, 615, 35) << "the title's centring expects about 620 pixels";
    EXPECT_GE(ink.top, 20);
    EXPECT_LT(ink.bottom, 20 + 75) << "the glyphs stay inside the 75-pixel cell";
    EXPECT_GT(ink.bottom - ink.top, 45);
}

TEST_F(Fonts, draw_text_advances_the_graphics_position_by_its_width) {
    ASSERT_GE(select_font("t'Arial'h20w10"), 0);
    set_color(15);
    move_to(100, 100);
    draw_text("version 5.VII.2006");
    int text_right = ink_of(BLACK).right;
    // A line from the new position starts where the text ended.
    set_color(12);
    line_to(799, 539);
    int start = -1;
    for (int x = 0; x < 800 && start < 0; ++x)
        if (headless::pixel(x, 100) == Rgb{255, 0, 0}) start = x;
    EXPECT_GE(start, text_right - 2);
    EXPECT_LE(start, text_right + 4);
    EXPECT_NEAR(start - 100, 18 * 10, 30) << "18 characters of average width 10";
}

TEST_F(Fonts, descriptions_that_match_nothing_are_negative_and_keep_the_font) {
    EXPECT_LT(select_font("t'Arial"), 0);
    EXPECT_LT(select_font("z"), 0);
    EXPECT_LT(select_font("n999999"), 0);
    EXPECT_GE(select_font("n1h20"), 0);
    // An unknown face falls back to the nearest installed one.
    EXPECT_GE(select_font("t'No Such Face At All'h20w10"), 0);
    set_color(15);
    move_to(10, 10);
    draw_text("fallback");
    EXPECT_GT(ink_of(BLACK).count, 50);
}

TEST_F(Fonts, bold_and_underline_add_ink) {
    auto ink_for = [](const char* description) {
        headless::start(800, 540);
        select_font(description);
        set_color(15);
        move_to(10, 10);
        draw_text("Measured lines");
        return ink_of(BLACK);
    };
    Ink plain = ink_for("t'Arial'h30w12");
    Ink bold = ink_for("t'Arial'h30w12e");
    Ink underlined = ink_for("t'Arial'h30w12u");
    EXPECT_GT(bold.count, plain.count * 11 / 10) << "thicker strokes, though narrowed to the same average width";
    EXPECT_GT(underlined.count, plain.count);
    EXPECT_LE(underlined.bottom, 10 + 30);
}

TEST_F(Fonts, xor_text_drawn_twice_restores) {
    set_background_color(7);
    clear_screen(0);
    set_color(15);
    for (int y = 0; y < 540; y += 7) {
        move_to(0, y);
        line_to(799, 539 - y);
    }
    std::vector<Rgb> before;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 800; ++x) before.push_back(headless::pixel(x, y));
    select_font("t'Arial'h40w16ei");
    set_write_mode(WRITE_MODE_XOR);
    set_color(14);
    for (int pass = 0; pass < 2; ++pass) {
        move_to(50, 200);
        draw_text("Cursor 123.456");
    }
    std::vector<Rgb> after;
    for (int y = 0; y < 540; ++y)
        for (int x = 0; x < 800; ++x) after.push_back(headless::pixel(x, y));
    EXPECT_TRUE(after == before);
}

TEST_F(Fonts, console_text_is_drawn_inside_its_cell) {
    set_text_position(3, 4);
    write_text("M");
    Ink ink = ink_of(BLACK);
    ASSERT_GT(ink.count, 10);
    EXPECT_GE(ink.left, 30);
    EXPECT_LT(ink.right, 40);
    EXPECT_GE(ink.top, 36);
    EXPECT_LT(ink.bottom, 54);
    EXPECT_GT(ink.bottom - ink.top, 8) << "the glyph fills a good part of the 18-pixel cell";
}

TEST_F(Fonts, console_glyphs_blend_every_pair_of_colours_exactly) {
    constexpr int CELL_WIDTH = 10, CELL_HEIGHT = 18;  // 80 x 30 cells in 800 x 540 pixels
    constexpr const char* GLYPH = "@";                // curves: many partly covered pixels
    auto cell_pixel = [](int row, int column, int x, int y) {
        return headless::pixel((column - 1) * CELL_WIDTH + x, (row - 1) * CELL_HEIGHT + y);
    };
    // White on black: each channel is the coverage itself.
    set_text_color(COLOR_WHITE);
    set_background_color(COLOR_BLACK);
    set_text_position(1, 1);
    write_text(GLYPH);
    std::vector<int> coverage;
    std::set<int> partial_levels;
    for (int y = 0; y < CELL_HEIGHT; ++y)
        for (int x = 0; x < CELL_WIDTH; ++x) {
            coverage.push_back(cell_pixel(1, 1, x, y).r);
            if (coverage.back() > 0 && coverage.back() < 255) partial_levels.insert(coverage.back());
        }
    ASSERT_GT(partial_levels.size(), 5u) << "the glyph must have anti-aliased edges to check the blend";

    // All 256 pairs (more than any cache of pairs holds) in a mixed order, so
    // pairs sharing one colour often follow each other while still cached;
    // each cell against the per-channel blend (bg·(255 − a) + fg·a + 127) / 255.
    auto blend = [](Rgb bg, Rgb fg, int a) {
        auto mix = [a](int b, int f) { return uint8_t((b * (255 - a) + f * a + 127) / 255); };
        return Rgb{mix(bg.r, fg.r), mix(bg.g, fg.g), mix(bg.b, fg.b)};
    };
    std::vector<int> pairs(256);
    std::iota(pairs.begin(), pairs.end(), 0);
    std::shuffle(pairs.begin(), pairs.end(), std::mt19937(20261211));
    for (int cell = 0; cell < 256; ++cell) {
        const int foreground = pairs[size_t(cell)] % 16, background = pairs[size_t(cell)] / 16;
        const int row = 2 + cell / 80, column = 1 + cell % 80;
        set_text_color(foreground);
        set_background_color(background);
        set_text_position(row, column);
        write_text(GLYPH);
        for (int y = 0; y < CELL_HEIGHT; ++y)
            for (int x = 0; x < CELL_WIDTH; ++x) {
                Rgb expected = blend(palette_rgb(background), palette_rgb(foreground), coverage[size_t(y) * CELL_WIDTH + x]);
                ASSERT_EQ(cell_pixel(row, column, x, y), expected)
                    << "text colour " << foreground << " on " << background << " at " << x << "," << y;
            }
    }
}

}  // namespace
