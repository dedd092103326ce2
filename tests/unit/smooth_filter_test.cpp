// The smoothing filter: its weights against the published tables and the
// cubic's moments, the exact sums (constant spectra, mirrored ends), and the
// fast pass against the plain serial loop, bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "processing/smooth_filter.hpp"

namespace tarno {
namespace {

std::vector<float> weights_of(int n) {
    std::vector<float> w(n);
    smoothing_weights(n, w);
    return w;
}

std::vector<int32_t> fast_pass(const std::vector<int32_t>& source, int n) {
    std::vector<int32_t> out(source.size());
    smooth_pass(source, weights_of(n), out);
    return out;
}

TEST(smoothing_weights, match_the_published_tables) {
    struct Table { int n; double norm; std::vector<double> numerators; };
    const Table tables[] = {
        {5, 35, {-3, 12, 17, 12, -3}},
        {7, 21, {-2, 3, 6, 7, 6, 3, -2}},
        {9, 231, {-21, 14, 39, 54, 59, 54, 39, 14, -21}},
        {11, 429, {-36, 9, 44, 69, 84, 89, 84, 69, 44, 9, -36}},
    };
    for (const Table& t : tables) {
        std::vector<float> w = weights_of(t.n);
        for (int j = 0; j < t.n; ++j) {
            EXPECT_FLOAT_EQ(w[j], static_cast<float>(t.numerators[j] / t.norm)) << "n = " << t.n << ", j = " << j;
        }
    }
}

// A cubic smoothing filter keeps polynomials up to the cubic: its weights sum
// to 1 and their second moment vanishes (odd moments vanish by symmetry).
TEST(smoothing_weights, preserve_a_cubic_for_every_window) {
    for (int n = 5; n <= MAX_SMOOTH_WINDOW; n += 2) {
        std::vector<float> w = weights_of(n);
        const int m = n / 2;
        double sum = 0, second = 0, first = 0;
        for (int j = 0; j < n; ++j) {
            double d = j - m;
            sum += w[j];
            first += w[j] * d;
            second += w[j] * d * d;
            EXPECT_EQ(w[j], w[n - 1 - j]) << "n = " << n;
        }
        EXPECT_NEAR(sum, 1.0, 1e-5) << "n = " << n;
        EXPECT_NEAR(first, 0.0, 1e-3) << "n = " << n;
        EXPECT_NEAR(second / (double(m) * m), 0.0, 1e-4) << "n = " << n;
    }
}

// Single-precision weights and truncation: a constant comes back exactly for
// some windows and one unit lower for others.
TEST(smooth_pass, constant_1000_stays_or_drops_by_one) {
    struct Case { int n; int32_t expected; };
    for (Case c : {Case{5, 1000}, Case{7, 1000}, Case{9, 1000}, Case{11, 999}, Case{25, 999}}) {
        std::vector<int32_t> source(3000, 1000);
        std::vector<int32_t> out = fast_pass(source, c.n);
        for (size_t i : {size_t(0), size_t(1), size_t(1500), size_t(2999)}) {
            EXPECT_EQ(out[i], c.expected) << c.n << " points, point " << i;
        }
    }
}

// Point 1 with m = 2 reads points 2, 1, 1, 2, 3; the last point likewise.
TEST(smooth_pass, ends_read_mirrored_points) {
    const std::vector<int32_t> s = {7, 130, -2900, 41000, 5, 77, -600, 123457, 900001, -31};
    const std::vector<float> w = weights_of(5);
    auto sum_of = [&](std::initializer_list<size_t> points) {
        double sum = 0;
        size_t j = 0;
        for (size_t p : points) sum += double(s[p - 1]) * double(w[j++]);
        return static_cast<int32_t>(sum);
    };
    std::vector<int32_t> out = fast_pass(s, 5);
    EXPECT_EQ(out[0], sum_of({2, 1, 1, 2, 3}));
    EXPECT_EQ(out[1], sum_of({1, 1, 2, 3, 4}));
    EXPECT_EQ(out[8], sum_of({7, 8, 9, 10, 10}));
    EXPECT_EQ(out[9], sum_of({8, 9, 10, 10, 9}));
}

// The sums are added in window order: this window's exact sum lies just below
// 398, and only the order j = 1..n gives 397.99999997 (the reverse gives 398.00000001).
TEST(smooth_pass, sums_are_added_in_window_order) {
    std::vector<int32_t> source(100, 0);
    const int32_t window[5] = {455, 1376591405, 875, -1376591685, -1260};
    for (size_t at : {size_t(0), size_t(37), size_t(95)}) {
        std::fill(source.begin(), source.end(), 0);
        std::copy(window, window + 5, source.begin() + at);
        EXPECT_EQ(fast_pass(source, 5)[at + 2], 397) << "window at " << at;
    }
}

TEST(reflected_index, reflects_then_holds_inside_a_short_spectrum) {
    struct Case { int64_t k, count, expected; };
    const Case cases[] = {
        {-1, 10, 0}, {-2, 10, 1}, {0, 10, 0}, {9, 10, 9}, {10, 10, 9}, {11, 10, 8},
        {-8, 3, 2}, {7, 3, 0}, {-300, 1, 0}, {300, 1, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(reflected_index(c.k, c.count), c.expected) << "k = " << c.k << ", count = " << c.count;
}

// The blocked, vectorised, threaded pass gives the serial loop's sums exactly:
// random spectra of many lengths (block and group edges, a thread split,
// spectra shorter than the window) and every edge window.
TEST(smooth_pass, fast_path_equals_the_serial_loop_bit_for_bit) {
    std::mt19937 random(20261210);
    struct Case { size_t count; int n; int32_t amplitude; };
    const Case cases[] = {
        {1, 5, 1000}, {2, 499, 1000}, {4, 7, 30000}, {31, 25, 30000}, {33, 5, 30000},
        {250, 499, 1 << 20}, {2047, 11, 30000}, {2049, 499, 30000}, {5000, 3, 7},
        {70001, 25, 1 << 30}, {70001, 499, 30000}, {131073, 101, 2147483647},
    };
    for (const Case& c : cases) {
        std::uniform_int_distribution<int32_t> value(-c.amplitude, c.amplitude);
        std::vector<int32_t> source(c.count);
        for (int32_t& v : source) v = value(random);
        std::vector<int32_t> expected(c.count);
        smooth_pass_serial(source, weights_of(c.n), expected);
        std::vector<int32_t> got = fast_pass(source, c.n);
        size_t differing = 0;
        for (size_t i = 0; i < c.count; ++i) differing += got[i] != expected[i];
        EXPECT_EQ(differing, 0u) << c.count << " points, " << c.n << "-point window";
    }
}

// Sums beyond the 32-bit range are held at its ends instead of wrapping.
TEST(smooth_pass, extreme_sums_are_held_in_range) {
    // the two points under the negative weights of every fifth window at the minimum
    std::vector<int32_t> source(200);
    for (size_t i = 0; i < source.size(); ++i) source[i] = i % 5 == 2 || i % 5 == 3 ? INT32_MIN : INT32_MAX;
    std::vector<int32_t> expected(source.size());
    smooth_pass_serial(source, weights_of(5), expected);
    EXPECT_EQ(fast_pass(source, 5), expected);
    EXPECT_EQ(expected[100], INT32_MAX);
    source.assign(200, INT32_MAX);
    std::vector<int32_t> out = fast_pass(source, 499);
    for (int32_t v : out) EXPECT_GT(v, INT32_MAX - 1000);
}

}  // namespace
}  // namespace tarno
