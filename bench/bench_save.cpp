// ASCII save benchmark: the two fields of every line of a 10,000,000-point
// spectrum written as text (F15.5 frequency, F20.8 intensity), in seconds.
//   format_fixed_10M   10M lines of F15.5 + F20.8 into a line buffer (no file)
//   save_ascii_10M     SAVESP's whole ASCII output of a 10M-point spectrum to a file
//   save_binary_10M    SAVESP's binary output of the same spectrum
#include <chrono>
#include <cstdint>
#include <cstdio>     // remove
#include <string>
#include <unistd.h>   // getpid: a file name of this run
#include <vector>

#include "app/records.hpp"
#include "bench/bench.hpp"
#include "common/fields.hpp"
#include "processing/save_spectrum.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

static std::vector<Figure> format_fixed_10M() {
    constexpr int32_t LINES = 10000000;
    const double freq_step = 0.05;
    double f = 200000.0 - freq_step;
    uint32_t noise = 777;
    size_t bytes = 0;
    std::string line;
    auto start = std::chrono::steady_clock::now();
    for (int32_t i = 1; i <= LINES; ++i) {
        f += freq_step;
        noise = noise * 1664525u + 1013904223u;
        const float y = static_cast<float>(noise >> 16) * 0.0152590219f - 500.0f;
        line = format_fixed(f, 15, 5);
        line += format_fixed(y, 20, 8);
        line += '\n';
        bytes += line.size();
    }
    const double s = seconds_since(start);
    if (bytes != size_t(LINES) * 36) return {{"format_fixed_10M_wrong_length", 1, "flag"}};
    return {{"format_fixed_10M", s, "s"}};
}
TARNO_BENCH(format_fixed_10M);

// SAVESP on a 10M-point spectrum with the given output type ("0" binary, "1"
// ASCII) and 0 to the range or limits question; the file's size, or -1.
static long save_10M(const char* output_type, double& seconds) {
    SpectrumRecord& s = spectrum;
    s.point_count = MAX_POINTS;
    s.freq_first = 200000.0;
    s.freq_step = 0.05;
    uint32_t noise = 777;
    for (int32_t i = 1; i <= MAX_POINTS; ++i) {
        noise = noise * 1664525u + 1013904223u;
        s.frequency[i] = s.freq_first + (i - 1) * s.freq_step;
        s.intensity[i] = static_cast<int32_t>(noise >> 18) - 8000;
    }
    s.freq_last = s.frequency[MAX_POINTS];
    const std::string stem = "/tmp/tarno-bench-save-" + std::to_string(getpid());
    const std::string name = "bench-" + std::to_string(getpid()) + ".txt";
    headless::start(800, 540);
    set_text_field(text.data_file_name, stem + ".spe");
    for (const char* answer : {name.c_str(), output_type, "0"}) headless::type_line(answer);
    headless::press_keys("\r");
    auto start = std::chrono::steady_clock::now();
    headless::run([] { SAVESP(); });
    seconds = seconds_since(start);
    std::FILE* file = std::fopen(("/tmp/" + name).c_str(), "rb");
    long bytes = -1;
    if (file) {
        std::fseek(file, 0, SEEK_END);
        bytes = std::ftell(file);
        std::fclose(file);
    }
    std::remove(("/tmp/" + name).c_str());
    return bytes;
}

static std::vector<Figure> save_ascii_10M() {
    double seconds = 0;
    if (save_10M("1", seconds) < long(MAX_POINTS) * 36) return {{"save_ascii_10M_not_written", 1, "flag"}};
    return {{"save_ascii_10M", seconds, "s"}};
}
TARNO_BENCH(save_ascii_10M);

static std::vector<Figure> save_binary_10M() {
    double seconds = 0;
    if (save_10M("0", seconds) < long(MAX_POINTS) * 2) return {{"save_binary_10M_not_written", 1, "flag"}};
    return {{"save_binary_10M", seconds, "s"}};
}
TARNO_BENCH(save_binary_10M);

}  // namespace tarno::bench
