// Following the exchange block: another program (a partner, or jointc) may
// have written a view or a cursor into the block. The cursor keys look there
// before they move anything, and linked operation does the same while it
// polls; the display then adopts what the block holds.
#include <algorithm>
#include <cmath>

#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/linked_state.hpp"
#include "display/point_index.hpp"
#include "exchange/exchange_block.hpp"

namespace tarno {

// A view a program may have written on purpose: finite, with low below high.
// Anything else is not followed: a partner writing its two limits one after
// the other passes through such a state, so it is left alone until the
// partner has finished (a block zeroed or scribbled over stays as it is too).
static bool is_usable(const ExchangeView& b) {
    return std::isfinite(b.view_low) && std::isfinite(b.view_high) && std::isfinite(b.cursor_freq) &&
           b.view_low < b.view_high;
}

// An unusable block counts as matching: there is nothing to follow yet, and
// the partner's fields are not overwritten while it may still be writing them.
bool view_matches_block() {
    const DisplayState& d = display;
    ExchangeView b = read_exchange_view();
    if (!is_usable(b)) return true;
    return b.view_low == d.view_low && b.view_high == d.view_high && b.cursor_freq == d.cursor_freq;
}

// Moves the cursor line to the partner's cursor. A result in the message rows
// (a measured frequency the partner is about to record) stays on screen; when
// the rows show the readouts, their numbers follow the cursor.
static void adopt_partner_cursor(double cursor) {
    DisplayState& d = display;
    if (!d.message_flag) {
        update_cursor(cursor);
        return;
    }
    draw_cursor_line();
    d.cursor_freq = cursor;
    d.cursor_index = point_index(cursor);
    draw_cursor_line();
    publish_cursor(cursor);
}

// Adopts the block's view (new frame) or, when only the cursor differs, its
// cursor: moved in place when inside the view, else the view is centred on it.
void follow_exchange_block() {
    DisplayState& d = display;
    ExchangeView b = read_exchange_view();
    if (!is_usable(b)) return;
    linked.partner_cursor = b.cursor_freq;
    if (b.view_low != d.view_low || b.view_high != d.view_high) {
        d.view_low = b.view_low;
        d.view_high = b.view_high;
        bool inside = b.cursor_freq > b.view_low && b.cursor_freq < b.view_high;
        d.cursor_freq = inside ? b.cursor_freq : (b.view_low + b.view_high) / 2;
        draw_frame();
        return;
    }
    if (b.cursor_freq > d.view_low && b.cursor_freq < d.view_high) {
        adopt_partner_cursor(b.cursor_freq);
        return;
    }
    double width = d.view_high - d.view_low;
    d.cursor_freq = b.cursor_freq;
    d.view_low = b.cursor_freq - width / 2;
    d.view_high = b.cursor_freq + width / 2;
    draw_frame();
}

// Moves the cursor by whole pixels, held one pixel inside the view; when the
// block was changed by another program the key follows the block instead.
// A block still unusable when the user presses the key is taken back for the
// display: the user's key wins over a request the partner never finished.
Redraw move_cursor_by(int pixels) {
    DisplayState& d = display;
    if (!view_matches_block()) {
        follow_exchange_block();
        return Redraw_None;
    }
    if (!is_usable(read_exchange_view())) publish_view_limits(d.view_low, d.view_high);
    double p = d.freq_per_pixel;
    double next = d.cursor_freq + pixels * p;
    if (pixels < 0) next = std::max(next, d.view_low + p);
    else next = std::min(next, d.view_high - p);
    update_cursor(next);
    return Redraw_None;
}

}  // namespace tarno
