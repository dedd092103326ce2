// The binary reader: the binary test's date limits, both count forms, the
// point-count limits, the frequency block checks, and bad files (cut off at
// every length, random bytes) that must end in a result, never a crash.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "app/records.hpp"
#include "app/spectrum_format.hpp"
#include "app/spectrum_reader.hpp"
#include "tests/support/fixture_dir.hpp"
#include "tests/support/spectrum_files.hpp"
#include "window/headless.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;
using testing::binary_spectrum_bytes;
using testing::recording_header;

// Runs the reader on `bytes` with ENTER queued for any pause.
BinaryReadResult read_bytes(const std::string& bytes) {
    FixtureDir dir;
    std::string path = dir.write("spectrum.spe", bytes);
    headless::start();
    headless::press_keys("\r\r\r");
    BinaryReadResult result = BinaryReadResult::not_binary;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr);
    headless::RunResult run = headless::run([&] { result = read_binary_spectrum(file); });
    std::fclose(file);
    EXPECT_FALSE(run.ended) << "the reader must not end the program";
    return result;
}

std::string small_file(int16_t day, int16_t month, int16_t year) {
    SpectrumHeader h = recording_header();
    h.day = day; h.month = month; h.year = year;
    return binary_spectrum_bytes(h, {10, -20, 30, 5}, 1000.0, 1003.0, 1.0);
}

TEST(binary_reader, date_limits_of_the_binary_test) {
    struct Case { int16_t day, month, year; BinaryReadResult expected; };
    const Case cases[] = {
        {31, 12, 2050, BinaryReadResult::success},
        {1, 1, 1980, BinaryReadResult::success},
        {1, 1, 2051, BinaryReadResult::not_binary},
        {31, 12, 1979, BinaryReadResult::not_binary},
        {0, 5, 2000, BinaryReadResult::not_binary},
        {32, 5, 2000, BinaryReadResult::not_binary},
        {5, 13, 2000, BinaryReadResult::not_binary},
        {5, 0, 2000, BinaryReadResult::not_binary},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read_bytes(small_file(c.day, c.month, c.year)), c.expected)
            << c.day << "/" << c.month << "/" << c.year;
}

TEST(binary_reader, short_form_ignores_stored_limits) {
    std::string bytes = binary_spectrum_bytes(recording_header(), {7, -3, 250, -32768, 32767}, 10.0, 14.0, 1.0,
                                              /*stored_min=*/-1, /*stored_max=*/1);
    ASSERT_EQ(load_int16(reinterpret_cast<const unsigned char*>(bytes.data()) + 156), 5);
    ASSERT_EQ(read_bytes(bytes), BinaryReadResult::success);
    const SpectrumRecord& s = spectrum;
    EXPECT_EQ(s.point_count, 5);
    EXPECT_EQ(s.intensity[1], 7);
    EXPECT_EQ(s.intensity[3], 250);
    EXPECT_EQ(s.intensity[4], -32768);
    EXPECT_EQ(s.intensity[5], 32767);
    EXPECT_EQ(s.intensity_min, -32768);
    EXPECT_EQ(s.intensity_max, 32767);
    EXPECT_EQ(s.frequency[5], 14.0);
}

TEST(binary_reader, long_form_and_count_below_two) {
    std::vector<int16_t> values(40000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i % 1000 - 500);
    std::string bytes = binary_spectrum_bytes(recording_header(), values, 200000.0, 203999.9, 0.1);
    ASSERT_EQ(read_bytes(bytes), BinaryReadResult::success);
    EXPECT_EQ(spectrum.point_count, 40000);
    EXPECT_EQ(spectrum.intensity[1], -500);
    EXPECT_EQ(spectrum.intensity[40000], 499);
    EXPECT_EQ(spectrum.intensity_min, -500);
    EXPECT_EQ(spectrum.intensity_max, 499);
    EXPECT_EQ(spectrum.frequency[40000], 200000.0 + 39999.0 * 0.1);

    // C = 1 (and 0, and negative) are long-form marks too: N follows.
    for (int16_t mark : {int16_t(1), int16_t(0), int16_t(-7)}) {
        std::string patched = binary_spectrum_bytes(recording_header(), {4, 5, 6}, 1.0, 3.0, 1.0);
        patched.erase(156, 6);
        std::string counts(6, '\0');
        testing::patch_int16(counts, 0, mark);
        testing::patch_int32(counts, 2, 3);
        patched.insert(156, counts);
        ASSERT_EQ(read_bytes(patched), BinaryReadResult::success) << mark;
        EXPECT_EQ(spectrum.point_count, 3);
        EXPECT_EQ(spectrum.intensity[3], 6);
    }
}

TEST(binary_reader, point_count_limits) {
    std::string header_only = binary_spectrum_bytes(recording_header(), std::vector<int16_t>(40000, 1), 1.0, 2.0, 0.0);
    header_only.resize(162);
    for (int32_t count : {MAX_POINTS + 1, 2147483647, 0, -5}) {
        spectrum.point_count = 77;
        std::string bytes = header_only;
        testing::patch_int32(bytes, 158, count);
        EXPECT_EQ(read_bytes(bytes), BinaryReadResult::back_to_file_prompt) << count;
        EXPECT_EQ(spectrum.point_count, 77) << "a refused count is not taken";
    }
}

// Exactly MAX_POINTS points still fit.
TEST(binary_reader, reads_max_points) {
    std::vector<int16_t> values(MAX_POINTS);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i * 7);
    ASSERT_EQ(read_bytes(binary_spectrum_bytes(recording_header(), values, 0.0, 1.0, 1e-7)),
              BinaryReadResult::success);
    EXPECT_EQ(spectrum.point_count, MAX_POINTS);
    EXPECT_EQ(spectrum.intensity[MAX_POINTS], values.back());
    EXPECT_EQ(spectrum.frequency[MAX_POINTS], static_cast<double>(MAX_POINTS - 1) * 1e-7);
}

TEST(binary_reader, frequency_block_checks) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case { double first, last, step; BinaryReadResult expected; };
    const Case cases[] = {
        {100.0, 200.0, 0.0, BinaryReadResult::success},     // step 0: every point at the first frequency
        {100.0, 100.0, 1.0, BinaryReadResult::back_to_file_prompt},
        {200.0, 100.0, 1.0, BinaryReadResult::back_to_file_prompt},
        {100.0, 200.0, -1.0, BinaryReadResult::back_to_file_prompt},
        {nan, 200.0, 1.0, BinaryReadResult::back_to_file_prompt},
        {100.0, nan, 1.0, BinaryReadResult::back_to_file_prompt},
        {100.0, 200.0, nan, BinaryReadResult::back_to_file_prompt},
        {100.0, inf, 1.0, BinaryReadResult::back_to_file_prompt},
        {100.0, 200.0, 1e308, BinaryReadResult::back_to_file_prompt},   // grid runs to infinity
    };
    for (const Case& c : cases) {
        std::string bytes = binary_spectrum_bytes(recording_header(), {1, 2, 3}, c.first, c.last, c.step);
        EXPECT_EQ(read_bytes(bytes), c.expected) << c.first << " " << c.last << " " << c.step;
    }
    ASSERT_EQ(read_bytes(binary_spectrum_bytes(recording_header(), {1, 2, 3}, 100.0, 200.0, 0.0)),
              BinaryReadResult::success);
    EXPECT_EQ(spectrum.frequency[3], 100.0);
    EXPECT_EQ(spectrum.freq_last, 200.0);
}

// Text fields are cleaned; a file that is not binary leaves the header alone.
TEST(binary_reader, header_cleaning_and_untouched_header) {
    SpectrumHeader h = recording_header();
    h.comment[0] = '\t';
    h.comment[1] = static_cast<char>(200);
    h.sample[19] = '\0';
    h.lamp[0] = 127;                                        // DEL is kept
    h.delay_aver[5] = '\n';
    ASSERT_EQ(read_bytes(binary_spectrum_bytes(h, {1, 2}, 1.0, 2.0, 1.0)), BinaryReadResult::success);
    EXPECT_EQ(header.comment[0], '#');
    EXPECT_EQ(header.comment[1], '#');
    EXPECT_EQ(header.comment[2], h.comment[2]);
    EXPECT_EQ(header.sample[19], '#');
    EXPECT_EQ(header.lamp[0], 127);
    EXPECT_EQ(header.delay_aver[5], '#');
    EXPECT_EQ(header.gain, 0.05f);

    EXPECT_EQ(read_bytes(small_file(1, 1, 2051)), BinaryReadResult::not_binary);
    EXPECT_EQ(header.year, 2005);
    EXPECT_EQ(header.comment[0], '#');
}

// Writer -> reader gives back the intensities, limits and frequencies.
TEST(binary_reader, round_trip_with_writer) {
    std::mt19937 random(20060705);
    std::uniform_int_distribution<int> value(-32768, 32767);
    for (size_t count : {size_t(2), size_t(32000), size_t(32001), size_t(100000)}) {
        std::vector<int16_t> values(count);
        for (int16_t& v : values) v = static_cast<int16_t>(value(random));
        const double first = 230000.125, step = 0.0375;
        const double last = first + static_cast<double>(count - 1) * step;
        ASSERT_EQ(read_bytes(binary_spectrum_bytes(recording_header(), values, first, last, step)),
                  BinaryReadResult::success) << count;
        ASSERT_EQ(spectrum.point_count, static_cast<int32_t>(count));
        int32_t low = 1 << 30, high = -(1 << 30);
        for (size_t i = 0; i < count; ++i) {
            ASSERT_EQ(spectrum.intensity[i + 1], values[i]) << "point " << i + 1;
            ASSERT_EQ(spectrum.frequency[i + 1], first + static_cast<double>(i) * step) << "point " << i + 1;
            low = std::min<int32_t>(low, values[i]);
            high = std::max<int32_t>(high, values[i]);
        }
        EXPECT_EQ(spectrum.intensity_min, low);
        EXPECT_EQ(spectrum.intensity_max, high);
        EXPECT_EQ(spectrum.freq_first, first);
        EXPECT_EQ(spectrum.freq_last, last);
        EXPECT_EQ(spectrum.freq_step, step);
    }
}

// A valid file cut off at every length: each part of the file fails its own way.
TEST(binary_reader, truncated_at_every_length) {
    const std::string whole = binary_spectrum_bytes(recording_header(), {1, 2, 3, 4, 5}, 1.0, 5.0, 1.0);
    const size_t frequency_block = 162 + 5 * 2;
    for (size_t length = 0; length <= whole.size(); ++length) {
        BinaryReadResult expected = length < 156                    ? BinaryReadResult::not_binary
                                    : length < frequency_block + 24 ? BinaryReadResult::back_to_file_prompt
                                                                    : BinaryReadResult::success;
        EXPECT_EQ(read_bytes(whole.substr(0, length)), expected) << "length " << length;
    }
}

// A short text file ends inside the count words: its "date" fails the test,
// so it goes to the ASCII reader instead of being refused.
TEST(binary_reader, short_text_file_is_not_binary) {
    std::string text = "Frequency scan of HCN, comment line\n";
    while (text.size() < 158) text += "100.5 12.25\n";
    text.resize(159);
    EXPECT_EQ(read_bytes(text), BinaryReadResult::not_binary);
}

// Random bytes and random damage to a valid file: a result, no crash.
TEST(binary_reader, random_files_end_in_a_result) {
    std::mt19937 random(1234567);
    std::uniform_int_distribution<int> byte(0, 255);
    const std::string valid = binary_spectrum_bytes(recording_header(), std::vector<int16_t>(300, 9), 1.0, 300.0, 1.0);
    for (int round = 0; round < 200; ++round) {
        std::string bytes;
        if (round % 2 == 0) {
            bytes.resize(std::uniform_int_distribution<size_t>(0, 2000)(random));
            for (char& c : bytes) c = static_cast<char>(byte(random));
        } else {
            bytes = valid;
            for (int k = 0; k < 8; ++k)
                bytes[std::uniform_int_distribution<size_t>(156, bytes.size() - 1)(random)] = static_cast<char>(byte(random));
            bytes.resize(std::uniform_int_distribution<size_t>(150, bytes.size())(random));
        }
        BinaryReadResult result = read_bytes(bytes);
        if (result == BinaryReadResult::success) {
            ASSERT_GE(spectrum.point_count, 1);
            ASSERT_LE(spectrum.point_count, MAX_POINTS);
        }
    }
}

}  // namespace
}  // namespace tarno
