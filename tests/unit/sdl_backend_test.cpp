// Parts of the SDL backend that run without a window: text events into key
// bytes, the tone's samples, and a tone's length when there is no sound.
#include "window/sdl_keys.hpp"
#include "window/sdl_tone.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <vector>

using namespace tarno::window_internal;

TEST(sdl_keys, text_events_pass_characters_as_utf8) {
    struct Case { std::string utf8; std::string bytes; };
    const Case cases[] = {
        {"a", "a"},
        {"@", "@"},
        {"#)(", "#)("},                               // several characters in one event
        {"\xC3\xA9", "\xC3\xA9"},                     // e acute, whole
        {"\xC2\xB5m", "\xC2\xB5m"},                   // micro sign
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},             // euro sign
        {"\xF0\x9F\x98\x80x", "\xF0\x9F\x98\x80x"},   // four-byte character
        {"\xC3\xA0x", "\xC3\xA0x"},                   // a grave: its bytes are not the cursor prefix 224
        {"\xE0\xA4\x95", "\xE0\xA4\x95"},             // lead byte 224, then a byte no scan code has
        {"\xC3", ""},                                 // cut-off sequence
        {"\x80z", "z"},                               // stray continuation byte
        {"\xC0\xAF", ""},                             // overlong form of '/'
        {"\x7F", ""},                                 // DEL is a key, not text
        {"\xC2\x85", ""},                             // a control character beyond ASCII
    };
    for (const Case& c : cases) EXPECT_EQ(text_input_bytes(c.utf8), c.bytes) << "input of " << c.utf8.size() << " bytes";
}

TEST(sdl_tone, sine_has_the_frequency_amplitude_and_a_continuous_phase) {
    constexpr int RATE = 44100;
    std::vector<int16_t> samples(RATE);  // one second of 1000 Hz
    float phase = 0.0f;
    // In two pieces: the second must carry on where the first stopped.
    fill_sine(std::span(samples).first(12345), phase, 1000.0f, RATE, 6000);
    fill_sine(std::span(samples).subspan(12345), phase, 1000.0f, RATE, 6000);
    int rising = 0;
    int16_t peak = 0;
    int largest_step = 0;
    for (size_t i = 1; i < samples.size(); ++i) {
        if (samples[i - 1] < 0 && samples[i] >= 0) ++rising;
        peak = std::max(peak, samples[i]);
        largest_step = std::max(largest_step, std::abs(samples[i] - samples[i - 1]));
    }
    EXPECT_NEAR(rising, 1000, 1);
    EXPECT_NEAR(peak, 6000, 5);
    // 2*pi*1000/44100 * 6000 = 855 per sample at most; a phase jump would show as more.
    EXPECT_LE(largest_step, 860);
}

TEST(sdl_tone, a_tone_without_sound_still_takes_its_time) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    open_tone_device();  // fails: silent tones
    auto start = std::chrono::steady_clock::now();
    play_sine_tone(4000, 120);
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    close_tone_device();
    EXPECT_GE(took.count(), 120);
}
