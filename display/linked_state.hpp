// Linked-operation state that the display draws from: whether the partner is
// followed, the partner's cursor and the F8 offset marker, and the datafile
// name shown on the bottom row. The linked-operation module sets these; the
// frame and the whole-screen redraw only read them.
#pragma once

#include <array>
#include <cstdint>

namespace tarno {

struct LinkedState {
    int32_t linked_input_found;     // 1 when tarno_l.inp and its datafile were found (set by RDINP)
    int32_t linked_flag;            // 1 active (block watched), -1 suspended by F7, 0 no linked input
    double partner_cursor;          // partner's cursor as last adopted from the block
    bool offset_marker_on;          // F8 marker shown; off when the display loop starts
    double marker_offset;           // F8 marker's distance from partner_cursor
    std::array<char, 20> datafile_short_name; // datafile name for the bottom row (set by RDINP)
};

extern LinkedState linked;

}  // namespace tarno
