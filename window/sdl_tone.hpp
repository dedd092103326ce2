// Tones for the SDL backend: a sine of a given frequency and length played
// through SDL audio. Without a usable audio device a tone is silent but still
// takes its time, so tone patterns keep their rhythm and the program goes on.
#pragma once

#include <cstdint>
#include <span>

namespace tarno::window_internal {

// Opens the audio device (own SDL_InitSubSystem); any failure means "no sound".
void open_tone_device();
// Closes the device and its subsystem; tones afterwards are silent.
void close_tone_device();
// Sounds a sine of frequency_hz for duration_ms and returns after duration_ms.
void play_sine_tone(int frequency_hz, int duration_ms);

// Fills `out` with a sine at `amplitude`, continuing from `phase` (radians, updated).
void fill_sine(std::span<int16_t> out, float& phase, float frequency_hz, int sample_rate, int16_t amplitude);

}  // namespace tarno::window_internal
