// Append benchmark: a 5,000,000-point binary file appended to a 5,000,000-point
// spectrum, everything the & command does apart from its screens:
//   append_5M_to_5M            restore copy, read of the file, merge onto the
//                              current grid (half a step off, so every point is
//                              interpolated), reference copy of the 10M result (s, best run)
//   append_5M_to_5M_slowest    the slowest of the same runs (s): the spread on a shared machine
//   append_5M_to_5M_first      the first run, which also faults in the arrays' pages
//                              beyond the current spectrum (as the first append of a session does)
//   numpy_append_5M_to_5M      reference: numpy reads the same file (fromfile),
//                              interpolates it onto the grid (interp), truncates
//                              and joins it to the current spectrum (s, best of 3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_writer.hpp"
#include "bench/bench.hpp"
#include "bench/bench_spectrum.hpp"
#include "display/append_modify.hpp"

namespace tarno::bench {

constexpr int32_t APPEND_POINTS = 5'000'000;    // points of each part
constexpr int APPEND_RUNS = 5;

static const std::string& appended_file() {
    static BenchDirectory directory("tarno-bench-append");
    static std::string path = (directory.path / "next.spe").string();
    return path;
}

// The current spectrum (200000 MHz on, 0.05 MHz steps) and the appended file
// starting half a step above its last point.
static void prepare_append() {
    fill_bench_spectrum(APPEND_POINTS, 7u, [](int32_t i, uint32_t noise) {
        return static_cast<int32_t>(noise >> 22) - 512 + (i % 4001 < 6 ? 9000 : 0);
    });
    std::vector<int16_t> values(APPEND_POINTS);
    uint32_t noise = 11u;
    for (int32_t k = 0; k < APPEND_POINTS; ++k) {
        noise = noise * 1664525u + 1013904223u;
        values[k] = static_cast<int16_t>(static_cast<int32_t>(noise >> 22) - 500 + (k % 3001 < 5 ? 7000 : 0));
    }
    double first = spectrum.frequency[APPEND_POINTS] + 0.5 * spectrum.freq_step;
    SpectrumHeader h{};
    set_text_field(h.comment, "append benchmark");
    h.day = 1; h.month = 1; h.year = 2006;
    if (!write_binary_spectrum_file(appended_file(), h, values, -32000, 32000, first,
                                    first + (APPEND_POINTS - 1) * spectrum.freq_step, spectrum.freq_step))
        std::abort();
    std::copy(spectrum.intensity + 1, spectrum.intensity + 1 + APPEND_POINTS, spectrum.original_intensity + 1);
}

// One append without its screens; returns the merged point count.
static int32_t append_once() {
    SpectrumRecord& s = spectrum;
    advise_spectrum_pages();
    s.point_count = APPEND_POINTS;
    std::copy(s.original_intensity + 1, s.original_intensity + 1 + s.point_count, s.intensity + 1);
    std::span<int32_t> values(s.original_intensity + 1, MAX_POINTS);
    AppendedSpectrum a{};
    if (read_appended_spectrum(appended_file(), values, a) != AppendedRead_Ok) std::abort();
    MergeResult m = merge_appended(a, values, std::span<double>(s.frequency, MAX_POINTS + 1),
                                   std::span<int32_t>(s.intensity, MAX_POINTS + 1), s.point_count, s.freq_step);
    s.point_count = m.point_count;
    std::copy(s.intensity + 1, s.intensity + 1 + s.point_count, s.original_intensity + 1);
    return m.point_count;
}

static std::vector<Figure> append_5M_to_5M() {
    prepare_append();
    double best = 1e30, slowest = 0, first = 0;
    for (int run = 0; run <= APPEND_RUNS; ++run) {
        auto start = std::chrono::steady_clock::now();
        int32_t merged = append_once();
        double seconds = seconds_since(start);
        if (merged != 2 * APPEND_POINTS - 1) std::abort();   // the last grid point lies above Ea
        if (run == 0) {
            first = seconds;
        } else {
            best = std::min(best, seconds);
            slowest = std::max(slowest, seconds);
        }
        // the next run starts from the current part again, as the command's restore does
        std::copy(spectrum.intensity + 1, spectrum.intensity + 1 + APPEND_POINTS, spectrum.original_intensity + 1);
    }
    std::vector<Figure> figures{{"append_5M_to_5M", best, "s"}, {"append_5M_to_5M_slowest", slowest, "s"},
                                {"append_5M_to_5M_first", first, "s"}};

    // numpy on the same file and grid, timed inside Python
    const char* python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import numpy' 2>/dev/null").c_str()) != 0) return figures;
    std::string command = std::string(python) +
        " -c 'import sys, time, numpy as np\n"
        "n = 5000000\n"
        "current = np.arange(n, dtype=np.int32)\n"
        "f_n = 200000.0 + (n - 1) * 0.05\n"
        "best = 1e30\n"
        "for run in range(3):\n"
        "    t = time.perf_counter()\n"
        "    a = np.fromfile(sys.argv[1], dtype=\"<i2\", count=n, offset=162).astype(np.float64)\n"
        "    fa, ea, sa = np.fromfile(sys.argv[1], dtype=\"<f8\", count=3, offset=162 + 2 * n)\n"
        "    grid = f_n + 0.05 * np.arange(1, n, dtype=np.float64)\n"
        "    merged = np.interp(grid, fa + sa * np.arange(n), a).astype(np.int32)\n"
        "    whole = np.concatenate((current, merged))\n"
        "    reference = whole.copy()\n"
        "    best = min(best, time.perf_counter() - t)\n"
        "print(best)' " + appended_file();
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return figures;
    double seconds = 0.0;
    bool read = std::fscanf(pipe, "%lf", &seconds) == 1;
    pclose(pipe);
    if (read) figures.push_back({"numpy_append_5M_to_5M", seconds, "s"});
    return figures;
}

TARNO_BENCH(append_5M_to_5M);

}  // namespace tarno::bench
