// The binary spectrum reader: header, count words, the binary test, the
// 16-bit intensities and the frequency block (layout in spectrum_format.hpp).
//
// The header is decoded into a local record first and reaches the shared
// header only when the file has passed the binary test, so a text file that
// goes on to the ASCII reader leaves the instrument fields as they were.
//
// Bad files never end the program: too many points, unreadable count words,
// a count below 1 and a file that ends inside the intensities each show their
// message, wait for ENTER and go back to the file prompt. A file that ends
// inside the count words and whose date also fails the binary test is not a
// binary file at all (short text files end there) and goes to the ASCII reader.
//
// Speed: intensities are read in large chunks straight into a 16-bit buffer
// and copied with min/max in one tight loop; the frequency grid is one loop.
//
// Sections:
//   [SECTION] File reads
//   [SECTION] Messages
//   [SECTION] Reading steps
//   [SECTION] Reader
#include <algorithm>
#include <bit>          // endian: 16-bit values are used as read on little-endian machines
#include <cmath>        // isfinite
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/info_screen.hpp"
#include "app/records.hpp"
#include "app/spectrum_format.hpp"
#include "app/spectrum_reader.hpp"
#include "app/startup.hpp"
#include "common/fields.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int16_t FIRST_BINARY_YEAR = 1980;     // the binary test's date limits, inclusive
constexpr int16_t LAST_BINARY_YEAR = 2050;
constexpr size_t INTENSITY_CHUNK = 1 << 17;     // 16-bit values per read (256 kB)

static int16_t intensity_chunk[INTENSITY_CHUNK];  // file-static: the reader's only buffer

// [SECTION] File reads ------------------------------------------------------------

enum class ReadOutcome { complete, end_of_file, error };

// Reads exactly `size` bytes; says whether the file ended or failed first.
static ReadOutcome read_exact(std::FILE* file, void* bytes, size_t size) {
    if (std::fread(bytes, 1, size, file) == size) return ReadOutcome::complete;
    return std::ferror(file) ? ReadOutcome::error : ReadOutcome::end_of_file;
}

// [SECTION] Messages --------------------------------------------------------------

static void write_empty_lines(int count) {
    for (int i = 0; i < count; ++i) console_write("");
}

// More points than the arrays hold.
static void report_too_many_points(int32_t count) {
    write_empty_lines(2);
    console_write(" " + format_integer(count, 12) + " points in spectrum, while" + " present maximum is" +
                  format_count(MAX_POINTS, 8));
    write_empty_lines(2);
    pause_until_enter();
}

// The file ended or failed inside the count words after a complete header.
static void report_unreadable_counts(ReadOutcome outcome) {
    write_empty_lines(2);
    console_write("              PROBLEMS WITH INPUT OF THE NUMBER OF POINTS:");
    console_write(outcome == ReadOutcome::error ? "              read error on the spectrum file"
                                                : "              the file ends inside the point count");
    write_empty_lines(2);
    pause_until_enter();
}

// A long-form count of zero or less: nothing to show.
static void report_no_points(int32_t count) {
    write_empty_lines(2);
    console_write("              THIS SPECTRUM FILE HOLDS NO POINTS: point count" + format_integer(count, 12));
    write_empty_lines(2);
    pause_until_enter();
}

// The intensity of point `point` could not be read.
static void report_intensity_failure(int32_t point) {
    write_empty_lines(2);
    console_write("              PROBLEMS WITH INPUT OF INTENSITIES at pt." + format_count(point, 6));
    write_empty_lines(2);
    pause_until_enter();
}

// The frequency block is missing, or its limits make no frequency axis.
static void report_frequency_limits() {
    clear_screen(0);
    SGAME();
    set_text_color(COLOR_LIGHT_RED);
    console_write("");
    console_write("          PROBLEMS WITH FREQUENCY LIMITS:");
    console_write("");
    console_write("              This may be a file in one of the old data standards,");
    console_write("              in which case try using TREMBO");
    write_empty_lines(2);
    set_text_color(COLOR_BLACK);
}

// [SECTION] Reading steps ------------------------------------------------------------

// The binary test: a plausible recording date.
static bool is_binary_date(const SpectrumHeader& h) {
    return h.day >= 1 && h.day <= 31 && h.month >= 1 && h.month <= 12 &&
           h.year >= FIRST_BINARY_YEAR && h.year <= LAST_BINARY_YEAR;
}

// Replaces every character below 32 or above 127 by '#'.
template <size_t N>
static void clean_text(std::array<char, N>& field) {
    for (char& c : field) {
        auto code = static_cast<unsigned char>(c);
        if (code < 32 || code > 127) c = '#';
    }
}

namespace {
struct CountWords {
    ReadOutcome outcome;
    int32_t point_count;
};
}  // namespace

// Reads C and, after it, the stored limits (short form) or the 32-bit count N.
static CountWords read_count_words(std::FILE* file) {
    unsigned char bytes[6];
    ReadOutcome outcome = read_exact(file, bytes, sizeof bytes);
    if (outcome != ReadOutcome::complete) return {outcome, 0};
    int16_t short_count = load_int16(bytes);
    // The stored minimum and maximum of the short form are not used: the
    // limits are found from the data.
    return {outcome, short_count > 1 ? short_count : load_int32(bytes + 2)};
}

// Reads `count` 16-bit intensities into intensity(1..count) with their
// limits; returns the first point that could not be read, or 0.
static int32_t read_intensities(std::FILE* file, int32_t count) {
    SpectrumRecord& s = spectrum;
    int32_t low = 1'000'000'000;
    int32_t high = -1'000'000'000;
    int32_t* out = s.intensity + 1;
    for (int32_t done = 0; done < count;) {
        size_t wanted = std::min<size_t>(INTENSITY_CHUNK, static_cast<size_t>(count - done));
        size_t got = std::fread(intensity_chunk, sizeof(int16_t), wanted, file);
        for (size_t k = 0; k < got; ++k) {
            int16_t raw = intensity_chunk[k];
            if constexpr (std::endian::native == std::endian::big) raw = load_int16(reinterpret_cast<unsigned char*>(&raw));
            int32_t v = raw;
            out[k] = v;
            low = std::min(low, v);
            high = std::max(high, v);
        }
        out += got;
        done += static_cast<int32_t>(got);
        s.intensity_min = low;
        s.intensity_max = high;
        if (got < wanted) return done + 1;
    }
    return 0;
}

// Reads the frequency block into freq_first, freq_last, freq_step and reports
// it; false when it is missing or makes no frequency axis.
static bool read_frequency_block(std::FILE* file) {
    SpectrumRecord& s = spectrum;
    unsigned char bytes[24];
    if (read_exact(file, bytes, sizeof bytes) != ReadOutcome::complete) return false;
    s.freq_first = load_double(bytes);
    s.freq_last = load_double(bytes + 8);
    s.freq_step = load_double(bytes + 16);
    console_write("               frequency from" + format_fixed(s.freq_first, 11, 2) + "  to" +
                  format_fixed(s.freq_last, 10, 2) + ", step size" + format_fixed(s.freq_step, 10, 5));
    console_write("");
    // NaN passes neither comparison below, and a huge step runs the grid to
    // infinity: both are refused like reversed limits.
    double grid_end = s.freq_first + static_cast<double>(s.point_count - 1) * s.freq_step;
    if (!std::isfinite(s.freq_first) || !std::isfinite(s.freq_last) || !std::isfinite(s.freq_step) ||
        !std::isfinite(grid_end))
        return false;
    return s.freq_first < s.freq_last && s.freq_step >= 0;
}

// frequency(i) = freq_first + (i - 1) * freq_step for every point.
static void fill_frequency_grid() {
    SpectrumRecord& s = spectrum;
    const double first = s.freq_first;
    const double step = s.freq_step;
    double* out = s.frequency + 1;
    for (int32_t k = 0; k < s.point_count; ++k) out[k] = first + static_cast<double>(k) * step;
}

// [SECTION] Reader --------------------------------------------------------------------

// Reads the open file as a binary spectrum (see the top of this file).
BinaryReadResult read_binary_spectrum(std::FILE* file) {
    SpectrumRecord& s = spectrum;

    // Header and count words -------------------------------------------------------
    unsigned char header_bytes[HEADER_BYTES];
    if (read_exact(file, header_bytes, HEADER_BYTES) != ReadOutcome::complete) return BinaryReadResult::not_binary;
    SpectrumHeader fields = decode_header(header_bytes);
    CountWords counts = read_count_words(file);
    if (!is_binary_date(fields)) return BinaryReadResult::not_binary;
    if (counts.outcome != ReadOutcome::complete) {
        report_unreadable_counts(counts.outcome);
        return BinaryReadResult::back_to_file_prompt;
    }

    // A binary file: take its header ------------------------------------------------
    clean_text(fields.comment);
    clean_text(fields.sample);
    clean_text(fields.lamp);
    clean_text(fields.delay_aver);
    header = fields;
    s.freq_first = 0.0;
    s.freq_last = 0.0;
    if (counts.point_count > MAX_POINTS) {
        report_too_many_points(counts.point_count);
        return BinaryReadResult::back_to_file_prompt;
    }
    if (counts.point_count < 1) {
        report_no_points(counts.point_count);
        return BinaryReadResult::back_to_file_prompt;
    }
    s.point_count = counts.point_count;

    // Intensities -------------------------------------------------------------------
    if (int32_t failed_at = read_intensities(file, s.point_count); failed_at != 0) {
        report_intensity_failure(failed_at);
        return BinaryReadResult::back_to_file_prompt;
    }
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    SPEINF();

    // Frequency block ---------------------------------------------------------------
    if (!read_frequency_block(file)) {
        report_frequency_limits();
        return BinaryReadResult::back_to_file_prompt;
    }
    fill_frequency_grid();
    return BinaryReadResult::success;
}

}  // namespace tarno
