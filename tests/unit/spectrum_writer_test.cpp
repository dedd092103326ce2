// The binary writer: byte layout of both count forms, header field offsets,
// and write failures reported instead of swallowed.
#include <cstdio>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "app/spectrum_format.hpp"
#include "app/spectrum_writer.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

using Bytes = std::string;

SpectrumHeader sample_header() {
    SpectrumHeader h{};
    set_text_field(h.comment, "OCS 2-1 survey");
    h.day = 31; h.month = 12; h.year = 2050;
    h.hour = 23; h.minute = 59; h.second = 58;
    set_text_field(h.lamp, "BWO-3");
    h.vkm_low = -1.5f; h.vkm_high = 2.25f; h.grid_voltage = 300.0f;
    set_text_field(h.sample, "OCS");
    h.sample_pressure = 12.5f; h.gain = 0.05f; h.time_constant = 0.003f; h.phase = -45.0f;
    set_text_field(h.delay_aver, "3,1");
    h.points_per_second = 51.0f; h.modulation_freq = 18.5f; h.deviation = 120.0f;
    return h;
}

Bytes write_to_file(const testing::FixtureDir& dir, const std::vector<int16_t>& values,
                    int16_t stored_min, int16_t stored_max) {
    std::string path = dir.file("out.spe");
    WriteStatus status = write_binary_spectrum_file(path, sample_header(), values, stored_min, stored_max,
                                                    100.0, 200.0, 0.5);
    EXPECT_TRUE(status.ok) << status.message;
    return dir.read("out.spe");
}

const unsigned char* at(const Bytes& bytes, size_t offset) {
    return reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
}

TEST(spectrum_writer, short_form_layout) {
    testing::FixtureDir dir;
    Bytes bytes = write_to_file(dir, {1, -2, 300, -32000, 32000}, -32000, 32000);
    ASSERT_EQ(bytes.size(), 162u + 5 * 2 + 24 + 2);
    EXPECT_EQ(bytes.substr(0, 14), "OCS 2-1 survey");
    EXPECT_EQ(bytes[14], ' ');                       // text fields blank padded
    EXPECT_EQ(load_int16(at(bytes, 72)), 31);
    EXPECT_EQ(load_int16(at(bytes, 76)), 2050);
    EXPECT_EQ(load_int16(at(bytes, 82)), 58);
    EXPECT_EQ(bytes.substr(84, 6), "BWO-3 ");
    EXPECT_EQ(bytes.substr(102, 20), "OCS                 ");
    EXPECT_EQ(bytes.substr(138, 6), "3,1   ");
    float deviation;
    std::memcpy(&deviation, at(bytes, 152), 4);
    EXPECT_EQ(deviation, 120.0f);
    EXPECT_EQ(load_int16(at(bytes, 156)), 5);
    EXPECT_EQ(load_int16(at(bytes, 158)), -32000);
    EXPECT_EQ(load_int16(at(bytes, 160)), 32000);
    EXPECT_EQ(load_int16(at(bytes, 162)), 1);
    EXPECT_EQ(load_int16(at(bytes, 164)), -2);
    EXPECT_EQ(load_int16(at(bytes, 170)), 32000);
    EXPECT_EQ(load_double(at(bytes, 172)), 100.0);
    EXPECT_EQ(load_double(at(bytes, 180)), 200.0);
    EXPECT_EQ(load_double(at(bytes, 188)), 0.5);
    EXPECT_EQ(load_int16(at(bytes, 196)), 0);         // trailing zero
}

// The header bytes decode back to the same fields.
TEST(spectrum_writer, header_round_trip) {
    unsigned char bytes[HEADER_BYTES];
    SpectrumHeader h = sample_header();
    encode_header(h, bytes);
    SpectrumHeader back = decode_header(bytes);
    EXPECT_EQ(std::memcmp(&back.comment, &h.comment, sizeof h.comment), 0);
    EXPECT_EQ(back.year, 2050);
    EXPECT_EQ(back.gain, 0.05f);
    EXPECT_EQ(back.phase, -45.0f);
    EXPECT_EQ(back.deviation, 120.0f);
    EXPECT_EQ(trimmed_text_field(back.delay_aver), "3,1");
}

TEST(spectrum_writer, count_forms_at_the_limits) {
    testing::FixtureDir dir;
    struct Case { size_t count; int16_t c; int32_t long_count; };
    const Case cases[] = {
        {32000, 32000, 0},      // largest short form
        {32001, -1, 32001},     // long form
        {40000, -1, 40000},
        {2, 2, 0},
        {1, -1, 1},             // a short C of 1 would read as the long-form mark
        {0, -1, 0},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> values(c.count, 7);
        Bytes bytes = write_to_file(dir, values, 7, 7);
        ASSERT_EQ(bytes.size(), 162 + 2 * c.count + 26) << c.count;
        EXPECT_EQ(load_int16(at(bytes, 156)), c.c) << c.count;
        if (c.c == -1) {
            EXPECT_EQ(load_int32(at(bytes, 158)), c.long_count) << c.count;
        }
        if (c.count > 0) {
            EXPECT_EQ(load_int16(at(bytes, 162)), 7);
        }
    }
}

// Chunks written one after the other give the same file as one call.
TEST(spectrum_writer, streaming_equals_whole) {
    testing::FixtureDir dir;
    std::vector<int16_t> values(40000);
    for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<int16_t>(i * 37 % 65536 - 32768);
    Bytes whole = write_to_file(dir, values, 0, 0);

    std::FILE* file = std::fopen(dir.file("chunks.spe").c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(write_spectrum_head(file, sample_header(), 40000, 0, 0).ok);
    for (size_t start = 0; start < values.size(); start += 999)
        ASSERT_TRUE(write_intensity_block(file, std::span(values).subspan(start, std::min<size_t>(999, values.size() - start))).ok);
    ASSERT_TRUE(write_frequency_block(file, 100.0, 200.0, 0.5).ok);
    std::fclose(file);
    EXPECT_EQ(dir.read("chunks.spe"), whole);
}

TEST(spectrum_writer, failures_are_reported) {
    std::vector<int16_t> values(100000, 1);
    std::FILE* full = std::fopen("/dev/full", "wb");
    if (full != nullptr) {
        WriteStatus s = write_binary_spectrum(full, sample_header(), values, 1, 1, 1.0, 2.0, 1.0);
        EXPECT_FALSE(s.ok);
        EXPECT_NE(s.message.find("No space left on device"), std::string::npos) << s.message;
        std::fclose(full);
    }
    testing::FixtureDir dir;
    WriteStatus s = write_binary_spectrum_file(dir.file("missing/dir/x.spe"), sample_header(), values, 1, 1,
                                               1.0, 2.0, 1.0);
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.message.find("missing/dir"), std::string::npos) << s.message;
}

}  // namespace
}  // namespace tarno
