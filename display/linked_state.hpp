// Linked-operation state that the display draws from: whether the partner is
// followed, the partner's cursor and the F8 offset marker, and the datafile
// name shown on the bottom row. Each field names the modules that write it;
// the frame, the measurement's redraw and the whole-screen redraw read them.
#pragma once

#include <array>
#include <cstdint>

namespace tarno {

struct LinkedState {
    int32_t linked_input_found;     // 1 when tarno_l.inp and its datafile were found (set by load_linked_input from RDINP)
    int32_t linked_flag;            // 1 active (block watched), -1 suspended by F7, 0 no linked input
                                    // (set by initialise_display and load_linked_input, flipped by F7)
    double partner_cursor;          // partner's cursor as last adopted from the block (set by follow_block)
    bool offset_marker_on;          // F8 marker shown (switched by F8; cleared by initialise_display)
    double marker_offset;           // F8 marker's distance from partner_cursor (set by F8)
    std::array<char, 20> datafile_short_name; // datafile name for the bottom row (set by load_linked_input from RDINP)
};

extern LinkedState linked;

}  // namespace tarno
