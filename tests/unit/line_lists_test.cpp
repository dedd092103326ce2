// Readers of the catalogue and of the assigned-line files: the awkward fields
// of catalogue records, records written by linked operation read back, .lin
// files of other programs, two-column lists, and refused files.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/line_lists.hpp"
#include "common/fields.hpp"
#include "display/linked.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

// One catalogue record in its columns (F13.4, F8.4, F8.4, I2, F10.4, I3, I7, I4, 6I2, 6I2).
std::string cat_line(double freq, double err, double lgint, int tag, int qnfmt, std::string_view upper,
                     std::string_view lower) {
    return format_fixed(freq, 13, 4) + format_fixed(err, 8, 4) + format_fixed(lgint, 8, 4) + format_integer(3, 2) +
           format_fixed(12.5, 10, 4) + format_integer(21, 3) + format_integer(tag, 7) + format_integer(qnfmt, 4) +
           padded(upper, 12) + padded(lower, 12);
}

TEST(line_lists, quantum_fields_letters_signs_and_blanks) {
    struct Case { const char* field; std::optional<int32_t> value; };
    const Case cases[] = {
        {"12", 12}, {" 5", 5}, {"5 ", 5}, {"-3", -3}, {"+4", 4},
        {"A0", 100}, {"B5", 115}, {"Z9", 359}, {"a0", -10}, {"b3", -23}, {"z9", -269},
        {"  ", 0}, {" +", 0}, {"- ", 0}, {"+ ", 0}, {"--", 0},
        {"1a", std::nullopt}, {"?1", std::nullopt}, {"A ", std::nullopt}, {"\t1", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(decode_quantum_field(c.field[0], c.field[1]), c.value) << c.field;
}

TEST(line_lists, catalogue_records_awkward_lines) {
    const std::string good = cat_line(300000.1234, 0.0123, -4.5678, 303, 1404, "A0b3 5 +", " 9a1-4  ");
    const std::string text =
        "catalogue of something\n"                                                   // non-numeric: skipped
        + cat_line(200000.5, 0.5, -3.25, -303, 1404, " 1 2 3 4", " 0 1 2 3") + "\r\n" // CR LF, experimental
        + good + "   trailing text past column 80\n"                                 // over-long
        + "  100000.0001  0.0001 -6.0000\n"                                          // short: quanta blank
        + "\n   \t \n"                                                                // blank lines: not records
        + "  150000.0000\t0.0001 -6.0000\n"                                          // tab in the fields: skipped
        + "  150000.0000  0.0001\n"                                                  // no intensity: skipped
        + cat_line(250000.0, 0.1, -2.0, 303, 1404, "1x", "") + "\n";                 // bad quantum field
    ListLoad<Catalogue> load = read_catalogue_text(text);
    ASSERT_FALSE(load.refusal);
    EXPECT_EQ(load.counts.read, 3);
    EXPECT_EQ(load.counts.skipped, 4);
    const Catalogue& c = load.list;
    ASSERT_EQ(c.size(), 3u);
    // sorted once at load
    EXPECT_DOUBLE_EQ(c.frequency[0], 100000.0001);
    EXPECT_DOUBLE_EQ(c.frequency[1], 200000.5);
    EXPECT_DOUBLE_EQ(c.frequency[2], 300000.1234);
    EXPECT_FLOAT_EQ(c.log_intensity[0], -6.0f);
    EXPECT_EQ(c.detail[0].quantum_format, 0);
    EXPECT_LT(c.detail[1].tag, 0);
    EXPECT_FLOAT_EQ(c.detail[2].uncertainty, 0.0123f);
    EXPECT_FLOAT_EQ(c.log_intensity[2], -4.5678f);
    EXPECT_EQ(std::string(c.detail[2].upper_text.data(), 12), "A0b3 5 +    ");
    EXPECT_EQ(state_quanta(c.detail[2].upper_text, c.detail[2].quantum_format), (std::vector<int32_t>{100, -23, 5, 0}));
    EXPECT_EQ(state_quanta(c.detail[2].lower_text, c.detail[2].quantum_format), (std::vector<int32_t>{9, -11, -4, 0}));
}

TEST(line_lists, files_without_a_readable_record_are_refused) {
    testing::FixtureDir dir;
    struct Case { const char* name; const char* contents; const char* refusal; };
    const Case cases[] = {
        {"empty.cat", "", "no line in the file"},
        {"blank.cat", "\n  \n", "no line in the file"},
        {"text.cat", "header\nnot a line\n", "no readable line (2 skipped)"},
        {"text.lin", "header\n", "no readable line (1 skipped)"},
    };
    for (const Case& c : cases) {
        std::string path = dir.write(c.name, c.contents);
        std::optional<std::string> refusal = is_catalogue_name(c.name) ? read_catalogue_file(path).refusal
                                                                        : read_assigned_file(path).refusal;
        EXPECT_EQ(refusal, std::optional<std::string>(c.refusal)) << c.name;
    }
    EXPECT_EQ(read_catalogue_file(dir.file("missing.cat")).refusal, std::optional<std::string>("file not found"));
    EXPECT_EQ(read_assigned_file(dir.path().string()).refusal, std::optional<std::string>("not a regular file"));
}

TEST(line_lists, records_written_by_linked_operation_read_back_exactly) {
    TransitionValues t{};
    t.quantum_numbers = {5, 1, 4, 0, -3, 12, 4, 1, 3, 0, 0, 0};
    t.transition_intensity = 0.25f;
    const double freqs[] = {345678.12345, 100001.5, 223344.00001, 99999.99999, 150000.25};
    const int32_t commands[] = {COMMAND_LINE, COMMAND_BLEND, COMMAND_EXCLUDED, COMMAND_AVERAGE, COMMAND_INTENSITY};
    for (bool lin : {true, false}) {
        std::string text;
        for (int k = 0; k < 5; ++k) {
            MeasuredLine line{freqs[k], 0.0123, 1500.0, 0.4};
            text += *format_datafile_record(commands[k], lin, line, 0.05f, t) + "\n";
        }
        ListLoad<AssignedLines> load = read_assigned_text(text, lin);
        ASSERT_FALSE(load.refusal);
        EXPECT_EQ(load.counts.read, 5) << lin;
        EXPECT_EQ(load.counts.skipped, 0) << lin;
        EXPECT_EQ(load.list.frequency,
                  (std::vector<double>{99999.99999, 100001.5, 150000.25, 223344.00001, 345678.12345}))
            << lin;
    }
}

TEST(line_lists, lin_files_of_other_programs_and_two_column_lists) {
    const std::string lin =
        "  5  1  5  0  0  0  4  1  4  0  0  0  123456.7890  0.0500  1.0  ! blended with 6 2 4\n"
        "  6  2  4            5  2  3          234567.1    0.1\r\n"          // blank quanta, no weight
        "  7  0  7  0  0  0  6  0  6  0  0  0\t 98765.4321,0.02,1.0 comment\n"  // tabs and commas
        "  7  0  7  0  0  0  6  0  6  0  0  0  98765.4321\n"               // no uncertainty: skipped
        "  7  x  7  0  0  0  6  0  6  0  0  0  98765.4321 0.02\n"          // bad quantum field: skipped
        "123.25 1e-3\n";                                                    // two-column line
    ListLoad<AssignedLines> load = read_assigned_text(lin, true);
    EXPECT_EQ(load.counts.read, 4);
    EXPECT_EQ(load.counts.skipped, 2);
    EXPECT_EQ(load.list.frequency, (std::vector<double>{123.25, 98765.4321, 123456.789, 234567.1}));

    ListLoad<AssignedLines> pairs = read_assigned_text("300.5 12\n100.25\t7.5\n200, 3\n1 2 3\n", false);
    EXPECT_EQ(pairs.counts.read, 3);
    EXPECT_EQ(pairs.counts.skipped, 1);
    EXPECT_EQ(pairs.list.frequency, (std::vector<double>{100.25, 200, 300.5}));
}

TEST(line_lists, strongest_line_of_a_run_agrees_with_a_plain_scan) {
    Catalogue c;
    uint32_t noise = 7;
    for (int k = 0; k < 1000; ++k) {
        noise = noise * 1664525u + 1013904223u;
        c.frequency.push_back(k);
        c.log_intensity.push_back(float(noise >> 28) - 8);     // few values: many equal ones
    }
    index_catalogue_blocks(c);
    for (size_t first = 0; first < 1000; first += 37)
        for (size_t last = first + 1; last <= 1000; last += 53) {
            size_t plain = size_t(std::max_element(c.log_intensity.begin() + first, c.log_intensity.begin() + last) -
                                  c.log_intensity.begin());
            EXPECT_EQ(strongest_line_in(c, first, last), plain) << first << " " << last;
        }
}

}  // namespace
}  // namespace tarno
