// The partner's datafile: record columns for every command and both kinds of
// datafile, the confirming tone patterns, and the append (whole record or nothing).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "display/linked.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

TransitionValues transition_1_to_12() {
    TransitionValues t{};
    for (int q = 0; q < 12; ++q) t.quantum_numbers[q] = q + 1;
    t.transition_intensity = 0.5f;
    t.transition_extra = 2.25f;
    return t;
}

TransitionValues transition_negative() {
    TransitionValues t{};
    t.quantum_numbers = {-1, -10, -100, 1000, 100000, -9999, 0, 0, 0, 0, 0, 7};
    t.transition_intensity = -0.000123f;
    t.transition_extra = -1.5f;
    return t;
}

struct RecordCase {
    const char* name;
    int32_t command;
    bool is_lin;
    MeasuredLine line;
    float line_uncertainty;
    TransitionValues transition;
    const char* expected;
};

const MeasuredLine LINE = {123456.789012, 0.00123, 1234.9, 0.25};

TEST(linked_records, formats_per_command_and_datafile_kind) {
    const RecordCase cases[] = {
        {"line lin", 1, true, LINE, 0.02f, transition_1_to_12(),
         "  1  2  3  4  5  6  7  8  9 10 11 12   123456.78901     0.02000   1.00000"},
        {"line other", 1, false, LINE, 0.02f, transition_1_to_12(),
         "    1    2    3    4    5    6       123456.789012       0.020000    1"},
        {"blend lin", 2, true, LINE, 0.02f, transition_1_to_12(),
         "  1  2  3  4  5  6  7  8  9 10 11 12   123456.78901     0.02000  5.00E-01"},
        {"blend other", 2, false, LINE, 0.02f, transition_1_to_12(),
         "    1    2    3    4    5    6       123456.789012       0.020000    2 5.00E-01 "},
        {"excluded lin: uncertainty 0, weight 1", 3, true, LINE, 0.02f, transition_1_to_12(),
         "  1  2  3  4  5  6  7  8  9 10 11 12   123456.78901     0.00000   1.00000"},
        {"excluded other: flag 0", 3, false, LINE, 0.02f, transition_1_to_12(),
         "    1    2    3    4    5    6       123456.789012       0.020000    0"},
        {"average lin", 5, true, LINE, 0.02f, transition_1_to_12(),
         "  1  2  3  4  5  6  7  8  9 10 11 12   123456.78901     0.02000  1.00E+00"},
        {"average other", 5, false, LINE, 0.02f, transition_1_to_12(),
         "    1    2    3    4    5    6       123456.789012       0.020000    1"},
        {"intensity lin", 6, true, LINE, 0.02f, transition_1_to_12(),
         "  123456.78901 +- 0.00123    1234    0.25000     1  2  3 <-   4  5  6    5.0000E-01     2.25000"},
        {"intensity other is the same", 6, false, LINE, 0.02f, transition_1_to_12(),
         "  123456.78901 +- 0.00123    1234    0.25000     1  2  3 <-   4  5  6    5.0000E-01     2.25000"},
        {"negative values lin: I3 overflows to asterisks", 2, true, {-5.5, 0.0, -345.7, 0.0}, -0.5f, transition_negative(),
         " -1-10************  0  0  0  0  0  7       -5.50000    -0.50000 -1.23E-04"},
        {"negative values other", 2, false, {-5.5, 0.0, 0.0, 0.0}, -0.5f, transition_negative(),
         "   -1  -10 -100 1000*****-9999           -5.500000      -0.500000    2-1.23E-04 "},
        {"negative peak truncated toward zero", 6, false, {-5.5, 0.5, -345.7, 1.0}, 0.02f, transition_negative(),
         "      -5.50000 +- 0.50000    -345    1.00000    -1-10*** <- *********   -1.2300E-04    -1.50000"},
        {"overflowing frequency and uncertainty lin", 1, true, {1e12, 0.0, 0.0, 0.0}, 12345678.0f, transition_1_to_12(),
         "  1  2  3  4  5  6  7  8  9 10 11 12***************************   1.00000"},
        {"F20.6 still holds 13 integer digits", 1, false, {1e12, 0.0, 0.0, 0.0}, 0.02f, transition_1_to_12(),
         "    1    2    3    4    5    61000000000000.000000       0.020000    1"},
        {"overflowing intensity record fields", 6, true, {1e10, 123.4, 1e9, 1e6}, 0.02f, transition_1_to_12(),
         "************** +-***************************     1  2  3 <-   4  5  6    5.0000E-01     2.25000"},
        {"replaced zero intensity", 6, true, LINE, 0.02f, [] { auto t = transition_1_to_12(); t.transition_intensity = 1.0E-20f; return t; }(),
         "  123456.78901 +- 0.00123    1234    0.25000     1  2  3 <-   4  5  6    1.0000E-20     2.25000"},
    };
    for (const RecordCase& c : cases) {
        auto record = format_datafile_record(c.command, c.is_lin, c.line, c.line_uncertainty, c.transition);
        ASSERT_TRUE(record.has_value()) << c.name;
        EXPECT_EQ(*record, c.expected) << c.name;
    }
}

// A record that would carry asterisks is refused; the bounds of each field are accepted.
TEST(linked_records, values_beyond_their_field_refuse_the_record) {
    struct Case {
        const char* name;
        int32_t command;
        bool is_lin;
        std::vector<std::pair<int, int32_t>> quantum_numbers;   // (q, value) over Q1..Q12 = 1..12
        double frequency;
        std::optional<std::string> refusal;
    };
    const Case cases[] = {
        {"lin: I3 bounds", 1, true, {{1, -99}, {12, 999}}, 1000.0, std::nullopt},
        {"lin: above 999", 1, true, {{7, 1000}}, 1000.0, "Q7 = 1000 outside -99..999"},
        {"lin: below -99", 2, true, {{1, -100}}, 1000.0, "Q1 = -100 outside -99..999"},
        {"lin average", 5, true, {{12, 5000}}, 1000.0, "Q12 = 5000 outside -99..999"},
        {"other: I5 bounds, Q7..Q12 not written", 3, false, {{1, -9999}, {6, 99999}, {7, 100000}}, 1000.0, std::nullopt},
        {"other: above 99999", 1, false, {{5, 100000}}, 1000.0, "Q5 = 100000 outside -9999..99999"},
        {"intensity: I3 for Q1..Q6", 6, false, {{4, 1000}}, 1000.0, "Q4 = 1000 outside -99..999"},
        {"intensity: Q7 not written", 6, true, {{7, 123456}}, 1000.0, std::nullopt},
        {"frequency beyond F15.5", 1, true, {}, 1e12, "a value does not fit its column"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransitionValues t = transition_1_to_12();
        for (auto [q, value] : c.quantum_numbers) t.quantum_numbers[size_t(q - 1)] = value;
        MeasuredLine line = LINE;
        line.frequency = c.frequency;
        std::optional<std::string> record = format_datafile_record(c.command, c.is_lin, line, 0.02f, t);
        ASSERT_TRUE(record);
        EXPECT_EQ(datafile_record_refusal(c.command, c.is_lin, t, *record), c.refusal);
    }
}

TEST(linked_records, codes_without_a_record) {
    for (int32_t command : {0, 4, 7, 99, -1})
        for (bool is_lin : {true, false})
            EXPECT_FALSE(format_datafile_record(command, is_lin, LINE, 0.02f, transition_1_to_12()))
                << "command " << command;
}

TEST(linked_records, tone_patterns_per_command) {
    using P = std::vector<ToneStep>;
    auto same = [](const P& a, const P& b) {
        if (a.size() != b.size()) return false;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i].frequency_hz != b[i].frequency_hz || a[i].duration_ms != b[i].duration_ms) return false;
        return true;
    };
    const struct { int32_t command; P expected; } cases[] = {
        {1, {{1000, 203}}},
        {2, {{1000, 101}, {0, 100}, {1000, 101}}},
        {3, {{1000, 406}}},
        {4, {{1000, 50}}},
        {5, {{1000, 50}, {0, 50}, {1000, 50}, {0, 50}, {1000, 50}}},
        {6, {{1000, 203}}},
        {0, {}},
        {7, {}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(same(tone_pattern(c.command, 1000, 203), c.expected)) << "command " << c.command;
    // Integer division truncates toward zero, also for a negative duration.
    EXPECT_EQ(tone_pattern(2, 800, -3)[0].duration_ms, -1);
}

TEST(linked_records, append_adds_one_line_at_the_end) {
    testing::FixtureDir dir;
    std::string path = dir.write("lines.lin", "existing line\n");
    EXPECT_FALSE(append_datafile_record(path, std::string("first")));
    EXPECT_FALSE(append_datafile_record(path, std::string("second")));
    EXPECT_FALSE(append_datafile_record(path, std::nullopt));   // opened and closed, nothing written
    EXPECT_EQ(dir.read("lines.lin"), "existing line\nfirst\nsecond\n");
}

TEST(linked_records, append_failures_write_nothing) {
    testing::FixtureDir dir;
    auto missing = append_datafile_record(dir.file("missing.lin"), std::string("record"));
    ASSERT_TRUE(missing);
    EXPECT_EQ(*missing, "No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.lin")));   // never created

    std::string read_only = dir.write("read_only.lin", "kept\n");
    ::chmod(read_only.c_str(), 0444);
    if (::geteuid() != 0) {     // root writes anyway
        EXPECT_TRUE(append_datafile_record(read_only, std::string("record")));
        EXPECT_EQ(dir.read("read_only.lin"), "kept\n");
    }

    EXPECT_TRUE(append_datafile_record(dir.path().string(), std::string("record")));  // a directory
}

}  // namespace
}  // namespace tarno
