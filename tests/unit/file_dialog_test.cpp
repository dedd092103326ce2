// The file dialog: the filter list format, pattern matching, the command lines
// of the native helpers, and the in-window chooser driven by keys on the
// headless backend.
#include "tests/support/fixture_dir.hpp"
#include "window/file_chooser.hpp"
#include "window/headless.hpp"
#include "window/native_file_dialog.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

using namespace tarno;
using namespace tarno::window_internal;
namespace fs = std::filesystem;

// [SECTION] Filter list ----------------------------------------------------------

TEST(file_filter, parses_the_programs_default_list) {
    std::string list = " All Files(*.*), *.*; Spectral files (*.spe), *.spe; Spectral Files (*.0*), *.0*;"
                       " Spectral Files (*.1*), *.1*; Spectral Files (*.2*), *.2*; Spectral Files (*.3*), *.3*; ;";
    list.resize(200, ' ');
    std::vector<FileFilter> filters = parse_filter_list(list);
    ASSERT_EQ(filters.size(), 6u);
    EXPECT_EQ(filters[0].description, "All Files(*.*)");
    EXPECT_EQ(filters[0].patterns, std::vector<std::string>{"*.*"});
    EXPECT_EQ(filters[1].description, "Spectral files (*.spe)");
    EXPECT_EQ(filters[1].patterns, std::vector<std::string>{"*.spe"});
    EXPECT_EQ(filters[5].patterns, std::vector<std::string>{"*.3*"});
}

TEST(file_filter, generic_entry_first_and_odd_lists) {
    std::vector<FileFilter> generic = parse_filter_list(" abc files (abc*.*), abc*.*; All Files (*.*), *.*;");
    ASSERT_EQ(generic.size(), 2u);
    EXPECT_EQ(generic[0].description, "abc files (abc*.*)");
    EXPECT_EQ(generic[0].patterns, std::vector<std::string>{"abc*.*"});

    // Nothing usable: every file.
    for (std::string_view empty : {"", "   ", " ; ;"}) {
        std::vector<FileFilter> all = parse_filter_list(empty);
        ASSERT_EQ(all.size(), 1u) << "list '" << empty << "'";
        EXPECT_TRUE(matches_filter(all[0], "anything.dat"));
    }
    // Several patterns in one field; a pair without a comma is its own pattern.
    std::vector<FileFilter> several = parse_filter_list("Data, Files (x), *.dat *.txt; *.lin");
    ASSERT_EQ(several.size(), 2u);
    EXPECT_EQ(several[0].description, "Data, Files (x)");
    EXPECT_EQ(several[0].patterns, (std::vector<std::string>{"*.dat", "*.txt"}));
    EXPECT_EQ(several[1].patterns, std::vector<std::string>{"*.lin"});
}

TEST(file_filter, patterns_match_like_the_desktop_the_lists_were_written_for) {
    struct Case { const char* pattern; const char* name; bool match; };
    const Case cases[] = {
        {"*.*", "spectrum.spe", true},
        {"*.*", "README", true},          // "*.*" is every file
        {"*.spe", "RUN5.SPE", true},      // letters without case
        {"*.spe", "run5.spe.bak", false},
        {"*.spe", "spe", false},
        {"*.0*", "scan.012", true},
        {"*.0*", "scan.112", false},
        {"abc*.*", "abc", true},          // "name.*" also without an extension
        {"abc*.*", "abcdef.dat", true},
        {"abc*.*", "xabc.dat", false},
        {"run?.dat", "run7.dat", true},
        {"run?.dat", "run17.dat", false},
        {"*a*b*", "xxaxxbxx", true},      // backtracking over several stars
        {"*a*b", "aXbXa", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(matches_pattern(c.pattern, c.name), c.match) << "pattern " << c.pattern << " name " << c.name;
}

// [SECTION] Native helpers -------------------------------------------------------

TEST(native_file_dialog, helper_patterns_are_case_free) {
    EXPECT_EQ(desktop_patterns("*.*"), std::vector<std::string>{"*"});
    EXPECT_EQ(desktop_patterns("*.spe"), std::vector<std::string>{"*.[sS][pP][eE]"});
    EXPECT_EQ(desktop_patterns("abc*.*"), std::vector<std::string>{"[aA][bB][cC]*"});
    EXPECT_EQ(desktop_patterns("x1.*"), (std::vector<std::string>{"[xX]1.*", "[xX]1"}));
}

TEST(native_file_dialog, command_lines_carry_caption_filters_and_folder) {
    std::string list = " All Files (*.*), *.*; Spectral files (*.spe), *.spe; ;";
    auto zenity = native_dialog_command("zenity", "Open: Select File for Unit 2", list, "/data/run");
    ASSERT_TRUE(zenity);
    EXPECT_EQ(*zenity, (std::vector<std::string>{
        "zenity", "--file-selection", "--title=Open: Select File for Unit 2", "--filename=/data/run/",
        "--file-filter=All Files (*.*) | *", "--file-filter=Spectral files (*.spe) | *.[sS][pP][eE]"}));

    auto kdialog = native_dialog_command("kdialog", "Open", list, "/data/");
    ASSERT_TRUE(kdialog);
    EXPECT_EQ(*kdialog, (std::vector<std::string>{
        "kdialog", "--title", "Open", "--getopenfilename", "/data/",
        "*|All Files (*.*)\n*.[sS][pP][eE]|Spectral files (*.spe)"}));

    EXPECT_FALSE(native_dialog_command("xmessage", "Open", list, "/"));
}

// [SECTION] In-window chooser ----------------------------------------------------

constexpr int UP = 72, DOWN = 80, PGDN = 81, END = 79;

// A directory with a sub-directory, two spectra, a text file and a hidden file.
class chooser_test : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir.path() / "older");
        dir.write("older/inside.spe", "x");
        dir.write("b_scan.SPE", "12345");
        dir.write("a_scan.spe", "x");
        dir.write("notes.txt", "x");
        dir.write(".hidden.spe", "x");
        headless::start();
    }

    // Runs the chooser with the keys already scripted; nothing when cancelled or when the keys ran out.
    std::optional<std::string> choose(std::string_view filter = " All Files (*.*), *.*; Spectral files (*.spe), *.spe;") {
        std::optional<std::string> chosen;
        last_run = headless::run([&] { chosen = choose_file_in_window("Open: Select File for Unit 2", filter, dir.path()); });
        return chosen;
    }

    // The text of the entry rows (5 onwards), trimmed at the right.
    std::vector<std::string> entry_rows() {
        std::vector<std::string> rows;
        for (int row = 5; row <= 12; ++row) {
            std::string text = headless::row_text(row);
            text.erase(text.find_last_not_of(' ') + 1);
            if (!text.empty()) rows.push_back(text);
        }
        return rows;
    }

    tarno::testing::FixtureDir dir;
    headless::RunResult last_run{};
};

TEST_F(chooser_test, lists_directories_first_then_the_files_the_filter_lets_through) {
    std::optional<std::string> chosen = choose();  // no keys: the script ends with the chooser on screen
    EXPECT_FALSE(chosen);
    EXPECT_TRUE(last_run.script_exhausted);
    EXPECT_EQ(headless::row_text(1).substr(0, 30), " Open: Select File for Unit 2 ");
    std::vector<std::string> rows = entry_rows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], "  ../");
    EXPECT_EQ(rows[1], "  older/");
    EXPECT_EQ(rows[2].substr(0, 12), "  a_scan.spe");
    EXPECT_EQ(rows[3].substr(0, 12), "  b_scan.SPE");
    EXPECT_EQ(rows[3].substr(rows[3].size() - 5), "    5");  // the size, right-aligned
    EXPECT_EQ(rows[4].substr(0, 11), "  notes.txt");
    EXPECT_EQ(headless::cell_background_color(5, 1), 1) << "the first entry is highlighted";
}

TEST_F(chooser_test, enter_chooses_the_highlighted_file) {
    headless::press_extended(224, DOWN);
    headless::press_extended(224, DOWN);
    headless::press_extended(224, DOWN);   // ../ older/ a_scan b_scan
    headless::press_extended(224, UP);
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "a_scan.spe").string());
}

TEST_F(chooser_test, tab_switches_the_file_type) {
    headless::press_keys("\t");           // Spectral files: notes.txt goes
    EXPECT_FALSE(choose());               // the keys run out with the chooser on screen
    EXPECT_NE(headless::row_text(3).find("Spectral files (*.spe)"), std::string::npos) << headless::row_text(3);

    headless::start();
    headless::press_keys("\t");
    headless::press_extended(224, END);
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "b_scan.SPE").string());
}

TEST_F(chooser_test, enters_directories_and_goes_back_up) {
    headless::press_extended(224, DOWN);  // older/
    headless::press_keys("\r");
    headless::press_extended(224, DOWN);  // ../ inside.spe
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "older" / "inside.spe").string());

    headless::start();
    headless::press_extended(224, DOWN);
    headless::press_keys("\r\b");         // into older/, BACKSPACE back up
    headless::press_extended(224, PGDN);  // to the last entry
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "notes.txt").string());
}

TEST_F(chooser_test, a_typed_name_is_chosen_and_a_typed_wildcard_filters) {
    headless::press_keys("new_run.spe\r");
    EXPECT_EQ(choose(), (dir.path() / "new_run.spe").string()) << "a name that does not exist yet is still returned";

    headless::start();
    headless::press_keys("*.txt\r");      // becomes the file type: ../ older/ notes.txt
    headless::press_extended(224, END);
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "notes.txt").string());

    headless::start();
    headless::press_keys("older\r");      // a typed directory is entered
    headless::press_extended(224, END);
    headless::press_keys("\r");
    EXPECT_EQ(choose(), (dir.path() / "older" / "inside.spe").string());
}

// Accented names (UTF-8): listed as they are, typed whole, a typed character
// taken back whole, and the path returned with the name's own bytes.
TEST_F(chooser_test, accented_names_are_listed_and_typed_whole) {
    const std::string name = "messung_\xC3\xA4\xE0\xA4\x95.spe";     // a umlaut, and a character whose lead byte is 224
    dir.write(name, "x");
    std::optional<std::string> shown = choose();
    std::vector<std::string> rows = entry_rows();
    EXPECT_NE(std::find_if(rows.begin(), rows.end(), [&](const std::string& r) { return r.rfind("  " + name, 0) == 0; }),
              rows.end());

    headless::start();
    headless::press_keys("messung_\xC3\xA4\xC3\xB6\b\xE0\xA4\x95.spe\r");   // o umlaut typed and taken back
    EXPECT_EQ(choose(), (dir.path() / name).string());
}

TEST_F(chooser_test, escape_cancels_and_the_screen_comes_back) {
    set_background_color(7);
    clear_screen(0);
    set_text_color(12);
    set_text_position(4, 3);
    write_text("before");
    Rgb before = headless::pixel(400, 300);
    headless::press_keys("x\x1b");
    std::optional<std::string> chosen = choose();
    EXPECT_FALSE(chosen);
    EXPECT_FALSE(last_run.script_exhausted) << "ESC ends the chooser, not the script";
    EXPECT_EQ(headless::pixel(400, 300), before);
    EXPECT_EQ(headless::row_text(4).substr(0, 10), "  before  ");
    EXPECT_EQ(headless::row_text(1).substr(0, 10), std::string(10, ' ')) << "the caption bar is gone";
    EXPECT_EQ(text_row(), 4);
    EXPECT_EQ(text_column(), 9);
    EXPECT_EQ(set_text_color(0), 12);
    EXPECT_EQ(set_background_color(0), 7);
}

TEST_F(chooser_test, an_unreadable_directory_is_reported_not_fatal) {
    std::optional<std::string> chosen;
    headless::RunResult run = headless::run([&] {
        chosen = choose_file_in_window("Open", "", dir.path() / "missing");
    });
    EXPECT_TRUE(run.script_exhausted) << "the chooser waits for keys instead of failing";
    EXPECT_FALSE(chosen);
    bool reported = false;
    for (int row = 1; row <= 30; ++row) reported |= headless::row_text(row).find("Cannot read") != std::string::npos;
    EXPECT_TRUE(reported);
    EXPECT_EQ(headless::row_text(5).substr(0, 5), "  ../") << "the way back up stays";
}
