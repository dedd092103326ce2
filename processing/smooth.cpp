// SMOOTH: the smoothing and baseline dialogues and the passes they run.
//
// Sections:
//   [SECTION] Constants and own state
//   [SECTION] Screens
//   [SECTION] The interval answer
//   [SECTION] Computations
//   [SECTION] SMOOTH
#include "processing/smooth.hpp"

#include <algorithm>    // copy, clamp
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/records.hpp"                  // the spectrum and its two work buffers
#include "common/fields.hpp"                // the answer's integer field
#include "processing/smooth_filter.hpp"     // weights and passes
#include "window/progress_note.hpp"         // the pass under way where no pass line is written
#include "window/window.hpp"                // console

namespace tarno {

// [SECTION] Constants and own state ----------------------------------------------------------
constexpr int MIN_INTERVAL = 5;             // shortest accepted window (points)
constexpr int MAX_INTERVAL_ANSWER = 500;    // answers above this are refused
constexpr int ANSWER_COLUMNS = 5;           // the answer is read from its first 5 characters
constexpr int PASS_LINE_INDENT = 21;        // blanks before the text of a pass line
// Mode 3 runs under the cutoff screen of the display, whose first row holds
// the cutoff and its keys up to column 63; the pass under way is noted after that.
constexpr int FINAL_NOTE_ROW = 1;
constexpr int FINAL_NOTE_COLUMN = 66;

enum SmoothMode : int32_t {
    SmoothMode_Left = 0,        // the user left the prompt: nothing changed
    SmoothMode_Smooth = 1,      // smoothing
    SmoothMode_Baseline = 2,    // baseline subtraction with its dialogue
    SmoothMode_Final = 3,       // final baseline after the cutoff step, no dialogue
};

// Kept for the whole run.
struct SmoothState {
    std::array<float, MAX_SMOOTH_WINDOW + 1> weights;  // weights of the last window (0-based here)
    int32_t cutoff_flag;        // 1 after a baseline answer with a negative interval; read by mode 3
};
static SmoothState smoothing;

int32_t smoothing_cutoff_flag() {
    return smoothing.cutoff_flag;
}

// [SECTION] Screens ----------------------------------------------------------------------------

static void write_smoothing_header() {
    console_write(" ");
    console_write("_____L E A S T   S Q U A R E S   S M O O T H I N G" + std::string(30, '_'));
    console_write("");
    console_write("");
    console_write("     This is standard cubic polynomial smoothing of Savitzky-Golay and");
    console_write("     it has been recommended not to use smoothing intervals longer");
    console_write("     than 0.7*FWHH");
    console_write("");
    console_write("     - A.Savitzky, M.J.E.Golay, Anal.Chem. 36, 1627 (1964)");
    console_write("     - J.Steinier, Y.Termonia, J.Deltour, Anal.Chem. 44, 1906 (1972)");
}

static void write_baseline_header() {
    console_write(" ");
    console_write("_____B A S E L I N E   S U B T R A C T I O N" + std::string(36, '_'));
    console_write("");
    console_write("");
    console_write("     The baseline is defined by smoothing the spectrum with");
    console_write("     an interval which is much longer than the linewidth");
    console_write("       (-ve number of smoothing points allows the use of Y-axis");
    console_write("        cutoff to attenuate the effect of strong lines)");
    console_write("");
    console_write("     - A.Savitzky, M.J.E.Golay, Anal.Chem. 36, 1627 (1964)");
}

static void write_prompt(int32_t mode) {
    console_write(" ");
    console_write("     Specify the number of points for the smoothing interval ");
    console_write(mode == SmoothMode_Smooth ? "     ( >3 and odd, ENTER to exit)"
                                            : "     ( >3 and odd, -ve value for fine control with cutoff limits)");
    console_write("");
    write_text(std::string(30, ' ') + "  .... ");
}

// The title of the work that follows an accepted positive interval.
static void write_work_title(int32_t mode) {
    console_write(" ");
    console_write("");
    console_write(mode == SmoothMode_Smooth ? "     S M O O T H I N G" : "     S U B T R A C T I N G");
    console_write("");
    console_write("");
}

// The pass under way: the text of a pass line, and of the note where none is written.
static std::string pass_text(int pass) {
    return "Smooth  " + std::to_string(pass);
}

// Written as each baseline pass starts.
static void write_pass_line(int pass) {
    console_write(std::string(PASS_LINE_INDENT, ' ') + pass_text(pass));
}

// [SECTION] The interval answer --------------------------------------------------------------

// Odd, more than 3, at most 500: the odd numbers 5..499.
static bool is_accepted_interval(long long value) {
    return value >= MIN_INTERVAL && value <= MAX_INTERVAL_ANSWER && value % 2 != 0;
}

// Asks until an answer is accepted; returns 0 (leave) or the signed interval.
// A negative interval is taken only in baseline mode.
static long long ask_interval(int32_t mode) {
    for (;;) {
        write_prompt(mode);
        std::optional<long long> answer = read_integer_field(console_read_line(), ANSWER_COLUMNS);
        if (!answer) continue;
        if (*answer == 0) return 0;
        bool negative = mode == SmoothMode_Baseline && *answer < 0;
        if (is_accepted_interval(negative ? -*answer : *answer)) return *answer;
    }
}

// [SECTION] Computations ---------------------------------------------------------------------

// The weights of the n-point window, kept in the state.
static std::span<const float> window_weights(int n) {
    smoothing_weights(n, smoothing.weights);
    return std::span<const float>(smoothing.weights.data(), size_t(n));
}

void smooth_once(std::span<int32_t> intensity, std::span<int32_t> source, int n) {
    std::copy(intensity.begin(), intensity.end(), source.begin());
    smooth_pass(source, window_weights(n), intensity);
}

void compute_preliminary_baseline(std::span<const int32_t> intensity, std::span<int32_t> source,
                                  std::span<int32_t> preliminary, int n, const BeforePass& before_pass) {
    std::span<const float> weights = window_weights(n);
    std::copy(intensity.begin(), intensity.end(), source.begin());
    for (int pass = 1; pass <= BASELINE_PASSES; ++pass) {
        if (before_pass) before_pass(pass);
        if (pass > 1) std::copy(preliminary.begin(), preliminary.end(), source.begin());
        smooth_pass(source, weights, preliminary);
    }
}

// source = intensity held inside the band (sums in 64 bits: a cutoff may be far out).
static void clamp_into_band(std::span<const int32_t> intensity, const CutoffBand& band, std::span<int32_t> source) {
    for (size_t i = 0; i < intensity.size(); ++i) {
        int64_t p = band.preliminary[i];
        int64_t v = std::max(std::min<int64_t>(intensity[i], p + band.upper), p + band.lower);
        source[i] = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
}

void subtract_baseline(const BaselineArrays& a, int n, const CutoffBand* band, const BeforePass& before_pass) {
    std::span<const float> weights = window_weights(n);
    for (int pass = 1; pass <= BASELINE_PASSES; ++pass) {
        if (before_pass) before_pass(pass);
        if (pass == 1 && band != nullptr) {
            clamp_into_band(a.intensity, *band, a.source);
        } else {
            std::copy(a.intensity.begin(), a.intensity.end(), a.source.begin());
        }
        smooth_pass(a.source, weights, a.intensity);
    }
    for (size_t i = 0; i < a.intensity.size(); ++i) {
        int32_t baseline = a.intensity[i];
        a.source[i] = baseline;
        int64_t difference = int64_t(a.original[i]) - baseline;  // held in range: both may be extreme
        a.intensity[i] = static_cast<int32_t>(std::clamp<int64_t>(difference, INT32_MIN, INT32_MAX));
    }
}

// [SECTION] SMOOTH -----------------------------------------------------------------------------

// Views of points 1..point_count of the spectrum's arrays.
static std::span<int32_t> points_of(int32_t* array) {
    return std::span<int32_t>(array + 1, size_t(std::max(spectrum.point_count, 0)));
}

static BaselineArrays spectrum_baseline_arrays() {
    SpectrumRecord& s = spectrum;
    return {points_of(s.intensity), points_of(s.original_intensity), points_of(s.smoothing_source)};
}

void SMOOTH(int32_t& mode, int32_t& lower_cutoff, int32_t& upper_cutoff, int32_t& interval) {
    SpectrumRecord& s = spectrum;
    if (mode == SmoothMode_Final) {
        int n = interval;
        CutoffBand band{points_of(s.preliminary_baseline), lower_cutoff, upper_cutoff};
        ProgressNote note(FINAL_NOTE_ROW, FINAL_NOTE_COLUMN);
        subtract_baseline(spectrum_baseline_arrays(), n, smoothing.cutoff_flag == 1 ? &band : nullptr,
                          [&note](int pass) { note.show(pass_text(pass)); });
        return;
    }
    if (mode == SmoothMode_Smooth) write_smoothing_header();
    else write_baseline_header();
    long long answer = ask_interval(mode);
    if (answer == 0) {
        mode = SmoothMode_Left;
        return;
    }
    bool negative = answer < 0;
    interval = static_cast<int32_t>(negative ? -answer : answer);
    smoothing.cutoff_flag = negative ? 1 : 0;
    if (negative) {
        // the preliminary window is twice as long, at most the longest window
        lower_cutoff = -1;
        upper_cutoff = -1;
        int n = std::min(2 * interval + 1, MAX_SMOOTH_WINDOW);
        ProgressNote note(text_row(), PASS_LINE_INDENT + 1);   // where a pass line would start, on the empty row
        compute_preliminary_baseline(points_of(s.intensity), points_of(s.smoothing_source),
                                     points_of(s.preliminary_baseline), n,
                                     [&note](int pass) { note.show(pass_text(pass)); });
        return;
    }
    write_work_title(mode);
    if (mode == SmoothMode_Smooth) {
        smooth_once(points_of(s.intensity), points_of(s.smoothing_source), interval);
    } else {
        subtract_baseline(spectrum_baseline_arrays(), interval, nullptr, write_pass_line);
    }
}

}  // namespace tarno
