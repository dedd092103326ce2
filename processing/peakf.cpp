// PEAKF: parabola through the centre point by linear regression of the
// difference quotients (see peakf.hpp for the model).
//
// REF: the error is the usual propagation of the regression variances into
// x0 = x(c) - B/2A, covariance neglected. With s^2 the residual variance of the
// quotients, var(A) = s^2/D = V and var(B) = s^2 Sxx/(m D) = Sxx V/m, so
//   err^2 = (B/2A)^2 (var(A)/A^2 + var(B)/B^2) = (B/2A)^2 W.
#include "processing/peakf.hpp"

#include <cassert>
#include <cmath>

namespace tarno {

// Fits the parabola and returns vertex, error, value, slope and curvature.
PeakFit PEAKF(std::span<const double> x, std::span<const double> y) {
    assert(x.size() == y.size() && x.size() >= 3);
    const int n = static_cast<int>(x.size());
    const int c = n / 2 + 1;                // centre point, 1-based
    const double xc = x[c - 1];
    const double yc = y[c - 1];

    // ---- difference quotients and their sums ---------------------------------
    // The tiny i x 1e-7 term keeps every abscissa distinct from the centre even
    // when frequencies repeat (padded or flat axes).
    double sx = 0, sy = 0, sxy = 0, sxx = 0, syy = 0;
    for (int i = 1; i <= n; ++i) {
        if (i == c) continue;
        const double xi = x[i - 1] - xc + i * 1e-7;
        const double yi = (y[i - 1] - yc) / xi;
        sx += xi;
        sy += yi;
        sxy += xi * yi;
        sxx += xi * xi;
        syy += yi * yi;
    }
    const double m = n - 1;
    const double d = sxx - sx * sx / m;

    // ---- regression line q = A dx + B -----------------------------------------
    PeakFit fit{};
    const double a = (sxy - sx * sy / m) / d;
    fit.curvature = a;
    if (a == 0) {
        // A straight line has no vertex: peak and error stay 0.
        fit.y_peak = yc;
        fit.slope = sy / m;
        return fit;
    }
    const double b = (sy - a * sx) / m;
    fit.slope = b;
    fit.x_peak = xc - b / (2 * a);
    const double dx = fit.x_peak - xc;
    fit.y_peak = yc + dx * (b + a * dx);

    // ---- error of the vertex --------------------------------------------------
    // NOTE: with three points the regression has no degrees of freedom left
    // (m - 2 = 0), and with B exactly 0 the formula is 0 x infinity; both would
    // give NaN or infinity. The first has no error estimate (0); the second is
    // the limit of the same expression, sqrt(Sxx V / m) / |2A|.
    if (m - 2 <= 0) return fit;
    const double v = ((syy - sy * sy / m) / d - a * a) / (m - 2);
    if (b == 0) {
        const double w0 = sxx * v / m;
        fit.error = w0 > 0 ? std::sqrt(w0) / std::fabs(2 * a) : 0;
        return fit;
    }
    const double w = v / (a * a) + sxx * v / (m * b * b);
    fit.error = w > 0 ? std::sqrt(w) * std::fabs(b / (2 * a)) : 0;
    return fit;
}

}  // namespace tarno
