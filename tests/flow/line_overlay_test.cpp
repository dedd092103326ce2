// The line overlay on the headless window: sticks and marks in the plot
// (pixels), the cursor readout, PGDN/PGUP across the view's edges, the lists
// screen (C), and assigning a line from the catalogue (T) to the file of
// assigned lines, with the record, the tone and the new mark.
#include "tests/flow/display_flow.hpp"

#include <cmath>
#include <filesystem>
#include <set>
#include <unistd.h>

#include "common/fields.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/linked.hpp"
#include "display/measurement.hpp"

namespace tarno::testing {
namespace {

const std::string PGDN = "\xe0Q", PGUP = "\xe0I";      // prefix 224 and the scan codes 81, 73

// One catalogue record in its columns (F13.4, F8.4, F8.4, I2, F10.4, I3, I7, I4, 6I2, 6I2).
std::string cat_line(double freq, double lgint, int tag = 303, std::string_view upper = " 1 0 1",
                     std::string_view lower = " 0 0 0", int qnfmt = 1403) {
    return format_fixed(freq, 13, 4) + format_fixed(0.0123, 8, 4) + format_fixed(lgint, 8, 4) + format_integer(3, 2) +
           format_fixed(12.5, 10, 4) + format_integer(21, 3) + format_integer(tag, 7) + format_integer(qnfmt, 4) +
           padded(upper, 12) + padded(lower, 12) + "\n";
}

// 2000 points of 0.05 MHz from 100000 MHz: the first view is 100000..100039.95,
// one point per pixel.
constexpr double F0 = 100000.0, STEP = 0.05, VIEW_HIGH = F0 + 799 * STEP;

class Overlay : public DisplayFlow {
protected:
    FixtureDir data;

    void SetUp() override {
        DisplayFlow::SetUp();
        set_text_field(text.data_file_name, data.file("run5.spe"));
        overlay = LineOverlay{};
        linked_input = LinkedInput{};
        measurement = MeasurementMemory{};
    }

    void load_catalogue(const std::string& text) {
        ListLoad<Catalogue> load = read_catalogue_text(text);
        ASSERT_FALSE(load.refusal);
        overlay.catalogue = std::move(load.list);
        overlay.catalogue_path = data.file("lines.cat");
    }

    // Frequency drawn at the centre of plot column c of the first view.
    static double column_freq(int c) { return F0 + c * (VIEW_HIGH - F0) / plot_last_column(); }
};

void flat_spectrum() { load_spectrum(2000, F0, STEP, [](int32_t) { return 100; }); }

void gaussian_spectrum() {      // one line at point 401 (100020 MHz)
    load_spectrum(2000, F0, STEP, [](int32_t i) {
        double x = (i - 401) / 4.0;
        return int32_t(std::lround(10000 * std::exp(-x * x / 2)));
    });
}

// Saves the screen for a look when TARNO_TEST_PNG_DIR names a directory.
void save_screen(const std::string& name) {
    if (const char* dir = std::getenv("TARNO_TEST_PNG_DIR")) headless::save_png(std::string(dir) + "/" + name);
}

// Window pixel rows and columns of the plot (as the frame maps them).
int pixel_x(int column) { return 2 + column; }
int pixel_y(double v) {
    const DisplayState& d = display;
    int y1 = 2 * screen.row_height - 2, y2 = screen.screen_height - 2 * screen.row_height + 2;
    double bottom = y2 - y1;
    return y1 + int(std::llround(bottom + (v - d.y_bottom) * (0 - bottom) / (d.y_high - d.y_bottom)));
}

std::vector<Rgb> plot_pixels() {
    std::vector<Rgb> pixels;
    for (int y = 2 * screen.row_height; y <= screen.screen_height - 2 * screen.row_height; ++y)
        for (int x = 0; x <= screen.screen_width; ++x) pixels.push_back(headless::pixel(x, y));
    return pixels;
}

// [SECTION] Sticks and marks ------------------------------------------------------------------

TEST_F(Overlay, sticks_strongest_per_column_heights_colours_and_nothing_outside_the_plot) {
    flat_spectrum();    // the curve runs at half height, above every stick
    const int strong = 200, experimental = 300, weak = 500, mark = 600;
    load_catalogue(cat_line(column_freq(strong), -3.0) +
                   cat_line(column_freq(strong) + 0.01, -3.5) +           // same column, weaker: hidden
                   cat_line(column_freq(experimental), -4.0, -303) +       // experimental frequency
                   cat_line(column_freq(weak), -3.5) +
                   cat_line(F0, 2.0) +                                      // on the box's left side: not drawn
                   cat_line(VIEW_HIGH + 5, 3.0));                          // beyond the view: no part in the heights
    overlay.assigned.frequency = {column_freq(mark), column_freq(mark) + 0.001, VIEW_HIGH + 1};
    run_display();
    const DisplayState& d = display;
    save_screen("overlay_sticks.png");

    const double pixel = (d.y_high - d.y_bottom) / (screen.screen_height - 4 * screen.row_height + 4);
    const double third = (d.y_high - d.y_floor) / 3;
    struct Expected { int column; double top; int colour; };
    const Expected sticks[] = {
        {strong, d.y_floor + third, COLOR_CATALOGUE_STICK},
        {experimental, d.y_floor + third / 10, COLOR_EXPERIMENTAL_STICK},
        {weak, d.y_floor + third * std::pow(10.0, -0.5), COLOR_CATALOGUE_STICK},
    };
    std::set<std::pair<int, int>> expected;     // (x, y) of every overlay pixel
    for (const Expected& s : sticks) {
        int top = pixel_y(s.top), bottom = pixel_y(d.y_floor + pixel);
        EXPECT_EQ(bottom, pixel_y(d.y_floor) - 1);
        for (int y = top; y <= bottom; ++y) {
            EXPECT_EQ(headless::pixel(pixel_x(s.column), y), palette_rgb(s.colour)) << s.column << " " << y;
            expected.insert({pixel_x(s.column), y});
        }
        EXPECT_NE(headless::pixel(pixel_x(s.column), top - 1), palette_rgb(s.colour)) << s.column;
    }
    for (int k = ASSIGNED_MARK_TOP; k < ASSIGNED_MARK_TOP + ASSIGNED_MARK_LENGTH; ++k) {
        int y = pixel_y(d.y_high) + k;
        EXPECT_EQ(headless::pixel(pixel_x(mark), y), palette_rgb(COLOR_ASSIGNED_MARK)) << y;
        expected.insert({pixel_x(mark), y});
    }
    // no other pixel of the window has an overlay colour
    const Rgb overlay_colours[] = {palette_rgb(COLOR_CATALOGUE_STICK), palette_rgb(COLOR_EXPERIMENTAL_STICK),
                                   palette_rgb(COLOR_ASSIGNED_MARK)};
    int stray = 0;
    for (int y = 0; y <= screen.screen_height; ++y)
        for (int x = 0; x <= screen.screen_width; ++x) {
            Rgb p = headless::pixel(x, y);
            bool coloured = std::find(std::begin(overlay_colours), std::end(overlay_colours), p) != std::end(overlay_colours);
            if (coloured && !expected.count({x, y})) ++stray;
        }
    EXPECT_EQ(stray, 0);
}

TEST_F(Overlay, cursor_drawn_and_erased_over_a_stick_leaves_it_exact) {
    flat_spectrum();
    run_display();      // the first view, to know where the cursor is
    const DisplayState& d = display;
    double over = d.cursor_freq + 8 * d.freq_per_pixel;
    int column = int(std::llround((over - d.view_low) * plot_last_column() / (d.view_high - d.view_low)));
    load_catalogue(cat_line(column_freq(column), -2.0));
    run_display();
    std::vector<Rgb> before = plot_pixels();
    run_display("LK");  // the cursor passes over the stick and comes back
    EXPECT_EQ(plot_pixels(), before);
}

TEST_F(Overlay, nothing_is_drawn_or_written_without_lists_or_when_hidden) {
    flat_spectrum();
    run_display();
    std::vector<Rgb> plain = plot_pixels();
    std::string row1 = row(1), row2 = row(2);
    load_catalogue(cat_line(column_freq(100), -2.0));
    overlay.hidden = true;
    run_display("lk");
    EXPECT_EQ(plot_pixels(), plain);
    EXPECT_EQ(row(1), row1);
    EXPECT_EQ(row(2), row2);
}

// [SECTION] Readout and navigation -------------------------------------------------------------

TEST_F(Overlay, readout_of_the_line_near_the_cursor_keeps_the_status_readouts) {
    flat_spectrum();
    const double line = 100021.5;
    load_catalogue(cat_line(line, -3.2512, -303, "A0b3 5", " 9a1-4", 1403) + cat_line(100021.52, -5.0));
    run_display(PGDN);
    EXPECT_EQ(display.cursor_freq, line);
    EXPECT_EQ(row(1), " X:    431    100021.5000  <- Cursor C-L:   0.0000 Display ranges -> X:     799");
    EXPECT_EQ(row(2), " Y:    100 " + padded(" 100021.5000  0.0123  -3.251 A0b3 5  9a1-4", 57) + " Y:       2");
    // three pixels away it is still shown; four pixels away it is gone
    run_display(PGDN + "lll");
    EXPECT_EQ(row(1).substr(37, 13), "C-L:   0.1500");
    run_display(PGDN + "llll");
    EXPECT_EQ(row(1), " X:    435    100021.7000  <- Cursor" + std::string(15, ' ') + "Display ranges -> X:     799");
    EXPECT_EQ(row(2), " Y:    100" + std::string(59, ' ') + "Y:       2");
}

TEST_F(Overlay, pgdn_and_pgup_step_through_drawn_lines_and_move_the_view_by_whole_widths) {
    flat_spectrum();
    load_catalogue(cat_line(99950.0, -3) + cat_line(100010.0, -3) + cat_line(100030.0, -3) +
                   cat_line(100030.01, -4) +     // same column as 100030, weaker: never a stop
                   cat_line(100100.0, -3));
    const double width = VIEW_HIGH - F0;
    struct Case { std::string keys; double view_low; double cursor; };
    const Case cases[] = {
        {PGDN, F0, 100030.0},
        {PGDN + PGDN, F0 + 2 * width, 100100.0},             // two widths on: the view holds the line
        {PGDN + PGDN + PGUP, F0, 100030.0},                  // and back by whole widths
        {PGUP, F0, 100010.0},
        {PGUP + PGUP, F0 - 2 * width, 99950.0},
        {PGDN + PGDN + PGDN, F0 + 2 * width, 100100.0},      // no line further up: stays, says so
    };
    for (const Case& c : cases) {
        run_display(c.keys);
        EXPECT_NEAR(display.view_low, c.view_low, 1e-6) << c.keys.size();
        EXPECT_NEAR(display.view_high - display.view_low, width, 1e-6) << c.keys.size();
        EXPECT_EQ(display.cursor_freq, c.cursor) << c.keys.size();
    }
    EXPECT_EQ(row(1), " ERROR: no catalogue line above the view");
}

// [SECTION] The lists screen (C) ---------------------------------------------------------------

TEST_F(Overlay, lists_screen_loads_relative_names_hides_and_sets_the_stick_count) {
    gaussian_spectrum();
    data.write("pred.cat", "header\n" + cat_line(100020.0, -3) + cat_line(100010.0, -4));
    data.write("seen.lin", "  1  0  1  0  0  0  0  0  0  0  0  0   100020.00100     0.02000   1.00000\n");

    run_display("C");
    EXPECT_EQ(row(2), "_____L I N E   L I S T S" + std::string(56, '_'));
    EXPECT_EQ(row(4), "  Catalogue:        none");
    save_screen("overlay_lists_screen.png");

    headless::press_keys("C");
    headless::type_line("pred.cat");
    headless::press_keys("C");
    headless::type_line("seen.lin");
    run_display();
    EXPECT_EQ(overlay.catalogue.size(), 2u);
    EXPECT_EQ(overlay.catalogue_counts.skipped, 1);
    EXPECT_EQ(overlay.assigned.frequency, std::vector<double>{100020.001});
    EXPECT_EQ(row(1), " Assigned lines seen.lin: 1 lines read, 0 skipped");

    headless::press_keys("C");
    headless::type_line("missing.cat");     // refused: the catalogue stays
    run_display();
    EXPECT_EQ(row(1), " ERROR: catalogue missing.cat not loaded: file not found");
    EXPECT_EQ(overlay.catalogue.size(), 2u);

    headless::press_keys("C");
    headless::type_line("#x");              // not a count: asked again
    headless::type_line("#1");
    headless::press_keys("C");
    headless::type_line("-");
    run_display();
    EXPECT_EQ(overlay.strongest_count, 1);
    EXPECT_TRUE(overlay.hidden);

    headless::press_keys("C");
    headless::type_line("");                // ENTER alone: the file dialog
    headless::answer_dialog(data.file("pred.cat"));
    run_display();
    EXPECT_FALSE(overlay.hidden);
    EXPECT_NE(headless::last_dialog_filter().find("*.cat"), std::string::npos);
    EXPECT_EQ(row(1), " Catalogue pred.cat: 2 lines read, 1 skipped");
}

// [SECTION] Help ---------------------------------------------------------------------------------

TEST_F(Overlay, third_help_page_after_page_two_with_lists_or_on_pgdn) {
    flat_spectrum();
    const std::string heading = "_____SUMMARY OF COMMANDS FOR PREDICTED AND ASSIGNED LINES" + std::string(23, '_');
    run_display("H\r" + PGDN);             // no list: PGDN on page 2 opens page 3
    EXPECT_EQ(row(2), heading);
    EXPECT_EQ(row(5), "           C - line lists: load a catalogue (.cat) or a file of assigned");
    EXPECT_EQ(row(24), "               Press ENTER");

    run_display("H\r\r");                 // no list: ENTER on page 2 returns, as ever
    EXPECT_EQ(screen.text_rows, 17);
    EXPECT_EQ(row(1).substr(0, 3), " X:");

    load_catalogue(cat_line(100010.0, -3));
    run_display("H\r\r");                 // with a list page 3 follows
    EXPECT_EQ(row(2), heading);
    run_display("H\r\r\r");
    EXPECT_EQ(screen.text_rows, 17);
}

// [SECTION] Assigning from the catalogue (T) ---------------------------------------------------

class Assign : public Overlay {
protected:
    std::string lin_path;
    const std::string earlier = "  1  0  1  0  0  0  0  0  0  0  0  0   100010.00000     0.02000   1.00000\n";

    void SetUp() override {
        Overlay::SetUp();
        gaussian_spectrum();
        lin_path = data.write("seen.lin", earlier);
        overlay.assigned_path = lin_path;
        overlay.assigned.frequency = {100010.0};
    }
};

TEST_F(Assign, t_appends_the_line_record_with_the_catalogue_quanta_and_draws_the_mark) {
    load_catalogue(cat_line(100020.02, -3, 303, "A0b3 5 +", " 9a1-4  ", 1404) +
                   cat_line(100020.30, -2) +                   // stronger but farther
                   cat_line(100050.0, -1));
    run_display("llT");     // the cursor off the mark's column
    const MeasurementMemory& m = measurement;
    ASSERT_NEAR(m.measure_last, 100020.0, 0.01);
    EXPECT_EQ(data.read("seen.lin"), earlier + "100-23  5  0  9-11 -4  0  0  0  0  0" +
                                         format_fixed(m.measure_last, 15, 5) + format_fixed(float(m.error_last), 12, 5) +
                                         "   1.00000\n");
    ASSERT_EQ(headless::tones().size(), 1u);
    EXPECT_EQ(headless::tones()[0].frequency_hz, 1000);
    EXPECT_EQ(row(2).substr(0, 23), " Assigned   100020.0200");
    EXPECT_EQ(overlay.assigned.size(), 2u);
    const DisplayState& d = display;
    int column = int(std::llround((m.measure_last - d.view_low) * plot_last_column() / (d.view_high - d.view_low)));
    EXPECT_EQ(headless::pixel(pixel_x(column), pixel_y(d.y_high) + ASSIGNED_MARK_TOP + 1),
              palette_rgb(COLOR_ASSIGNED_MARK));
    save_screen("overlay_assigned.png");
}

TEST_F(Assign, measurement_near_a_catalogue_line_shows_observed_minus_calculated) {
    load_catalogue(cat_line(100020.02, -3) + cat_line(100020.5, -1));
    run_display("O");
    const MeasurementMemory& m = measurement;
    EXPECT_EQ(row(2).substr(0, 38), "      Halfwidth (FWHH): " + format_fixed(m.half_width, 14, 4));
    EXPECT_EQ(row(2).substr(38), " O-C:" + format_fixed(m.measure_last - 100020.02, 10, 4) +
                                     "  Data points:        7");
    load_catalogue(cat_line(100020.5, -1));     // outside the fitting window: the row as ever
    run_display("O");
    EXPECT_EQ(row(2).substr(38), std::string(17, ' ') + "Data points:        7");
}

TEST_F(Assign, t_keeps_the_columns_of_a_datafile_that_is_not_a_lin_file) {
    const std::string other = "    1    0    1    0    0    0           100010.000000       0.020000    1\n";
    overlay.assigned_path = data.write("seen.dat", other);
    load_catalogue(cat_line(100020.0, -3, 303, " 5 1 4", " 4 1 3", 1403));
    run_display("T");
    const MeasurementMemory& m = measurement;
    EXPECT_EQ(data.read("seen.dat"), other + "    5    1    4    4    1    3" + format_fixed(m.measure_last, 20, 6) +
                                         format_fixed(float(m.error_last), 15, 6) + "    1\n");
}

TEST_F(Assign, t_refuses_without_a_catalogue_line_in_the_fitting_window_or_a_writable_file) {
    load_catalogue(cat_line(100030.0, -3));
    run_display("T");
    EXPECT_EQ(row(1), " ERROR: no catalogue line within the fitting window: nothing written");
    EXPECT_EQ(data.read("seen.lin"), earlier);

    load_catalogue(cat_line(100020.0, -3));
    std::filesystem::remove(lin_path);          // gone since it was loaded: never created again
    run_display("T9");                          // the display goes on (9 still works)
    EXPECT_EQ(row(1), "    Cursor frequency =    100019.9750  taken as measured frequency");
    EXPECT_FALSE(std::filesystem::exists(lin_path));
    EXPECT_EQ(overlay.assigned.size(), 1u);
}

TEST_F(Assign, t_on_a_read_only_file_writes_nothing_and_stays_at_the_display) {
    if (geteuid() == 0) GTEST_SKIP() << "root writes to read-only files";
    load_catalogue(cat_line(100020.0, -3));
    std::filesystem::permissions(lin_path, std::filesystem::perms::owner_read);
    run_display("T");
    EXPECT_EQ(row(1), " ERROR: nothing written, seen.lin: Permission denied");
    EXPECT_EQ(data.read("seen.lin"), earlier);
}

TEST_F(Assign, linked_datafile_is_the_assigned_list_and_takes_the_linked_uncertainty) {
    std::string label(40, ' ');
    data.write("tarno_l.inp", label + "partner.lin\n" + label + "0.020\n" + label + "1500 100\n");
    data.write("partner.lin", earlier);
    load_catalogue(cat_line(100020.0, -3, 303, " 2 1", " 1 1", 1402));
    run_display(std::string("\0A", 2) + "T");     // F7 first: no polling in this test
    EXPECT_EQ(overlay.assigned_path, data.file("partner.lin"));
    EXPECT_EQ(data.read("partner.lin"), earlier + "  2  1  1  1  0  0  0  0  0  0  0  0" +
                                            format_fixed(measurement.measure_last, 15, 5) + "     0.02000   1.00000\n");
    EXPECT_EQ(overlay.assigned.size(), 2u);
    EXPECT_EQ(data.read("seen.lin"), earlier);

    run_display(std::string("\0A", 2) + std::string("\0;", 2));   // F1's record shows at once too
    EXPECT_EQ(overlay.assigned.size(), 3u);
    const std::string datafile = data.read("partner.lin");
    EXPECT_EQ(std::count(datafile.begin(), datafile.end(), '\n'), 3);
}

}  // namespace
}  // namespace tarno::testing
