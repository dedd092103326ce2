// Shared records: the spectrum, its header, the shared text fields and the
// screen configuration.
//
// Every record is one global, static, zero-filled object that lives for the
// whole run at full capacity and is read and written directly by the modules
// that use it; nothing here is allocated, resized or freed. Per-point arrays
// hold MAX_POINTS + 1 elements and are indexed from 1 (element 0 unused), so
// the code reads like the formulas. Untouched pages cost no memory.
//
// Text fields are fixed-width and blank padded, like the files they come from
// and go to; they are std::array<char, N> (not NUL-terminated). Use
// set_text_field()/text_field_view() to fill and read them.
#pragma once

#include <array>        // fixed-width text fields
#include <cstdint>      // exact-width integers of the file formats
#include <string>
#include <string_view>

#include "common/fields.hpp"   // trim_right: the one padding rule

namespace tarno {

constexpr int32_t MAX_POINTS = 10'000'000;  // capacity of every per-point array

// [SECTION] Spectrum record ---------------------------------------------------
struct SpectrumRecord {
    int32_t point_count;        // points of the loaded spectrum, 1..MAX_POINTS after a successful load
    double freq_first;          // frequency of point 1 (file units, never converted)
    double freq_last;           // frequency of point point_count
    double freq_step;           // binary: stored step; ASCII: (freq_last - freq_first)/(point_count - 1)
    int32_t intensity_min;      // smallest intensity (set by the readers - binary: from the data; ASCII: -10000 -
                                //   and again from the working spectrum by the save dialogue)
    int32_t intensity_max;      // largest intensity (binary: from the data; ASCII: 10000; the save dialogue as above)
    double frequency[MAX_POINTS + 1];           // frequency of each point, 1-based
    int32_t intensity[MAX_POINTS + 1];          // working spectrum, changed by display and processing
    int32_t original_intensity[MAX_POINTS + 1]; // copy taken when the display loop starts; scratch while linearising ASCII input
    int32_t smoothing_source[MAX_POINTS + 1];   // source buffer of smoothing; holds the last final baseline
    int32_t preliminary_baseline[MAX_POINTS + 1]; // baseline of the cutoff step of baseline subtraction
};

// [SECTION] Spectrum header ---------------------------------------------------
// The descriptive fields of a binary spectrum file, in file order.
struct SpectrumHeader {
    std::array<char, 72> comment;
    int16_t day, month, year;           // recording date (year four digits)
    int16_t hour, minute, second;       // recording time
    std::array<char, 6> lamp;
    float vkm_low, vkm_high;            // mV
    float grid_voltage;                 // V
    std::array<char, 20> sample;
    float sample_pressure;              // mTorr
    float gain;                         // V (shown in mV when below 0.099)
    float time_constant;                // s
    float phase;                        // deg
    std::array<char, 6> delay_aver;     // "N.delay, N.aver@point"
    float points_per_second;
    float modulation_freq;              // kHz
    float deviation;                    // kHz
};

// [SECTION] Shared text fields ------------------------------------------------
struct SharedText {
    std::array<char, 100> data_file_name;   // current spectrum file with its directory, as typed or chosen;
                                            //   a longer path shows as "..." and its end (set_data_file_name)
    std::string data_file_path;             // the same file's whole path, for opening and directory rules
                                            //   (set_data_file_name; read it through data_file_path())
    std::array<char, 60> generic_name;      // dialog filter entry built from a name that could not be opened
    std::array<char, 200> dialog_filter;    // default filter list handed to the file dialog
    std::array<char, 80> blank_line;        // 80 blanks, set at start-up, clears a text row
    std::array<char, 80> text_line;         // work line for composing a row
};

// [SECTION] Screen configuration ----------------------------------------------
// Filled by STARTG and NARGR, read by every drawing module.
struct ScreenConfig {
    int16_t screen_width;   // window pixel width - 1 (largest x)
    int16_t screen_height;  // window pixel height - 1 (largest y)
    int16_t text_rows;      // 30, or 17 in the reduced-height display
    int16_t row_height;     // screen_height / text_rows (rounded down) + 1, pixels
    int32_t config_found;   // 1 when the configuration file was read, 0 when defaults were used
};

// [SECTION] The records -------------------------------------------------------
extern SpectrumRecord spectrum;
extern SpectrumHeader header;
extern SharedText text;
extern ScreenConfig screen;

// [SECTION] The current spectrum file ------------------------------------------
// A path may be longer than the 100-character field that shows it: the field
// keeps what fits, visibly shortened, and the whole path is kept beside it for
// every file operation and directory rule.
void set_data_file_name(std::string_view path);  // keeps `path` whole and shows it in data_file_name
std::string data_file_path();                    // the current file's whole path ("" when none)

// [SECTION] Fixed-width text helpers ------------------------------------------
// Fills a fixed-width field with `value`, cut to the field and blank padded.
template <size_t N>
void set_text_field(std::array<char, N>& field, std::string_view value) {
    size_t n = value.size() < N ? value.size() : N;
    for (size_t i = 0; i < N; ++i) field[i] = i < n ? value[i] : ' ';
}

// Returns the whole field, padding included.
template <size_t N>
std::string_view text_field_view(const std::array<char, N>& field) {
    return std::string_view(field.data(), N);
}

// Returns the field without its trailing padding.
template <size_t N>
std::string trimmed_text_field(const std::array<char, N>& field) {
    return std::string(trim_right(text_field_view(field)));
}

}  // namespace tarno
