// Append (key &) and modify (key M): the two commands that change the extent
// of the loaded spectrum, and the pieces of append that do no drawing.
//
// Append joins a second binary spectrum file onto the high-frequency end of
// the current spectrum. The appended spectrum is resampled onto the current
// grid by linear interpolation; a gap between the two is filled with dummy
// points; the user then moves the appended part up or down until it matches.
//
//   current grid   ... F(N-1)  F(N) | F(N)+S  F(N)+2S  ...        (step S)
//                                    | dummies while below Fa, then
//   appended file           Fa  Fa+Sa  Fa+2Sa  ...  Ea            (step Sa)
//
// While the append runs, the appended intensities A(1..Na) are held in
// `original_intensity` (the arrays are at full capacity and nothing else is
// free), so every way out that gives up copies `intensity` back into it.
//
// Modify chops points off either end or flattens a point range to the mean
// level. Both commands make the result the reference copy that restore (R)
// returns to.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "display/display_commands.hpp"

namespace tarno {

constexpr int32_t MIN_APPENDED_POINTS = 10;     // fewer appended points are refused

// [SECTION] Commands ---------------------------------------------------------------
Redraw append_spectrum_command();       // &: dialogue, merge, adjustment view; whole screen afterwards
Redraw modify_spectrum_command();       // M: chop either end or zero a range; whole screen afterwards

// [SECTION] Reading the appended file ----------------------------------------------
struct AppendedSpectrum {
    int32_t count;              // Na
    double first;               // Fa, frequency of A(1)
    double step;                // Sa
    double last;                // Ea = Fa + (Na - 1) Sa (the stored last frequency is not used)
    double mean;                // Ma, mean of A(1..Na)
};

enum AppendedRead {
    AppendedRead_Ok,
    AppendedRead_CannotOpen,    // no such file, or not a readable regular file
    AppendedRead_Unreadable,    // ends or fails before the frequency block is complete, or the block makes no axis
    AppendedRead_TooFewPoints,  // Na < MIN_APPENDED_POINTS
    AppendedRead_TooManyPoints, // Na larger than `values` holds
};

// Reads the binary spectrum file at `path` (no date test): its intensities go
// to values[0..Na-1] (A(1..Na)), the rest to `out`.
AppendedRead read_appended_spectrum(const std::string& path, std::span<int32_t> values, AppendedSpectrum& out);

// [SECTION] Merging onto the current grid ---------------------------------------------
enum MergeOutcome {
    MergeOutcome_Merged,        // points N+1 .. point_count hold the appended spectrum
    MergeOutcome_NoRoom,        // capacity reached while filling the gap (or before the first point): nothing kept
    MergeOutcome_BelowGrid,     // every appended point lies more than one step below the next grid point
};

struct MergeResult {
    MergeOutcome outcome;
    int32_t skipped;            // appended points left out below the grid
    int32_t dummies;            // gap points inserted with A(1)
    bool capacity_reached;      // interpolation stopped at the capacity; the points made are kept
    int32_t point_count;        // new point count (N when nothing was merged)
};

// Merges the appended spectrum onto the grid continuing point n with step
// `step`: frequency/intensity are the 1-based record arrays (their size - 1 is
// the capacity), `values` holds A(1..Na) from index 0.
MergeResult merge_appended(const AppendedSpectrum& appended, std::span<const int32_t> values,
                           std::span<double> frequency, std::span<int32_t> intensity, int32_t n, double step);

// Lets the spectrum arrays take huge pages where they are still untouched: an
// append fills up to three times its length of fresh memory at once.
void advise_spectrum_pages();

// The appended file's full name: the directory of the current spectrum and the typed name.
std::string appended_file_path(const std::string& typed_name);

}  // namespace tarno
