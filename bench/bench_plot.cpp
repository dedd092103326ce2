// Plot output benchmark on a 10,000,000-point spectrum, in seconds:
//   gle_output_10M          key G then ENTER with the whole spectrum in view: the
//                           data file (10M lines of F12.4 + F9.4, 210 MB) and the
//                           page script written and synced (best of 3)
//   gle_output_10M_worst    the slowest of those 3 runs (the spread)
//   snprintf_plot_data_10M  reference: the same data lines by one snprintf each,
//                           one thread, into a staged file
//   numpy_savetxt_1M        reference: numpy.savetxt with the same format on the
//                           first 1M lines (a tenth), when /usr/bin/python3 has numpy
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>   // getpid: a directory of this run
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "bench/bench_spectrum.hpp"
#include "common/staged_file.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "plot/plot_output.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

static std::string plot_bench_dir() {
    std::string dir = "/tmp/tarno-bench-plot-" + std::to_string(getpid());
    std::filesystem::create_directories(dir);
    return dir;
}

static void fill_plot_spectrum() {
    fill_bench_spectrum(MAX_POINTS, 777, [](int32_t, uint32_t noise) { return static_cast<int32_t>(noise >> 18) - 8000; });
}

static std::vector<Figure> gle_output_10M() {
    fill_plot_spectrum();
    const std::string dir = plot_bench_dir();
    start_bench_display();
    set_text_field(text.data_file_name, dir + "/bench.spe");
    double best = 1e30, worst = 0.0;
    for (int run = 0; run < 3; ++run) {
        DisplayState& d = display;
        d.view_low = spectrum.frequency[1];
        d.view_high = spectrum.frequency[MAX_POINTS];
        d.y_floor = spectrum.intensity_min;
        d.y_high = spectrum.intensity_max;
        d.expansion = 1;
        plot_settings = PlotSettings{};
        headless::press_keys("\r\r");      // ENTER writes, ENTER after "f i n i s h e d"
        auto start = std::chrono::steady_clock::now();
        headless::run([] { plot_output_command(); });
        const double seconds = seconds_since(start);
        best = std::min(best, seconds);
        worst = std::max(worst, seconds);
    }
    const uintmax_t bytes = std::filesystem::exists(dir + "/bench.dat") ? std::filesystem::file_size(dir + "/bench.dat") : 0;
    const bool page = std::filesystem::exists(dir + "/bench1.gle");
    std::filesystem::remove_all(dir);
    if (bytes < uintmax_t(MAX_POINTS) * 21 || !page) return {{"gle_output_10M_not_written", 1, "flag"}};
    return {{"gle_output_10M", best, "s"}, {"gle_output_10M_worst", worst, "s"}};
}
TARNO_BENCH(gle_output_10M);

// The classic way: one snprintf per line, one thread.
static std::vector<Figure> snprintf_plot_data_10M() {
    fill_plot_spectrum();
    const std::string dir = plot_bench_dir();
    const SpectrumRecord& s = spectrum;
    const double lower = s.intensity_min, range = double(s.intensity_max) - s.intensity_min;
    auto start = std::chrono::steady_clock::now();
    {
        StagedFile out(dir + "/bench.dat", StagedFile::Mode::replace);
        char line[64];
        for (int32_t i = 1; i <= s.point_count; ++i) {
            int n = std::snprintf(line, sizeof line, "%12.4f%9.4f\n", s.frequency[i], (s.intensity[i] - lower) / range);
            std::fwrite(line, 1, static_cast<size_t>(n), out.stream());
        }
        out.commit();
    }
    const double seconds = seconds_since(start);
    std::filesystem::remove_all(dir);
    return {{"snprintf_plot_data_10M", seconds, "s"}};
}
TARNO_BENCH(snprintf_plot_data_10M);

// numpy.savetxt on the first million lines, timed inside Python.
static std::vector<Figure> numpy_savetxt_1M() {
    const char* python = "/usr/bin/python3";
    if (std::system((std::string(python) + " -c 'import numpy' 2>/dev/null").c_str()) != 0) return {};
    const std::string dir = plot_bench_dir();
    std::string command = std::string(python) +
        " -c 'import sys, time, numpy\n"
        "n = 1000000\n"
        "f = 200000.0 + numpy.arange(n) * 0.05\n"
        "y = numpy.random.default_rng(777).random(n)\n"
        "t = time.perf_counter()\n"
        "numpy.savetxt(sys.argv[1], numpy.column_stack([f, y]), fmt=\"%12.4f%9.4f\")\n"
        "print(time.perf_counter() - t)' " + dir + "/numpy.dat";
    std::FILE* pipe = popen(command.c_str(), "r");
    double seconds = 0.0;
    bool read = pipe != nullptr && std::fscanf(pipe, "%lf", &seconds) == 1;
    if (pipe != nullptr) pclose(pipe);
    std::filesystem::remove_all(dir);
    if (!read) return {};
    return {{"numpy_savetxt_1M", seconds, "s"}};
}
TARNO_BENCH(numpy_savetxt_1M);

}  // namespace tarno::bench
