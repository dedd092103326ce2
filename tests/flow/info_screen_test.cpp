// The information page on the headless console, row by row, for a binary
// spectrum during its read (no frequency axis yet) and for an ASCII spectrum
// shown from the display (frequency line and prompt).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/info_screen.hpp"
#include "app/records.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno {
namespace {

// The header and figures of a binary spectrum as its reader leaves them when
// it calls the page (frequency limits still 0).
void fill_binary_records() {
    header = SpectrumHeader{};
    set_text_field(header.comment, "OCS 12-13 band head, cell cooled, second run");
    header.day = 7;
    header.month = 3;
    header.year = 2006;
    header.hour = 9;
    header.minute = 5;
    header.second = 42;
    set_text_field(header.lamp, "BWO-3");
    header.vkm_low = -12.5f;
    header.vkm_high = 305.25f;
    header.grid_voltage = 1.5f;
    set_text_field(header.sample, "OCS");
    header.sample_pressure = 20.0f;
    header.gain = 0.05f;
    header.time_constant = 0.003f;
    header.phase = -45.0f;
    set_text_field(header.delay_aver, "2,4");
    header.points_per_second = 51.0f;
    header.modulation_freq = 12.345f;
    header.deviation = 150.0f;
    spectrum.point_count = 40000;
    spectrum.intensity_min = -1234;
    spectrum.intensity_max = 32000;
    spectrum.freq_first = 0;
    spectrum.freq_last = 0;
    spectrum.freq_step = 0;
}

// An ASCII spectrum as its reader leaves the records: the date 1/1/2000, blank
// lamp and delay fields, 51 points per second, the Y range in the sample
// field, the rest from before (zero here).
void fill_ascii_records() {
    header = SpectrumHeader{};
    set_text_field(header.comment, "two-column export");
    header.day = 1;
    header.month = 1;
    header.year = 2000;
    set_text_field(header.lamp, "");
    set_text_field(header.delay_aver, "");
    set_text_field(header.sample, "-1.250E+00 3.500E+02");
    header.points_per_second = 51.0f;
    spectrum.point_count = 5;
    spectrum.intensity_min = -10000;
    spectrum.intensity_max = 10000;
    spectrum.freq_first = 100000.0;
    spectrum.freq_last = 100004.0;
    spectrum.freq_step = 1.0;
}

// Runs the page on a cleared screen and returns rows 1..n, trailing blanks removed.
std::vector<std::string> page_rows(int n) {
    headless::start();
    set_text_field(text.blank_line, "");
    headless::run([] {
        set_text_color(0);
        set_background_color(7);
        clear_screen(0);
        set_text_position(1, 1);
        SPEINF();
    });
    std::vector<std::string> rows;
    for (int r = 1; r <= n; ++r) {
        std::string row = headless::row_text(r);
        row.erase(row.find_last_not_of(' ') + 1);
        rows.push_back(row);
    }
    return rows;
}

void expect_rows(const std::vector<std::string>& actual, const std::vector<std::string>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(actual[i], expected[i]) << "row " << i + 1;
}

const std::string MARKS = std::string(60, ' ') + "G1__   S2__    __D3";
const std::string BARS = std::string(60, ' ') + "    |      |  |";

TEST(info_screen, binary_page_stops_after_the_points_line) {
    fill_binary_records();
    std::vector<std::string> rows = page_rows(27);
    expect_rows(rows, {
        MARKS,
        BARS,
        "",
        "    OCS 12-13 band head, cell cooled, second run",
        "",
        "",
        "           Time and Date:   9: 5:42,  7/ 3/2006",
        "",
        "                    Lamp:  BWO-3",
        "          Vkm limits /mV:    -12.50-  305.25",
        "                 Grid /V:     1.5",
        "",
        "                  Sample:  OCS",
        "  Sample pressure /mTorr:    20.0",
        "",
        "                Gain /mV:    50.0",
        "        Time constant /s:   0.003",
        "              Phase /deg:   -45.0",
        "   N.delay, N.aver@point:   2,4",
        "       Points per second:    51.00",
        "",
        "   Modulation freq. /kHz:    12.345",
        "          deviation /kHz:   150.0",
        "",
        "   40000 points, ranging from      -1234  to     32000",
        "",
        "",
    });
    // The comment box: white on blue over columns 3..78 of rows 3..5.
    for (int row = 3; row <= 5; ++row) {
        EXPECT_EQ(headless::cell_background_color(row, 2), 7);
        EXPECT_EQ(headless::cell_background_color(row, 3), 1);
        EXPECT_EQ(headless::cell_background_color(row, 78), 1);
        EXPECT_EQ(headless::cell_background_color(row, 79), 7);
    }
    EXPECT_EQ(headless::cell_text_color(4, 5), 15);
    EXPECT_EQ(headless::cell_text_color(7, 12), 0);
    EXPECT_EQ(text_row(), 26);   // nothing waits: the reader goes on below
    EXPECT_EQ(text_column(), 1);
}

TEST(info_screen, ascii_page_ends_with_the_frequency_line_and_prompt) {
    fill_ascii_records();
    std::vector<std::string> rows = page_rows(30);
    expect_rows(rows, {
        MARKS,
        BARS,
        "",
        "    two-column export",
        "",
        "",
        "           Time and Date:   0: 0: 0,  1/ 1/2000",
        "",
        "                    Lamp:",
        "          Vkm limits /mV:      0.00-    0.00",
        "                 Grid /V:     0.0",
        "",
        "                  Sample:  -1.250E+00 3.500E+02",
        "  Sample pressure /mTorr:     0.0",
        "",
        "                Gain /mV:     0.0",
        "        Time constant /s:   0.000",
        "              Phase /deg:     0.0",
        "   N.delay, N.aver@point:",
        "       Points per second:    51.00",
        "",
        "   Modulation freq. /kHz:     0.000",
        "          deviation /kHz:     0.0",
        "",
        "       5 points, ranging from     -10000  to     10000",
        "               frequency from  100000.00  to 100004.00, step size   1.00000",
        "",
        "",
        "                           Press ENTER to continue",
        "",
    });
    EXPECT_EQ(text_row(), 29);   // the prompt ends without a line break
    EXPECT_EQ(text_column(), 28 + 23);
}

TEST(info_screen, gain_rule_and_overflowing_fields) {
    const struct {
        float gain;
        const char* shown;
    } cases[] = {
        {0.05f, "  50.0"},
        {0.1f, "   0.1"},
        {12.3f, "  12.3"},
        {0.099f, "  99.0"},   // the float nearest 0.099 lies below the 64-bit 0.099
        {-2.0f, "******"},    // below 0.099 too: -2000.0 does not fit F6.1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gain);
        fill_binary_records();
        header.gain = c.gain;
        header.sample_pressure = 1.0e6f;
        std::vector<std::string> rows = page_rows(16);
        EXPECT_EQ(rows[15], std::string("                Gain /mV:  ") + c.shown);
        EXPECT_EQ(rows[13], "  Sample pressure /mTorr:  ******");
    }
}

// The program's own capacity shows in full: no asterisks for 10,000,000 points
// or for the widest intensities, one blank before each number.
TEST(info_screen, largest_counts_and_intensities_show_in_full) {
    const struct { int32_t points, low, high; const char* shown; } cases[] = {
        {9999999, -1234, 32000, " 9999999 points, ranging from      -1234  to     32000"},
        {10000000, -1234, 32000, " 10000000 points, ranging from      -1234  to     32000"},
        {40000, -2147483647 - 1, 2147483647, "   40000 points, ranging from  -2147483648  to 2147483647"},
    };
    for (const auto& c : cases) {
        fill_binary_records();
        spectrum.point_count = c.points;
        spectrum.intensity_min = c.low;
        spectrum.intensity_max = c.high;
        EXPECT_EQ(page_rows(27)[24], c.shown);
    }
}

}  // namespace
}  // namespace tarno
