// The ASCII reader: pair rules, scaling with its truncation, every failure
// reason, the linearity test and the resampling, and files that must not
// break it (long lines, NaN, empty files, directories, random bytes).
#include <charconv>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "common/fields.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

// Runs the reader on a file holding `contents`; returns the result and
// leaves the screen for inspection.
AsciiReadResult read_text(const std::string& contents) {
    FixtureDir dir;
    std::string path = dir.write("pairs.txt", contents);
    set_text_field(text.data_file_name, path);
    headless::start();
    AsciiReadResult result = AsciiReadResult::failure;
    headless::RunResult run = headless::run([&] { result = read_ascii_spectrum(path); });
    EXPECT_FALSE(run.ended) << "the reader must not end the program";
    return result;
}

// The reason shown in the failure report ("" when there is none).
std::string failure_reason() {
    const std::string label = "Unsuccessful ASCII input:  ";
    for (int row = 1; row <= 30; ++row) {
        std::string line = headless::row_text(row);
        size_t at = line.find(label);
        if (at != std::string::npos) return std::string(trim(line.substr(at + label.size())));
    }
    return "";
}

std::vector<int32_t> intensities() {
    return std::vector<int32_t>(spectrum.intensity + 1, spectrum.intensity + 1 + spectrum.point_count);
}

TEST(ascii_reader, scaling_truncates_toward_zero) {
    ASSERT_EQ(read_text("c\n1 0\n2 5\n3 10\n4 5\n"), AsciiReadResult::success);
    EXPECT_EQ(intensities(), (std::vector<int32_t>{-10000, 0, 10000, 0}));
    ASSERT_EQ(read_text("c\n1 0\n2 1\n3 3\n4 1\n"), AsciiReadResult::success);
    EXPECT_EQ(intensities(), (std::vector<int32_t>{-10000, -3333, 10000, -3333}));
    EXPECT_EQ(spectrum.intensity_min, -10000);
    EXPECT_EQ(spectrum.intensity_max, 10000);
}

// Y - Ymin and Ymax - Ymin are single-precision differences: with Ymin =
// 1e8 the float difference of 100000001 - 1e8 is 0 (both round to 1e8).
TEST(ascii_reader, differences_in_single_precision) {
    ASSERT_EQ(read_text("c\n1 100000000\n2 100000001\n3 100000020\n4 100000010\n"), AsciiReadResult::success);
    float ymin = 100000000.0f, ymax = 100000020.0f;
    double s = 20000.0 / static_cast<double>(ymax - ymin);
    auto expect = [&](float y) { return static_cast<int32_t>(static_cast<double>(y - ymin) * s - 10000.0); };
    EXPECT_EQ(intensities(), (std::vector<int32_t>{-10000, expect(100000001.0f), 10000, expect(100000010.0f)}));
    EXPECT_EQ(spectrum.intensity[2], -10000);
}

TEST(ascii_reader, failure_reasons) {
    struct Case { const char* contents; const char* reason; };
    const Case cases[] = {
        {"", "Problem with the comment"},
        {"comment only\n", "Too few X,Y pairs"},
        {"c\n1 0\n2 5\n3 10\n", "Too few X,Y pairs"},
        {"c\n1 4\n2 4\n", "Zero range of Y-values"},                 // equal Y wins over too few
        {"c\n1 4\n2 4\n3 4\n4 4\n5 4\n", "Zero range of Y-values"},
        {"c\n5 1\n4 2\n3 3\n2 4\n1 5\n", "Frequencies not continuously increasing"},
        {"c\n1 1\n2 2\n1.5 3\n3 4\n4 5\n", "Frequencies not continuously increasing"},
        {"c\n7 1\n7 2\n7 3\n7 4\n", "Zero frequency range"},
        {"c\n1 -3e38\n2 3e38\n3 0\n4 1\n", "Range of Y-values too large"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(read_text(c.contents), AsciiReadResult::failure) << c.contents;
        EXPECT_EQ(failure_reason(), c.reason) << c.contents;
    }
}

TEST(ascii_reader, last_pair_going_back_is_dropped) {
    ASSERT_EQ(read_text("c\n1 1\n2 2\n3 3\n4 4\n3.5 5\n"), AsciiReadResult::success);
    EXPECT_EQ(spectrum.point_count, 4);
    EXPECT_EQ(spectrum.freq_last, 4.0);
    EXPECT_EQ(spectrum.intensity[4], 5000);          // scaled with the dropped pair's Y in the range
}

// The pair rules, each against the same four pairs read plainly.
TEST(ascii_reader, pair_rules) {
    ASSERT_EQ(read_text("c\n1 0\n2 5\n3 10\n4 5\n"), AsciiReadResult::success);
    const std::vector<int32_t> plain = intensities();
    const char* variants[] = {
        "c\n1 0\n2 5\nnot numbers\n3 10\n4 5\n",          // a line of two words is skipped
        "c\n1 0\n2 5\n3 10 and a note\n4 5\n",            // text after the second number
        "c\n1,0\n2 , 5\n3\t10\n4,\t5\n",                  // comma, blanks, tabs
        "c\n1\n0\n2 5\n3\n\n   10\n4 5\n",                // a pair spread over two lines (blank line between)
        "c\r\n1 0\r\n2 5\r\n3 10\r\n4 5\r\n",             // CR LF line ends
        "c\n1 0\n2 5\n3 10\n4 5",                         // no final line end
        "c\n+1 0.0\n2.0e0 5\n3D0 1D1\n4 5.0+0\n",         // signs and classic exponents
        "c\n1 0\n2 5\n2.5 nan\n3 10\n2.7 inf\n4 5\n",     // NaN and infinity are not values
        "c\n1 0\n2 5\n2.5 1e39\n3 10\n4 5\n",             // beyond single precision
        "c\n1 0\n2,,5\n2 5\n3 10\n4 5\n",                 // an empty value
        "c\n1 0\n2 5\n2.5 6x\n3 10\n4 5\n",               // a number runs up to its separator
        "c\n1 0\n2 5\n-\n3 10\n4 5\n",
        "c\n1 1e-50\n2 5\n3 10\n4 5\n",                 // below single precision: reads as 0
    };
    for (const char* contents : variants) {
        ASSERT_EQ(read_text(contents), AsciiReadResult::success) << contents;
        EXPECT_EQ(intensities(), plain) << contents;
        EXPECT_EQ(spectrum.freq_last, 4.0) << contents;
    }
}

// A line of 100 kB: as the comment (72 characters kept), as text after a
// pair, and as one number too long to be a value.
TEST(ascii_reader, lines_of_100_kB) {
    std::string long_words(100000, 'w');
    std::string digits(100000, '7');
    std::string contents = "Comment " + long_words + "\n1 0\n2 5 " + long_words + "\n3 10\n" + digits + " 3\n4 5\n";
    ASSERT_EQ(read_text(contents), AsciiReadResult::success);
    EXPECT_EQ(spectrum.point_count, 4);
    EXPECT_EQ(intensities(), (std::vector<int32_t>{-10000, 0, 10000, 0}));
    EXPECT_EQ(std::string(text_field_view(header.comment)), "Comment " + std::string(64, 'w'));
}

TEST(ascii_reader, header_of_an_ascii_spectrum) {
    header = SpectrumHeader{};
    header.gain = 0.25f;
    header.hour = 9;
    ASSERT_EQ(read_text("Scan 7\n1 -2.5\n2 0\n3 1250\n4 0\n"), AsciiReadResult::success);
    EXPECT_EQ(trimmed_text_field(header.comment), "Scan 7");
    EXPECT_EQ(std::string(text_field_view(header.sample)), "-2.500E+00 1.250E+03");
    EXPECT_EQ(header.day, 1);
    EXPECT_EQ(header.month, 1);
    EXPECT_EQ(header.year, 2000);
    EXPECT_EQ(header.points_per_second, 51.0f);
    EXPECT_EQ(std::string(text_field_view(header.lamp)), "      ");
    EXPECT_EQ(std::string(text_field_view(header.delay_aver)), "      ");
    EXPECT_EQ(header.gain, 0.25f);               // instrument fields keep their values
    EXPECT_EQ(header.hour, 9);
    EXPECT_EQ(spectrum.freq_step, 1.0);
}

// Deviation 0.5 > 0.1 * step: resampled; point 4 moves to 4.0 and gets the
// value interpolated between the pairs at 3 and 4.5.
TEST(ascii_reader, uneven_axis_is_resampled) {
    ASSERT_EQ(read_text("c\n1 0\n2 10\n3 20\n4.5 50\n5 100\n"), AsciiReadResult::success);
    const SpectrumRecord& s = spectrum;
    ASSERT_EQ(s.point_count, 5);
    // Y 0, 10, 20, 50, 100 scale to -10000, -8000, -6000, 0, 10000.
    EXPECT_EQ(s.frequency[4], 4.0);
    int32_t expected = static_cast<int32_t>(-6000 + (4.0 - 3.0) * (0 - -6000) / (4.5 - 3.0));
    EXPECT_EQ(s.intensity[4], expected);
    EXPECT_EQ(s.intensity[4], -2000);
    EXPECT_EQ(s.intensity[2], -8000);            // already on the grid
    EXPECT_EQ(s.intensity[1], -10000);
    EXPECT_EQ(s.intensity[5], 10000);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(s.frequency[i], static_cast<double>(i));
}

// Deviation 0.05 <= 0.1 * step: the frequencies stay as read.
TEST(ascii_reader, nearly_even_axis_is_kept) {
    ASSERT_EQ(read_text("c\n1 0\n2.05 10\n3 20\n4 50\n5 100\n"), AsciiReadResult::success);
    EXPECT_EQ(spectrum.frequency[2], 2.05);
    EXPECT_EQ(spectrum.intensity[2], -8000);
}

// The bracket only moves forward and copes with repeated frequencies.
TEST(ascii_reader, resampling_with_repeated_frequencies) {
    ASSERT_EQ(read_text("c\n0 0\n0 100\n0 0\n1 50\n10 100\n"), AsciiReadResult::success);
    const SpectrumRecord& s = spectrum;
    ASSERT_EQ(s.point_count, 5);
    EXPECT_EQ(s.freq_step, 2.5);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(s.frequency[i], 2.5 * (i - 1));
    // t = 2.5 lies between the pairs at 1 (0) and 10 (10000): 0 + 1.5 * 10000 / 9.
    EXPECT_EQ(s.intensity[2], static_cast<int32_t>(0 + (2.5 - 1.0) * 10000 / 9.0));
}

TEST(ascii_reader, unopenable_and_directory_paths) {
    FixtureDir dir;
    set_text_field(text.data_file_name, dir.path().string());
    headless::start();
    AsciiReadResult result = AsciiReadResult::success;
    headless::run([&] { result = read_ascii_spectrum(dir.path().string()); });
    EXPECT_EQ(result, AsciiReadResult::failure);
    EXPECT_EQ(failure_reason(), "Problem with the comment");

    headless::start();
    headless::run([&] { result = read_ascii_spectrum(dir.file("missing.txt")); });
    EXPECT_EQ(result, AsciiReadResult::failure);
    EXPECT_EQ(failure_reason(), "Cannot open the file as text");
}

// Random bytes and random damage to a good file (fixed seed): a result, no crash.
TEST(ascii_reader, random_files_end_in_a_result) {
    std::mt19937 random(424242);
    std::string good = "Random test\n";
    for (int i = 1; i <= 200; ++i) good += std::to_string(100.0 + i * 0.5) + " " + std::to_string((i * 37) % 101) + "\n";
    const char alphabet[] = "0123456789 .,-+eEdD\n\t\r\0xyz";
    for (int round = 0; round < 100; ++round) {
        std::string contents;
        if (round % 2 == 0) {
            contents.resize(std::uniform_int_distribution<size_t>(0, 3000)(random));
            for (char& c : contents) c = alphabet[std::uniform_int_distribution<size_t>(0, sizeof alphabet - 2)(random)];
        } else {
            contents = good.substr(0, std::uniform_int_distribution<size_t>(0, good.size())(random));
            for (int k = 0; k < 10 && !contents.empty(); ++k)
                contents[std::uniform_int_distribution<size_t>(0, contents.size() - 1)(random)] =
                    static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        }
        if (read_text(contents) == AsciiReadResult::success) {
            const SpectrumRecord& s = spectrum;
            ASSERT_GE(s.point_count, 3);
            ASSERT_LT(s.freq_first, s.freq_last);
            for (int32_t i = 1; i <= s.point_count; ++i) {
                ASSERT_GE(s.intensity[i], -10000) << i;
                ASSERT_LE(s.intensity[i], 10000) << i;
            }
        }
    }
}


// [SECTION] The two-core parse ----------------------------------------------------

// What a read leaves: result, count, axis, intensities and the screen.
struct ReadOutcome {
    AsciiReadResult result;
    int32_t point_count;
    std::vector<double> frequency;
    std::vector<int32_t> intensity;
    std::vector<std::string> rows;
    bool operator==(const ReadOutcome&) const = default;
};

ReadOutcome read_cut_at(const std::string& path, uint64_t split_from) {
    headless::start();
    ReadOutcome outcome{AsciiReadResult::failure, 0, {}, {}, {}};
    headless::run([&] { outcome.result = read_ascii_spectrum(path, split_from); });
    const SpectrumRecord& s = spectrum;
    outcome.point_count = s.point_count;
    outcome.frequency.assign(s.frequency + 1, s.frequency + 1 + s.point_count);
    outcome.intensity = intensities();
    for (int row = 1; row <= 30; ++row) outcome.rows.push_back(headless::row_text(row));
    return outcome;
}

// Wherever the cut falls (every byte of each file), the two-core read equals
// the one-core read: pairs spread over lines across the cut, skipped lines,
// CR LF, a last line without its end or holding only a frequency, failures
// and a resampled axis.
TEST(ascii_reader, two_core_parse_equals_one_pass_wherever_the_cut_falls) {
    const char* files[] = {
        "c\n1 0\n2 5\n3 10\n4 5\n5 7\n6 1\n",
        "c\n1\n\n  \n0\n2,\n5\n3 10\nword\n4 5\n5\n7\n6",
        "c\r\n1 0\r\n2 5\r\n\r\n3 10\r\n4,,5\r\n4 5\r\n5 1e39\r\n5 2\r\n",
        "c\n1 0\n2 5\n3 10\n4 5\n3.5 5\n",                    // the last pair goes back
        "c\n1 0\n2 10\n3 20\n4.5 50\n5 100\n6 3\n",           // resampled
        "c\n5 1\n4 2\n3 3\n2 4\n1 5\n",                       // not increasing
        "c\n1 4\n2 4\n3 4\n4 4\n5 4\n",                       // zero range
        "comment line\n",
    };
    FixtureDir dir;
    for (const char* contents : files) {
        std::string path = dir.write("cut.txt", contents);
        set_text_field(text.data_file_name, path);
        const ReadOutcome one_pass = read_cut_at(path, NO_SPLIT);
        for (uint64_t cut = 0; cut <= std::strlen(contents) + 1; ++cut)
            EXPECT_EQ(read_cut_at(path, cut), one_pass) << "cut from byte " << cut << " of:\n" << contents;
    }
}

// More pairs than MAX_POINTS: one pass keeps the first MAX_POINTS, and the Y
// range comes from those alone (the pairs beyond hold the extremes).
TEST(ascii_reader, two_core_parse_stops_at_max_points) {
    std::string contents = "c\n";
    contents.reserve(size_t(MAX_POINTS) * 12 + 64);
    char number[16];
    for (int32_t i = 1; i <= MAX_POINTS + 2; ++i) {
        auto end = std::to_chars(number, number + sizeof number, i).ptr;
        contents.append(number, end);
        contents += i > MAX_POINTS ? (i % 2 ? " -9\n" : " 9\n") : (i % 2 ? " 1\n" : " 2\n");
    }
    FixtureDir dir;
    std::string path = dir.write("many.txt", contents);
    set_text_field(text.data_file_name, path);
    for (uint64_t cut : {NO_SPLIT, uint64_t(contents.size() / 2), uint64_t(contents.size() - 8)}) {
        headless::start();
        AsciiReadResult result = AsciiReadResult::failure;
        headless::run([&] { result = read_ascii_spectrum(path, cut); });
        ASSERT_EQ(result, AsciiReadResult::success) << cut;
        EXPECT_EQ(spectrum.point_count, MAX_POINTS) << cut;
        EXPECT_EQ(spectrum.frequency[MAX_POINTS], double(MAX_POINTS)) << cut;
        EXPECT_EQ(std::string(text_field_view(header.sample)), " 1.000E+00 2.000E+00") << cut;
    }
}

}  // namespace
}  // namespace tarno
