// The display's first screen and its frames on the headless window: the
// initial view and padding, the snapped and widened view, the three curve
// regimes, the decimation keeping narrow lines, frame box, cursor and the
// status, label and bottom rows.
#include "tests/flow/display_flow.hpp"

#include <cmath>

#include "display/frame.hpp"
#include "display/point_index.hpp"

namespace tarno::testing {
namespace {

constexpr Rgb BLUE{0, 0, 128}, WHITE{255, 255, 255}, GREY{192, 192, 192};
constexpr Rgb CURSOR_OVER_BLUE{255, 255, 128};   // yellow XOR blue

// Pixel of a world point in the current frame (viewport from the screen configuration).
struct PlotMapping {
    int x1, y1, x2, y2;
    int x(double f) const {
        const DisplayState& d = display;
        return x1 + static_cast<int>(std::llround((f - d.view_low) * (x2 - x1) / (d.view_high - d.view_low)));
    }
    int y(double v) const {
        const DisplayState& d = display;
        double bottom = y2 - y1;
        return y1 + static_cast<int>(std::llround(bottom + (v - d.y_bottom) * (0 - bottom) / (d.y_high - d.y_bottom)));
    }
};
PlotMapping plot_mapping() {
    const ScreenConfig& c = screen;
    return {2, 2 * c.row_height - 2, c.screen_width - 2, c.screen_height - 2 * c.row_height + 2};
}

TEST_F(DisplayFlow, first_view_shows_one_point_per_pixel_in_reduced_height) {
    load_spectrum(5000, 1000.0, 0.5, [](int32_t i) { return (i % 100) * 10; });
    run_display();
    const DisplayState& d = display;
    EXPECT_EQ(screen.text_rows, 17);
    EXPECT_EQ(screen.screen_height, 305);
    EXPECT_EQ(d.first_index, 1);
    EXPECT_EQ(d.last_index, 800);
    EXPECT_DOUBLE_EQ(d.view_low, 1000.0);
    EXPECT_DOUBLE_EQ(d.view_high, 1399.5);
    EXPECT_DOUBLE_EQ(d.cursor_freq, 1199.75);
    EXPECT_EQ(d.fit_width, 7);
    EXPECT_DOUBLE_EQ(d.y_low, 0 - 0.05f * 990.0);
    EXPECT_DOUBLE_EQ(d.y_high, 990 + 0.05f * 990.0);
    EXPECT_DOUBLE_EQ(d.mean_intensity, 495.0);

    // status rows, label row, bottom row
    EXPECT_EQ(row(1), " X:    401      1199.7500  <- Cursor               Display ranges -> X:     799");
    EXPECT_EQ(row(2), " Y:     10" + std::string(59, ' ') + "Y:    1089");
    EXPECT_EQ(row(17), "A-S  Q-E  Z-W  2-3    K-L" + std::string(15, ' ') + "/data/spectra/run5.spe" +
                           std::string(8 + 3, ' ') + "H=help");
    EXPECT_EQ(headless::cell_text_color(17, 41), 12);
    EXPECT_EQ(headless::cell_text_color(17, 1), 0);
    EXPECT_EQ(headless::cell_text_color(16, 40), 1);

    // the exchange block got view, cursor and the spectrum
    ExchangeView b = read_exchange_view();
    EXPECT_EQ(b.view_low, d.view_low);
    EXPECT_EQ(b.view_high, d.view_high);
    EXPECT_EQ(b.cursor_freq, d.cursor_freq);
    EXPECT_EQ(exchange_spectrum_start(), 1000.0);
    EXPECT_EQ(exchange_spectrum_end(), 1000.0 + 4999 * 0.5);
    EXPECT_EQ(exchange_spectrum_name(), "run5.spe");
    EXPECT_EQ(d.spectrum_directory, "/data/spectra/");
}

// Indices of a 10,000,000-point spectrum show in full in the status rows, and
// the row is whole again when the cursor comes back to a short index.
TEST_F(DisplayFlow, largest_indices_show_in_full) {
    load_spectrum(MAX_POINTS, 0.0, 1.0, [](int32_t i) { return i % 1000; });
    run_display();
    headless::run([] { update_cursor(index_frequency(MAX_POINTS)); });
    EXPECT_EQ(row(1), " X: 10000000   9999999.0000  <- Cursor             Display ranges -> X:     799");
    headless::run([] { update_cursor(index_frequency(1000101)); });
    EXPECT_EQ(row(1), " X: 1000101   1000100.0000  <- Cursor              Display ranges -> X:     799");
    headless::run([] { update_cursor(index_frequency(5)); });
    EXPECT_EQ(row(1), " X:      5         4.0000  <- Cursor               Display ranges -> X:     799");
    display.view_high = index_frequency(MAX_POINTS + 2);
    headless::run([] { draw_frame(); write_status_lines(); });
    EXPECT_EQ(row(1).substr(46), "    Display ranges -> X: 10000001");   // ends in column 79
}

TEST_F(DisplayFlow, directory_and_name_of_the_spectrum_file) {
    load_spectrum(1000, 0, 1, [](int32_t i) { return i; });
    struct Case { const char* file; const char* directory; const char* name; } cases[] = {
        {"run5.spe", "", "run5.spe"},
        {"\\run5.spe", "", "run5.spe"},          // the only separator is the first character
        {"c:\\rot\\run5.spe", "c:\\rot\\", "run5.spe"},
        {"/data/", "/data/", ""},
    };
    for (const Case& c : cases) {
        set_text_field(text.data_file_name, c.file);
        run_display();
        EXPECT_EQ(display.spectrum_directory, c.directory) << c.file;
        EXPECT_EQ(exchange_spectrum_name(), c.name) << c.file;
    }
}

TEST_F(DisplayFlow, short_spectrum_is_shown_whole_and_padded_on_the_extended_axis) {
    load_spectrum(100, 10.0, 2.0, [](int32_t i) { return i; });
    spectrum.intensity[801] = -1;
    run_display();
    EXPECT_DOUBLE_EQ(display.view_low, 10.0);
    EXPECT_DOUBLE_EQ(display.view_high, 208.0);
    EXPECT_EQ(spectrum.point_count, 100);
    EXPECT_EQ(spectrum.intensity[101], 100);
    EXPECT_EQ(spectrum.intensity[800], 100);
    EXPECT_DOUBLE_EQ(spectrum.frequency[800], 10.0 + 799 * 2.0);
    EXPECT_EQ(spectrum.intensity[801], -1);     // padding ends at the screen width
}

// A spectrum deeper than the name field: the linked input is looked for in its
// whole directory, and the partner gets its whole name.
TEST_F(DisplayFlow, long_path_keeps_its_directory) {
    load_spectrum(1000, 0, 1, [](int32_t i) { return i; });
    const std::string directory = "/" + std::string(70, 'd') + "/" + std::string(40, 'e') + "/";
    set_data_file_name(directory + "run5.spe");
    run_display();
    EXPECT_EQ(display.spectrum_directory, directory);
    EXPECT_EQ(exchange_spectrum_name(), "run5.spe");
    EXPECT_EQ(headless::row_text(17).substr(40, 31), "...eeeeeeeeeeeeeeeeeee/run5.spe");
}

TEST_F(DisplayFlow, long_file_name_shows_its_end) {
    load_spectrum(1000, 0, 1, [](int32_t i) { return i; });
    set_text_field(text.data_file_name, "/very/long/directory/name/for/the/spectrum/run5.spe");
    run_display();
    EXPECT_EQ(headless::row_text(17).substr(40, 31), "...me/for/the/spectrum/run5.spe");
}

TEST_F(DisplayFlow, frames_pick_the_regime_by_the_number_of_intervals) {
    load_spectrum(200000, 0.0, 1.0, [](int32_t i) { return i % 7; });
    struct Case { double low, high; int32_t intervals; int32_t expansion; } cases[] = {
        {1000, 1511, 511, 2},           // interpolated, one pass
        {1000, 1512, 512, 1},           // every point
        {1000, 8989, 7989, 1},
        {1000, 8990, 7990, 1},          // decimated
        {1000, 1001, 3, 256},           // widened to 3 intervals, 8 passes
    };
    for (const Case& c : cases) {
        run_display();
        display.view_low = c.low;
        display.view_high = c.high;
        headless::run([] { draw_frame(); });
        EXPECT_EQ(display.last_index - display.first_index, c.intervals) << c.low << ".." << c.high;
        EXPECT_EQ(display.expansion, c.expansion) << c.low << ".." << c.high;
    }
    EXPECT_EQ(display.first_index, 1000);       // 1001 -> 1002 widened by one index each side
    EXPECT_EQ(display.last_index, 1003);
    EXPECT_DOUBLE_EQ(display.view_low, 999.0);
    EXPECT_EQ(display.interp_count, 769);
}

TEST_F(DisplayFlow, narrow_view_is_widened_symmetrically_beyond_the_spectrum) {
    load_spectrum(10, 0.0, 1.0, [](int32_t i) { return i; });
    run_display();
    display.view_low = -20.2;
    display.view_high = -20.2;
    headless::run([] { draw_frame(); });
    EXPECT_EQ(display.first_index, -21);    // index(-20.2) = -19, widened by 2 each side
    EXPECT_EQ(display.last_index, -17);
    EXPECT_DOUBLE_EQ(display.view_low, -22.0);
    EXPECT_DOUBLE_EQ(display.view_high, -18.0);
}

TEST_F(DisplayFlow, decimation_keeps_narrow_lines_pointing_up_and_down) {
    // 100000 points, flat at 0, one point at +1000 and one at -1000
    load_spectrum(100000, 0.0, 1.0, [](int32_t i) { return i == 30001 ? 1000 : i == 70001 ? -1000 : 0; });
    run_display();
    display.view_low = 1;
    display.view_high = 100000;
    headless::run([] { draw_frame(); });
    ASSERT_EQ(curve_regime(display.last_index - display.first_index), CurveRegime_Decimated);
    PlotMapping m = plot_mapping();
    auto column_reaches = [&](double f, double v) {
        for (int dx = -2; dx <= 2; ++dx)
            if (headless::pixel(m.x(f) + dx, m.y(v)) == WHITE) return true;
        return false;
    };
    EXPECT_TRUE(column_reaches(30001, 1000));
    EXPECT_TRUE(column_reaches(70001, -1000));
    EXPECT_FALSE(column_reaches(50001, 1000));
}

TEST_F(DisplayFlow, frame_box_cursor_and_background_pixels) {
    load_spectrum(2000, 0.0, 1.0, [](int32_t) { return 0; });
    spectrum.intensity[1] = 100;        // the range, at the left edge
    spectrum.intensity_max = 100;
    run_display();
    const DisplayState& d = display;
    PlotMapping m = plot_mapping();
    int top = m.y(d.y_high), bottom = m.y(d.y_floor);
    int mid_y = (top + bottom) / 2 - 20;
    // NOTE: the top of the box lies under the background of text row 2 (the
    // plot area starts 2 pixels above that row's end), so it is not checked.
    EXPECT_EQ(headless::pixel(m.x(d.view_low), mid_y), WHITE);      // left side of the box
    EXPECT_EQ(headless::pixel(m.x(d.view_high), mid_y), WHITE);     // right side
    EXPECT_EQ(headless::pixel(300, bottom), WHITE);                 // bottom
    EXPECT_EQ(headless::pixel(300, mid_y), BLUE);                   // plot area
    EXPECT_EQ(headless::pixel(m.x(d.cursor_freq), mid_y), CURSOR_OVER_BLUE);
    EXPECT_EQ(headless::pixel(0, 0), GREY);                         // outside the viewport
}

TEST_F(DisplayFlow, linked_indicator_only_while_linked_operation_is_active) {
    load_spectrum(2000, 0.0, 1.0, [](int32_t i) { return i % 50; });
    run_display();
    PlotMapping m = plot_mapping();
    int x = m.x(display.view_high) - 4, y = m.y(display.y_high) + 5;
    EXPECT_EQ(headless::pixel(x, y), BLUE);
    linked.linked_flag = 1;
    headless::run([] { draw_frame(); });
    EXPECT_EQ(headless::pixel(x, y), (Rgb{255, 0, 0}));
}

TEST_F(DisplayFlow, tiny_and_huge_spectra_and_views_draw_without_fault) {
    for (int32_t n : {1, 2, 3}) {
        load_spectrum(n, 5.0, 1.0, [](int32_t i) { return i * 10; });
        run_display("QQQQEEEEEEEEEEAASS");
        EXPECT_GE(display.last_index - display.first_index, 3) << n;
    }
    load_spectrum(1000, 0.0, 1.0, [](int32_t i) { return i; });
    run_display(std::string(80, 'Q'));      // 2^80 times wider: far beyond the index range
    EXPECT_LE(display.last_index, INDEX_LIMIT);
    run_display(std::string(60, 'E') + "KKKKLLLL");
    EXPECT_EQ(display.last_index - display.first_index, 3);
}

}  // namespace
}  // namespace tarno::testing

namespace tarno::testing {
namespace {

// Regression: the cursor's top used to reach into the 2 pixel rows of the
// plot area that text row 2 covers, leaving bluish dots on the grey row after
// each cursor move.
TEST_F(DisplayFlow, cursor_moves_leave_no_dots_on_the_status_row) {
    load_spectrum(5000, 1000.0, 0.5, [](int32_t i) { return (i % 100) * 10; });
    headless::press_keys(std::string(20, 'L') + std::string(7, 'k'));
    headless::run([] { LOOKFM(); });
    const int row_2_end = 2 * screen.row_height - 1;
    for (int y = row_2_end - 1; y <= row_2_end; ++y)
        for (int x = 0; x < 800; ++x) ASSERT_EQ(headless::pixel(x, y), (Rgb{192, 192, 192})) << x << "," << y;
    const int cursor_x = 2 + static_cast<int>(std::llround((display.cursor_freq - display.view_low) * 795 /
                                                          (display.view_high - display.view_low)));
    EXPECT_EQ(headless::pixel(cursor_x, row_2_end + 1), (Rgb{255, 255, 128}));
    EXPECT_EQ(headless::pixel(400, row_2_end + 1), (Rgb{0, 0, 128}));   // the first cursor, erased
}

}  // namespace
}  // namespace tarno::testing
