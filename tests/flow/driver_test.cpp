// The driver's dialogue on the headless window: file prompt, argument queue,
// dialog filters, generic entries, name displays, the closing menu and the
// zero-dynamic-range path. Spectra with all-equal intensities go straight to
// the closing menu, so most cases need no display loop.
#include <gtest/gtest.h>

#include <sys/stat.h>   // mkfifo
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "app/records.hpp"
#include "display/display_state.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

constexpr std::string_view DEFAULT_FILTER_START = " All Files(*.*), *.*; Spectral files (*.spe), *.spe;";
constexpr std::string_view DIALOG_CAPTION = "Open: Select File for Unit 2";

// [SECTION] Fixtures

void put16(std::vector<unsigned char>& b, size_t at, int16_t v) {
    std::memcpy(b.data() + at, &v, 2);
}

// A binary spectrum of `values`, dated 7/3/2006, frequencies 1000 + (i - 1).
std::vector<unsigned char> binary_spectrum(const std::vector<int16_t>& values, int32_t long_count = 0) {
    std::vector<unsigned char> b(162, ' ');
    std::memcpy(b.data(), "test spectrum", 13);
    for (size_t i = 72; i < 84; ++i) b[i] = 0;
    put16(b, 72, 7);
    put16(b, 74, 3);
    put16(b, 76, 2006);
    for (size_t i = 90; i < 102; ++i) b[i] = 0;
    for (size_t i = 122; i < 138; ++i) b[i] = 0;
    for (size_t i = 144; i < 156; ++i) b[i] = 0;
    if (long_count != 0) {
        put16(b, 156, -1);
        std::memcpy(b.data() + 158, &long_count, 4);
    } else {
        put16(b, 156, int16_t(values.size()));
        put16(b, 158, 0);
        put16(b, 160, 0);
    }
    for (int16_t v : values) {
        b.push_back(uint8_t(v & 0xFF));
        b.push_back(uint8_t((v >> 8) & 0xFF));
    }
    const double block[3] = {1000.0, 1000.0 + double(values.size()) - 1.0, 1.0};
    const unsigned char* p = reinterpret_cast<const unsigned char*>(block);
    b.insert(b.end(), p, p + sizeof block);
    return b;
}

std::vector<unsigned char> flat_spectrum() { return binary_spectrum({5, 5, 5, 5, 5}); }

// Every test runs in a fixture directory with no configuration file, so that
// relative names resolve there.
class DriverFlow : public ::testing::Test {
protected:
    void SetUp() override {
        old_cwd_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_.path());
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        headless::start();
    }
    void TearDown() override {
        std::filesystem::current_path(old_cwd_);
        unsetenv("XDG_CONFIG_HOME");
        set_file_arguments({});
    }

    // Ends the run at the dialog: cancel, then "Terminate Program?" Yes.
    static void end_at_dialog() {
        headless::answer_dialog(std::nullopt);
        headless::answer_yes_no(true);
    }

    static headless::RunResult run_program() { return headless::run([] { MAIN__(); }); }

    FixtureDir dir_;
    std::filesystem::path old_cwd_;
};

// Returns the last row containing `needle`, or 0.
int find_row(std::string_view needle) {
    for (int row = screen.text_rows; row >= 1; --row)
        if (headless::row_text(row).find(needle) != std::string::npos) return row;
    return 0;
}

std::string trimmed_row(int row) {
    std::string r = headless::row_text(row);
    r.erase(r.find_last_not_of(' ') + 1);
    return r;
}

// [SECTION] File prompt and dialog --------------------------------------------------

TEST_F(DriverFlow, enter_alone_shows_the_dialog_with_the_default_list) {
    headless::type_line("");
    end_at_dialog();
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.ended);
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(headless::dialog_captions(), std::vector<std::string>{std::string(DIALOG_CAPTION)});
    EXPECT_EQ(headless::last_dialog_filter().substr(0, DEFAULT_FILTER_START.size()), DEFAULT_FILTER_START);
    EXPECT_NE(headless::last_dialog_filter().find(" Spectral Files (*.3*), *.3*; ;"), std::string::npos);
    // The prompt as it stood.
    int row = find_row("TYPE ONE OF:");
    ASSERT_GT(row, 0);
    EXPECT_EQ(trimmed_row(row), "          TYPE ONE OF:");
    EXPECT_EQ(trimmed_row(row + 2), "              Name of data file,");
    EXPECT_EQ(trimmed_row(row + 3), "              Generic name for use in the SelectFile box,");
    EXPECT_EQ(trimmed_row(row + 4), "              ENTER for SelectFile box or drag-and-drop input");
    EXPECT_EQ(trimmed_row(row + 6), "          ...");
}

TEST_F(DriverFlow, cancelled_dialog_answered_no_shows_the_dialog_again) {
    headless::type_line("");
    headless::answer_dialog(std::nullopt);
    headless::answer_yes_no(false);
    headless::answer_dialog(std::string());   // an empty name counts as cancelled
    headless::answer_yes_no(true);
    headless::RunResult run = run_program();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(headless::dialog_captions().size(), 2u);
}

TEST_F(DriverFlow, file_arguments_open_in_order_then_the_dialog) {
    std::string first = dir_.write_bytes("first.spe", flat_spectrum());
    std::string second = dir_.write_bytes("second.spe", flat_spectrum());
    // Stop at the second closing menu: the second file was read, no dialog yet.
    set_file_arguments({" " + first + " ", second});
    headless::type_line("");
    headless::type_line("0");
    headless::type_line("");
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(trimmed_text_field(text.data_file_name), second);
    EXPECT_TRUE(headless::dialog_captions().empty());

    // Third blank answer: the queue is empty, the dialog shows.
    headless::start();
    set_file_arguments({first, second});
    for (const char* answer : {"", "0", "", "0", ""}) headless::type_line(answer);
    end_at_dialog();
    run = run_program();
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(headless::dialog_captions().size(), 1u);
}

TEST_F(DriverFlow, failed_typed_names_take_the_next_argument) {
    std::string first = dir_.write_bytes("first.spe", flat_spectrum());
    set_file_arguments({first});
    headless::type_line("missing.spe");
    headless::RunResult run = run_program();   // stops at the closing menu of `first`
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(trimmed_text_field(text.data_file_name), first);
    EXPECT_TRUE(headless::dialog_captions().empty());
}

TEST_F(DriverFlow, generic_entry_from_a_missing_name) {
    const struct {
        const char* typed;
        std::string filter_start;
    } cases[] = {
        {"abc", " abc files (abc*.*), abc*.*; All Files (*.*), *.*; Spectral Files (*.0*), *.0*;"},
        {"run5.dat", " run5 files (run5*.*), run5*.*; All Files (*.*), *.*;"},
        {"data/x.spe", " data files (data*.*), data*.*;"},
        {"my run.spe", " my files (my*.*), my*.*;"},
        {"fourteenchars_.spe", " fourteenchars_*.*; All Files (*.*), *.*;"},   // whole, not cut into the next entry
        {"c:\\data\\x.spe", std::string(DEFAULT_FILTER_START)},
        {"/no/such/dir/x.spe", std::string(DEFAULT_FILTER_START)},
        {".hidden", std::string(DEFAULT_FILTER_START)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        headless::start();
        headless::type_line(c.typed);
        end_at_dialog();
        run_program();
        EXPECT_EQ(headless::last_dialog_filter().substr(0, c.filter_start.size()), c.filter_start);
    }
}

TEST_F(DriverFlow, generic_entry_is_kept_for_the_next_file) {
    std::string flat = dir_.write_bytes("flat.spe", flat_spectrum());
    headless::type_line("abc");
    headless::answer_dialog(flat);
    headless::type_line("0");            // closing menu: another spectrum
    headless::type_line("");             // ENTER alone: the dialog, generic entry first
    end_at_dialog();
    headless::RunResult run = run_program();
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(headless::dialog_captions().size(), 2u);
    EXPECT_EQ(headless::last_dialog_filter().substr(0, 28), " abc files (abc*.*), abc*.*;");
    EXPECT_EQ(trimmed_text_field(text.generic_name), " abc files (abc*.*), abc*.*;");
}

TEST_F(DriverFlow, generic_name_derivation_rules) {
    const struct {
        std::string name;
        std::string generic;
    } cases[] = {
        {"abc", " abc files (abc*.*), abc*.*;"},
        {"run5.dat", " run5 files (run5*.*), run5*.*;"},
        {"c:\\x", ""},
        {"c:\\data\\x.spe", ""},
        {"data\\x:y", " data files (data*.*), data*.*;"},   // the stem ends before the ':'
        {"ab:c.spe", ""},
        {":abc", ""},
        {" abc", ""},
        {"\\root", ""},
        {"/home/x.spe", ""},
        {"", ""},
        // The entry stays whole in its 60 characters, or there is none.
        {"thirteenchars.spe", " thirteenchars files (thirteenchars*.*), thirteenchars*.*;"},
        {"fourteenchars_.spe", " fourteenchars_*.*;"},
        {"averyveryverylongstemname.spe", " averyveryverylongstemname*.*;"},
        {std::string(55, 'x') + ".spe", " " + std::string(55, 'x') + "*.*;"},
        {std::string(56, 'x') + ".spe", ""},
        {"a;b.spe", ""},                                     // ";" and "," separate the list's entries
        {"a,b.spe", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(derive_generic_name(c.name), c.generic) << "'" << c.name << "'";
}

// [SECTION] Names that cannot be spectra ----------------------------------------------

TEST_F(DriverFlow, bad_typed_names_bring_the_dialog_or_the_prompt_back) {
    std::filesystem::create_directory(dir_.path() / "adir");
    std::string locked = dir_.write_bytes("locked.spe", flat_spectrum());
    std::filesystem::permissions(locked, std::filesystem::perms::none);
    const bool root = geteuid() == 0;   // root reads files whatever their permissions
    const struct {
        std::string typed;
        const char* message;   // a row that must show, or nullptr
        bool dialog;
    } cases[] = {
        {"adir", "Cannot open adir: Is a directory", true},
        {"locked.spe", root ? nullptr : "Cannot open locked.spe: Permission denied", true},
        {"   ", nullptr, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.substr(0, 20));
        if (root && c.typed == "locked.spe") continue;
        headless::start();
        headless::type_line(c.typed);
        if (c.dialog) end_at_dialog();
        headless::RunResult run = run_program();
        EXPECT_TRUE(run.ended);
        if (c.message) {
            EXPECT_GT(find_row(c.message), 0) << c.message;
        }
        EXPECT_EQ(headless::dialog_captions().size(), c.dialog ? 1u : 0u);
        if (!c.dialog) {
            // The prompt came back and waits for another answer.
            EXPECT_TRUE(run.script_exhausted);
            EXPECT_GT(find_row("TYPE ONE OF:"), find_row("File name longer"));
        }
    }
}

// Only regular files are read: a pipe (which would wait for a writer), a
// device (which never ends) and a directory are refused with their reason
// whichever way they were named, and the program goes on to the dialog.
TEST_F(DriverFlow, files_that_are_not_regular_are_refused) {
    const std::string pipe = dir_.file("pipe.spe");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::filesystem::create_directory(dir_.path() / "adir");
    const std::string directory = dir_.file("adir");
    enum Source { Typed, Argument, Dialog };
    const struct {
        Source source;
        std::string name;
        std::string message;
    } cases[] = {
        {Typed, pipe, "    Cannot open " + pipe + ": not a regular file (a pipe)"},
        {Argument, pipe, "    Cannot open " + pipe + ": not a regular file (a pipe)"},
        {Dialog, pipe, "    Cannot open " + pipe + ": not a regular file (a pipe)"},
        {Argument, "/dev/zero", "    Cannot open /dev/zero: not a regular file (a character device)"},
        {Typed, "/dev/zero", "    Cannot open /dev/zero: not a regular file (a character device)"},
        {Argument, directory, "    Cannot open " + directory + ": Is a directory"},
        {Argument, dir_.file("missing.spe"), "    Cannot open " + dir_.file("missing.spe") + ": No such file or directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " " + std::to_string(c.source));
        headless::start();
        if (c.source == Argument) set_file_arguments({c.name});
        headless::type_line(c.source == Typed ? c.name : "");
        if (c.source == Dialog) headless::answer_dialog(c.name);
        end_at_dialog();
        headless::RunResult run = run_program();
        EXPECT_TRUE(run.ended);
        EXPECT_FALSE(run.script_exhausted);
        EXPECT_EQ(trimmed_row(find_row("Cannot open")), c.message);
        EXPECT_EQ(find_row("Reading:"), 0);
        set_file_arguments({});
    }
}

TEST_F(DriverFlow, typed_name_with_spaces_opens) {
    dir_.write_bytes("my flat spectrum.spe", flat_spectrum());
    headless::type_line("my flat spectrum.spe");
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.script_exhausted);   // at the closing menu
    EXPECT_EQ(trimmed_text_field(text.data_file_name), "my flat spectrum.spe");
    EXPECT_GT(find_row("-1 = EXIT"), 0);
}

// [SECTION] Long paths ------------------------------------------------------------------

// A path longer than the 100-character name field: opened and kept whole, shown
// as "..." and its end, however the name arrived.
TEST_F(DriverFlow, long_paths_are_kept_whole_and_shown_shortened) {
    const std::string sub = std::string(60, 'm') + "_campaign/" + std::string(40, 'r') + "_raw_scans";
    std::filesystem::create_directories(dir_.path() / sub);
    const std::string path = dir_.write_bytes(sub + "/run03.spe", binary_spectrum({}, MAX_POINTS + 1));
    ASSERT_GT(path.size(), 110u);
    enum Source { Typed, Argument, Dialog };
    for (Source source : {Typed, Argument, Dialog}) {
        SCOPED_TRACE(source);
        headless::start();
        if (source == Argument) set_file_arguments({path});
        headless::type_line(source == Typed ? path : "");
        if (source == Dialog) headless::answer_dialog(path);
        // Too many points: the reader waits for ENTER below the "Reading:" line.
        run_program();
        EXPECT_EQ(data_file_path(), path);
        EXPECT_EQ(trimmed_text_field(text.data_file_name), "..." + path.substr(path.size() - 97));
        EXPECT_EQ(trimmed_row(find_row("    Reading:  ")), "    Reading:  ..." + path.substr(path.size() - 59));
        set_file_arguments({});
    }

    // The closing menu shows the end of the whole path.
    const std::string flat = dir_.write_bytes(sub + "/flat.spe", flat_spectrum());
    headless::start();
    headless::type_line(flat);
    run_program();
    EXPECT_EQ(trimmed_row(find_row("1 = another look")),
              "          1 = another look at the spectrum from  ..." + flat.substr(flat.size() - 25));

    // A long missing name builds its generic entry from the whole name (cut
    // to the field it would begin with "..." and give none).
    headless::start();
    headless::type_line(std::string(20, 'n') + "." + std::string(90, 'x'));
    end_at_dialog();
    run_program();
    EXPECT_EQ(headless::last_dialog_filter().substr(0, 12), " nnnnnnnnnnn");
}

// [SECTION] Name displays ----------------------------------------------------------------

TEST_F(DriverFlow, reading_line_shows_the_last_59_of_a_61_character_name) {
    // Too many points: the reader says so below the "Reading:" line and waits
    // for ENTER, so the line is still on the screen.
    const std::string name61 = std::string(57, 'r') + ".spe";
    ASSERT_EQ(name61.size(), 61u);
    dir_.write_bytes(name61, binary_spectrum({}, MAX_POINTS + 1));
    headless::type_line(name61);
    run_program();
    int row = find_row("    Reading:  ");
    ASSERT_GT(row, 0);
    EXPECT_EQ(trimmed_row(row), "    Reading:  ..." + name61.substr(2));
    EXPECT_EQ(headless::cell_text_color(row, 15), 12);
    EXPECT_EQ(headless::cell_text_color(row, 5), 0);

    const std::string name60 = std::string(56, 's') + ".spe";
    headless::start();
    dir_.write_bytes(name60, binary_spectrum({}, MAX_POINTS + 1));
    headless::type_line(name60);
    run_program();
    EXPECT_EQ(trimmed_row(find_row("    Reading:  ")), "    Reading:  " + name60);
}

TEST_F(DriverFlow, closing_menu_shows_the_last_25_of_a_26_character_name) {
    const struct {
        std::string name;
        std::string shown;
    } cases[] = {
        {"abcdefghijklmnopqrstuv.spe", "...bcdefghijklmnopqrstuv.spe"},
        {"bcdefghijklmnopqrstuv.spe", "bcdefghijklmnopqrstuv.spe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        headless::start();
        dir_.write_bytes(c.name, flat_spectrum());
        headless::type_line(c.name);
        run_program();
        int row = find_row("1 = another look at the spectrum from  ");
        ASSERT_GT(row, 0);
        EXPECT_EQ(trimmed_row(row), "          1 = another look at the spectrum from  " + c.shown);
        EXPECT_EQ(headless::cell_text_color(row, 50), 12);
    }
}

// [SECTION] Zero dynamic range and the closing menu ----------------------------------

TEST_F(DriverFlow, zero_dynamic_range_goes_straight_to_the_menu) {
    dir_.write_bytes("flat.spe", flat_spectrum());
    headless::type_line("flat.spe");
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.script_exhausted);
    int error = find_row(" ****ERROR, zero dynamic range in data");
    ASSERT_GT(error, 0);
    EXPECT_EQ(trimmed_row(error), " ****ERROR, zero dynamic range in data");
    // The menu follows the error line on the same screen (not cleared).
    EXPECT_EQ(trimmed_row(error + 2), "         -1 = EXIT");
    EXPECT_EQ(trimmed_row(error + 3), "          0 = another spectrum");
    EXPECT_EQ(trimmed_row(error + 5), "");
    EXPECT_EQ(trimmed_row(error + 6), "          ...");
    EXPECT_GT(find_row("Time and Date:"), 0);
    EXPECT_EQ(find_row("Ready to plot"), 0);
}

TEST_F(DriverFlow, closing_menu_answers) {
    dir_.write_bytes("flat.spe", flat_spectrum());
    // 7 and a letter: the menu again (cleared, so only one menu shows);
    // empty: another spectrum (the prompt); -1: the end, status 0.
    const struct {
        std::vector<std::string> answers;
        bool script_exhausted;
        int status;
        const char* last_screen;   // a row the screen shows at the end
    } cases[] = {
        {{"7"}, true, 0, "-1 = EXIT"},
        {{"x"}, true, 0, "-1 = EXIT"},
        {{"12345678"}, true, 0, "-1 = EXIT"},   // columns beyond 5 ignored: 12345, not a choice
        {{""}, true, 0, "TYPE ONE OF:"},
        {{"0"}, true, 0, "TYPE ONE OF:"},
        {{"-1"}, false, 0, "-1 = EXIT"},
        {{"7", "-1"}, false, 0, "-1 = EXIT"},
        {{"  -1 junk"}, false, 0, "-1 = EXIT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answers.back());
        headless::start();
        headless::type_line("flat.spe");
        for (const std::string& a : c.answers) headless::type_line(a);
        headless::RunResult run = run_program();
        EXPECT_TRUE(run.ended);
        EXPECT_EQ(run.script_exhausted, c.script_exhausted);
        if (!c.script_exhausted) {
            EXPECT_EQ(run.status, c.status);
        }
        EXPECT_GT(find_row(c.last_screen), 0);
        if (c.answers.front() == "7" || c.answers.front() == "x") {
            // Redrawn from a cleared screen: the error line is gone, one menu shows.
            EXPECT_EQ(find_row("zero dynamic range"), 0);
            EXPECT_EQ(find_row("-1 = EXIT"), 2);
        }
    }
}

// [SECTION] Hand-over to the display -------------------------------------------------

TEST_F(DriverFlow, ready_to_plot_waits_for_enter_only) {
    dir_.write_bytes("line.spe", binary_spectrum({1, 5, 30, 9, 2}));
    display.fit_width = 0;
    headless::type_line("line.spe");
    headless::press_keys("xa ");
    headless::press_extended(224, 75);
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.script_exhausted);
    int row = find_row("  Ready to plot - press ENTER");
    ASSERT_GT(row, 0);
    EXPECT_EQ(headless::row_text(row).substr(0, 31), "  Ready to plot - press ENTER  ");
    EXPECT_EQ(display.fit_width, 0);   // the display was not entered
}

TEST_F(DriverFlow, display_then_menu_one_looks_again_and_minus_one_ends) {
    dir_.write_bytes("line.spe", binary_spectrum({1, 5, 30, 9, 2}));
    display.fit_width = 0;
    headless::type_line("line.spe");
    headless::press_keys("\r");       // Ready to plot
    headless::press_keys("\rY");      // leave the display
    headless::type_line("1");          // another look: the display again, no reading
    headless::press_keys("\rY");
    headless::type_line("-1");
    headless::RunResult run = run_program();
    EXPECT_TRUE(run.ended);
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(display.fit_width, 7);
    EXPECT_EQ(spectrum.point_count, 5);
}

// The display works in reduced height; the driver's screens after it have
// the full 30 rows, so the information page of the next file fits.
TEST_F(DriverFlow, screens_after_the_display_have_full_height) {
    dir_.write_bytes("line.spe", binary_spectrum({1, 5, 30, 9, 2}));
    dir_.write_bytes("next.spe", binary_spectrum({2, 6, 31, 8, 1}));
    headless::type_line("line.spe");
    headless::press_keys("\r");       // Ready to plot
    headless::press_keys("\rY");      // leave the display
    headless::type_line("0");          // another spectrum
    headless::type_line("next.spe");
    headless::RunResult run = run_program();   // stops at "Ready to plot"
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(screen.text_rows, 30);
    // The whole page, from its comment box in row 4 down to the ENTER prompt, is on the screen.
    EXPECT_EQ(trimmed_row(4), "    test spectrum");
    EXPECT_EQ(find_row("Time and Date:"), 7);
    EXPECT_GT(find_row("  Ready to plot - press ENTER"), 7);
}

TEST_F(DriverFlow, zero_range_answer_one_enters_the_display) {
    dir_.write_bytes("flat.spe", flat_spectrum());
    display.fit_width = 0;
    headless::type_line("flat.spe");
    headless::type_line("1");
    headless::press_keys("\rY");
    headless::type_line("-1");
    headless::RunResult run = run_program();
    EXPECT_FALSE(run.script_exhausted);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(display.fit_width, 7);
}

}  // namespace
}  // namespace tarno
