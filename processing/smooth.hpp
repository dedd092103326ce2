// SMOOTH: least-squares smoothing and baseline subtraction of the spectrum in
// memory (keys N and B of the display).
//
//   mode 1  smoothing          dialogue; intensity smoothed once
//   mode 2  baseline           dialogue; a positive interval subtracts the baseline
//                              (five passes) from original_intensity; a negative one
//                              computes the preliminary baseline for the cutoff step
//                              and sets both cutoffs to -1 (intensity unchanged)
//   mode 3  final baseline     no dialogue; as mode 2 with a positive interval, the
//                              first pass clamped into the band the cutoffs set
//                              around the preliminary baseline
//
// After a subtraction spectrum.smoothing_source holds the final baseline, which
// the display draws. The computations below take the arrays they work on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace tarno {

constexpr int BASELINE_PASSES = 5;

// The routine of both keys; all four are read and written (see the table above).
// On return mode is 0 when the user left the prompt with ENTER or 0.
void SMOOTH(int32_t& mode, int32_t& lower_cutoff, int32_t& upper_cutoff, int32_t& interval);

// 1 after a baseline dialogue that took a negative interval (the cutoff step follows).
int32_t smoothing_cutoff_flag();

// [SECTION] Computations ---------------------------------------------------------------

// Cutoffs around the preliminary baseline P: the first pass reads
// max(min(intensity, P + upper), P + lower).
struct CutoffBand {
    std::span<const int32_t> preliminary;
    int32_t lower;
    int32_t upper;
};

// What a baseline subtraction works on; all spans have the same size.
struct BaselineArrays {
    std::span<int32_t> intensity;           // in: spectrum the baseline comes from; out: original - baseline
    std::span<const int32_t> original;      // what the baseline is subtracted from
    std::span<int32_t> source;              // work buffer; out: the final baseline
};

// One n-point pass over `intensity`, through `source` (which keeps the input).
void smooth_once(std::span<int32_t> intensity, std::span<int32_t> source, int n);

// Called with the pass number 1..5 as each pass of a baseline starts (may be empty).
using BeforePass = std::function<void(int pass)>;

// Five n-point passes of `intensity` into `preliminary` (source: work buffer).
void compute_preliminary_baseline(std::span<const int32_t> intensity, std::span<int32_t> source,
                                  std::span<int32_t> preliminary, int n, const BeforePass& before_pass);

// Five n-point passes give the baseline, which is subtracted from the original.
// band: clamp for the first pass, or nullptr.
void subtract_baseline(const BaselineArrays& arrays, int n, const CutoffBand* band, const BeforePass& before_pass);

}  // namespace tarno
