// RDINP: what switches linked operation on, what keeps it off, and the name rules.
#include <gtest/gtest.h>

#include "app/records.hpp"
#include "display/linked.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

// One data line: a label padded to 40 columns, then the value from column 41.
std::string data_line(std::string_view label, std::string_view value) {
    std::string line(label);
    line.resize(40, ' ');
    return line + std::string(value) + "\n";
}

std::string input_file(std::string_view name, std::string_view uncertainty = "0.020",
                       std::string_view tones = "1000 200") {
    return "! linked operation\n! second comment\n" + data_line("Datafile", name)
         + data_line("Line uncertainty (MHz)", uncertainty)
         + data_line("Tone frequency (Hz) and duration (ms)", tones);
}

// An input record with recognisable values, to see what RDINP leaves alone.
LinkedInput earlier_input() {
    LinkedInput input{};
    input.linked_input_found = 1;
    input.datafile_name = "earlier.lin";
    set_text_field(input.datafile_short_name, "earlier.lin");
    input.datafile_is_lin = 1;
    input.line_uncertainty = 0.5f;
    input.tone_frequency = 440;
    input.tone_duration = 99;
    return input;
}

struct Linked : ::testing::Test {
    testing::FixtureDir dir;
    std::string directory() const { return dir.path().string() + "/"; }
    LinkedInput read() const {
        LinkedInput input = earlier_input();
        RDINP(directory(), input);
        return input;
    }
};

TEST_F(Linked, complete_input_switches_linked_operation_on) {
    dir.write("lines.lin", "");
    dir.write("tarno_l.inp", input_file("lines.lin", "0.020", "1000,200"));
    LinkedInput input = read();
    EXPECT_EQ(input.linked_input_found, 1);
    EXPECT_EQ(input.datafile_name, directory() + "lines.lin");
    EXPECT_EQ(trimmed_text_field(input.datafile_short_name), "lines.lin");
    EXPECT_EQ(input.datafile_is_lin, 1);
    EXPECT_EQ(input.line_uncertainty, 0.020f);
    EXPECT_EQ(input.tone_frequency, 1000);
    EXPECT_EQ(input.tone_duration, 200);
}

TEST_F(Linked, input_that_keeps_linked_operation_off_sets_nothing_else) {
    const struct { const char* name; std::string contents; } cases[] = {
        {"empty file", ""},
        {"comments only", "! a\n! b\n"},
        {"two data lines", "! a\n" "                                        lines.lin\n"
                           "                                        0.02\n"},
        {"comment between data lines is data",
         "                                        lines.lin\n"
         "! a comment here                        0.02\n"
         "                                        0.02\n"
         "                                        1000 200\n"},
        {"blank name", input_file("")},
        {"uncertainty not a number", input_file("lines.lin", "abc")},
        {"one tone value", input_file("lines.lin", "0.02", "1000")},
        {"tone value not an integer", input_file("lines.lin", "0.02", "1000.5 200")},
        {"value beyond column 80 is cut", input_file("lines.lin", "0.02", "1000" + std::string(36, ' ') + "200")},
    };
    dir.write("lines.lin", "");
    for (const auto& c : cases) {
        dir.write("tarno_l.inp", c.contents);
        LinkedInput input = read();
        EXPECT_EQ(input.linked_input_found, 0) << c.name;
        EXPECT_EQ(input.datafile_name, "earlier.lin") << c.name;
        EXPECT_EQ(input.tone_frequency, 440) << c.name;
    }
    std::filesystem::remove(dir.file("tarno_l.inp"));
    EXPECT_EQ(read().linked_input_found, 0) << "missing file";
}

TEST_F(Linked, missing_datafile_keeps_the_values_read) {
    dir.write("tarno_l.inp", input_file("absent.dat", "0.1", "2000 50"));
    LinkedInput input = read();
    EXPECT_EQ(input.linked_input_found, 0);
    EXPECT_EQ(input.datafile_name, directory() + "absent.dat");
    EXPECT_EQ(input.tone_frequency, 2000);

    std::filesystem::create_directory(dir.file("folder.lin"));   // not a file to append to
    dir.write("tarno_l.inp", input_file("folder.lin"));
    EXPECT_EQ(read().linked_input_found, 0);
}

TEST_F(Linked, datafile_kind_and_short_name) {
    const struct { const char* name; int is_lin; const char* short_name; } cases[] = {
        {"a.lin", 1, "a.lin"},
        {"A.LIN", 1, "A.LIN"},
        {"mixed.Lin", 0, "mixed.Lin"},
        {"mixed.lIN", 0, "mixed.lIN"},
        {"lines.dat", 0, "lines.dat"},
        {"nolin", 0, "nolin"},
        {"exactly_twenty_ch.li", 0, "exactly_twenty_ch.li"},
        {"assignments_of_band_2.lin", 1, "...\\ts_of_band_2.lin"},   // 25 characters
        {"sub/dir/assignments.lin", 1, "...\\/assignments.lin"},
    };
    for (const auto& c : cases) {
        std::filesystem::create_directories(std::filesystem::path(dir.file(c.name)).parent_path());
        dir.write(c.name, "");
        dir.write("tarno_l.inp", input_file(c.name));
        LinkedInput input = read();
        EXPECT_EQ(input.linked_input_found, 1) << c.name;
        EXPECT_EQ(input.datafile_is_lin, c.is_lin) << c.name;
        EXPECT_EQ(trimmed_text_field(input.datafile_short_name), c.short_name) << c.name;
    }
}

TEST_F(Linked, free_format_values) {
    dir.write("my lines.lin", "");
    // Windows line ends, a quoted name with a blank, items after the first ignored, "/" ends a list.
    std::string contents = "! from another system\n" + data_line("Datafile", "'my lines.lin' ignored")
                         + data_line("Uncertainty", "  5.E-2 , 7") + data_line("Tones", "1500 ,80 / Hz and ms");
    for (size_t at = 0; (at = contents.find('\n', at)) != std::string::npos; at += 2) contents.insert(at, "\r");
    dir.write("tarno_l.inp", contents);
    LinkedInput input = read();
    EXPECT_EQ(input.linked_input_found, 1);
    EXPECT_EQ(input.datafile_name, directory() + "my lines.lin");
    EXPECT_EQ(input.line_uncertainty, 0.05f);
    EXPECT_EQ(input.tone_frequency, 1500);
    EXPECT_EQ(input.tone_duration, 80);
}

TEST_F(Linked, empty_directory_reads_beside_the_program) {
    // A spectrum name without a directory looks in the working directory.
    auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    dir.write("lines.lin", "");
    dir.write("tarno_l.inp", input_file("lines.lin"));
    LinkedInput input = earlier_input();
    RDINP("   ", input);
    std::filesystem::current_path(cwd);
    EXPECT_EQ(input.linked_input_found, 1);
    EXPECT_EQ(input.datafile_name, "lines.lin");
}

}  // namespace
}  // namespace tarno
