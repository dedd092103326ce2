// PEAKF: the parabola fit behind every line measurement (key O, linked
// measurements, the automatic peak finder).
//
// The parabola is forced through the centre point c = n div 2 + 1 and found by
// a straight-line regression of the difference quotients against it:
//
//   q(i) = (y(i) - y(c)) / (x(i) - x(c))  =  A (x(i) - x(c)) + B      (i != c)
//
// so that y = y(c) + dx (B + A dx) with dx = x - x(c). The vertex lies at
// x(c) - B / 2A. Points are 1-based in the formulas; the spans here are 0-based
// views of the n fitted points (n >= 3; odd for a symmetric window, while an
// even n, as on interpolated frames, has one point fewer right of the centre).
#pragma once

#include <span>

namespace tarno {

struct PeakFit {
    double x_peak;      // fitted peak (vertex) frequency; 0 when the curvature is 0
    double error;       // uncertainty of x_peak (same units); 0 when it cannot be estimated
    double y_peak;      // parabola value at x_peak
    double slope;       // B: slope of the parabola at the centre point
    double curvature;   // A: curvature of the parabola (negative for a maximum)
};

// Fits the parabola through the centre point of (x, y) and returns its vertex
// with an error estimate. x and y must have the same size n >= 3.
PeakFit PEAKF(std::span<const double> x, std::span<const double> y);

}  // namespace tarno
