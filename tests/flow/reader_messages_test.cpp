// The readers' messages and reports on the console, row by row, with their
// colours, and the pause for ENTER before a refused binary file goes back.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "app/driver.hpp"
#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "tests/support/fixture_dir.hpp"
#include "tests/support/spectrum_files.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

std::string row(int r) {
    std::string line = headless::row_text(r);
    return line.substr(0, line.find_last_not_of(' ') + 1);
}

// A fresh window in the program's normal colours (set at start-up).
void start_window() {
    headless::start();
    set_text_color(0);
    set_background_color(7);
}

// Runs the binary reader with `keys` queued.
headless::RunResult run_binary(const std::string& bytes, std::string_view keys, BinaryReadResult& result) {
    FixtureDir dir;
    std::string path = dir.write("run5.spe", bytes);
    set_text_field(text.data_file_name, path);
    start_window();
    headless::press_keys(keys);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    headless::RunResult run = headless::run([&] { result = read_binary_spectrum(file); });
    std::fclose(file);
    return run;
}

AsciiReadResult run_ascii(const std::string& contents) {
    FixtureDir dir;
    std::string path = dir.write("pairs.txt", contents);
    set_text_field(text.data_file_name, "/data/pairs.txt");
    start_window();
    AsciiReadResult result = AsciiReadResult::success;
    headless::run([&] { result = read_ascii_spectrum(path); });
    return result;
}

std::string header_with_count(int32_t count) {
    std::string bytes = testing::binary_spectrum_bytes(testing::recording_header(), {1, 2, 3}, 1.0, 3.0, 1.0);
    bytes.resize(162);
    testing::patch_int16(bytes, 156, -1);
    testing::patch_int32(bytes, 158, count);
    return bytes;
}

// [SECTION] Binary refusals: message, pause, back ----------------------------------

TEST(reader_messages, binary_refusals_pause_then_return) {
    const std::string valid = testing::binary_spectrum_bytes(testing::recording_header(), {1, 2, 3}, 1.0, 3.0, 1.0);
    struct Case { std::string bytes; int message_row; std::string message; std::string second_line; };
    const Case cases[] = {
        {header_with_count(10000001), 3,
         "     10000001 points in spectrum, while present maximum is 10000000", ""},
        {valid.substr(0, 165), 3, "              PROBLEMS WITH INPUT OF INTENSITIES at pt.     2", ""},
        {valid.substr(0, 159), 3, "              PROBLEMS WITH INPUT OF THE NUMBER OF POINTS:",
         "              the file ends inside the point count"},
        {header_with_count(0), 3,
         "              THIS SPECTRUM FILE HOLDS NO POINTS: point count           0", ""},
    };
    for (const Case& c : cases) {
        BinaryReadResult result = BinaryReadResult::success;
        // Without ENTER the reader waits at the pause (the script runs out there).
        headless::RunResult waiting = run_binary(c.bytes, "x", result);
        EXPECT_TRUE(waiting.script_exhausted) << c.message;
        EXPECT_EQ(row(c.message_row), c.message);
        if (!c.second_line.empty()) {
            EXPECT_EQ(row(c.message_row + 1), c.second_line);
        }
        int pause_row = c.message_row + (c.second_line.empty() ? 3 : 4);
        EXPECT_EQ(row(pause_row), "Press ENTER to continue") << c.message;

        headless::RunResult run = run_binary(c.bytes, "\r", result);
        EXPECT_FALSE(run.ended) << c.message;
        EXPECT_EQ(result, BinaryReadResult::back_to_file_prompt) << c.message;
    }
}

TEST(reader_messages, bad_frequency_limits) {
    BinaryReadResult result = BinaryReadResult::success;
    std::string reversed = testing::binary_spectrum_bytes(testing::recording_header(), {1, 2, 3}, 3.0, 1.0, 1.0);
    headless::RunResult run = run_binary(reversed, "", result);
    EXPECT_FALSE(run.ended) << "no pause here";
    EXPECT_EQ(result, BinaryReadResult::back_to_file_prompt);
    EXPECT_EQ(row(1), "");
    EXPECT_EQ(row(2), "          PROBLEMS WITH FREQUENCY LIMITS:");
    EXPECT_EQ(row(3), "");
    EXPECT_EQ(row(4), "              This may be a file in one of the old data standards,");
    EXPECT_EQ(row(5), "              in which case try using TREMBO");
    EXPECT_EQ(headless::cell_text_color(2, 11), 12);
}

// After the information page the frequency line follows the points line.
TEST(reader_messages, binary_success_reports_frequencies) {
    BinaryReadResult result = BinaryReadResult::not_binary;
    std::string bytes = testing::binary_spectrum_bytes(testing::recording_header(), {-5, 2, 9}, 230000.5, 230001.5, 0.5);
    run_binary(bytes, "", result);
    ASSERT_EQ(result, BinaryReadResult::success);
    EXPECT_EQ(row(25), "       3 points, ranging from         -5  to         9");
    EXPECT_EQ(row(26), "               frequency from  230000.50  to 230001.50, step size   0.50000");
    EXPECT_EQ(row(27), "");
}

// [SECTION] ASCII reports -------------------------------------------------------------

TEST(reader_messages, ascii_success_report) {
    ASSERT_EQ(run_ascii("My comment\n1 0\n2 5\n3 10\n4 5\n"), AsciiReadResult::success);
    EXPECT_EQ(row(1), "  Successful ASCII input from: /data/pairs.txt");
    EXPECT_EQ(headless::cell_text_color(1, 32), 12);
    EXPECT_EQ(row(3), "");
    EXPECT_EQ(row(4), "    My comment");
    for (int r = 3; r <= 5; ++r) {
        EXPECT_EQ(headless::cell_background_color(r, 3), 1) << r;
        EXPECT_EQ(headless::cell_background_color(r, 78), 1) << r;
        EXPECT_EQ(headless::cell_background_color(r, 79), 7) << r;
    }
    EXPECT_EQ(headless::cell_text_color(4, 5), 15);
    EXPECT_EQ(row(7), "       4 points:  intensity from  0.0000E+00 to  1.0000E+01");
    EXPECT_EQ(row(8), "                  frequency from        1.00 to        4.00");
    EXPECT_EQ(headless::cell_background_color(7, 2), 7);
}

TEST(reader_messages, ascii_linearity_report) {
    ASSERT_EQ(run_ascii("c\n1 0\n2 10\n3 20\n4.5 50\n5 100\n"), AsciiReadResult::success);
    const char* expected[] = {
        "          The data is not linear in frequency:",
        "",
        "           Maximum deviation =      0.50000  at point        4        4.50000",
        "                Maximum step =      1.50000  at point        4        4.50000",
        "                Minimum step =      0.50000  at point        5        5.00000",
        "                DeltaF/(n-1) =      1.00000",
        "",
        "           Sum of deviations =      0.50000",
        "           average deviation =      0.12500",
        "",
        "",
        "          TARNO will now linearise the frequency axis by linear interpolation,",
        "          but you might still want to check the input",
    };
    for (int k = 0; k < 13; ++k) EXPECT_EQ(row(11 + k), expected[k]) << "row " << 11 + k;
    EXPECT_EQ(headless::cell_text_color(11, 11), 12);
    EXPECT_EQ(headless::cell_text_color(13, 12), 0);
}

TEST(reader_messages, ascii_failure_reports) {
    // Too few pairs: the point after the last pair, which holds no frequency.
    EXPECT_EQ(run_ascii("c\n1 0\n2 5\n3 10\n"), AsciiReadResult::failure);
    EXPECT_EQ(row(2), "          File:  /data/pairs.txt");
    EXPECT_EQ(headless::cell_text_color(2, 18), 12);
    EXPECT_EQ(row(4), "          Unsuccessful ASCII input:  Too few X,Y pairs");
    EXPECT_EQ(row(5), "                   Failed at point:           4");
    EXPECT_EQ(row(8), "                    point:         3   frequency:          3.00000000");
    EXPECT_EQ(row(9), "                    point:         4   frequency:          0.00000000");

    // A decrease is reported where it happens.
    EXPECT_EQ(run_ascii("c\n1 0\n2 5\n1.5 10\n4 5\n5 6\n"), AsciiReadResult::failure);
    EXPECT_EQ(row(4), "          Unsuccessful ASCII input:  Frequencies not continuously increasing");
    EXPECT_EQ(row(5), "                   Failed at point:           3");
    EXPECT_EQ(row(8), "                    point:         2   frequency:          2.00000000");
    EXPECT_EQ(row(9), "                    point:         3   frequency:          1.50000000");

    // No pairs read: no point lines.
    EXPECT_EQ(run_ascii(""), AsciiReadResult::failure);
    EXPECT_EQ(row(4), "          Unsuccessful ASCII input:  Problem with the comment");
    EXPECT_EQ(row(5), "");
}

// [SECTION] Through the driver ------------------------------------------------------

// A refused binary file does not end the program: after ENTER the file
// prompt comes back below the message, and the next file can be read.
TEST(reader_messages, refused_file_returns_to_the_file_prompt) {
    FixtureDir dir;
    setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);      // no configuration file
    std::string too_many = dir.write("big.spe", header_with_count(10000001));
    std::string good = dir.write("good.spe", testing::binary_spectrum_bytes(testing::recording_header(),
                                                                             {1, 5, 2}, 1.0, 3.0, 1.0));
    headless::start();
    headless::type_line(too_many);
    headless::press_keys("\r");                             // the pause after the message
    headless::type_line(good);
    headless::RunResult run = headless::run([] { MAIN__(); });
    EXPECT_TRUE(run.script_exhausted) << "the program went on to wait for keys";
    EXPECT_EQ(spectrum.point_count, 3);
    EXPECT_EQ(spectrum.intensity[2], 5);
}

}  // namespace
}  // namespace tarno
