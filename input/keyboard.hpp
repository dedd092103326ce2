// Keyboard input: INKEY reads one key straight from the window; the key-peeking
// module (PEEKSTART, USERPEEKCHAR, USERGETCHAR, PEEKSTOP) lets a loop that must
// keep working poll for keys that a reader thread collects in a ring buffer.
//
// Key codes: ordinary keys are their character code (ENTER 13, ESC 27, "a" 97);
// extended keys are the negative of their scan code.
#pragma once

#include <cstdint>

#include "window/window.hpp"   // the KEY_* codes, shared with the window's own dialogs

namespace tarno {

int16_t INKEY(int16_t& code);       // waits for one key; returns (and stores in code) its code
void wait_for_enter();              // reads keys until ENTER; the others are dropped

void PEEKSTART(int32_t unit);       // starts the reader thread (no-op when running)
bool USERPEEKCHAR();                // true when a byte is pending; never waits
void USERGETCHAR(char& ch);         // oldest pending byte; beeps and gives a blank when none
void PEEKSTOP();                    // stops the reader thread (no-op when stopped)

}  // namespace tarno
