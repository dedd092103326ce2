// The console grid, line input and the key queue, through the headless backend.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "window/backend.hpp"   // the key queue as a window backend drives it
#include "window/headless.hpp"
#include "window/window.hpp"

using namespace tarno;

namespace {

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

class Console : public ::testing::Test {
protected:
    void SetUp() override { headless::start(800, 540); }
};

TEST_F(Console, new_window_is_white_on_black_with_cursor_home) {
    EXPECT_EQ(text_row(), 1);
    EXPECT_EQ(text_column(), 1);
    write_text("A");
    EXPECT_EQ(headless::cell_text_color(1, 1), 15);
    EXPECT_EQ(headless::cell_background_color(1, 1), 0);
    EXPECT_EQ(headless::row_text(1).size(), 80u);
}

TEST_F(Console, write_text_keeps_row_and_console_write_moves_to_next_row) {
    set_text_position(3, 5);
    write_text("abc");
    EXPECT_EQ(text_row(), 3);
    EXPECT_EQ(text_column(), 8);
    console_write("de");
    EXPECT_EQ(text_row(), 4);
    EXPECT_EQ(text_column(), 1);
    EXPECT_EQ(trimmed(headless::row_text(3)), "    abcde");
}

TEST_F(Console, colours_are_kept_per_cell) {
    set_text_color(0);
    set_background_color(7);
    write_text("x");
    set_text_color(12);
    write_text("y");
    EXPECT_EQ(headless::cell_text_color(1, 1), 0);
    EXPECT_EQ(headless::cell_text_color(1, 2), 12);
    EXPECT_EQ(headless::cell_background_color(1, 2), 7);
    // The cell's pixels show its background colour (a blank part of the cell).
    write_text(" ");
    EXPECT_EQ(headless::pixel(2 * 10 + 5, 1), (Rgb{192, 192, 192}));
}

TEST_F(Console, a_full_row_wraps_and_the_last_row_scrolls) {
    for (int row = 1; row <= 30; ++row) console_write("row " + std::to_string(row));
    // The 30th line went past the last row: everything moved up by one.
    EXPECT_EQ(trimmed(headless::row_text(1)), "row 2");
    EXPECT_EQ(trimmed(headless::row_text(29)), "row 30");
    EXPECT_EQ(trimmed(headless::row_text(30)), "");
    EXPECT_EQ(text_row(), 30);

    headless::start(800, 540);
    console_write(std::string(80, 'a'));  // exactly one row: no extra empty row
    EXPECT_EQ(text_row(), 2);
    write_text(std::string(81, 'b'));     // one character past the row wraps
    EXPECT_EQ(trimmed(headless::row_text(3)), "b");
    EXPECT_EQ(text_column(), 2);
}

TEST_F(Console, scrolling_moves_the_pixels_with_the_text) {
    set_text_position(30, 1);
    console_write("W");  // scrolls
    EXPECT_EQ(headless::row_text(29)[0], 'W');
    bool lit = false;
    for (int y = 28 * 18; y < 29 * 18; ++y)
        for (int x = 0; x < 10; ++x) lit = lit || headless::pixel(x, y) != Rgb{0, 0, 0};
    EXPECT_TRUE(lit) << "the glyph moved up one row";
}

TEST_F(Console, read_line_echoes_and_takes_backspace) {
    set_text_position(5, 1);
    write_text("Name: ");
    headless::press_keys("abx\bc");
    headless::press_extended(224, 75);   // LEFT is ignored by line input
    headless::press_keys("\r");
    std::string line;
    auto result = headless::run([&] { line = console_read_line(); });
    EXPECT_FALSE(result.ended);
    EXPECT_EQ(line, "abc");
    EXPECT_EQ(trimmed(headless::row_text(5)), "Name: abc");
    EXPECT_EQ(text_row(), 6);
    EXPECT_EQ(text_column(), 1);
}

// Typed characters beyond ASCII arrive as UTF-8 bytes and stay whole: one
// cell each on screen, their bytes unchanged in the line, a whole character
// taken back by backspace. The lead byte 224 of a three-byte character is not
// taken for the cursor-key prefix, and a cursor key among them still is one.
TEST_F(Console, read_line_keeps_utf8_characters_whole) {
    const std::string a_umlaut = "\xC3\xA4", ka = "\xE0\xA4\x95", euro = "\xE2\x82\xAC";
    set_text_position(3, 1);
    write_text("Name: ");
    headless::press_keys("spektrum_" + a_umlaut + ka + euro);
    headless::press_extended(224, 75);                 // LEFT among them: ignored
    headless::press_keys("\b\b");                      // takes back the euro sign and ka, whole
    headless::press_keys(".txt");
    headless::press_keys("\x80\xC3");                  // a stray byte and a cut-off one: dropped
    headless::press_keys("\r");
    std::string line;
    headless::run([&] { line = console_read_line(); });
    EXPECT_EQ(line, "spektrum_" + a_umlaut + ".txt");
    EXPECT_EQ(trimmed(headless::row_text(3)), "Name: spektrum_" + a_umlaut + ".txt");

    // One cell per character, also in text written by the program; a byte
    // outside a UTF-8 sequence shows as its Latin-1 character.
    clear_screen(0);
    write_text(a_umlaut + ka + "|\xB5|");
    EXPECT_EQ(trimmed(headless::row_text(1)), a_umlaut + ka + "|\xC2\xB5|");
}

TEST_F(Console, backspace_on_an_empty_line_leaves_the_prompt) {
    write_text("> ");
    headless::type_line("\b\bz");
    std::string line;
    headless::run([&] { line = console_read_line(); });
    EXPECT_EQ(line, "z");
    EXPECT_EQ(trimmed(headless::row_text(1)), "> z");
}

TEST_F(Console, clear_screen_areas) {
    set_background_color(7);
    console_write("text");
    EXPECT_EQ(clear_screen(5), -1);
    EXPECT_EQ(clear_screen(-1), -1);
    EXPECT_EQ(clear_screen(0), 0);
    EXPECT_EQ(trimmed(headless::row_text(1)), "");
    EXPECT_EQ(text_row(), 1);
    EXPECT_EQ(headless::pixel(799, 539), (Rgb{192, 192, 192}));

    // Area 1 fills the viewport only; cells wholly inside it are blanked, others kept.
    set_background_color(0);
    set_text_position(1, 1);
    console_write("keep");
    set_text_position(10, 1);
    console_write("gone");
    set_background_color(1);
    set_viewport(0, 100, 799, 539);
    clear_screen(1);
    EXPECT_EQ(trimmed(headless::row_text(1)), "keep");
    EXPECT_EQ(trimmed(headless::row_text(10)), "");
    EXPECT_EQ(headless::pixel(0, 99), (Rgb{192, 192, 192})) << "outside the viewport";
    EXPECT_EQ(headless::pixel(0, 100), (Rgb{0, 0, 128}));
}

TEST_F(Console, extended_keys_are_two_results_ordinary_keys_one) {
    headless::press_keys("a");
    headless::press_extended(224, 75);
    headless::press_extended(0, 59);
    std::vector<int> keys;
    auto result = headless::run([&] {
        for (;;) keys.push_back(read_key());
    });
    EXPECT_TRUE(result.ended);
    EXPECT_TRUE(result.script_exhausted);
    EXPECT_EQ(keys, (std::vector<int>{'a', 224, 75, 0, 59}));
}

TEST_F(Console, end_program_reports_its_status) {
    auto result = headless::run([] { end_program(3); });
    EXPECT_TRUE(result.ended);
    EXPECT_EQ(result.status, 3);
    EXPECT_FALSE(result.script_exhausted);
    // A later run still ends by script exhaustion.
    auto again = headless::run([] { read_key(); });
    EXPECT_TRUE(again.script_exhausted);
}

TEST_F(Console, a_second_reader_thread_is_woken_when_the_script_runs_out) {
    std::atomic<bool> reader_ended{false};
    std::atomic<int> reader_status{-1};
    headless::press_keys("q");
    auto result = headless::run([&] {
        std::thread reader([&] {
            try {
                for (;;) read_key();
            } catch (const ProgramEnded& ended) {
                reader_status = ended.status;
                reader_ended = true;
            }
        });
        reader.join();
    });
    EXPECT_TRUE(reader_ended);
    EXPECT_EQ(reader_status, 0);
    EXPECT_FALSE(result.ended);
}

TEST_F(Console, a_reader_blocked_in_an_open_queue_is_woken_by_end_program) {
    using namespace std::chrono_literals;
    // As with the window backend, the queue is open: a reader waits until end_program.
    std::atomic<bool> reader_ended{false};
    std::thread reader;
    auto result = headless::run([&] {
        window_internal::reopen_key_queue();
        reader = std::thread([&] {
            try {
                read_key();
            } catch (const ProgramEnded& ended) {
                reader_ended = ended.status == 4;
            }
        });
        std::this_thread::sleep_for(20ms);
        end_program(4);
    });
    reader.join();
    EXPECT_TRUE(reader_ended);
    EXPECT_EQ(result.status, 4);
}

TEST_F(Console, posted_characters_reach_read_key) {
    int handle = native_window_handle(UNIT_KEYBOARD);
    EXPECT_NE(handle, 0);
    send_character(handle, 199);
    int key = -1;
    headless::run([&] { key = read_key(); });
    EXPECT_EQ(key, 199);
}

TEST_F(Console, pause_waits_for_enter) {
    headless::press_keys("xy\r");
    auto result = headless::run([] { pause_until_enter(); });
    EXPECT_FALSE(result.ended);
    EXPECT_NE(trimmed(headless::row_text(1)), "");
    EXPECT_EQ(text_row(), 2);
}

TEST_F(Console, file_arguments_and_dialog_answers) {
    set_file_arguments({"a.spe", "b.spe"});
    EXPECT_EQ(next_file_argument(), "a.spe");
    EXPECT_EQ(next_file_argument(), "b.spe");
    EXPECT_EQ(next_file_argument(), std::nullopt);

    set_dialog_filter(" All Files (*.*), *.*;");
    headless::answer_dialog("/tmp/x.spe");
    headless::answer_dialog(std::nullopt);
    EXPECT_EQ(select_file("Open unit 2"), "/tmp/x.spe");
    EXPECT_EQ(select_file("again"), std::nullopt);
    EXPECT_EQ(headless::dialog_captions(), (std::vector<std::string>{"Open unit 2", "again"}));
    EXPECT_EQ(headless::last_dialog_filter(), " All Files (*.*), *.*;");
    auto result = headless::run([] { select_file("unscripted"); });
    EXPECT_TRUE(result.script_exhausted);

    headless::answer_yes_no(true);
    EXPECT_TRUE(ask_yes_no("c", "m"));
    beep(4000, 250);
    ASSERT_EQ(headless::tones().size(), 1u);
    EXPECT_EQ(headless::tones()[0].frequency_hz, 4000);
}

TEST_F(Console, configure_window_resizes_surface_and_grid) {
    WindowConfig config{1024, 700, 80, 30, -1, -2, " ", "Courier New", -1, 0};
    EXPECT_TRUE(configure_window(config));
    EXPECT_EQ(get_window_size(UNIT_CONSOLE).width, 1024);
    EXPECT_EQ(get_window_size(UNIT_CONSOLE).height, 700);
    set_text_position(30, 80);
    write_text("z");
    EXPECT_EQ(headless::row_text(30)[79], 'z');

    WindowConfig reduced{800, 306, 80, 17, 0, 0, " ", "Courier New", 0, 0};
    EXPECT_TRUE(configure_window(reduced));
    set_text_position(40, 1);
    EXPECT_EQ(text_row(), 17);
    EXPECT_EQ(headless::row_text(18), "");

    WindowConfig odd{5, 30000, 80, 0, 256, 0, "", "", 0, 0};
    EXPECT_FALSE(configure_window(odd));
    EXPECT_GE(odd.pixel_width, 16);
    EXPECT_EQ(odd.colour_count, 16);
    EXPECT_GE(odd.text_rows, 1);
    EXPECT_TRUE(configure_window(odd));  // the adjusted record is taken as it is
}

}  // namespace
