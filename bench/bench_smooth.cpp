// Smoothing and baseline benchmarks over 10,000,000 points, with the exact sums,
// and scipy's savgol_filter on the same windows as the reference, timed in
// Python in the same run (when /usr/bin/python3 has scipy):
//   smooth_25_10M                   one 25-point pass, as key N runs it (s)
//   baseline_499_10M                five 499-point passes and the subtraction, as key B runs it (s)
//   smooth_gmacs                    multiply-adds per second of the 499-point passes (GMAC/s)
//   baseline_cutoff_249_10M         key B with -249 and ENTER at every step: the 499-point
//                                   preliminary baseline, the cutoff lines, the 249-point
//                                   final baseline and the result drawn (s)
//   scipy_savgol_25_10M             savgol_filter(x, 25, 3) on 10M doubles (s)
//   scipy_savgol_499_10M_one_pass   savgol_filter(x, 499, 3), one pass (s)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "bench/bench_spectrum.hpp"
#include "display/display_commands.hpp"
#include "processing/smooth.hpp"

namespace tarno::bench {

constexpr int SMOOTH_REPEATS = 7;
constexpr int BASELINE_REPEATS = 3;

// A 10M-point spectrum of noise on a slow ripple with a line every 20000 points.
static void prepare_smoothing() {
    fill_bench_spectrum(MAX_POINTS, 4242, [](int32_t i, uint32_t noise) {
        int32_t line = i % 20000 < 40 ? 9000 : 0;
        return static_cast<int32_t>(noise >> 22) + (i / 1000) % 700 + line;
    });
    for (int32_t i = 1; i <= MAX_POINTS; ++i) spectrum.original_intensity[i] = spectrum.intensity[i];
}

static std::span<int32_t> all_points(int32_t* array) {
    return std::span<int32_t>(array + 1, size_t(MAX_POINTS));
}

static std::vector<Figure> smooth_25_10M() {
    prepare_smoothing();
    double seconds = best_of(SMOOTH_REPEATS, [] {
        smooth_once(all_points(spectrum.intensity), all_points(spectrum.smoothing_source), 25);
    });
    return {{"smooth_25_10M", seconds, "s"}};
}

static std::vector<Figure> baseline_499_10M() {
    prepare_smoothing();
    SpectrumRecord& s = spectrum;
    double seconds = best_of(BASELINE_REPEATS, [&] {
        BaselineArrays arrays{all_points(s.intensity), all_points(s.original_intensity), all_points(s.smoothing_source)};
        subtract_baseline(arrays, 499, nullptr, nullptr);
    });
    double macs = double(BASELINE_PASSES) * 499 * MAX_POINTS;
    return {{"baseline_499_10M", seconds, "s"}, {"smooth_gmacs", macs / seconds / 1e9, "GMAC/s"}};
}

static std::vector<Figure> baseline_cutoff_249_10M() {
    prepare_smoothing();
    start_bench_display();
    double seconds = best_of(BASELINE_REPEATS, [] {
        for (int32_t i = 1; i <= MAX_POINTS; ++i) spectrum.intensity[i] = spectrum.original_intensity[i];
        headless::type_line("-249");
        headless::press_keys("\r\r\r");    // upper cutoff, lower cutoff, the closing ENTER
        headless::run([] { run_baseline_procedure(); });
    });
    return {{"baseline_cutoff_249_10M", seconds, "s"}};
}

// savgol_filter on 10M random doubles, best of `repeats`, timed inside Python.
static std::vector<Figure> scipy_savgol(const char* name, int window, int repeats) {
    const std::string python = "/usr/bin/python3";
    if (std::system((python + " -c 'import scipy.signal' 2>/dev/null").c_str()) != 0) return {};
    std::string command = python +
        " -c 'import time, numpy, scipy.signal\n"
        "x = numpy.random.default_rng(1).integers(0, 2000, 10000000).astype(numpy.float64)\n"
        "best = 1e30\n"
        "for run in range(" + std::to_string(repeats) + "):\n"
        "    t = time.perf_counter()\n"
        "    y = scipy.signal.savgol_filter(x, " + std::to_string(window) + ", 3, mode=\"mirror\")\n"
        "    best = min(best, time.perf_counter() - t)\n"
        "print(best)'";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    double seconds = 0.0;
    bool read = std::fscanf(pipe, "%lf", &seconds) == 1;
    pclose(pipe);
    if (!read) return {};
    return {{name, seconds, "s"}};
}

static std::vector<Figure> scipy_savgol_25_10M() {
    return scipy_savgol("scipy_savgol_25_10M", 25, SMOOTH_REPEATS);
}

static std::vector<Figure> scipy_savgol_499_10M_one_pass() {
    return scipy_savgol("scipy_savgol_499_10M_one_pass", 499, 2);
}

TARNO_BENCH(smooth_25_10M);
TARNO_BENCH(scipy_savgol_25_10M);
TARNO_BENCH(baseline_499_10M);
TARNO_BENCH(baseline_cutoff_249_10M);
TARNO_BENCH(scipy_savgol_499_10M_one_pass);

}  // namespace tarno::bench
