// SAVESP: the save dialogue and the two output formats.
//
// Binary: the format keeps intensities as 16-bit values, so every intensity is
// stored as trunc((intensity - mid) * scale), mid being the middle of the
// spectrum's range and scale a single-precision factor that keeps the stored
// values within a span of 64000 units. The user may ask for another range.
//
//        min ............ mid ............ max      intensities
//     -32000 ............  0  ............ 32000    stored at the 64000 limit
//
// ASCII: three "!" comment lines, then one line per point: the frequency (F15.5,
// accumulated from freq_first by repeated addition of freq_step) and the
// intensity (F20.8), mapped linearly onto new limits when the user asks.
//
// Files are staged (common/staged_file.hpp): nothing appears under the output
// name until every byte is on disk, and a failed write is reported with no
// file left behind.
//
// Sections:
//   [SECTION] Constants and own state
//   [SECTION] Console helpers
//   [SECTION] Dialogue
//   [SECTION] Binary output
//   [SECTION] ASCII output
//   [SECTION] SAVESP
#include "processing/save_spectrum.hpp"

#include <algorithm>    // min, max
#include <cmath>        // fabs, copysign, isfinite
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>       // answers read in free format

#include "app/records.hpp"          // spectrum record, header, data_file_name
#include "app/spectrum_writer.hpp"  // the binary encoding
#include "common/fields.hpp"        // fixed-width fields, answers, path rules
#include "common/staged_file.hpp"   // temporary file renamed into place
#include "common/line_writer.hpp"   // the points' lines, formatted in parallel, written in order
#include "common/utf8.hpp"          // output names are cut by characters
#include "input/keyboard.hpp"       // wait_for_enter
#include "window/progress_note.hpp" // the share written, shown while the lines go out
#include "window/window.hpp"        // console

namespace tarno {

// [SECTION] Constants and own state -------------------------------------------
static constexpr size_t OUTPUT_NAME_LENGTH = 20;   // characters kept of a typed output name
static constexpr size_t SHOWN_NAME_LENGTH = 70;    // characters of the spectrum's path shown and written to ASCII files
static constexpr float TWO_BYTE_SPAN = 64000.0f;   // widest span of stored binary values (-32000..32000)
static constexpr int32_t BINARY_CHUNK_POINTS = 65536; // intensities converted per write
static constexpr int PROGRESS_COLUMN = 6;          // the progress note under the last answer, indented as the dialogue

namespace {
enum OutputType : int16_t {
    OutputType_Binary = 0,      // the binary spectrum format
    OutputType_Ascii = 1,       // two-column ASCII text
};

enum OverwriteAnswer {
    OverwriteAnswer_Yes,        // Y or y: replace the existing file
    OverwriteAnswer_NewName,    // N or n: ask for another name
    OverwriteAnswer_Leave,      // anything else: return without writing
};

// Kept from one call to the next.
struct SaveState {
    std::string output_name;    // as typed, cut to 20 characters and trimmed; set by the name prompts
    int16_t output_type;        // OutputType_*; asked on every call
    float new_range;            // binary: the last "Value of new range" answer
    float lower_limit;          // ASCII: the last new limits (lower < upper)
    float upper_limit;
};
}  // namespace
static SaveState save;

namespace {
struct IntensityRange {
    int32_t min, max;           // smallest and largest intensity of the spectrum
};

// A linear map of intensities for the ASCII output: y = (intensity - min) * scale + lower,
// rounded to single precision. The scale is kept in double precision: a
// single-precision (upper - lower) / span is a little short for many spans
// (1/41 and 1/47 among them), so the largest intensity would miss `upper`
// (0.99999994 instead of 1); in double the error stays far below the rounding
// of y, and both limits are written exactly.
struct AsciiMapping {
    double scale;
    float lower;
};
}  // namespace

// [SECTION] Console helpers ---------------------------------------------------

// Writes one line.
static void say(std::string_view line) { console_write(line); }

// Writes one line in the highlight colour, then sets the normal text colour back.
static void say_highlighted(std::string_view line) {
    set_text_color(COLOR_LIGHT_RED);
    console_write(line);
    set_text_color(COLOR_BLACK);
}

// Writes a prompt without a line break and returns the line typed after it.
static std::string ask(std::string_view prompt) {
    write_text(prompt);
    return console_read_line();
}

// [SECTION] Dialogue ----------------------------------------------------------

// Returns the spectrum's path as shown and as written into ASCII files: whole
// up to 70 characters, else "..." and its last 67.
static std::string shown_source_name() {
    return shortened_name(data_file_path(), SHOWN_NAME_LENGTH, SHOWN_NAME_LENGTH - 3);
}

// Keeps an answer as the output name (first 20 characters, trimmed); false when it is empty.
// Characters, not bytes: a cut inside a UTF-8 character would leave a name that is no text.
static bool take_output_name(std::string_view answer) {
    save.output_name = std::string(trim(padded_characters(answer, OUTPUT_NAME_LENGTH)));
    return !save.output_name.empty();
}

// Shows the source and asks for the output name; false when the user leaves.
static bool ask_output_name(std::string_view source) {
    say(" ");
    say("     This spectrum is from file:");
    say_highlighted("     " + std::string(source));
    say(" ");
    say("     Specify file name for output");
    return take_output_name(ask("     (no path, ENTER for exit)     ....  "));
}

// Asks for the output type until 0 or 1 is typed.
static int16_t ask_output_type() {
    for (;;) {
        say(" ");
        say("     Type of output:    0 = binary");
        say(std::string(24, ' ') + "1 = two column ASCII");
        say("");
        std::optional<long long> type = read_integer_field(ask(std::string(19, ' ') + ".... "), 5);
        if (type && (*type == OutputType_Binary || *type == OutputType_Ascii)) return static_cast<int16_t>(*type);
    }
}

// Asks what to do about a file that could not be created under the output name.
static OverwriteAnswer ask_overwrite() {
    say(" ");
    std::string answer = ask("     THIS FILE ALREADY EXISTS, OVERWRITE (Y/N)?  ");
    char first = answer.empty() ? ' ' : answer[0];
    if (first == 'Y' || first == 'y') return OverwriteAnswer_Yes;
    if (first == 'N' || first == 'n') return OverwriteAnswer_NewName;
    return OverwriteAnswer_Leave;
}

// Reports an open failure other than an existing file, before the overwrite question.
static void report_open_failure(const std::string& error) {
    say(" ");
    say_highlighted("     ****ERROR, " + error);
}

// Opens the output file in `directory` under the output name, never over an
// existing file without a Y; nothing when the user leaves without writing.
static std::optional<StagedFile> open_output(const std::string& directory) {
    StagedFile::Mode mode = StagedFile::Mode::create_new;
    for (;;) {
        StagedFile file(directory + save.output_name, mode);
        if (file.is_open()) return std::optional<StagedFile>(std::move(file));
        if (!file.target_exists()) report_open_failure(file.error());
        switch (ask_overwrite()) {
            case OverwriteAnswer_Yes:
                mode = StagedFile::Mode::replace;
                break;
            case OverwriteAnswer_NewName:
                if (!take_output_name(ask(" New file name (or ENTER to exit):  "))) return std::nullopt;
                mode = StagedFile::Mode::create_new;
                break;
            case OverwriteAnswer_Leave:
                return std::nullopt;
        }
    }
}

// Finds the smallest and largest intensity and stores them in the spectrum record.
static IntensityRange scan_intensity_range() {
    SpectrumRecord& s = spectrum;
    IntensityRange range{1'000'000'000, -1'000'000'000};
    for (int32_t i = 1; i <= s.point_count; ++i) {
        range.min = std::min(range.min, s.intensity[i]);
        range.max = std::max(range.max, s.intensity[i]);
    }
    s.intensity_min = range.min;
    s.intensity_max = range.max;
    return range;
}

// Puts the file in place, or gives it up after `failure` (what went wrong
// while writing, "" when nothing did). Returns the reason it is not in place
// ("" when it is).
static std::string complete_output(StagedFile& out, const std::string& failure) {
    if (!failure.empty()) {
        out.abandon();   // a partial file must not fill the disk while the user reads the report
        return failure;
    }
    return out.commit() ? std::string() : out.reason();
}

// [SECTION] Binary output -----------------------------------------------------

// Returns `scale` reduced, if need be, so that the stored values span at most
// 64000 units. The sign is kept: a negative range inverts the spectrum.
static float limit_to_two_bytes(float scale, int64_t range) {
    float span = scale * static_cast<float>(range);
    if (std::fabs(span) > TWO_BYTE_SPAN) scale = std::copysign(TWO_BYTE_SPAN / static_cast<float>(range), scale);
    return scale;
}

// Asks for the new range until a usable number is typed (not zero: that
// would store a flat spectrum that cannot be shown again).
static float ask_new_range() {
    for (;;) {
        say(" ");
        std::optional<std::vector<double>> value = read_free_format(ask("     " "      Value of new range = "), 1);
        if (!value) continue;
        float r = static_cast<float>((*value)[0]);
        if (std::isfinite(r) && r != 0.0f) return r;
    }
}

// Shows the dynamic range, asks for a new one and returns the scale of the stored values.
static float ask_binary_scale(int64_t range) {
    for (;;) {
        say(" ");
        say("     Dynamic range of spectrum =" + format_count(range, 9));
        say("     " "         Maximum possible =    64000  " "(2-byte limit)");
        say("");
        std::optional<long long> answer = read_integer_field(ask("     " "          New range (1/0) ?  "), 5);
        if (!answer) continue;
        if (*answer == 0) return limit_to_two_bytes(1.0f, range);
        if (range == 0) {
            say("     The spectrum is constant: a new range cannot be set.");
            return 1.0f;
        }
        save.new_range = ask_new_range();
        return limit_to_two_bytes(save.new_range / static_cast<float>(range), range);
    }
}

// Returns trunc((intensity - mid) * scale) as a 16-bit value. The product is
// formed in single precision, as scale is; a value beyond 16 bits (a tiny
// odd range blown up to the limit) is held at the nearest end, not wrapped.
static int16_t stored_value(int32_t intensity, int32_t mid, float scale) {
    float product = static_cast<float>(static_cast<int64_t>(intensity) - mid) * scale;
    if (!(product > -32768.0f)) return -32768;
    if (!(product < 32767.0f)) return 32767;
    return static_cast<int16_t>(product);   // truncates toward zero
}

// Asks for the scaling and writes the binary file: header, counts,
// intensities, frequencies. Returns what failed ("" when the file is in place).
static std::string write_binary_part(StagedFile& out, IntensityRange range) {
    static int16_t chunk[BINARY_CHUNK_POINTS];   // converted intensities on their way to the file
    const SpectrumRecord& s = spectrum;
    float scale = ask_binary_scale(static_cast<int64_t>(range.max) - range.min);
    int32_t mid = static_cast<int32_t>((static_cast<int64_t>(range.min) + range.max) / 2);
    WriteStatus status = write_spectrum_head(out.stream(), header, s.point_count, stored_value(range.min, mid, scale),
                                             stored_value(range.max, mid, scale));
    for (int32_t first = 1; status && first <= s.point_count; first += BINARY_CHUNK_POINTS) {
        int32_t count = std::min(BINARY_CHUNK_POINTS, s.point_count - first + 1);
        for (int32_t k = 0; k < count; ++k) chunk[k] = stored_value(s.intensity[first + k], mid, scale);
        status = write_intensity_block(out.stream(), std::span<const int16_t>(chunk, static_cast<size_t>(count)));
    }
    if (status) status = write_frequency_block(out.stream(), s.freq_first, s.freq_last, s.freq_step);
    return complete_output(out, status ? std::string() : status.message);
}

// [SECTION] ASCII output ------------------------------------------------------

// Shows the intensity limits, asks for new ones and returns the mapping of
// the written values. Declined, the intensities are written unchanged.
static AsciiMapping ask_ascii_mapping(IntensityRange range) {
    AsciiMapping unchanged{1.0, static_cast<float>(range.min)};
    for (;;) {
        say(" ");
        say("     Y-axis limits of spectrum =" + format_count(range.max, 6) + "," + format_count(range.min, 6));
        say("");
        std::optional<long long> answer = read_integer_field(ask("     " "         New limits (1/0) ?  "), 5);
        if (!answer) continue;
        if (*answer == 0) return unchanged;
        if (range.max == range.min) {
            say("     The spectrum is constant: new limits cannot be set.");
            return unchanged;
        }
        break;
    }
    for (;;) {
        say(" ");
        std::optional<std::vector<double>> limits = read_free_format(ask("     New limits     Ymin,Ymax = "), 2);
        if (!limits) continue;
        float lower = static_cast<float>((*limits)[0]);
        float upper = static_cast<float>((*limits)[1]);
        if (!(lower < upper) || !std::isfinite(upper - lower)) continue;
        save.lower_limit = lower;
        save.upper_limit = upper;
        int64_t span = static_cast<int64_t>(range.max) - range.min;
        return AsciiMapping{(static_cast<double>(upper) - lower) / static_cast<double>(span), lower};
    }
}

// Returns the value written for `intensity`: mapped, then rounded to single precision.
static float ascii_value(int32_t intensity, int32_t min, AsciiMapping map) {
    return static_cast<float>(static_cast<double>(static_cast<int64_t>(intensity) - min) * map.scale + map.lower);
}

// Writes the comment lines, asks for the limits and writes one line per point,
// showing the share written meanwhile. Returns what failed ("" when the file
// is in place).
static std::string write_ascii_part(StagedFile& out, std::string_view source) {
    const SpectrumRecord& s = spectrum;
    out.write("!\n");
    out.write("!   Output from spectrum: " + std::string(source) + "\n");
    out.write("!\n");
    IntensityRange range = scan_intensity_range();
    AsciiMapping map = ask_ascii_mapping(range);
    // Frequencies are accumulated point by point, whatever `frequency` holds;
    // the running sum is taken once up to each chunk start, so the chunks can
    // be formatted side by side and still carry the very same sums.
    std::vector<double> chunk_start_freq;
    double f = s.freq_first - s.freq_step;
    for (int64_t first = 0; first < s.point_count; first += LINE_CHUNK_ITEMS) {
        chunk_start_freq.push_back(f);
        const int64_t end = std::min<int64_t>(first + LINE_CHUNK_ITEMS, s.point_count);
        for (int64_t k = first; k < end; ++k) f += s.freq_step;
    }
    ProgressNote note(text_row(), PROGRESS_COLUMN);
    auto format = [&](int64_t first, int64_t count, std::string& text) {
        double freq = chunk_start_freq[static_cast<size_t>(first / LINE_CHUNK_ITEMS)];
        for (int64_t k = first; k < first + count; ++k) {
            freq += s.freq_step;
            float y = ascii_value(s.intensity[k + 1], range.min, map);
            append_fixed_or_wider(text, freq, 15, 5);
            append_fixed_or_wider(text, y, 20, 8);
            text += '\n';
        }
    };
    write_lines_in_order(out, s.point_count, format,
                         [&](int64_t written, int64_t total) { note.show_share("Writing", written, total); });
    return complete_output(out, std::string());   // a failed write is reported by commit()
}

// [SECTION] SAVESP ------------------------------------------------------------

// Tells the user where the file went, or why it did not: `reason` is what
// went wrong ("" when nothing did).
static void report_output(const StagedFile& out, const std::string& reason) {
    if (reason.empty()) {
        say(" ");
        say("");
        say("     Output has been written to:");
        say_highlighted("     " + out.target());
    } else {
        beep(4000, 250);
        say(" ");
        say("");
        say("     ****ERROR, the output could not be written to:");
        say_highlighted("     " + out.target());
        say("     " + reason);
        say("     No file has been written; a file of that name is left as it was.");
    }
    say(" ");
    write_text(std::string(40, ' ') + "Press ENTER to continue  ");
    wait_for_enter();
}

// Runs the save dialogue and writes the spectrum in the chosen format.
void SAVESP() {
    std::string source = shown_source_name();
    std::string directory(spectrum_directory(data_file_path()));
    say(" ");
    say("_____O U T P U T   T O   F I L E" + std::string(48, '_'));
    say("");
    say("");
    say("");
    if (!ask_output_name(source)) return;
    save.output_type = ask_output_type();
    std::optional<StagedFile> out = open_output(directory);
    if (!out) return;
    std::string reason = save.output_type == OutputType_Binary ? write_binary_part(*out, scan_intensity_range())
                                                               : write_ascii_part(*out, source);
    report_output(*out, reason);
}

}  // namespace tarno
