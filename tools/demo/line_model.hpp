// The line model of the demo spectrum, shared with the tests and benchmarks
// that need lines of the same shape: the second derivative of a Lorentzian,
// as detection at twice the modulation frequency records it (a central peak
// with two negative side lobes), sign-inverted so that the centre is a
// positive peak of height 1.
#pragma once

namespace tarno::demo {

constexpr double FIRST_MHZ = 200000.0;          // first frequency (MHz)
constexpr double STEP_MHZ = 0.05;               // frequency step (MHz)
constexpr double LINE_HALF_WIDTH_MHZ = 0.35;    // Lorentzian half width at half height (MHz)

// The line shape at u = (f - f0)/w: (1 - 3u^2)/(1 + u^2)^3.
inline double line_shape(double u) {
    double d = 1.0 + u * u;
    return (1.0 - 3.0 * u * u) / (d * d * d);
}

}  // namespace tarno::demo
