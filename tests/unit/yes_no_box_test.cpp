// The in-window Yes/No box: which keys answer what, what it shows, and that
// the screen is as before once it is answered.
#include "window/headless.hpp"
#include "window/yes_no_box.hpp"

#include <gtest/gtest.h>

using namespace tarno;
using namespace tarno::window_internal;

constexpr int LEFT = 75, RIGHT = 77;

// Runs the box with the keys given; nullopt when the keys ran out before an answer.
static std::optional<bool> answer(std::string_view keys, int extended = 0) {
    headless::start();
    if (extended != 0) headless::press_extended(224, extended);
    headless::press_keys(keys);
    std::optional<bool> result;
    headless::run([&] { result = ask_yes_no_in_window("File Open Error", "A File Must be Selected\nTerminate Program?"); });
    return result;
}

TEST(yes_no_box, keys_answer) {
    struct Case { const char* keys; int extended; std::optional<bool> expected; };
    const Case cases[] = {
        {"y", 0, true},   {"Y", 0, true},   {"n", 0, false},  {"N", 0, false},
        {"\r", 0, true},                      // ENTER takes the highlighted button: Yes at first
        {"\x1b", 0, false},                   // ESC is No
        {"\t\r", 0, false}, {"\t\t\r", 0, true},
        {"\r", RIGHT, false}, {"\r", LEFT, false},
        {"q7 \r", 0, true},                   // other keys change nothing
        {"", 0, std::nullopt},                // no answer without a key
    };
    for (const Case& c : cases)
        EXPECT_EQ(answer(c.keys, c.extended), c.expected) << "keys '" << c.keys << "' extended " << c.extended;
}

TEST(yes_no_box, shows_caption_lines_and_buttons) {
    EXPECT_EQ(answer(""), std::nullopt);  // the box stays on screen when the script ends
    std::string screen;
    for (int row = 1; row <= 30; ++row) screen += headless::row_text(row) + "\n";
    for (const char* text : {" File Open Error", "  A File Must be Selected", "  Terminate Program?", "[  Yes  ]", "[  No   ]"})
        EXPECT_NE(screen.find(text), std::string::npos) << text << " missing in\n" << screen;
}

TEST(yes_no_box, answered_box_leaves_the_screen_as_it_was) {
    headless::start();
    set_background_color(7);
    clear_screen(0);
    set_text_color(1);
    set_text_position(15, 20);
    write_text("under the box");
    std::vector<Rgb> before;
    for (int y = 0; y < 540; y += 7)
        for (int x = 0; x < 800; x += 7) before.push_back(headless::pixel(x, y));
    headless::press_keys("n");
    headless::run([] { ask_yes_no_in_window("Question", "Really?"); });
    std::vector<Rgb> after;
    for (int y = 0; y < 540; y += 7)
        for (int x = 0; x < 800; x += 7) after.push_back(headless::pixel(x, y));
    EXPECT_TRUE(before == after);
    EXPECT_EQ(headless::row_text(15).substr(19, 13), "under the box");
    for (int row = 1; row <= 30; ++row)
        EXPECT_EQ(headless::row_text(row).find("Really?"), std::string::npos) << "row " << row << " keeps the box text";
    EXPECT_EQ(text_row(), 15);
    EXPECT_EQ(text_column(), 33);
    EXPECT_EQ(set_text_color(0), 1);
}
