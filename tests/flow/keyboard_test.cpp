// Keys on the headless window: INKEY's codes, and the key-peeking module's
// reader thread, ring buffer, beeps and stop character.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "input/keyboard.hpp"
#include "window/backend.hpp"     // a backend whose tone lasts until the test releases it
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

// A window backend whose tones last until the test releases them, so a test
// can look at the ring while a warning tone sounds. Everything else goes to
// the headless backend it replaces.
class HeldToneBackend : public window_internal::Backend {
public:
    explicit HeldToneBackend(window_internal::Backend* inner) : inner_(inner) {}
    void resize(int width, int height) override { inner_->resize(width, height); }
    void play_tone(int frequency_hz, int duration_ms) override {
        sounding = true;
        for (int i = 0; i < 500 && !released; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sounding = false;
        inner_->play_tone(frequency_hz, duration_ms);
    }
    std::optional<std::string> choose_file(std::string_view caption, std::string_view filter) override {
        return inner_->choose_file(caption, filter);
    }
    bool ask_yes_no(std::string_view caption, std::string_view message) override { return inner_->ask_yes_no(caption, message); }
    void focus() override { inner_->focus(); }
    void set_exit_behaviour(int behaviour) override { inner_->set_exit_behaviour(behaviour); }

    std::atomic<bool> sounding{false};
    std::atomic<bool> released{false};

private:
    window_internal::Backend* inner_;
};

// True when USERPEEKCHAR answers within half a second from another thread.
bool poll_answers_promptly() {
    auto poll = std::async(std::launch::async, [] { return USERPEEKCHAR(); });
    return poll.wait_for(std::chrono::milliseconds(500)) == std::future_status::ready;
}

// The warning tones (taking from an empty ring, storing into a full one) do
// not hold the ring's lock: the polling loop goes on while they sound.
TEST(peek, warning_tones_sound_outside_the_lock) {
    headless::start();
    window_internal::Backend* headless_backend = window_internal::installed_backend();
    HeldToneBackend held(headless_backend);
    window_internal::install_backend(&held);
    struct Restore {
        window_internal::Backend* backend;
        ~Restore() { window_internal::install_backend(backend); }
    } restore{headless_backend};

    // Empty ring: the main thread's take beeps.
    std::thread taker([] {
        char ch = 'x';
        USERGETCHAR(ch);
        EXPECT_EQ(ch, ' ');
    });
    ASSERT_TRUE(wait_for([&] { return held.sounding.load(); }));
    EXPECT_TRUE(poll_answers_promptly());
    held.released = true;
    taker.join();

    // Full ring: the reader's store beeps while the main thread polls.
    held.released = false;
    headless::press_keys(std::string(256, 'a') + STOP);
    headless::run([&] {
        PEEKSTART(UNIT_KEYBOARD);
        ASSERT_TRUE(wait_for([&] { return held.sounding.load(); }));
        EXPECT_TRUE(poll_answers_promptly());
        held.released = true;
        PEEKSTOP();
    });
}

}  // namespace
}  // namespace tarno
