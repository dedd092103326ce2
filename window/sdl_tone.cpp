// Tones through SDL audio.
//
// The audio callback runs on SDL's audio thread and plays whatever tone is
// pending: `play_sine_tone` sets frequency and sample count under the device
// lock and then sleeps for the tone's length on the caller's thread. So the
// call takes its duration whether or not a device exists, and back-to-back
// tones (the confirmation patterns) join without clicks because the phase
// carries over.
#include "window/sdl_tone.hpp"

#include <SDL.h>        // audio subsystem and device

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <thread>

namespace tarno::window_internal {

constexpr int TONE_SAMPLE_RATE = 44100;     // samples per second
constexpr int16_t TONE_AMPLITUDE = 6000;    // of 32767: audible, not harsh
constexpr float TWO_PI = 6.28318530718f;

namespace {
// The one audio device and the tone it is playing.
struct ToneDevice {
    std::mutex open_lock;               // guards open/close against each other
    SDL_AudioDeviceID device = 0;       // 0 = no sound
    int sample_rate = TONE_SAMPLE_RATE; // what the device granted
    // Set by play_sine_tone() under SDL_LockAudioDevice, consumed by the callback.
    float frequency_hz = 0.0f;
    int64_t samples_left = 0;
    float phase = 0.0f;                 // radians, carried from tone to tone
};
}  // namespace
static ToneDevice TONE;

// Audio thread: the pending tone, then silence.
static void fill_audio(void*, Uint8* stream, int length) {
    ToneDevice& t = TONE;
    std::span<int16_t> out(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / sizeof(int16_t));
    size_t tone_part = static_cast<size_t>(std::clamp<int64_t>(t.samples_left, 0, static_cast<int64_t>(out.size())));
    fill_sine(out.first(tone_part), t.phase, t.frequency_hz, t.sample_rate, TONE_AMPLITUDE);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(tone_part), out.end(), int16_t{0});
    t.samples_left -= static_cast<int64_t>(tone_part);
    if (t.samples_left <= 0) t.phase = 0.0f;  // the next tone starts at a zero crossing
}

void fill_sine(std::span<int16_t> out, float& phase, float frequency_hz, int sample_rate, int16_t amplitude) {
    if (sample_rate <= 0) return;
    float step = TWO_PI * frequency_hz / static_cast<float>(sample_rate);
    for (int16_t& sample : out) {
        sample = static_cast<int16_t>(std::lround(static_cast<float>(amplitude) * std::sin(phase)));
        phase += step;
        if (phase >= TWO_PI) phase -= TWO_PI;  // keeps sin() accurate over long tones
    }
}

void open_tone_device() {
    ToneDevice& t = TONE;
    std::lock_guard hold(t.open_lock);
    if (t.device != 0) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;  // no sound
    SDL_AudioSpec wanted{}, granted{};
    wanted.freq = TONE_SAMPLE_RATE;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = 1;
    wanted.samples = 512;  // ~12 ms: short tones start promptly
    wanted.callback = fill_audio;
    t.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &granted, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (t.device == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    t.sample_rate = granted.freq;
    SDL_PauseAudioDevice(t.device, 0);
}

void close_tone_device() {
    ToneDevice& t = TONE;
    std::lock_guard hold(t.open_lock);
    if (t.device == 0) return;
    SDL_CloseAudioDevice(t.device);
    t.device = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void play_sine_tone(int frequency_hz, int duration_ms) {
    ToneDevice& t = TONE;
    if (duration_ms <= 0) return;
    {
        std::lock_guard hold(t.open_lock);
        // Frequencies outside the audible range are played silently (still taking their time).
        if (t.device != 0 && frequency_hz >= 20 && frequency_hz <= 20000) {
            SDL_LockAudioDevice(t.device);
            t.frequency_hz = static_cast<float>(frequency_hz);
            t.samples_left = static_cast<int64_t>(t.sample_rate) * duration_ms / 1000;
            SDL_UnlockAudioDevice(t.device);
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(duration_ms));
}

}  // namespace tarno::window_internal
