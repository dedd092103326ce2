// The display loop's keys on the headless window: each key's effect on the
// display state (one table), the comma sequence, the cursor held inside the
// view, the F dialogue's branches, the fitting-width prompt, the exit
// question, and the cursor keys following the exchange block.
#include "tests/flow/display_flow.hpp"

#include <cmath>
#include <string>

#include "common/fields.hpp"
#include "display/display_commands.hpp"
#include "display/frame.hpp"
#include "display/messages.hpp"
#include "display/point_index.hpp"
#include "input/keyboard.hpp"

namespace tarno::testing {
namespace {

const std::string HOME = "\xE0\x47", END = "\xE0\x4F", LEFT = "\xE0\x4B", RIGHT = "\xE0\x4D";

class DisplayKeys : public DisplayFlow {
protected:
    void SetUp() override {
        DisplayFlow::SetUp();
        load_spectrum(100000, 1000.0, 0.5, [](int32_t i) { return (i * 37) % 1000; });
    }
};

// The view the frame makes of the limits (lo, hi): both snapped onto points.
double snapped(double f) { return index_frequency(point_index(f)); }

// [SECTION] The key table ----------------------------------------------------------------

TEST_F(DisplayKeys, each_key_changes_the_state_as_its_command_says) {
    run_display();
    const DisplayState start = display;
    const double R = start.view_high - start.view_low, D = start.y_high - start.y_low;
    const double low = start.view_low, high = start.view_high, cursor = start.cursor_freq;
    const double first = spectrum.frequency[1], last = spectrum.frequency[100000];
    const double width = 799 * start.freq_per_pixel;
    struct Expected { double view_low, view_high, cursor, y_low, y_high, reference; };
    auto view = [&](double lo, double hi, double c) {
        return Expected{snapped(lo), snapped(hi), c, start.y_low, start.y_high, start.reference_level};
    };
    auto vertical = [&](double yl, double yh, double ref) {
        return Expected{start.view_low, start.view_high, cursor, yl, yh, ref};
    };
    const double ref = start.reference_level;
    struct Case { std::string keys; Expected expected; } cases[] = {
        {"A", view(low - 0.5 * R, high - 0.5 * R, cursor - 0.5 * R)},
        {"a", view(low - 0.1 * R, high - 0.1 * R, cursor - 0.1 * R)},
        {"S", view(low + 0.5 * R, high + 0.5 * R, cursor + 0.5 * R)},
        {"s", view(low + 0.1 * R, high + 0.1 * R, cursor + 0.1 * R)},
        {"Q", view(low - 0.5 * R, high + 0.5 * R, cursor)},
        {"q", view(low - 0.1 * R, high + 0.1 * R, cursor)},
        {"E", view(cursor - 0.25 * R, cursor + 0.25 * R, cursor)},
        {"e", view(cursor - 0.45 * R, cursor + 0.45 * R, cursor)},
        {"W", vertical(ref - 0.25 * D * 0.75f, ref + 0.75 * D * 0.75f, ref)},
        {"w", vertical(ref - 0.25 * D * (1.0f - 0.05f), ref + 0.75 * D * (1.0f - 0.05f), ref)},
        {"Z", vertical(ref - 0.25 * D * 1.25f, ref + 0.75 * D * 1.25f, ref)},
        {"z", vertical(ref - 0.25 * D * (1.0f + 0.05f), ref + 0.75 * D * (1.0f + 0.05f), ref)},
        {"2", vertical(start.y_low + 0.02f * D, start.y_high + 0.02f * D, ref + 0.02f * D)},
        {"@", vertical(start.y_low + 0.1f * D, start.y_high + 0.1f * D, ref + 0.1f * D)},
        {"3", vertical(start.y_low - 0.02f * D, start.y_high - 0.02f * D, ref - 0.02f * D)},
        {"#", vertical(start.y_low - 0.1f * D, start.y_high - 0.1f * D, ref - 0.1f * D)},
        {"SSS" + HOME, view(first, first + width, (first + snapped(first + width)) / 2)},
        {END, view(last - width, last, (snapped(last - width) + last) / 2)},
        {"X", view(low, high, cursor)},                 // no command
        {"P", view(low, high, cursor)},                 // boxes only
    };
    for (const Case& c : cases) {
        run_display(c.keys);
        const DisplayState& d = display;
        SCOPED_TRACE("keys " + c.keys);
        EXPECT_DOUBLE_EQ(d.view_low, c.expected.view_low);
        EXPECT_DOUBLE_EQ(d.view_high, c.expected.view_high);
        EXPECT_DOUBLE_EQ(d.cursor_freq, c.expected.cursor);
        EXPECT_DOUBLE_EQ(d.y_low, c.expected.y_low);
        EXPECT_DOUBLE_EQ(d.y_high, c.expected.y_high);
        EXPECT_DOUBLE_EQ(d.reference_level, c.expected.reference);
    }
}

TEST_F(DisplayKeys, invert_mirrors_the_spectrum_and_restore_brings_it_back) {
    run_display();
    const double mirror = display.y_low + display.y_high, mean = display.mean_intensity;
    run_display("-");
    EXPECT_EQ(spectrum.intensity[2], std::trunc(mirror - 74));
    EXPECT_EQ(spectrum.intensity[100000], std::trunc(mirror - (100000 * 37) % 1000));
    EXPECT_DOUBLE_EQ(display.mean_intensity, mirror - mean);
    // the next start copies the inverted spectrum as its original: restore within one run
    load_spectrum(100000, 1000.0, 0.5, [](int32_t i) { return (i * 37) % 1000; });
    run_display("_R");
    EXPECT_EQ(spectrum.intensity[2], 74);
    EXPECT_DOUBLE_EQ(display.mean_intensity, mean);
}

TEST_F(DisplayKeys, q_beyond_the_whole_spectrum_continues_flat_on_the_extended_axis) {
    load_spectrum(1000, 0.0, 1.0, [](int32_t i) { return i == 1 ? 500 : i == 1000 ? 700 : 0; });
    run_display("Q");
    EXPECT_LT(display.first_index, 1);
    EXPECT_GT(display.last_index, 1000);
    EXPECT_DOUBLE_EQ(display.view_low, index_frequency(display.first_index));
}

// [SECTION] Cursor -------------------------------------------------------------------------

TEST_F(DisplayKeys, comma_four_times_goes_centre_three_quarter_centre_quarter) {
    run_display("k");       // one pixel left of centre
    const double low = display.view_low, R = display.view_high - display.view_low, c = low + R / 2;
    const double expected[] = {c, low + 0.75 * R, c, low + 0.25 * R};
    for (int n = 1; n <= 4; ++n) {
        run_display("k" + std::string(n, ','));
        EXPECT_DOUBLE_EQ(display.cursor_freq, expected[n - 1]) << n << " commas";
    }
}

TEST_F(DisplayKeys, cursor_keys_step_by_pixels_and_stop_one_pixel_inside) {
    run_display();
    const double p = display.freq_per_pixel, c = display.cursor_freq;
    struct Case { std::string keys; double cursor; } cases[] = {
        {"K", c - 8 * p}, {LEFT, c - 8 * p}, {"k", c - p},
        {"L", c + 8 * p}, {RIGHT, c + 8 * p}, {"l", c + p},
        {std::string(100, 'K'), display.view_low + p},
        {std::string(100, 'L'), display.view_high - p},
    };
    for (const Case& k : cases) {
        run_display(k.keys);
        EXPECT_DOUBLE_EQ(display.cursor_freq, k.cursor) << k.keys.substr(0, 3);
    }
    // the readouts follow the cursor
    run_display(std::string(100, 'K'));
    EXPECT_EQ(headless::row_text(1).substr(3, 22),
              format_integer(point_index(display.cursor_freq), 7) + "   " + format_fixed(display.cursor_freq, 12, 4));
    EXPECT_EQ(exchange_spectrum_start(), 1000.0);
    EXPECT_EQ(read_exchange_view().cursor_freq, display.cursor_freq);
}

TEST_F(DisplayKeys, cursor_keys_follow_the_block_after_another_program_changed_it) {
    // another program moved the cursor inside the view: the first K adopts it, the second moves
    headless::press_keys("K");
    headless::run([] {
        initialise_display();
        publish_cursor(display.view_low + 100);
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.cursor_freq, display.view_low + 100);
    EXPECT_DOUBLE_EQ(linked.partner_cursor, display.view_low + 100);

    headless::press_keys("KK");
    headless::run([] {
        initialise_display();
        publish_cursor(display.view_low + 100);
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.cursor_freq, display.view_low + 100 - 8 * display.freq_per_pixel);

    // a cursor outside the view centres the view on it, keeping the width
    headless::press_keys("L");
    double width = 0;
    headless::run([&] {
        initialise_display();
        width = display.view_high - display.view_low;
        publish_cursor(5000.0);
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.cursor_freq, 5000.0);
    EXPECT_DOUBLE_EQ(display.view_low, snapped(5000.0 - width / 2));
    EXPECT_EQ(read_exchange_view().view_low, display.view_low);

    // new view limits: adopted, cursor centred when outside them
    headless::press_keys("l");
    headless::run([] {
        initialise_display();
        publish_view_limits(20000.0, 20100.0);
        run_command_loop();
    });
    EXPECT_DOUBLE_EQ(display.view_low, 20000.0);
    EXPECT_DOUBLE_EQ(display.view_high, 20100.0);
    EXPECT_DOUBLE_EQ(display.cursor_freq, 20050.0);
}

// [SECTION] Dialogues -------------------------------------------------------------------------

TEST_F(DisplayKeys, frequency_limits_dialogue_branches) {
    run_display();
    const double low = display.view_low, high = display.view_high, R = high - low;
    const double cursor = display.cursor_freq, last = spectrum.frequency[100000];
    struct Case { std::vector<std::string> answers; double view_low, view_high, cursor; } cases[] = {
        {{"", ""}, low, high, (low + high) / 2},                         // ENTER twice: same view, cursor recentred
        {{"2000", "2100"}, 2000, 2100, 2050},
        {{"1100", ""}, 1100, high, (1100 + high) / 2},
        {{"-30000"}, snapped(30000 - R / 2), snapped(30000 + R / 2), 30000},
        {{"-99999"}, snapped(last - R), last, last - R / 2},             // beyond the end: the view ends at the last point
        {{"-10"}, 1000, snapped(1000 + R), 1000 + R / 2},                // below the start: it begins at the first
        {{"abc", "1e30", "99999", "1500", "1400", "0", "1600"}, 1500, 1600, 1550}, // asked again until accepted
        {{"1500", "-100"}, snapped(cursor - 50), snapped(cursor + 50), cursor},     // width about the cursor
    };
    for (const Case& c : cases) {
        headless::press_keys("F");
        for (const std::string& a : c.answers) headless::type_line(a);
        headless::run([] { LOOKFM(); });
        std::string trace;
        for (const std::string& a : c.answers) trace += "[" + a + "]";
        SCOPED_TRACE(trace);
        EXPECT_DOUBLE_EQ(display.view_low, c.view_low);
        EXPECT_DOUBLE_EQ(display.view_high, c.view_high);
        EXPECT_DOUBLE_EQ(display.cursor_freq, c.cursor);
        EXPECT_EQ(row(1).substr(0, 3), " X:");      // back on the display
    }
}

TEST_F(DisplayKeys, frequency_limits_page_text) {
    headless::press_keys("F");
    headless::run([] { LOOKFM(); });
    // a row with one blank above the 80-column heading
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(headless::row_text(2), "_____F R E Q U E N C Y   L I M I T S" + std::string(44, '_'));
    EXPECT_EQ(row(3).substr(34), "       lower       upper           range");
    EXPECT_EQ(row(5), "  Frequency limits of data:           1000.000   50999.500       49999.500");
    EXPECT_EQ(row(6), "  Frequency limits of display:        1000.000    1399.500         399.500");
    EXPECT_EQ(row(7), "  Frequency of cursor:                      1199.750");
    EXPECT_EQ(row(10), "  Specify new display limits  1/ ENTER keeps previous value");
    EXPECT_EQ(row(11), std::string(30, ' ') + "2/ -ve lower limit moves cursor");
    EXPECT_EQ(row(12), std::string(30, ' ') + "3/ -ve upper limit changes range");
    EXPECT_EQ(row(13), "  Lower frequency display limit:      1000.000 -->");
}

TEST_F(DisplayKeys, fitting_width_is_asked_until_an_accepted_value) {
    // ENTER, even, too small, too large, text: all asked again; then 9
    headless::press_keys("0");
    for (const char* a : {"", "8", "1", "501", "-3", "x"}) headless::type_line(a);
    headless::run([] { LOOKFM(); });
    EXPECT_EQ(display.fit_width, 7);
    EXPECT_EQ(row(1), " Current no. of points for fitting lineshape:   7");
    EXPECT_EQ(row(2), "        New number (odd, -ve for DERUVAVEVU):");
    EXPECT_EQ(headless::cell_text_color(1, 2), 1);

    headless::press_keys(")");
    headless::type_line("");
    headless::type_line("499");
    headless::run([] { LOOKFM(); });
    EXPECT_EQ(display.fit_width, 499);
    EXPECT_EQ(row(1).substr(0, 3), " X:");
}

TEST_F(DisplayKeys, negative_fitting_width_sets_level_then_cutoff) {
    // -9: width 9, then the level (ENTER at once) and the cutoff sub-loops
    headless::press_keys("0");
    headless::type_line("-9");
    headless::press_keys("q");          // not a level key: ignored
    headless::run([] { LOOKFM(); });
    EXPECT_EQ(display.fit_width, 9);
    EXPECT_EQ(row(1), " Set the baseline level with W,Z keys, terminate with ENTER");
    EXPECT_EQ(headless::cell_text_color(1, 2), 12);

    headless::press_keys("0");
    headless::type_line("-9");
    headless::press_keys("\r");
    headless::run([] { LOOKFM(); });
    EXPECT_EQ(row(1), " Set the Y-axis cutoff with W,Z keys, terminate with ENTER");
}

TEST_F(DisplayKeys, enter_then_n_restores_row_1_and_clears_row_2) {
    run_display("k");
    const std::string status = headless::row_text(1);
    run_display("k\r");
    EXPECT_EQ(row(1), " ARE YOU SURE (Y/N) ?");
    EXPECT_EQ(headless::cell_text_color(1, 2), 15);
    EXPECT_EQ(headless::cell_background_color(1, 2), 12);
    EXPECT_EQ(row(2), "");

    run_display("k\rxN");
    EXPECT_EQ(headless::row_text(1), status);
    EXPECT_EQ(row(2), "");
    EXPECT_EQ(headless::cell_background_color(1, 2), 7);

    // the next cursor move rewrites both rows in full
    run_display("k\rnl");
    EXPECT_EQ(row(2).substr(0, 3), " Y:");

    headless::press_keys("\ry");
    headless::RunResult result = headless::run([] { LOOKFM(); });
    EXPECT_FALSE(result.ended);         // LOOKFM returned by itself
}

TEST_F(DisplayKeys, baseline_refuses_a_view_beyond_the_spectrum) {
    run_display("AB");
    EXPECT_EQ(row(1), " ERROR: ensure that display is not outside frequency limits of spectrum");
    EXPECT_EQ(row(2), "");
    ASSERT_FALSE(headless::tones().empty());
    EXPECT_EQ(headless::tones().back().frequency_hz, 4000);
    EXPECT_EQ(headless::tones().back().duration_ms, 250);
    EXPECT_TRUE(display.message_flag);
}

// [SECTION] Help -----------------------------------------------------------------------------------

TEST_F(DisplayKeys, help_shows_both_pages_in_full_height) {
    run_display("H");
    EXPECT_EQ(screen.text_rows, 30);
    EXPECT_EQ(row(2), "_____SUMMARY OF THE GENERAL COMMANDS" + std::string(44, '_'));
    EXPECT_EQ(row(4), "         A,S - shift screen window over the spectrum");
    EXPECT_EQ(row(10), "               All of the above are fast/slow for upper/lower case");
    EXPECT_EQ(row(13), " <HOME><END> - move to beginning/end of spectrum");
    EXPECT_EQ(row(16), "           B - baseline subtraction");
    EXPECT_EQ(row(24), "           0 - set fitting width, -ve value runs DERUVAVEVU");
    EXPECT_EQ(row(28), "       ENTER - exits this help screen / exits TARNO");

    run_display("hx\r");               // x is ignored
    EXPECT_EQ(row(2), "_____SUMMARY OF COMMANDS FOR LINKED OPERATION WITH ZUNT_L" + std::string(23, '_'));
    EXPECT_EQ(row(5), "          F1 - measure a line in the spectrum nearest the cursor");
    EXPECT_EQ(row(11), "          F8 - toggle additional marker at current cursor position.  This");
    EXPECT_EQ(row(18), "               In linked operation TARNO_L is usually the passive partner and");
    EXPECT_EQ(row(26), "               can be compared.");
    EXPECT_EQ(row(29), "               Press ENTER");
    EXPECT_EQ(headless::cell_text_color(29, 16), 0);
    EXPECT_EQ(headless::cell_text_color(29, 22), 12);

    run_display("H\r\r");
    EXPECT_EQ(screen.text_rows, 17);
    EXPECT_EQ(row(1).substr(0, 3), " X:");
    EXPECT_EQ(headless::cell_text_color(1, 2), 0);
}

}  // namespace
}  // namespace tarno::testing

namespace tarno::testing {
namespace {

// [SECTION] Any key sequence ------------------------------------------------------------------

TEST_F(DisplayFlow, random_key_sequences_keep_the_view_sound) {
    const std::string keys = "AaSsQqEeWwZz2@3#-_RrKkLl,Pp^XFf0)\r\nNn1579=+mMG&Oo";
    const std::string extended[] = {HOME, END, LEFT, RIGHT};
    uint32_t seed = 20061205;   // fixed: a failure repeats
    auto next = [&] { seed = seed * 1664525u + 1013904223u; return seed >> 8; };
    for (int32_t n : {1, 2, 3, 1000}) {
        load_spectrum(n, 300.0, 0.25, [](int32_t i) { return (i * 7919) % 601 - 300; });
        std::string script;
        for (int k = 0; k < 1500; ++k) {
            uint32_t r = next();
            if (r % 10 == 0) script += extended[(r / 10) % 4];
            else if (keys[r % keys.size()] != 'Y' && keys[r % keys.size()] != 'y') script += keys[r % keys.size()];
        }
        run_display(script);
        const DisplayState& d = display;
        SCOPED_TRACE("points " + std::to_string(n));
        EXPECT_TRUE(std::isfinite(d.view_low) && std::isfinite(d.view_high) && std::isfinite(d.cursor_freq));
        EXPECT_GE(d.last_index - d.first_index, 3);
        EXPECT_TRUE(std::isfinite(d.y_low) && std::isfinite(d.y_high));
    }
}

}  // namespace
}  // namespace tarno::testing

namespace tarno::testing {
namespace {

TEST_F(DisplayKeys, information_page_in_full_height_then_back) {
    run_display("I");
    EXPECT_EQ(screen.text_rows, 30);
    EXPECT_NE(row(1).substr(0, 3), " X:");
    run_display("ix\r");
    EXPECT_EQ(screen.text_rows, 17);
    EXPECT_EQ(row(1).substr(0, 3), " X:");
}

TEST_F(DisplayKeys, message_rows_carry_two_lines_until_the_next_cursor_move) {
    headless::press_keys("l");
    headless::run([] {
        initialise_display();
        show_message("    Cursor frequency = result", "    second line");
        run_command_loop();
    });
    // the cursor move after the message rewrote both status lines in full
    EXPECT_EQ(row(1).substr(0, 3), " X:");
    EXPECT_EQ(row(2).substr(0, 3), " Y:");
    EXPECT_FALSE(display.message_flag);

    headless::run([] {
        initialise_display();
        show_message("    Cursor frequency = result", "    second line");
    });
    EXPECT_EQ(row(1), "    Cursor frequency = result");
    EXPECT_EQ(row(2), "    second line");
    EXPECT_EQ(headless::cell_text_color(2, 5), 1);
    EXPECT_EQ(headless::cell_background_color(2, 5), 7);
    EXPECT_TRUE(display.message_flag);
}

}  // namespace
}  // namespace tarno::testing
