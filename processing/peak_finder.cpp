// AUTOPK: the peak finder's dialogue, its results file and its screen summary.
//
// The results file, beside the spectrum file:
//
//   ------------------------------------------------------------------------------
//    TARNO VodaZadare RESULTS FOR SPECTRUM:
//                      /data/run5.spe
//
//      cutoff:      120                    fitting width:    7
//    baseline:       10
//   ------------------------------------------------------------------------------
//
//       Frequency     Error   Intensity     FWHH
//
//     200012.34567 +- 0.00012     537    0.68123  |-----------
//     ...                                           (F14.5, " +-", F8.5, I8, F11.5, "  |", bar)
//
//                           Mean FWHH =  0.68000 +-  0.01000
//    Total number of identified lines =       42
//     Total number of discarded lines =        3      (only when some were discarded)
//
//   ------------------------------------------------------------------------------
//
// The file is staged (common/staged_file.hpp): it appears under its name only
// when complete, an existing file is replaced only after Y to the overwrite
// question, and a failed write is reported with no partial file left behind.
//
// Decisions where the dialogue leaves a choice:
//  - An overwrite answer other than Y, y, N or n asks again.
//  - A new name typed after N is again opened as a new file: it never
//    replaces a file the user was not asked about.
//  - An open that fails for another reason than an existing file shows the
//    cause before the overwrite question; a blank name (at either name
//    prompt) leaves the peak finder without scanning, so a directory that
//    cannot be written to is no trap.
//  - The display window may reach beyond the spectrum; the current-window scan
//    covers its points inside 1..N only.
//
// Sections:
//   [SECTION] Constants and own state
//   [SECTION] Console helpers
//   [SECTION] Dialogue
//   [SECTION] Results file
//   [SECTION] Screen summary
//   [SECTION] AUTOPK
#include "processing/peak_finder.hpp"

#include <algorithm>    // min, max
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/records.hpp"          // spectrum record, data_file_name
#include "common/fields.hpp"        // fixed-width fields, answers, path rules
#include "common/staged_file.hpp"   // temporary file renamed into place
#include "input/keyboard.hpp"       // INKEY for the closing ENTER
#include "processing/peak_scan.hpp"
#include "window/window.hpp"        // console

namespace tarno {

// [SECTION] Constants and own state -------------------------------------------
static constexpr size_t RESULTS_NAME_LENGTH = 21;      // characters kept of a typed results file name
static constexpr size_t OVERWRITE_ANSWER_LENGTH = 8;   // characters of the overwrite answer compared
static constexpr int RANGE_ANSWER_COLUMNS = 5;
static constexpr int ERROR_ANSWER_COLUMNS = 15;
static constexpr int ERROR_IMPLIED_DECIMALS = 5;       // "5" means 0.00005
static constexpr int PROGRESS_EVERY = 10;              // lines between progress counts
static constexpr int ERROR_TONE_HZ = 4000;             // the tone before an error report
static constexpr int ERROR_TONE_MS = 250;

enum SearchRange : int32_t {
    SearchRange_Window = 0,     // the points of the display window
    SearchRange_Spectrum = 1,   // the complete spectrum; lines are checked and may be discarded
};

enum OverwriteAnswer {
    OverwriteAnswer_Yes,        // Y or y: replace the existing file
    OverwriteAnswer_NewName,    // N or n: ask for another name
};

// Kept from one call to the next; every run asks for range and name again.
struct PeakFinderState {
    int32_t search_range;           // SearchRange_*, the last answer
    std::string results_name;       // as typed, cut to 21 characters, without trailing blanks
    std::string results_path;       // spectrum directory + results_name
    HalfHeightMemory crossings;     // last left and right half-height frequencies (0 at program start)
};
static PeakFinderState peak_finder;

// What the dialogue settled before the scan.
struct RunChoices {
    int32_t search_range;
    double nominal_error;
};

// [SECTION] Console helpers ---------------------------------------------------

static const std::string DASH_LINE(78, '-');

static void say(std::string_view line) { console_write(line); }

// Writes a prompt without a line break and returns the line typed after it.
static std::string ask(std::string_view prompt) {
    write_text(prompt);
    return console_read_line();
}

// Writes `text` in the highlight colour, then sets the normal text colour back.
static void say_highlighted(std::string_view text) {
    set_text_color(COLOR_LIGHT_RED);
    console_write(text);
    set_text_color(COLOR_BLACK);
}

// Reads keys until ENTER.
static void wait_for_enter() {
    int16_t code = 0;
    while (INKEY(code) != KEY_ENTER) {
    }
}

// [SECTION] Dialogue ----------------------------------------------------------

// Clears the screen and shows the levels and the range question.
static void show_range_screen(int16_t cutoff, int16_t baseline) {
    clear_screen(0);
    show_text_cursor(true);
    say(" ");
    say("_____P E A K F I N D E R" + std::string(56, '_'));
    say("");
    say("");
    say("     Peaks will be identified for lines with intensity above");
    say("     the cutoff value and peak intensities will be relative");
    say("     to the specified baseline");
    say("");
    say("     Y-axis cutoff:   " + format_integer(cutoff, 6));
    say("     Y-axis baseline: " + format_integer(baseline, 6));
    say("");
    say("     Select search range:  0 = current window");
    say(std::string(27, ' ') + "1 = complete spectrum");
    say("");
}

// Asks for the search range until 0 or 1 is typed, the whole screen written each time.
static int32_t ask_search_range(int16_t cutoff, int16_t baseline) {
    for (;;) {
        show_range_screen(cutoff, baseline);
        std::optional<long long> range = read_integer_field(ask(std::string(22, ' ') + ".... "), RANGE_ANSWER_COLUMNS);
        if (range && (*range == SearchRange_Window || *range == SearchRange_Spectrum)) return static_cast<int32_t>(*range);
    }
}

// Asks for the nominal frequency error until a number above 0 is typed.
static double ask_nominal_error() {
    for (;;) {
        say(" ");
        std::optional<double> error = read_fixed_field(ask("     Please specify nominal frequency measurement error:  "),
                                                       ERROR_ANSWER_COLUMNS, ERROR_IMPLIED_DECIMALS);
        if (error && *error > 0) return *error;
    }
}

// Keeps a typed name (first 21 characters, without trailing blanks); false when it is blank.
static bool take_results_name(std::string_view answer) {
    peak_finder.results_name = std::string(trim_right(answer.substr(0, std::min(answer.size(), RESULTS_NAME_LENGTH))));
    return !trim(peak_finder.results_name).empty();
}

// Asks the overwrite question until Y, y, N or n (alone, blank padded to 8) is typed.
static OverwriteAnswer ask_overwrite() {
    for (;;) {
        say(" ");
        std::string answer = padded(ask("     THIS FILE ALREADY EXISTS, OVERWRITE (Y/N)?  "), OVERWRITE_ANSWER_LENGTH);
        if (answer == padded("Y", OVERWRITE_ANSWER_LENGTH) || answer == padded("y", OVERWRITE_ANSWER_LENGTH))
            return OverwriteAnswer_Yes;
        if (answer == padded("N", OVERWRITE_ANSWER_LENGTH) || answer == padded("n", OVERWRITE_ANSWER_LENGTH))
            return OverwriteAnswer_NewName;
    }
}

// Opens the results file in `directory` under the results name, replacing an
// existing file only after Y; nothing when the user gives a blank name.
static std::optional<StagedFile> open_results_file(const std::string& directory) {
    StagedFile::Mode mode = StagedFile::Mode::create_new;
    for (;;) {
        peak_finder.results_path = directory + peak_finder.results_name;
        StagedFile file(peak_finder.results_path, mode);
        if (file.is_open()) return std::optional<StagedFile>(std::move(file));
        if (!file.target_exists()) {
            say(" ");
            say_highlighted("     ****ERROR, " + file.error());
        }
        if (ask_overwrite() == OverwriteAnswer_Yes) {
            mode = StagedFile::Mode::replace;
        } else {
            if (!take_results_name(ask("     New file name:  "))) return std::nullopt;
            mode = StagedFile::Mode::create_new;
        }
    }
}

// [SECTION] Results file ------------------------------------------------------

static void write_line(StagedFile& out, std::string_view line) {
    out.write(line);
    out.write("\n");
}

static void write_header(StagedFile& out, std::string_view spectrum_name, int16_t cutoff, int16_t baseline,
                         int16_t fit_width) {
    write_line(out, DASH_LINE);
    write_line(out, " TARNO VodaZadare RESULTS FOR SPECTRUM:");
    write_line(out, std::string(19, ' ') + std::string(spectrum_name));
    write_line(out, "");
    write_line(out, "   cutoff: " + format_integer(cutoff, 8) + std::string(20, ' ') + "fitting width:" +
                        format_integer(fit_width, 5));
    write_line(out, " baseline: " + format_integer(baseline, 8));
    write_line(out, DASH_LINE);
    write_line(out, "");
    write_line(out, "    Frequency     Error   Intensity     FWHH");
    write_line(out, "");
}

// One results line: frequency, error, printed intensity, FWHH and the bar.
static std::string results_line(const FoundLine& line) {
    std::string text = format_fixed(line.frequency, 14, 5);
    text += " +-";
    text += format_fixed(line.error, 8, 5);
    text += format_integer(line.printed_intensity, 8);
    text += format_fixed(line.fwhh, 11, 5);
    text += "  |";
    text += line.bar_length > 0 ? std::string(static_cast<size_t>(line.bar_length), '-') : std::string(".");
    return text;
}

static void write_closing(StagedFile& out, const PeakScan& scan) {
    FwhhSummary fwhh = summarise_fwhh(scan);
    write_line(out, " ");
    write_line(out, "                        Mean FWHH =" + format_fixed(fwhh.mean, 9, 5) + " +-" +
                        format_fixed(fwhh.spread, 9, 5));
    write_line(out, " Total number of identified lines =" + format_integer(scan.identified, 9));
    if (scan.discarded > 0) write_line(out, "  Total number of discarded lines =" + format_integer(scan.discarded, 9));
    write_line(out, " ");
    write_line(out, DASH_LINE);
}

// The search range S..E of a run, held inside the spectrum's points.
static PeakScanSettings scan_settings(const RunChoices& run, int32_t first_displayed, int32_t last_displayed,
                                      int16_t cutoff, int16_t baseline, int16_t fit_width, double bar_scale) {
    const int32_t n = spectrum.point_count;
    PeakScanSettings settings{};
    bool whole = run.search_range == SearchRange_Spectrum;
    settings.first = whole ? 1 : std::max(first_displayed, 1);
    settings.last = whole ? n : std::min(last_displayed, n);
    settings.cutoff = cutoff;
    settings.baseline = baseline;
    settings.fit_width = fit_width;
    settings.discard_lines = whole;
    settings.nominal_error = run.nominal_error;
    settings.bar_scale = bar_scale;
    return settings;
}

// Scans the range, writing each line to the file and a count to the screen
// every 10 lines; returns the finished scan for the closing lines.
static PeakScan write_lines(StagedFile& out, const PeakScanSettings& settings) {
    const size_t points = static_cast<size_t>(std::max(spectrum.point_count, 0)) + 1;
    PeakScan scan = start_peak_scan(std::span<const double>(spectrum.frequency, points),
                                    std::span<const int32_t>(spectrum.intensity, points), settings);
    while (std::optional<FoundLine> line = next_peak(scan, peak_finder.crossings)) {
        write_line(out, results_line(*line));
        if (scan.identified % PROGRESS_EVERY == 0) write_text(format_integer(scan.identified, 5));
    }
    return scan;
}

// [SECTION] Screen summary ----------------------------------------------------

// The count of lines, where the results went (or why they did not), and ENTER.
static void show_summary(const PeakScan& scan, const std::string& failure) {
    say(" ");
    say("");
    say("     DERUVAVEVU found" + format_integer(scan.identified, 7) + " transitions");
    say("");
    if (failure.empty()) {
        write_text("     Output has been written to ");
        say_highlighted(peak_finder.results_path);
    } else {
        beep(ERROR_TONE_HZ, ERROR_TONE_MS);
        say("     ****ERROR, the results could not be written to:");
        say_highlighted("     " + peak_finder.results_path);
        say("     " + failure);
        say("     No file has been written; a file of that name is left as it was.");
    }
    say(" ");
    write_text(std::string(40, ' ') + "Press ENTER to continue  ");
    wait_for_enter();
}

// [SECTION] AUTOPK ------------------------------------------------------------

void AUTOPK(int32_t first_displayed, int32_t last_displayed, int16_t cutoff, int16_t baseline, int16_t fit_width,
            double bar_scale, double nominal_error) {
    PeakFinderState& pk = peak_finder;
    const std::string spectrum_name = trimmed_text_field(text.data_file_name);
    const std::string directory(directory_part(spectrum_name));

    // ---- dialogue --------------------------------------------------------------
    pk.search_range = ask_search_range(cutoff, baseline);
    RunChoices run{pk.search_range, nominal_error};
    if (run.search_range == SearchRange_Spectrum && run.nominal_error == 0) run.nominal_error = ask_nominal_error();
    say(" ");
    if (!take_results_name(ask("     OUTPUT FILE NAME :  "))) return;
    std::optional<StagedFile> out = open_results_file(directory);
    if (!out) return;

    // ---- header, scan, closing lines -------------------------------------------
    write_header(*out, spectrum_name, cutoff, baseline, fit_width);
    say(" ");
    say("");
    say("     The number of identified lines: ");
    write_text("     ");
    PeakScan scan = write_lines(*out, scan_settings(run, first_displayed, last_displayed, cutoff, baseline,
                                                    fit_width, bar_scale));
    write_closing(*out, scan);
    std::string failure = out->commit() ? std::string() : out->reason();
    show_summary(scan, failure);
}

}  // namespace tarno
