// Linked operation inside the display loop: the linked-operation input at the
// start and on ESC, the keys F1 to F3, F7 and F8, the measurements that end in
// a datafile record, and the key wait that watches the exchange block.
//
// What a reader must know first:
//  - `command` in the block is a one-slot mailbox. The partner (or F1-F3)
//    writes a code, this program performs it and writes 0 back: after the
//    record is written, after a measurement error, after a failed append.
//  - While linked_flag is 1 keys come through the key-peeking reader. It is
//    stopped before a key is dispatched (its command may read keys itself),
//    and the bytes it had collected that nobody took go back to the front of
//    the window's key queue, so keys typed in quick succession are never lost.
//
// Sections:
//   [SECTION] Linked-operation input
//   [SECTION] Datafile step
//   [SECTION] Keys
//   [SECTION] Key wait
#include <chrono>       // idle time of the key wait
#include <vector>

#include "app/records.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/linked.hpp"
#include "display/linked_state.hpp"
#include "display/measurement.hpp"
#include "display/messages.hpp"
#include "exchange/exchange_block.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int POLL_INTERVAL_MS = 1;         // the block and the key buffer are polled every millisecond...
constexpr int IDLE_POLL_INTERVAL_MS = 2;    // ...and every 2 ms once nothing happened for a while
constexpr auto IDLE_AFTER = std::chrono::seconds(2);
constexpr int SECOND_BYTE_WAIT_MS = 100;    // an extended key's code follows its prefix at once

// [SECTION] Linked-operation input ------------------------------------------------------

// Reads tarno_l.inp beside the spectrum and mirrors what the display draws
// (found flag, short datafile name) into the linked state.
void load_linked_input() {
    RDINP(display.spectrum_directory, linked_input);
    linked.linked_input_found = linked_input.linked_input_found;
    linked.datafile_short_name = linked_input.datafile_short_name;
    load_linked_datafile_lines(linked_input.datafile_name, linked_input.linked_input_found == 1);
}

// ESC: rereads tarno_l.inp, so linked operation starts after the partner has
// written it, or stops when it was removed; the whole screen is redrawn.
Redraw reread_linked_input() {
    load_linked_input();
    linked.linked_flag = linked.linked_input_found == 1 ? 1 : 0;
    compose_bottom_line();     // NOTE: the key summary gives way to the datafile name, as at the start
    return Redraw_WholeScreen;
}

// [SECTION] Datafile step ---------------------------------------------------------------

// Returns what the partner supplied with the current transition.
static TransitionValues read_transition() {
    TransitionValues t{};
    for (int q = 1; q <= JOINTC_QUANTUM_NUMBERS; ++q) t.quantum_numbers[size_t(q - 1)] = exchange_quantum_number(q);
    t.transition_intensity = exchange_transition_intensity();
    t.transition_extra = exchange_transition_extra();
    return t;
}

// Hands `command` back as done (only when something is pending, so a
// stand-alone measurement never writes the block).
static void finish_command() {
    if (exchange_command() != COMMAND_NONE) set_exchange_command(COMMAND_NONE);
}

// Appends the record of `command` (none for codes without one: the datafile
// is opened and closed all the same), sounds its tones, resets the command.
// A record with a value beyond its field, or a datafile that cannot be
// appended to, is reported; nothing is written.
static void write_datafile_step(int32_t command, const MeasuredLine& line, bool has_record) {
    // The partner's 0 would read as "no intensity": the block itself gets the small value.
    if (command == COMMAND_INTENSITY && exchange_transition_intensity() == 0.0f)
        set_exchange_transition_intensity(1.0E-20f);
    const LinkedInput& in = linked_input;
    const TransitionValues transition = read_transition();
    std::optional<std::string> record;
    if (has_record) record = format_datafile_record(command, in.datafile_is_lin == 1, line, in.line_uncertainty, transition);
    std::optional<std::string> failure;
    if (record) failure = datafile_record_refusal(command, in.datafile_is_lin == 1, transition, *record);
    if (!failure) failure = append_datafile_record(in.datafile_name, record);
    if (failure) {
        show_error(" ERROR: nothing written, " + trimmed_text_field(in.datafile_short_name) + ": " + *failure);
    } else if (record) {
        play_tone_pattern(tone_pattern(command, in.tone_frequency, in.tone_duration));
        note_appended_line(in.datafile_name, line.frequency);
    }
    finish_command();
}

// Returns the line of a measurement as the records take it.
static MeasuredLine measured_line_of(const LineMeasurement& m) {
    // NOTE: without both half-height crossings the width is written as 0.
    return {m.frequency, m.error, m.intensity, m.has_half_width ? m.half_width : 0.0};
}

// The line measurement of key O followed by the datafile step: command 4
// answers with one short tone, 1-3 and 6 append their record, other codes
// only open and close the datafile; every code is then reset.
void measure_line_for_datafile() {
    LineMeasurement m = measure_line();
    if (m.failed) {
        finish_command();
        return;
    }
    int32_t command = exchange_command();
    if (command == COMMAND_MEASURE_ONLY) {
        play_tone_pattern(tone_pattern(command, linked_input.tone_frequency, linked_input.tone_duration));
        finish_command();
        return;
    }
    if (linked.linked_input_found != 1 || command == COMMAND_NONE) return;
    bool has_record = command == COMMAND_LINE || command == COMMAND_BLEND || command == COMMAND_EXCLUDED ||
                      command == COMMAND_INTENSITY;
    write_datafile_step(command, measured_line_of(m), has_record);
}

// The = command followed, when the partner asked for it (command 5), by the
// average record and its three tones.
void average_for_datafile() {
    LineAverage a = average_lines();
    if (exchange_command() != COMMAND_AVERAGE || linked.linked_input_found != 1) return;
    write_datafile_step(COMMAND_AVERAGE, {a.average, a.error, 0.0, 0.0}, true);
}

// [SECTION] Keys ----------------------------------------------------------------------------

// F1, F2, F3: the user places command 1, 2 or 3 and measures; ignored without linked input.
Redraw measure_for_partner_key(int16_t key) {
    if (linked.linked_input_found != 1) return Redraw_None;
    set_exchange_command(key == KEY_F1 ? COMMAND_LINE : key == KEY_F2 ? COMMAND_BLEND : COMMAND_EXCLUDED);
    measure_line_for_datafile();
    return Redraw_None;
}

// F7: suspends (1 -> -1) or resumes (-1 -> 1) linked operation; 0 stays 0.
Redraw toggle_linked_operation() {
    linked.linked_flag = -linked.linked_flag;
    return Redraw_Frame;
}

// F8: the offset marker on or off. Switched on, it remembers how far the
// cursor lies from the partner's cursor, and the cursor steps 4 pixels right
// so that both lines stay visible.
Redraw toggle_offset_marker() {
    LinkedState& l = linked;
    DisplayState& d = display;
    l.offset_marker_on = !l.offset_marker_on;
    if (l.offset_marker_on) {
        l.marker_offset = d.cursor_freq - l.partner_cursor;
        d.cursor_freq += 4 * d.freq_per_pixel;
    }
    return Redraw_Frame;
}

// [SECTION] Key wait ------------------------------------------------------------------------

// Stops the key reader; the bytes it collected that nobody took go back to
// the front of the key queue for whoever reads keys next.
static void stop_peeking() {
    PEEKSTOP();
    std::vector<uint8_t> pending;
    try {
        while (USERPEEKCHAR()) {
            char ch;
            USERGETCHAR(ch);
            pending.push_back(uint8_t(ch));
        }
    } catch (const ProgramEnded&) {
        // The program is ending under the reader: the next key read ends it.
    }
    if (!pending.empty()) unread_keys(pending);
}

// Takes one key from the reader's buffer: an ordinary key as its code, an
// extended key (prefix 0 or 224, then its code) as the negated code.
static int16_t take_peeked_key() {
    char ch;
    USERGETCHAR(ch);
    uint8_t byte = uint8_t(ch);
    if (byte != KEY_PREFIX_FUNCTION && byte != KEY_PREFIX_CURSOR) return int16_t(byte);
    for (int waited = 0; !USERPEEKCHAR() && waited < SECOND_BYTE_WAIT_MS; ++waited) sleep_ms(1);
    if (!USERPEEKCHAR()) return int16_t(byte);      // a lone prefix byte: no key code follows
    USERGETCHAR(ch);
    return int16_t(-int16_t(uint8_t(ch)));
}

// Carries out a command the partner placed in the block.
static void run_partner_command(int32_t command) {
    if (command == COMMAND_AVERAGE) average_for_datafile();
    else measure_line_for_datafile();
}

// Waits for the next key while watching the block: every millisecond a
// pending key is taken, a partner's command carried out, or the partner's
// view or cursor followed. Returns the key.
//
// NOTE: each wake-up costs the same whatever is polled, and on a busy machine
// a 1 ms sleep loop alone takes more than 2 % of a core. After 2 s without a
// key, command or view change the wait polls every 2 ms instead: a command is
// still picked up within about 2 ms, at half the idle cost.
//
// NOTE: the reader keeps running through commands and following: neither reads
// keys, and a restart would cost the reader's 20 ms start-up each time (a
// partner that sets a view and then places a command would wait for it). It
// is stopped before the key is handed to the loop, whose command may read keys.
int16_t wait_for_linked_key() {
    using Clock = std::chrono::steady_clock;
    PEEKSTART(UNIT_KEYBOARD);
    Clock::time_point last_activity = Clock::now();
    for (;;) {
        sleep_ms(Clock::now() - last_activity < IDLE_AFTER ? POLL_INTERVAL_MS : IDLE_POLL_INTERVAL_MS);
        if (USERPEEKCHAR()) {
            int16_t key = take_peeked_key();
            stop_peeking();
            return key;
        }
        PEEKSTART(UNIT_KEYBOARD);           // a typed stop character (199) ended the reader: a new one (no-op while running)
        int32_t command = exchange_command();
        if (command > 0) {                  // a negative code is not a command: ignored
            run_partner_command(command);
            last_activity = Clock::now();
        } else if (!view_matches_block()) {
            sleep_ms(POLL_INTERVAL_MS);     // a partner writing the three fields one by one has finished
            follow_exchange_block();
            last_activity = Clock::now();
        }
    }
}

}  // namespace tarno
