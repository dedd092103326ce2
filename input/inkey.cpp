// INKEY: one key straight from the window, with extended keys folded into
// negative codes (prefix 0 or 224, then the scan code).
#include "input/keyboard.hpp"

#include "window/window.hpp"

namespace tarno {

// Waits for one key and returns its code (also stored in `code`): the
// character code of an ordinary key, minus the scan code of an extended key.
int16_t INKEY(int16_t& code) {
    int byte = read_key();
    if (byte == KEY_PREFIX_FUNCTION || byte == KEY_PREFIX_CURSOR) byte = -read_key();
    code = int16_t(byte);
    return code;
}

// Reads keys until ENTER; every other key is consumed.
void wait_for_enter() {
    int16_t code = 0;
    while (INKEY(code) != KEY_ENTER) {
    }
}

}  // namespace tarno
