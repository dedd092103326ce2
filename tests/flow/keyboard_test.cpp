// Keys on the headless window: INKEY's codes, and the key-peeking module's
// reader thread, ring buffer, beeps and stop character.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "input/keyboard.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno {
namespace {

constexpr char STOP = char(199);

// Waits (up to two seconds) until `done` holds; the reader runs on its own thread.
template <typename Predicate>
bool wait_for(Predicate done) {
    for (int i = 0; i < 200; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
}

int warning_tones() {
    int n = 0;
    for (const headless::Tone& t : headless::tones()) n += t.frequency_hz == 4000 && t.duration_ms == 250;
    return n;
}

TEST(inkey, ordinary_and_extended_keys) {
    headless::start();
    headless::press_keys("\r\x1b" "a");
    headless::press_extended(224, 75);   // LEFT
    headless::press_extended(0, 59);     // F1
    headless::press_extended(224, 79);   // END
    std::vector<int16_t> codes;
    headless::RunResult run = headless::run([&] {
        for (;;) {
            int16_t code = 0;
            int16_t result = INKEY(code);
            EXPECT_EQ(result, code);
            codes.push_back(code);
        }
    });
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(codes, (std::vector<int16_t>{KEY_ENTER, KEY_ESCAPE, 97, KEY_LEFT, KEY_F1, KEY_END}));
}

TEST(peek, ring_keeps_255_and_beeps_at_the_256th) {
    headless::start();
    std::string keys;
    for (int i = 0; i < 256; ++i) keys.push_back(char('a' + i % 26));
    headless::press_keys(keys + STOP);
    std::string taken;
    headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        ASSERT_TRUE(wait_for([] { return warning_tones() == 1; }));
        while (USERPEEKCHAR()) {
            char ch = 0;
            USERGETCHAR(ch);
            taken.push_back(ch);
        }
        // Empty buffer: a beep and a blank.
        char ch = 'x';
        USERGETCHAR(ch);
        EXPECT_EQ(ch, ' ');
        PEEKSTOP();
    });
    EXPECT_EQ(taken, keys.substr(0, 255));
    EXPECT_EQ(warning_tones(), 2);
}

TEST(peek, stop_character_ends_the_reader_and_is_not_stored) {
    headless::start();
    headless::press_keys(std::string("xy") + STOP + "z");
    std::string taken;
    int16_t after = 0;
    headless::RunResult run = headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        ASSERT_TRUE(wait_for([] { return USERPEEKCHAR(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (USERPEEKCHAR()) {
            char ch = 0;
            USERGETCHAR(ch);
            taken.push_back(ch);
        }
        PEEKSTOP();          // the reader has ended: nothing to post
        INKEY(after);        // the key after 199 was left for a direct read
        INKEY(after);        // script exhausted here: no stray 199 was posted
    });
    EXPECT_EQ(taken, "xy");
    EXPECT_EQ(after, 'z');
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(warning_tones(), 0);
}

TEST(peek, restart_empties_the_buffer) {
    headless::start();
    headless::press_keys(std::string("ab") + STOP + "cd" + STOP);
    std::string taken;
    headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        ASSERT_TRUE(wait_for([] { return USERPEEKCHAR(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        PEEKSTART(UNIT_KEYBOARD);   // the first reader saw 199: this one starts afresh
        ASSERT_TRUE(wait_for([] { return USERPEEKCHAR(); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (USERPEEKCHAR()) {
            char ch = 0;
            USERGETCHAR(ch);
            taken.push_back(ch);
        }
        PEEKSTOP();
    });
    EXPECT_EQ(taken, "cd");
}

TEST(peek, program_end_under_the_reader_ends_the_polling_loop) {
    headless::start();
    headless::press_keys("q");
    std::string taken;
    int polls = 0;
    headless::RunResult run = headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        // The linked display's loop: poll, sleep 1 ms, take what is there.
        for (;;) {
            if (USERPEEKCHAR()) {
                char ch = 0;
                USERGETCHAR(ch);
                taken.push_back(ch);
            }
            ++polls;
            sleep_ms(1);
            ASSERT_LT(polls, 5000) << "the loop was never ended";
        }
    });
    EXPECT_TRUE(run.ended);
    EXPECT_TRUE(run.script_exhausted);
    EXPECT_EQ(taken, "q");
    // A later start works normally.
    headless::start();
    headless::press_keys(std::string("k") + STOP);
    headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        ASSERT_TRUE(wait_for([] { return USERPEEKCHAR(); }));
        char ch = 0;
        USERGETCHAR(ch);
        EXPECT_EQ(ch, 'k');
        PEEKSTOP();
    });
}

}  // namespace
}  // namespace tarno
