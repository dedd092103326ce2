// Peak finder benchmark on a 10,000,000-point spectrum like the demo's: lines
// of the demo's shape (0.35 MHz half width on a 0.05 MHz grid) of assorted
// strengths on Gaussian noise, in seconds.
//   peakfind_10M            AUTOPK over the complete spectrum (range 1), fitting
//                           width 7, from the range answer to the committed
//                           results file (best of 5 runs)
//   peakfind_10M_worst      the slowest of those runs
//   peakfind_10M_lines      lines in the results file
//   scipy_find_peaks_10M    reference: scipy.signal.find_peaks above the same
//                           cutoff plus a vectorised 7-point parabola fit per
//                           peak, on the same intensities, timed inside Python
//                           (best of 5), when /usr/bin/python3 has scipy
//   scipy_find_peaks_10M_peaks  peaks scipy found
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>     // getpid: file names of this run
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "processing/peak_finder.hpp"
#include "tools/demo/line_model.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int32_t PEAK_POINTS = MAX_POINTS;
constexpr int32_t PEAK_LINES = 4000;
constexpr double NOISE_UNITS = 100.0;       // noise rms in intensity units
constexpr int16_t PEAK_BASELINE = 0;
constexpr int16_t PEAK_CUTOFF = 800;        // 8 noise rms
constexpr int16_t PEAK_FIT_WIDTH = 7;
constexpr int PEAK_RUNS = 5;

// Fills the spectrum record with the benchmark spectrum (once per process).
static void fill_peak_spectrum() {
    static bool filled = false;
    if (filled) return;
    SpectrumRecord& s = spectrum;
    std::vector<double> signal(static_cast<size_t>(PEAK_POINTS) + 1, 0.0);
    std::mt19937 random(20061207);
    std::uniform_real_distribution<double> position(100.0, PEAK_POINTS - 100.0);
    std::exponential_distribution<double> strength(1.0);
    const double w = demo::LINE_HALF_WIDTH_MHZ / demo::STEP_MHZ;    // half width in points
    const int reach = static_cast<int>(60 * w);
    for (int line = 0; line < PEAK_LINES; ++line) {
        const double f0 = position(random);
        const double height = NOISE_UNITS * (5.0 + 200.0 * strength(random) * strength(random));
        const int32_t from = std::max(1, static_cast<int32_t>(f0) - reach);
        const int32_t to = std::min(PEAK_POINTS, static_cast<int32_t>(f0) + reach);
        for (int32_t i = from; i <= to; ++i) signal[static_cast<size_t>(i)] += height * demo::line_shape((i - f0) / w);
    }
    std::normal_distribution<double> noise(0.0, NOISE_UNITS);
    s.point_count = PEAK_POINTS;
    for (int32_t i = 1; i <= PEAK_POINTS; ++i) {
        s.frequency[i] = demo::FIRST_MHZ + (i - 1) * demo::STEP_MHZ;
        s.intensity[i] = static_cast<int32_t>(std::lround(signal[static_cast<size_t>(i)] + noise(random)));
    }
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[PEAK_POINTS];
    s.freq_step = demo::STEP_MHZ;
    filled = true;
}

// Lines of a results file: those that begin with a frequency and carry the bar.
static int count_result_lines(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    int lines = 0;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file))
        if (std::string_view(buffer).find("  |") == 44) ++lines;
    std::fclose(file);
    return lines;
}

static std::vector<Figure> peakfind_10M() {
    fill_peak_spectrum();
    const std::string directory = "/tmp/tarno-bench-peaks-" + std::to_string(getpid()) + "/";
    std::filesystem::create_directories(directory);
    set_text_field(text.data_file_name, directory + "bench.spe");
    const std::string name = "peaks.txt";
    std::vector<double> seconds;
    int lines = -1;
    for (int run = 0; run < PEAK_RUNS; ++run) {
        std::filesystem::remove(directory + name);
        headless::start(800, 540);
        for (const char* answer : {"1", "0.005", name.c_str()}) headless::type_line(answer);
        headless::press_keys("\r");
        auto start = std::chrono::steady_clock::now();
        headless::run([] {
            AUTOPK(1, PEAK_POINTS, PEAK_CUTOFF, PEAK_BASELINE, PEAK_FIT_WIDTH, 20000.0, 0.0);
        });
        seconds.push_back(seconds_since(start));
        lines = count_result_lines(directory + name);
    }
    std::filesystem::remove_all(directory);
    if (lines <= 0) return {{"peakfind_10M_no_results", 1, "flag"}};
    return {{"peakfind_10M", *std::min_element(seconds.begin(), seconds.end()), "s"},
            {"peakfind_10M_worst", *std::max_element(seconds.begin(), seconds.end()), "s"},
            {"peakfind_10M_lines", static_cast<double>(lines), "lines"}};
}
TARNO_BENCH(peakfind_10M);

// scipy.signal.find_peaks and a 7-point least-squares parabola per peak, all
// peaks at once, on the same intensities (read from a raw file, not timed).
static std::vector<Figure> scipy_find_peaks_10M() {
    const char* python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import scipy.signal' 2>/dev/null").c_str()) != 0) return {};
    fill_peak_spectrum();
    const std::string path = "/tmp/tarno-bench-peaks-" + std::to_string(getpid()) + ".i32";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return {};
    std::fwrite(&spectrum.intensity[1], sizeof(int32_t), PEAK_POINTS, file);
    std::fclose(file);
    std::ostringstream command;
    command << python << " -c 'import sys, time, numpy, scipy.signal\n"
               "y = numpy.fromfile(sys.argv[1], dtype=numpy.int32)\n"
               "f = 200000.0 + 0.05 * numpy.arange(y.size)\n"
               "best = 1e30\n"
               "for run in range(" << PEAK_RUNS << "):\n"
               "    t = time.perf_counter()\n"
               "    peaks, _ = scipy.signal.find_peaks(y, height=" << PEAK_CUTOFF << ", distance=3)\n"
               "    peaks = peaks[(peaks >= 3) & (peaks < y.size - 3)]\n"
               "    offsets = numpy.arange(-3, 4)\n"
               "    window = peaks[:, None] + offsets[None, :]\n"
               "    x = f[window] - f[peaks][:, None]\n"
               "    v = y[window].astype(numpy.float64)\n"
               "    # least squares v = a x^2 + b x + c, all peaks at once\n"
               "    design = numpy.stack([x * x, x, numpy.ones_like(x)], axis=2)\n"
               "    coef = numpy.linalg.solve(numpy.einsum(\"pki,pkj->pij\", design, design),\n"
               "                              numpy.einsum(\"pki,pk->pi\", design, v))\n"
               "    centre = f[peaks] - coef[:, 1] / (2 * coef[:, 0])\n"
               "    best = min(best, time.perf_counter() - t)\n"
               "print(best, peaks.size)' " << path;
    std::FILE* pipe = popen(command.str().c_str(), "r");
    if (pipe == nullptr) return {};
    double seconds = 0.0;
    long peaks = 0;
    bool read = std::fscanf(pipe, "%lf %ld", &seconds, &peaks) == 2;
    pclose(pipe);
    std::remove(path.c_str());
    if (!read) return {};
    return {{"scipy_find_peaks_10M", seconds, "s"}, {"scipy_find_peaks_10M_peaks", static_cast<double>(peaks), "peaks"}};
}
TARNO_BENCH(scipy_find_peaks_10M);

}  // namespace tarno::bench
