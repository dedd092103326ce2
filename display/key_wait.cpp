// The display loop's wait for its next key.
#include "display/display_commands.hpp"
#include "display/linked.hpp"
#include "display/linked_state.hpp"
#include "input/keyboard.hpp"

namespace tarno {

// Returns the next key code. Stand-alone (and with linked operation
// suspended) this is a blocking read.
// While linked_flag is 1 the key is polled while the exchange block is watched.
int16_t wait_for_display_key() {
    if (linked.linked_flag == 1) return wait_for_linked_key();
    int16_t code = 0;
    return INKEY(code);
}

}  // namespace tarno
