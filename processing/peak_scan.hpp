// The numeric part of the automatic peak finder: the scan of a search range
// for local maxima above a cutoff, the parabola fits (PEAKF) of each, and the
// full width at half height (FWHH). The dialogue, the results file and the
// screen are in peak_finder.cpp; this part works only on the data it is given.
//
// What a reader must know first:
//  - Spans are indexed like the spectrum record: element 0 is unused and the
//    points are 1..N, so the code reads like the formulas.
//  - With w the fitting width: q = w/4, h = w/2, r = 2q (integer divisions).
//    A candidate i has intensity(i) >= cutoff and is strictly above the points
//    i-r, i-q, i+q, i+r. Its line is fitted three times on 2h+1 points, each
//    refit centred on the point nearest the previous fitted frequency.
//
//        i-r   i-q    i    i+q   i+r          candidate test
//         |-----|-----^-----|-----|
//      c-h ......... c ......... c+h          fitting window (c re-centred)
//
//  - The scan is a sequence: next_peak() returns one identified line per call,
//    in ascending candidate index, and the caller writes it and shows progress.
//    After a line the next candidate examined is i+r+1, after a discarded one
//    i+q+1, otherwise i+1.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarno {

struct PeakScanSettings {
    int32_t first;              // S: first point of the search range (1 <= S)
    int32_t last;               // E: last point of the search range (E <= N)
    int32_t cutoff;             // intensity a candidate must reach
    int32_t baseline;           // intensity peak intensities are measured from
    int32_t fit_width;          // w: points of each fit (2*(w/2)+1 are used)
    bool discard_lines;         // complete spectrum: lines with a large error or below the baseline are discarded
    double nominal_error;       // nominal frequency error (used when discard_lines)
    double bar_scale;           // intensity that a full bar of 32 dashes stands for
};

// The half-height crossing frequencies of the latest line that had them; a
// side without a crossing reuses the stored value (0 before any was found).
struct HalfHeightMemory {
    double left;
    double right;
};

struct FoundLine {
    double frequency;           // fitted peak frequency (third fit)
    double error;               // its error estimate
    double peak_intensity;      // fitted peak intensity
    double fwhh;                // right - left half-height crossing frequency
    long long printed_intensity;// peak intensity - baseline, truncated toward zero
    int bar_length;             // 0..32 dashes
};

// Minima and maxima of the search range in blocks of 64, 4096 and 262144
// points, built when a half-height walk first runs long (a baseline set far
// from the data), so that such walks pass over whole blocks instead of
// stepping point by point.
struct LevelSummary {
    int32_t block_size;             // points per block
    int32_t first_block;            // block number (point / block_size) of element 0
    std::vector<int32_t> min, max;  // per block, over its points inside the search range
};

// One run of the scan, advanced by next_peak().
struct PeakScan {
    std::span<const double> frequency;  // 1..N, element 0 unused
    std::span<const int32_t> intensity; // 1..N, element 0 unused
    PeakScanSettings settings;
    int32_t next_candidate;             // the next index the candidate test examines
    int32_t identified;                 // lines returned so far
    int32_t discarded;                  // candidates rejected (large error, below baseline, no vertex)
    double fwhh_sum;
    double fwhh_sum_of_squares;
    std::vector<double> fit_values;     // work array: intensities of the fitting window
    std::vector<LevelSummary> levels;   // empty until a walk runs long
};

struct FwhhSummary {
    double mean;                // 0 with no line
    double spread;              // root of the mean square deviation; 0 with no line or equal widths
};

// Starts a scan of settings.first..settings.last (which must lie inside 1..N).
PeakScan start_peak_scan(std::span<const double> frequency, std::span<const int32_t> intensity,
                         const PeakScanSettings& settings);

// Returns the next identified line, or nothing when the range is done.
// Updates the counts and sums of `scan` and the crossings kept in `memory`.
std::optional<FoundLine> next_peak(PeakScan& scan, HalfHeightMemory& memory);

// Mean and spread of the FWHH of the lines identified so far.
FwhhSummary summarise_fwhh(const PeakScan& scan);

// Bar length for a printed intensity: |intensity * 32 / scale| + 0.5,
// truncated, at most 32 (0 when it is not a number).
int bar_length_of(long long printed_intensity, double bar_scale);

}  // namespace tarno
