// The partner's datafile: the record each measurement command appends, the
// tones that confirm it, and the append itself.
//
// Record layouts (one line each; Q = quantum_numbers, f = fitted frequency,
// u = fit error, lu = line_uncertainty, ti = transition_intensity):
//
//   command   .lin / .LIN datafile                        other datafile
//   1 line    12I3 Q1..Q12, F15.5 f, F12.5 lu, F10.5 1.0  6I5 Q1..Q6, F20.6 f, F15.6 lu, I5 1
//   2 blend   12I3, F15.5 f, F12.5 lu, 1PE10.2 ti          6I5, F20.6 f, F15.6 lu, I5 2, 1PE9.2 ti, 1X
//   3 excl.   12I3, F15.5 f, F12.5 0.0, F10.5 1.0          6I5, F20.6 f, F15.6 lu, I5 0
//   5 average 12I3, F15.5 mean, F12.5 lu, 1PE10.2 1.0      6I5, F20.6 mean, F15.6 lu, I5 1
//   6 intens. both: F14.5 f, " +-", F8.5 u, I8 peak, F11.5 FWHH, 3X, 3I3 Q1..Q3, " <- ",
//             3I3 Q4..Q6, 1PE14.4 ti, F12.5 transition_extra
//
// These columns are what the partner program parses: every field goes through
// common/fields (asterisks on overflow) and nothing here pads by hand.
#include <algorithm>    // min
#include <cerrno>       // errno of a failed open or write
#include <climits>      // INT32_MAX
#include <cmath>        // trunc of the peak intensity
#include <cstring>      // strerror
#include <fcntl.h>      // open with O_APPEND
#include <unistd.h>     // write, close

#include "common/fields.hpp"
#include "display/linked.hpp"
#include "window/window.hpp"

namespace tarno {

// [SECTION] Datafile records -----------------------------------------------------------

// Returns Q[first..first+count-1] (1-based), each in an Iw field.
static std::string quantum_fields(const TransitionValues& t, int first, int count, int width) {
    std::string text;
    for (int q = first; q < first + count; ++q) text += format_integer(t.quantum_numbers[q - 1], width);
    return text;
}

// Returns the peak intensity truncated toward zero, as the I8 field of intensity records.
static std::string peak_intensity_field(double peak_intensity) {
    if (!std::isfinite(peak_intensity)) return std::string(8, '*');
    double truncated = std::trunc(peak_intensity);
    if (std::fabs(truncated) > 1e15) return std::string(8, '*');   // keeps the cast defined
    return format_integer(static_cast<long long>(truncated), 8);
}

// Returns the record of a .lin datafile for commands 1, 2, 3 and 5.
static std::string lin_record(int32_t command, const MeasuredLine& line, float lu,
                              const TransitionValues& t) {
    std::string text = quantum_fields(t, 1, 12, 3) + format_fixed(line.frequency, 15, 5);
    switch (command) {
    case COMMAND_LINE: return text + format_fixed(lu, 12, 5) + format_fixed(1.0, 10, 5);
    case COMMAND_BLEND: return text + format_fixed(lu, 12, 5) + format_scaled_exponent(t.transition_intensity, 10, 2);
    case COMMAND_EXCLUDED: return text + format_fixed(0.0, 12, 5) + format_fixed(1.0, 10, 5);
    default: return text + format_fixed(lu, 12, 5) + format_scaled_exponent(1.0, 10, 2);  // average
    }
}

// Returns the record of any other datafile for commands 1, 2, 3 and 5.
static std::string other_record(int32_t command, const MeasuredLine& line, float lu,
                                const TransitionValues& t) {
    std::string text = quantum_fields(t, 1, 6, 5) + format_fixed(line.frequency, 20, 6) + format_fixed(lu, 15, 6);
    switch (command) {
    case COMMAND_LINE: return text + format_integer(1, 5);
    case COMMAND_BLEND: return text + format_integer(2, 5) + format_scaled_exponent(t.transition_intensity, 9, 2) + " ";
    case COMMAND_EXCLUDED: return text + format_integer(0, 5);
    default: return text + format_integer(1, 5);    // average
    }
}

// Returns the intensity record (the same for both kinds of datafile).
static std::string intensity_record(const MeasuredLine& line, const TransitionValues& t) {
    return format_fixed(line.frequency, 14, 5) + " +-" + format_fixed(line.uncertainty, 8, 5)
         + peak_intensity_field(line.peak_intensity) + format_fixed(line.halfwidth, 11, 5) + "   "
         + quantum_fields(t, 1, 3, 3) + " <- " + quantum_fields(t, 4, 3, 3)
         + format_scaled_exponent(t.transition_intensity, 14, 4) + format_fixed(t.transition_extra, 12, 5);
}

// Returns the record line that `command` appends, or nothing for codes without one.
std::optional<std::string> format_datafile_record(int32_t command, bool datafile_is_lin,
                                                  const MeasuredLine& line, float line_uncertainty,
                                                  const TransitionValues& transition) {
    switch (command) {
    case COMMAND_LINE:
    case COMMAND_BLEND:
    case COMMAND_EXCLUDED:
    case COMMAND_AVERAGE:
        return datafile_is_lin ? lin_record(command, line, line_uncertainty, transition)
                               : other_record(command, line, line_uncertainty, transition);
    case COMMAND_INTENSITY:
        return intensity_record(line, transition);
    default:
        return std::nullopt;
    }
}

// Returns why the record of `command` must not be written, or nothing. A
// value beyond its field would go into the partner's file as asterisks,
// which the fitting program cannot read: such a record is refused whole.
std::optional<std::string> datafile_record_refusal(int32_t command, bool datafile_is_lin,
                                                   const TransitionValues& transition, std::string_view record) {
    // The quantum numbers each record writes, and their field width.
    int count = 0, width = 0;
    if (command == COMMAND_INTENSITY) count = 6, width = 3;
    else if (datafile_is_lin) count = 12, width = 3;
    else count = 6, width = 5;
    const long long high = width == 3 ? 999 : 99999;
    const long long low = width == 3 ? -99 : -9999;
    for (int q = 1; q <= count; ++q) {
        long long value = transition.quantum_numbers[size_t(q - 1)];
        if (value < low || value > high)
            return "Q" + std::to_string(q) + " = " + std::to_string(value) + " outside " + std::to_string(low) +
                   ".." + std::to_string(high);
    }
    if (record.find('*') != std::string_view::npos) return std::string("a value does not fit its column");
    return std::nullopt;
}

// [SECTION] Tone patterns --------------------------------------------------------------

// Returns the tones that confirm `command` (f Hz, d ms; divisions truncate toward zero).
std::vector<ToneStep> tone_pattern(int32_t command, int32_t f, int32_t d) {
    switch (command) {
    case COMMAND_LINE:
    case COMMAND_INTENSITY: return {{f, d}};
    case COMMAND_BLEND: return {{f, d / 2}, {0, 100}, {f, d / 2}};
    case COMMAND_EXCLUDED: return {{f, static_cast<int32_t>(std::min<int64_t>(2LL * d, INT32_MAX))}};
    case COMMAND_MEASURE_ONLY: return {{f, d / 4}};
    case COMMAND_AVERAGE: return {{f, d / 4}, {0, 50}, {f, d / 4}, {0, 50}, {f, d / 4}};
    default: return {};
    }
}

// Plays a pattern: tones through the window layer, pauses by sleeping.
void play_tone_pattern(const std::vector<ToneStep>& pattern) {
    for (const ToneStep& step : pattern) {
        int duration = step.duration_ms > 0 ? step.duration_ms : 0;   // a negative duration from tarno_l.inp is silence
        if (step.frequency_hz == 0) sleep_ms(duration);
        else if (duration > 0) beep(step.frequency_hz, duration);
    }
}

// [SECTION] Appending to the datafile ------------------------------------------------

// Returns "<step><reason>" for the errno of a failed call (kept short: it
// goes into an 80-column message row with the datafile's name).
static std::string failure(std::string_view step, int error) {
    return std::string(step) + std::strerror(error);
}

// Appends `record` and a line end in one write() to the existing datafile.
std::optional<std::string> append_datafile_record(const std::string& datafile_name,
                                                  const std::optional<std::string>& record) {
    // No O_CREAT: the datafile belongs to the partner and must already exist.
    int fd = ::open(datafile_name.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return failure("", errno);

    std::optional<std::string> error;
    if (record) {
        std::string bytes = *record + "\n";
        ssize_t written;
        do written = ::write(fd, bytes.data(), bytes.size());
        while (written < 0 && errno == EINTR);
        if (written < 0) error = failure("write failed: ", errno);
        else if (static_cast<size_t>(written) != bytes.size()) error = "write incomplete: disk full";
    }
    if (::close(fd) != 0 && !error) error = failure("close failed: ", errno);
    return error;
}

}  // namespace tarno
