// PEAKF: exact parabolas are recovered with no error, noisy lines agree with a
// least-squares fit computed here from scratch (residuals and the inverse of
// the normal matrix), and degenerate inputs give the documented zeros.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "processing/peakf.hpp"

namespace {

using tarno::PEAKF;
using tarno::PeakFit;

struct Samples {
    std::vector<double> x, y;
};

// n points of y = top + curv (x - x0)^2 on x = start + (i - 1) step.
Samples parabola(int n, double start, double step, double x0, double top, double curv) {
    Samples s;
    for (int i = 1; i <= n; ++i) {
        double x = start + (i - 1) * step;
        s.x.push_back(x);
        s.y.push_back(top + curv * (x - x0) * (x - x0));
    }
    return s;
}

// The same model fitted the long way: design matrix [dx 1] against the
// quotients, solved through the inverse of the 2x2 normal matrix, residual
// variance from the explicit residuals, vertex error by propagation without
// the covariance term.
PeakFit reference_fit(const Samples& s) {
    const int n = static_cast<int>(s.x.size());
    const int c = n / 2 + 1;
    std::vector<double> u, q;
    for (int i = 1; i <= n; ++i) {
        if (i == c) continue;
        double dx = s.x[i - 1] - s.x[c - 1] + i * 1e-7;
        u.push_back(dx);
        q.push_back((s.y[i - 1] - s.y[c - 1]) / dx);
    }
    const double m = u.size();
    double n11 = 0, n12 = 0, r1 = 0, r2 = 0;
    for (size_t k = 0; k < u.size(); ++k) {
        n11 += u[k] * u[k];
        n12 += u[k];
        r1 += u[k] * q[k];
        r2 += q[k];
    }
    const double det = n11 * m - n12 * n12;
    const double inv11 = m / det, inv12 = -n12 / det, inv22 = n11 / det;
    const double a = inv11 * r1 + inv12 * r2;
    const double b = inv12 * r1 + inv22 * r2;
    double rss = 0;
    for (size_t k = 0; k < u.size(); ++k) rss += std::pow(q[k] - a * u[k] - b, 2);
    const double s2 = rss / (m - 2);
    const double var_a = s2 * inv11, var_b = s2 * inv22;
    PeakFit f{};
    f.curvature = a;
    f.slope = b;
    f.x_peak = s.x[c - 1] - b / (2 * a);
    const double dx = f.x_peak - s.x[c - 1];
    f.y_peak = s.y[c - 1] + dx * (b + a * dx);
    f.error = std::sqrt(std::pow(1 / (2 * a), 2) * var_b + std::pow(b / (2 * a * a), 2) * var_a);
    return f;
}

TEST(peakf, exact_parabolas_are_recovered_without_error) {
    struct Case {
        int n;
        double start, step, offset_in_steps, top, curv;
    };
    const Case cases[] = {
        {5, 100000.0, 0.05, 0.0, 8000, -2.0e6},     // vertex on the centre point
        {7, 100000.0, 0.05, 0.3, 8000, -2.0e6},     // vertex between points
        {7, 250000.0, 0.02, -0.45, -3000, 5.0e6},   // a minimum (downward line)
        {11, 9000.0, 1.0, 1.7, 20000, -150.0},      // wide window, vertex off centre
        {101, 60000.0, 0.001, -12.5, 1000, -1.0e4}, // many points, interpolated-size spacing
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "n=" << k.n << " offset=" << k.offset_in_steps);
        const double centre = k.start + (k.n / 2) * k.step;
        const double x0 = centre + k.offset_in_steps * k.step;
        PeakFit f = PEAKF(parabola(k.n, k.start, k.step, x0, k.top, k.curv).x,
                          parabola(k.n, k.start, k.step, x0, k.top, k.curv).y);
        // The spacing term (i x 1e-7 frequency units) is the only departure from
        // an exact fit: far below the 4 decimals the results are shown with.
        EXPECT_NEAR(f.x_peak, x0, 5e-6) << "vertex";
        EXPECT_NEAR(f.y_peak, k.top, 0.05) << "top";
        EXPECT_NEAR(f.curvature, k.curv, 1e-3 * std::fabs(k.curv));
        EXPECT_LT(f.error, 5e-6) << "an exact parabola has no scatter";
    }
}

TEST(peakf, noisy_lines_match_an_independent_least_squares_fit) {
    std::mt19937 rng(20261210);
    std::normal_distribution<double> noise(0.0, 150.0);
    const int widths[] = {5, 7, 11, 25};
    for (int n : widths) {
        for (int trial = 0; trial < 20; ++trial) {
            SCOPED_TRACE(testing::Message() << "n=" << n << " trial=" << trial);
            const double step = 0.05;
            const double start = 300000.0;
            const double x0 = start + (n / 2 + 0.8 * (trial % 5 - 2) / 2.0) * step;
            Samples s = parabola(n, start, step, x0, 9000, -1.0e6);
            for (double& y : s.y) y = std::trunc(y + noise(rng));  // stored intensities are integers
            PeakFit f = PEAKF(s.x, s.y);
            PeakFit r = reference_fit(s);
            EXPECT_NEAR(f.x_peak, r.x_peak, 1e-9 * step);
            EXPECT_NEAR(f.y_peak, r.y_peak, 1e-6);
            EXPECT_NEAR(f.curvature, r.curvature, 1e-9 * std::fabs(r.curvature));
            EXPECT_NEAR(f.slope, r.slope, 1e-9 * std::fabs(r.curvature) * step);
            EXPECT_NEAR(f.error, r.error, 1e-6 * r.error + 1e-12);
            EXPECT_GT(f.error, 0.0);
        }
    }
}

TEST(peakf, degenerate_inputs_give_zero_peak_or_zero_error) {
    // Flat data: no curvature, so no vertex and no error.
    std::vector<double> x{1.0, 2.0, 3.0, 4.0, 5.0};
    std::vector<double> flat{7.0, 7.0, 7.0, 7.0, 7.0};
    PeakFit f = PEAKF(x, flat);
    EXPECT_EQ(f.curvature, 0.0);
    EXPECT_EQ(f.x_peak, 0.0);
    EXPECT_EQ(f.error, 0.0);

    // Three points leave no degrees of freedom: the vertex is exact, the error 0.
    std::vector<double> x3{10.0, 10.5, 11.0};
    std::vector<double> y3{1.0, 5.0, 3.0};
    f = PEAKF(x3, y3);
    EXPECT_TRUE(std::isfinite(f.x_peak));
    EXPECT_GT(f.x_peak, 10.0);
    EXPECT_LT(f.x_peak, 11.0);
    EXPECT_EQ(f.error, 0.0);

    // Repeated abscissae (a padded axis) stay finite thanks to the spacing term.
    std::vector<double> same{50.0, 50.0, 50.0, 50.0, 50.0};
    std::vector<double> y5{1.0, 3.0, 4.0, 3.0, 2.0};
    f = PEAKF(same, y5);
    EXPECT_TRUE(std::isfinite(f.x_peak));
    EXPECT_TRUE(std::isfinite(f.error));
}

}  // namespace
