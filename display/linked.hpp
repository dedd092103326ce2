// Linked operation: the display works beside a partner assignment program.
//
// The partner and this program share the exchange block (exchange/exchange_block.hpp).
// Through it the display follows the partner's view and cursor, and carries
// out the measurement commands that the partner or the keys F1 to F3 place in
// `command`; each measured line is appended, with the partner's quantum numbers,
// to the partner's line datafile named in tarno_l.inp.
//
// What a reader must know first:
//  - Linked operation is switched on by tarno_l.inp in the spectrum's directory
//    (RDINP). Without it, or when the datafile it names does not exist, the
//    program works stand-alone and says nothing.
//  - The record of each command is a pure function of the measurement and the
//    block's values (format_datafile_record), so every column can be tested.
//  - A record is appended with one write() on a file opened for appending: a
//    record is either in the datafile whole or not at all, and a datafile that
//    cannot be opened is reported, never fatal.
//
// Sections:
//   [SECTION] Linked-operation input (tarno_l.inp)
//   [SECTION] Datafile records
//   [SECTION] Tone patterns
//   [SECTION] Appending to the datafile
//   [SECTION] Display loop (keys, measurements for the datafile, key wait)
#pragma once

#include <array>        // quantum numbers
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "display/display_commands.hpp"   // Redraw

namespace tarno {

// Measurement commands in the block's `command`.
constexpr int32_t COMMAND_NONE = 0;         // nothing pending
constexpr int32_t COMMAND_LINE = 1;         // F1 or partner: measure, append a line record
constexpr int32_t COMMAND_BLEND = 2;        // F2 or partner: measure, append a blend record
constexpr int32_t COMMAND_EXCLUDED = 3;     // F3 or partner: measure, append an excluded-line record
constexpr int32_t COMMAND_MEASURE_ONLY = 4; // partner: measure, one short tone, nothing written
constexpr int32_t COMMAND_AVERAGE = 5;      // partner: average of the last two lines, append an average record
constexpr int32_t COMMAND_INTENSITY = 6;    // partner: measure, append an intensity record

// [SECTION] Linked-operation input (tarno_l.inp) ---------------------------------
constexpr const char* LINKED_INPUT_FILE = "tarno_l.inp";
constexpr size_t DATAFILE_SHORT_NAME_WIDTH = 20;

// Filled by RDINP when the display loop starts and on ESC; kept for the whole run.
struct LinkedInput {
    int32_t linked_input_found;         // 1 when tarno_l.inp and the datafile it names were both found
    std::string datafile_name;          // spectrum directory + the name read (full length, never cut)
    std::array<char, DATAFILE_SHORT_NAME_WIDTH> datafile_short_name; // for display: the name, or "...\" + its last 16 characters
    int32_t datafile_is_lin;            // 1 when the name ends in ".lin" or ".LIN" (12I3 records)
    float line_uncertainty;             // written beside each measured line (also handed to AUTOPK)
    int32_t tone_frequency;             // confirming tones (Hz)
    int32_t tone_duration;              // confirming tones (ms)
};

extern LinkedInput linked_input;

// Reads tarno_l.inp in `spectrum_directory` into `input`. When the file is
// missing, unreadable or incomplete only linked_input_found changes (to 0);
// a datafile that does not exist leaves the values read but found = 0.
void RDINP(std::string_view spectrum_directory, LinkedInput& input);

std::string datafile_short_name_of(std::string_view name); // display form of a datafile name (trimmed, at most 20 characters)
bool is_lin_datafile_name(std::string_view name);          // ends in ".lin" or ".LIN" (only these two spellings)

// [SECTION] Datafile records -------------------------------------------------------
// What the partner supplies with the current transition, as read from the block.
struct TransitionValues {
    std::array<int32_t, 12> quantum_numbers;    // Q1..Q12
    float transition_intensity;                 // weight of blend records, value of intensity records
    float transition_extra;                     // the bytes of Q12 read as a real (intensity records only)
};

// The measured line a record is written for.
struct MeasuredLine {
    double frequency;           // fitted peak frequency (the mean of the last two for an average)
    double uncertainty;         // fit error of the measurement
    double peak_intensity;      // peak intensity above mean_intensity
    double halfwidth;           // full width at half height
};

// The record line (without line end) that `command` appends, or nothing for
// codes that write no record (0, 4 and anything outside 1..6).
std::optional<std::string> format_datafile_record(int32_t command, bool datafile_is_lin,
                                                  const MeasuredLine& line, float line_uncertainty,
                                                  const TransitionValues& transition);

// Returns why `record` (the record of `command`) must not be appended: a
// quantum number beyond its field, or any value that did not fit (written as
// asterisks). Nothing when the record can be written.
std::optional<std::string> datafile_record_refusal(int32_t command, bool datafile_is_lin,
                                                   const TransitionValues& transition, std::string_view record);

// [SECTION] Tone patterns --------------------------------------------------------------
struct ToneStep {
    int32_t frequency_hz;       // 0: a pause
    int32_t duration_ms;
};

std::vector<ToneStep> tone_pattern(int32_t command, int32_t tone_frequency, int32_t tone_duration); // empty for codes without tones
void play_tone_pattern(const std::vector<ToneStep>& pattern); // tones through the window layer, pauses by sleeping

// [SECTION] Appending to the datafile ------------------------------------------------
// Opens the existing datafile for appending, writes `record` plus a line end
// in one write() (nothing when there is no record), closes it. Returns the
// reason when any step fails; nothing else is written then.
std::optional<std::string> append_datafile_record(const std::string& datafile_name,
                                                  const std::optional<std::string>& record);

// [SECTION] Display loop (keys, measurements for the datafile, key wait) ------------
void load_linked_input();                   // RDINP beside the spectrum; the display's copy of found and short name
Redraw reread_linked_input();               // ESC: RDINP again, linked_flag 1 when found, else 0
Redraw measure_for_partner_key(int16_t key);// F1, F2, F3: command 1..3, measure, datafile step (needs linked input)
Redraw toggle_linked_operation();           // F7: linked_flag 1 <-> -1
Redraw toggle_offset_marker();              // F8: offset marker on/off
void measure_line_for_datafile();           // O (and commands): measurement, then the datafile step
void average_for_datafile();                // =: average, then the average record when command is 5
int16_t wait_for_linked_key();              // polls keys and the block every 1 ms until a key arrives

}  // namespace tarno
