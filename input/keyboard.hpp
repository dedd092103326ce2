// Keyboard input: INKEY reads one key straight from the window; the key-peeking
// module (PEEKSTART, USERPEEKCHAR, USERGETCHAR, PEEKSTOP) lets a loop that must
// keep working poll for keys that a reader thread collects in a ring buffer.
//
// Key codes: ordinary keys are their character code (ENTER 13, ESC 27, "a" 97);
// extended keys are the negative of their scan code.
#pragma once

#include <cstdint>

namespace tarno {

constexpr int16_t KEY_ENTER = 13;
constexpr int16_t KEY_ESCAPE = 27;
constexpr int16_t KEY_F1 = -59;
constexpr int16_t KEY_F2 = -60;
constexpr int16_t KEY_F3 = -61;
constexpr int16_t KEY_F7 = -65;
constexpr int16_t KEY_F8 = -66;
constexpr int16_t KEY_HOME = -71;
constexpr int16_t KEY_UP = -72;
constexpr int16_t KEY_LEFT = -75;
constexpr int16_t KEY_RIGHT = -77;
constexpr int16_t KEY_END = -79;
constexpr int16_t KEY_DOWN = -80;
constexpr int16_t KEY_PGUP = -73;
constexpr int16_t KEY_PGDN = -81;

int16_t INKEY(int16_t& code);       // waits for one key; returns (and stores in code) its code

void PEEKSTART(int32_t unit);       // starts the reader thread (no-op when running)
bool USERPEEKCHAR();                // true when a byte is pending; never waits
void USERGETCHAR(char& ch);         // oldest pending byte; beeps and gives a blank when none
void PEEKSTOP();                    // stops the reader thread (no-op when stopped)

}  // namespace tarno
