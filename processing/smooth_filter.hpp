// The cubic least-squares (Savitzky-Golay) smoothing filter over integer
// intensities: the weights of an odd n-point window and one filter pass.
//
// One pass from S into D (0-based here, N points, m = n / 2):
//
//   D(i) = trunc( sum over j = 0..n-1 of double(S(i + j - m)) * double(W(j)) )
//
// with single-precision weights, each product formed in double precision, the
// sum accumulated in double in the order j = 0..n-1 and truncated toward zero
// (held inside the 32-bit range). An index outside the spectrum is reflected
// about the end with the end point repeated:
//
//          reflected      |  spectrum  |      reflected
//     ... S(2) S(1) S(0)  | S(0) ... S(N-1) | S(N-1) S(N-2) ...
//
// and, for a spectrum shorter than the window, then held inside 0..N-1.
//
// smooth_pass() is the fast path: blocks of outputs small enough for the cache,
// several outputs per vector register (each output keeps its own j order, so
// the sums are the same bit for bit), the spectrum split over the cores.
// smooth_pass_serial() is the plain loop it must equal.
#pragma once

#include <cstdint>
#include <span>

namespace tarno {

constexpr int MAX_SMOOTH_WINDOW = 499;      // longest window (points)

// Fills weights[0..n-1] for the n-point window (n odd, 3 <= n <= MAX_SMOOTH_WINDOW).
// REF: A. Savitzky, M.J.E. Golay, Anal. Chem. 36, 1627 (1964), cubic smoothing,
// with the corrected table of J. Steinier, Y. Termonia, J. Deltour, Anal. Chem. 44, 1906 (1972):
//   W(j) = B (A - 5 (j - m)^2),  A = 3m^2 + 3m - 1,  B = 3 / ((2m+1)(2m-1)(2m+3))
void smoothing_weights(int n, std::span<float> weights);

// One pass of the filter from `source` into `out` (same size); weights.size() is
// the odd window length. Uses every core; source and out must not overlap.
void smooth_pass(std::span<const int32_t> source, std::span<const float> weights, std::span<int32_t> out);

// The same pass as a plain serial loop: the definition the fast path is held to.
void smooth_pass_serial(std::span<const int32_t> source, std::span<const float> weights, std::span<int32_t> out);

// Index into the spectrum of a window position k (0-based, may lie outside).
int64_t reflected_index(int64_t k, int64_t count);

}  // namespace tarno
