// Load benchmarks on generated 10,000,000-point files in a temporary directory:
//   load_binary_10M        the binary reader, header to frequency grid (s)
//   load_ascii_10M         the ASCII reader on the same spectrum as text pairs (s)
//   pandas_read_csv_10M    reference: pandas.read_csv (C engine, its fastest setting
//                          for this file: one blank as separator) on the same text
//                          file, when /usr/bin/python3 has pandas (s)
//   ascii_vs_pandas        pandas time / ASCII reader time (x)
// Each figure is the best of a few runs (the first run also faults in the
// shared arrays' pages; the machine is shared, so the best run is the one
// least disturbed).
#include <charconv>   // to_chars: writing the 10M-line text file quickly
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "app/spectrum_writer.hpp"
#include "bench/bench.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int32_t LOAD_POINTS = MAX_POINTS;
constexpr double LOAD_FIRST = 200000.0;     // MHz
constexpr double LOAD_STEP = 0.01;          // MHz

static const std::filesystem::path& load_directory() {
    static BenchDirectory directory("tarno-bench-load");
    return directory.path;
}

// Synthetic intensities: noise, a slow wave and lines.
static std::vector<int16_t> bench_intensities() {
    std::vector<int16_t> values(LOAD_POINTS);
    std::mt19937 random(77);
    std::uniform_int_distribution<int> noise(-60, 60);
    for (int32_t i = 0; i < LOAD_POINTS; ++i) {
        int v = noise(random) + static_cast<int>(2000 * std::sin(i * 3e-6));
        if (i % 5003 < 8) v += 12000 - 3000 * (i % 5003);
        values[i] = static_cast<int16_t>(v);
    }
    return values;
}

static std::string binary_file() {
    std::string path = (load_directory() / "load10M.spe").string();
    if (!std::filesystem::exists(path)) {
        SpectrumHeader h{};
        set_text_field(h.comment, "load benchmark");
        h.day = 1; h.month = 1; h.year = 2006;
        double last = LOAD_FIRST + (LOAD_POINTS - 1) * LOAD_STEP;
        std::vector<int16_t> values = bench_intensities();
        if (!write_binary_spectrum_file(path, h, values, -32000, 32000, LOAD_FIRST, last, LOAD_STEP)) std::abort();
    }
    return path;
}

// The same spectrum as "frequency intensity" lines, as spectrometer software exports it.
static std::string ascii_file() {
    std::string path = (load_directory() / "load10M.txt").string();
    if (!std::filesystem::exists(path)) {
        std::vector<int16_t> values = bench_intensities();
        std::FILE* file = std::fopen(path.c_str(), "w");
        std::fprintf(file, "load benchmark, two columns\n");
        char line[64];
        for (int32_t i = 0; i < LOAD_POINTS; ++i) {   // "%.4f %.5f\n", without printf's cost
            char* end = std::to_chars(line, line + 30, LOAD_FIRST + i * LOAD_STEP, std::chars_format::fixed, 4).ptr;
            *end++ = ' ';
            end = std::to_chars(end, line + 60, values[i] * 0.001, std::chars_format::fixed, 5).ptr;
            *end++ = '\n';
            std::fwrite(line, 1, static_cast<size_t>(end - line), file);
        }
        std::fclose(file);
    }
    return path;
}

static std::vector<Figure> load_binary_10M() {
    std::string path = binary_file();
    headless::start();
    double seconds = best_of(3, [&] {
        headless::run([&] {
            std::FILE* file = std::fopen(path.c_str(), "rb");
            if (read_binary_spectrum(file) != BinaryReadResult::success) std::abort();
            std::fclose(file);
        });
    });
    return {{"load_binary_10M", seconds, "s"}};
}

static double ascii_seconds = 0.0;

static std::vector<Figure> load_ascii_10M() {
    std::string path = ascii_file();
    headless::start();
    set_text_field(text.data_file_name, path);
    ascii_seconds = best_of(3, [&] {
        headless::run([&] {
            if (read_ascii_spectrum(path) != AsciiReadResult::success) std::abort();
        });
    });
    if (spectrum.point_count != LOAD_POINTS) std::abort();
    return {{"load_ascii_10M", ascii_seconds, "s"}};
}

// pandas.read_csv on the same text file, timed inside Python (best of 2).
static std::vector<Figure> pandas_read_csv_10M() {
    const char* python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import pandas' 2>/dev/null").c_str()) != 0) return {};
    std::string path = ascii_file();
    std::string command = std::string(python) +
        " -c 'import sys, time, pandas\n"
        "best = 1e30\n"
        "for run in range(2):\n"
        "    t = time.perf_counter()\n"
        "    frame = pandas.read_csv(sys.argv[1], sep=\" \", header=None, skiprows=1, engine=\"c\")\n"
        "    best = min(best, time.perf_counter() - t)\n"
        "print(best)' " + path;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    double seconds = 0.0;
    bool read = std::fscanf(pipe, "%lf", &seconds) == 1;
    pclose(pipe);
    if (!read) return {};
    std::vector<Figure> figures{{"pandas_read_csv_10M", seconds, "s"}};
    if (ascii_seconds > 0.0) figures.push_back({"ascii_vs_pandas", seconds / ascii_seconds, "x"});
    return figures;
}

TARNO_BENCH(load_binary_10M);
TARNO_BENCH(load_ascii_10M);
TARNO_BENCH(pandas_read_csv_10M);

}  // namespace tarno::bench
