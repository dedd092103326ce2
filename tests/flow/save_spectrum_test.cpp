// SAVESP end to end on the headless console: typed answers, the files it
// writes checked byte by byte, and read back with the program's own readers.
#include "processing/save_spectrum.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "common/fields.hpp"
#include "tests/support/file_size_limit.hpp"
#include "tests/flow/display_flow.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

using testing::FileSizeLimit;
using testing::FixtureDir;
using testing::lines_of;
using testing::files_in;
using testing::row_containing;

// [SECTION] Helpers -----------------------------------------------------------

constexpr size_t HEADER_BYTES = 156;
constexpr size_t INTENSITY_OFFSET = 162;

template <typename T>
T value_at(const std::string& bytes, size_t offset) {
    T value{};
    EXPECT_LE(offset + sizeof(T), bytes.size()) << "read past the end at offset " << offset;
    if (offset + sizeof(T) <= bytes.size()) std::memcpy(&value, bytes.data() + offset, sizeof(T));
    return value;
}

int16_t stored(const std::string& bytes, int32_t point) {
    return value_at<int16_t>(bytes, INTENSITY_OFFSET + 2 * static_cast<size_t>(point - 1));
}

class SaveSpectrum : public ::testing::Test {
protected:
    FixtureDir dir;

    void SetUp() override {
        headless::start();
        set_text_field(text.data_file_name, dir.write("source.spe", "the spectrum being saved"));
        header = SpectrumHeader{};
        set_text_field(header.comment, "methanol 2 mTorr, 3 scans");
        header.day = 24, header.month = 6, header.year = 2005;
        header.hour = 13, header.minute = 5, header.second = 59;
        set_text_field(header.lamp, "BWO-4");
        set_text_field(header.sample, "CH3OH");
        set_text_field(header.delay_aver, "3,10");
        header.gain = 0.05f;
        header.deviation = 123.5f;
    }

    // Puts `values` into the spectrum record on the grid first + (i - 1) * step.
    void load(const std::vector<int32_t>& values, double first = 1000.0, double step = 0.5) {
        SpectrumRecord& s = spectrum;
        s.point_count = static_cast<int32_t>(values.size());
        s.freq_first = first;
        s.freq_step = step;
        s.freq_last = first + static_cast<double>(values.size() - 1) * step;
        for (size_t i = 0; i < values.size(); ++i) {
            s.intensity[i + 1] = values[i];
            s.frequency[i + 1] = first + static_cast<double>(i) * step;
        }
    }

    // A spectrum of `count` points rising evenly from `low` to `high`.
    void load_ramp(int32_t count, int32_t low, int32_t high) {
        std::vector<int32_t> values(static_cast<size_t>(count));
        for (int32_t i = 0; i < count; ++i)
            values[static_cast<size_t>(i)] =
                count == 1 ? low : low + static_cast<int32_t>(static_cast<int64_t>(high - low) * i / (count - 1));
        load(values);
    }

    // Runs SAVESP with one typed line per answer and returns the files in the
    // directory while the closing "Press ENTER to continue" waits.
    std::vector<std::string> files_at_closing_pause(const std::vector<std::string>& answers) {
        for (const std::string& answer : answers) headless::type_line(answer);
        headless::hold_key_script(true);
        std::vector<std::string> files;
        std::thread user([&] {
            for (int waited = 0; waited < 10000 && row_containing("Press ENTER to continue") == 0; ++waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            files = files_in(dir);
            headless::press_keys("\r");
            headless::hold_key_script(false);
        });
        headless::RunResult run = headless::run([] { SAVESP(); });
        user.join();
        EXPECT_FALSE(run.script_exhausted);
        return files;
    }

    // Runs SAVESP with one typed line per answer and a final ENTER.
    headless::RunResult save(const std::vector<std::string>& answers) {
        for (const std::string& answer : answers) headless::type_line(answer);
        headless::press_keys("\r");
        return headless::run([] { SAVESP(); });
    }
};

// [SECTION] Binary output -----------------------------------------------------

TEST_F(SaveSpectrum, binary_count_form_follows_point_count) {
    struct Case { int32_t points; int16_t count_word; bool short_form; };
    const Case cases[] = {
        {32000, 32000, true},
        {32001, -1, false},
        {1, -1, false},     // a count below 2 in the short form would read back as the long form
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("points " + std::to_string(c.points));
        load_ramp(c.points, -1000, 1000);
        std::string name = "ramp" + std::to_string(c.points) + ".spe";
        headless::RunResult run = save({name, "0", "0"});
        EXPECT_FALSE(run.script_exhausted);
        std::string bytes = dir.read(name);
        size_t n = static_cast<size_t>(c.points);
        ASSERT_EQ(bytes.size(), INTENSITY_OFFSET + 2 * n + 3 * 8 + 2);
        EXPECT_EQ(value_at<int16_t>(bytes, 156), c.count_word);
        if (c.short_form) {
            EXPECT_EQ(value_at<int16_t>(bytes, 158), -1000);
            EXPECT_EQ(value_at<int16_t>(bytes, 160), 1000);
        } else {
            EXPECT_EQ(value_at<int32_t>(bytes, 158), c.points);
        }
        size_t block = INTENSITY_OFFSET + 2 * n;
        EXPECT_EQ(value_at<double>(bytes, block), 1000.0);
        EXPECT_EQ(value_at<double>(bytes, block + 8), spectrum.freq_last);
        EXPECT_EQ(value_at<double>(bytes, block + 16), 0.5);
        EXPECT_EQ(value_at<int16_t>(bytes, block + 24), 0);
    }
}

TEST_F(SaveSpectrum, binary_header_is_written_as_in_memory) {
    load({-5, 0, 5});
    save({"header.spe", "0", "0"});
    std::string bytes = dir.read("header.spe");
    ASSERT_GE(bytes.size(), HEADER_BYTES);
    const char* raw = reinterpret_cast<const char*>(&header);
    EXPECT_EQ(bytes.substr(0, 72), std::string(raw, 72));
    EXPECT_EQ(value_at<int16_t>(bytes, 72), 24);
    EXPECT_EQ(value_at<int16_t>(bytes, 76), 2005);
    EXPECT_EQ(value_at<int16_t>(bytes, 82), 59);
    EXPECT_EQ(bytes.substr(84, 6), "BWO-4 ");
    EXPECT_EQ(bytes.substr(102, 20), padded("CH3OH", 20));
    EXPECT_EQ(value_at<float>(bytes, 126), 0.05f);
    EXPECT_EQ(bytes.substr(138, 6), padded("3,10", 6));
    EXPECT_EQ(value_at<float>(bytes, 152), 123.5f);
}

TEST_F(SaveSpectrum, binary_scaling_to_the_two_byte_range) {
    struct Case {
        const char* what;
        std::vector<int32_t> values;
        std::vector<std::string> range_answers;
        std::vector<int16_t> expected;      // stored values, point by point
    };
    const Case cases[] = {
        {"range above 64000 reduced: scale 0.8, mid 20000", {-20000, 20000, 60000}, {"0"}, {-32000, 0, 32000}},
        {"new range 1000: mid 100, scale 2.5, truncated toward zero", {-100, 1, 100, 300}, {"1", "1000"},
         {-500, -247, 0, 500}},
        {"new range above 64000 reduced to 64000", {-100, 100, 300}, {"1", "100000"}, {-32000, 0, 32000}},
        {"negative range inverts", {-100, 100, 300}, {"1", "-1000"}, {500, 0, -500}},
        // 700/1000 is 0.699999988 in single precision; 10 * that rounds to 7 in
        // single precision, where a double product would truncate to 6.
        {"product formed in single precision", {-500, 10, 500}, {"1", "700"}, {-350, 7, 350}},
        {"odd small range saturates instead of wrapping", {0, 1}, {"1", "64000"}, {0, 32767}},
    };
    int file = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        load(c.values);
        std::string name = "scaled" + std::to_string(++file) + ".spe";
        std::vector<std::string> answers{name, "0"};
        answers.insert(answers.end(), c.range_answers.begin(), c.range_answers.end());
        EXPECT_FALSE(save(answers).script_exhausted);
        std::string bytes = dir.read(name);
        EXPECT_EQ(value_at<int16_t>(bytes, 156), static_cast<int16_t>(c.values.size()));
        // the stored limits are those of the smallest (first) and largest (last) intensity
        EXPECT_EQ(value_at<int16_t>(bytes, 158), c.expected.front());
        EXPECT_EQ(value_at<int16_t>(bytes, 160), c.expected.back());
        for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(stored(bytes, static_cast<int32_t>(i + 1)), c.expected[i]) << "point " << i + 1;
    }
}

TEST_F(SaveSpectrum, binary_dialogue_on_screen) {
    load({-20000, 60000});
    save({"screen.spe", "0", "0"});
    EXPECT_EQ(headless::row_text(2), padded("_____O U T P U T   T O   F I L E" + std::string(48, '_'), 80));
    int source = row_containing("This spectrum is from file:");
    ASSERT_GT(source, 0);
    EXPECT_EQ(headless::row_text(source + 1), padded("     " + dir.file("source.spe"), 80));
    EXPECT_EQ(headless::cell_text_color(source + 1, 6), 12);
    int range = row_containing("Dynamic range of spectrum =");
    ASSERT_GT(range, 0);
    EXPECT_EQ(headless::row_text(range), padded("     Dynamic range of spectrum =    80000", 80));
    EXPECT_EQ(headless::row_text(range + 1),
              padded("              Maximum possible =    64000  (2-byte limit)", 80));
    int done = row_containing("Output has been written to:");
    ASSERT_GT(done, 0);
    EXPECT_EQ(headless::row_text(done + 1), padded("     " + dir.file("screen.spe"), 80));
    EXPECT_EQ(headless::cell_text_color(done + 1, 6), 12);
    EXPECT_EQ(headless::row_text(done + 3).substr(0, 65), std::string(40, ' ') + "Press ENTER to continue  ");
    EXPECT_EQ(spectrum.intensity_min, -20000);
    EXPECT_EQ(spectrum.intensity_max, 60000);
}

TEST_F(SaveSpectrum, binary_reads_back_with_scaled_intensities) {
    load({-100, 1, 100, 250, 300}, 86000.125, 0.0625);
    save({"back.spe", "0", "1", "1000"});
    std::FILE* file = std::fopen(dir.file("back.spe").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    BinaryReadResult result{};
    headless::start();
    headless::run([&] { result = read_binary_spectrum(file); });
    std::fclose(file);
    ASSERT_EQ(result, BinaryReadResult::success);
    const std::vector<int32_t> expected{-500, -247, 0, 375, 500};
    ASSERT_EQ(spectrum.point_count, 5);
    for (int32_t i = 1; i <= 5; ++i) {
        EXPECT_EQ(spectrum.intensity[i], expected[static_cast<size_t>(i - 1)]) << "point " << i;
        EXPECT_EQ(spectrum.frequency[i], 86000.125 + (i - 1) * 0.0625) << "point " << i;
    }
    EXPECT_EQ(trimmed_text_field(header.comment), "methanol 2 mTorr, 3 scans");
}

TEST_F(SaveSpectrum, constant_spectrum_refuses_a_new_range) {
    load({7, 7, 7});
    save({"flat.spe", "0", "1"});
    EXPECT_GT(row_containing("constant: a new range cannot be set"), 0);
    EXPECT_EQ(row_containing("Value of new range"), 0);
    std::string bytes = dir.read("flat.spe");
    for (int32_t i = 1; i <= 3; ++i) EXPECT_EQ(stored(bytes, i), 0);
}

// [SECTION] ASCII output ------------------------------------------------------

TEST_F(SaveSpectrum, ascii_lines_with_new_limits) {
    load({0, 1, 2, 3}, 100.1, 0.1);
    for (int32_t i = 1; i <= 4; ++i) spectrum.frequency[i] = 0.0;   // the grid is rebuilt from freq_first and freq_step
    EXPECT_FALSE(save({"limits.txt", "1", "1", "0 1"}).script_exhausted);
    const std::vector<std::string> expected{
        "!",
        "!   Output from spectrum: " + dir.file("source.spe"),
        "!",
        // 1/3 in single precision is 0.333333343
        "      100.10000          0.00000000",
        "      100.20000          0.33333334",
        "      100.30000          0.66666669",
        "      100.40000          1.00000000",
    };
    EXPECT_EQ(lines_of(dir.read("limits.txt")), expected);
    int row = row_containing("Y-axis limits of spectrum =");
    ASSERT_GT(row, 0);
    EXPECT_EQ(headless::row_text(row), padded("     Y-axis limits of spectrum =     3,     0", 80));
}

TEST_F(SaveSpectrum, ascii_new_limits_are_reached_exactly_for_every_span) {
    // In single precision (upper - lower) / span falls short for about one span
    // in six (41 and 47 among them): the largest intensity came out as 0.99999994.
    const int32_t spans[] = {1, 3, 41, 47, 49, 97, 103, 999, 12347, 65521, 1'000'003, 9'999'991, 10'000'000};
    struct Limits { const char* typed; const char* lower; const char* upper; };
    const Limits limits[] = {
        {"0 1", "          0.00000000", "          1.00000000"},
        {"-5,5", "         -5.00000000", "          5.00000000"},
        {"0.25 0.75", "          0.25000000", "          0.75000000"},
    };
    for (const Limits& l : limits) {
        for (int32_t span : spans) {
            SCOPED_TRACE(std::string(l.typed) + ", span " + std::to_string(span));
            headless::start();
            std::filesystem::remove(dir.file("span.txt"));
            load({-20000 + span, -20000, -20000 + span / 2});
            save({"span.txt", "1", "1", l.typed});
            std::vector<std::string> lines = lines_of(dir.read("span.txt"));
            ASSERT_EQ(lines.size(), 6u);
            EXPECT_EQ(lines[3].substr(15), l.upper);
            EXPECT_EQ(lines[4].substr(15), l.lower);
        }
    }
}

TEST_F(SaveSpectrum, ascii_without_new_limits_keeps_intensities) {
    load({-100, 0, 100, 300});
    save({"first.txt", "1", "1", "5,6"});       // leaves limits 5 and 6 behind
    save({"second.txt", "1", "0"});
    std::vector<std::string> lines = lines_of(dir.read("second.txt"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3], "     1000.00000       -100.00000000");
    EXPECT_EQ(lines[6], "     1001.50000        300.00000000");
    EXPECT_EQ(lines_of(dir.read("first.txt"))[3], "     1000.00000          5.00000000");
}

TEST_F(SaveSpectrum, ascii_limits_asked_again_until_lower_below_upper) {
    load({0, 10, 20, 30});
    save({"again.txt", "1", "1", "2 2", "3 1", "junk", "-1 1"});
    std::vector<std::string> lines = lines_of(dir.read("again.txt"));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[3].substr(15), "         -1.00000000");
    EXPECT_EQ(lines[6].substr(15), "          1.00000000");
}

TEST_F(SaveSpectrum, ascii_reads_back_with_the_same_frequencies) {
    load({5, -40, 300, 12, 99, 250}, 86000.125, 0.0625);
    save({"back.txt", "1", "0"});
    headless::start();
    AsciiReadResult result{};
    headless::run([&] { result = read_ascii_spectrum(dir.file("back.txt")); });
    ASSERT_EQ(result, AsciiReadResult::success);
    ASSERT_EQ(spectrum.point_count, 6);
    for (int32_t i = 1; i <= 6; ++i) EXPECT_EQ(spectrum.frequency[i], 86000.125 + (i - 1) * 0.0625) << "point " << i;
    EXPECT_EQ(spectrum.intensity[2], -10000);   // the smallest value maps to the bottom of the ASCII scale
    EXPECT_EQ(spectrum.intensity[3], 10000);
}

// [SECTION] Names and existing files -------------------------------------------

TEST_F(SaveSpectrum, name_is_cut_to_twenty_characters) {
    load({1, 2, 3});
    save({"abcdefghijklmnopqrst-uvwx", "1", "0"});
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"abcdefghijklmnopqrst", "source.spe"}));
}

// Typed names are UTF-8 and the file gets exactly that name; the cut at 20
// characters never splits one.
TEST_F(SaveSpectrum, names_with_accents_are_created_as_typed) {
    load({1, 2, 3});
    save({"spektrum_\xC3\xA4.txt", "1", "0"});
    save({"abcdefghijklmnopqrs\xC3\xA4-uvwx", "1", "0"});     // the umlaut is the 20th character
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"abcdefghijklmnopqrs\xC3\xA4", "source.spe",
                                                        "spektrum_\xC3\xA4.txt"}));
}

TEST_F(SaveSpectrum, empty_name_returns_at_once) {
    load({1, 2, 3});
    headless::RunResult run = save({""});
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(row_containing("Type of output"), 0);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"source.spe"});
}

TEST_F(SaveSpectrum, overwrite_question) {
    struct Case {
        const char* answer;
        std::vector<std::string> more;      // answers after the overwrite question
        const char* old_file_after;         // contents of the existing file afterwards
        bool new_file;                      // "other.txt" written
    };
    const Case cases[] = {
        {"X", {}, "old", false},
        {"", {}, "old", false},
        {"n", {""}, "old", false},
        {"N", {"other.txt", "0"}, "old", true},
        {"y", {"0"}, nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("answer '") + c.answer + "'");
        std::filesystem::remove(dir.file("other.txt"));
        dir.write("old.txt", "old");
        load({1, 2, 3});
        std::vector<std::string> answers{"old.txt", "1", c.answer};
        answers.insert(answers.end(), c.more.begin(), c.more.end());
        EXPECT_FALSE(save(answers).script_exhausted);
        EXPECT_GT(row_containing("THIS FILE ALREADY EXISTS, OVERWRITE (Y/N)?"), 0);
        if (c.old_file_after) {
            EXPECT_EQ(dir.read("old.txt"), c.old_file_after);
        } else {
            EXPECT_EQ(lines_of(dir.read("old.txt")).size(), 6u);
        }
        EXPECT_EQ(std::filesystem::exists(dir.file("other.txt")), c.new_file);
        EXPECT_EQ(row_containing("Output has been written to:") > 0, c.new_file || !c.old_file_after);
        headless::start();
    }
}

// [SECTION] Long paths -----------------------------------------------------------

// A spectrum deeper than the 100-character name field is saved beside it, and
// its path is shown shortened at the front, the file name whole.
TEST_F(SaveSpectrum, long_path_saves_beside_the_spectrum) {
    load({1, 2, 3});
    const std::string sub = std::string(50, 'c') + "_campaign/" + std::string(50, 'r') + "_raw_scans";
    const std::string deep = dir.file(sub);
    std::filesystem::create_directories(deep);
    const std::string source = deep + "/run03.spe";
    ASSERT_GT(source.size(), 100u);
    set_data_file_name(source);
    EXPECT_FALSE(save({"out.txt", "1", "0"}).script_exhausted);
    EXPECT_TRUE(std::filesystem::exists(deep + "/out.txt"));
    EXPECT_GT(row_containing("     ..." + source.substr(source.size() - 67)), 0);
    std::string written = dir.read(sub + "/out.txt");
    EXPECT_EQ(written.substr(0, written.find('\n', 2) + 1), "!\n!   Output from spectrum: ..." + source.substr(source.size() - 67) + "\n");
}

// [SECTION] Failures -------------------------------------------------------------

TEST_F(SaveSpectrum, directory_that_cannot_be_written_is_reported) {
    load({1, 2, 3});
    set_text_field(text.data_file_name, dir.file("gone/source.spe"));
    EXPECT_FALSE(save({"out.txt", "1", "x"}).script_exhausted);
    int row = row_containing("****ERROR, cannot create a file in");
    ASSERT_GT(row, 0);
    EXPECT_NE(headless::row_text(row).find("gone"), std::string::npos);
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"source.spe"});
}

TEST_F(SaveSpectrum, write_error_leaves_no_file) {
    load_ramp(32001, -1000, 1000);
    dir.write("full.spe", "previous save");
    headless::RunResult run;
    {
        FileSizeLimit limit(4096);
        run = save({"full.spe", "0", "y", "0"});
    }
    EXPECT_FALSE(run.script_exhausted);
    int row = row_containing("****ERROR, the output could not be written to:");
    ASSERT_GT(row, 0);
    EXPECT_EQ(headless::row_text(row + 1), padded("     " + dir.file("full.spe"), 80));
    EXPECT_EQ(headless::row_text(row + 2), padded("     writing the intensities: File too large", 80));
    EXPECT_EQ(row_containing("Output has been written to:"), 0);
    EXPECT_EQ(dir.read("full.spe"), "previous save");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"full.spe", "source.spe"}));
    ASSERT_FALSE(headless::tones().empty());
    EXPECT_EQ(headless::tones().back().frequency_hz, 4000);
}

TEST_F(SaveSpectrum, a_file_made_during_the_dialogue_is_not_replaced) {
    load({1, 2, 3});
    for (const char* answer : {"late.spe", "0"}) headless::type_line(answer);
    headless::hold_key_script(true);
    std::thread other_program([&] {
        for (int waited = 0; waited < 10000 && row_containing("New range (1/0) ?") == 0; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        dir.write("late.spe", "written by another program");
        headless::press_keys("0\r\r");
        headless::hold_key_script(false);
    });
    headless::RunResult run = headless::run([] { SAVESP(); });
    other_program.join();
    EXPECT_FALSE(run.script_exhausted);
    int row = row_containing("****ERROR, the output could not be written to:");
    ASSERT_GT(row, 0);
    EXPECT_EQ(headless::row_text(row + 2), padded("     file exists: made while this one was written, left as it was", 80));
    EXPECT_EQ(dir.read("late.spe"), "written by another program");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"late.spe", "source.spe"}));
}

TEST_F(SaveSpectrum, failed_write_removes_the_temporary_before_the_pause) {
    load_ramp(32001, -1000, 1000);
    std::vector<std::string> files;
    {
        FileSizeLimit limit(4096);
        files = files_at_closing_pause({"full.spe", "0", "0"});
    }
    ASSERT_GT(row_containing("****ERROR, the output could not be written to:"), 0);
    EXPECT_EQ(files, std::vector<std::string>{"source.spe"});   // no ".full.spe.tmp-..." filling the disk meanwhile
}

}  // namespace
}  // namespace tarno
