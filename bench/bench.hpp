// A tiny benchmark registry: each bench/*.cpp file registers routines that
// return figures; tarno-bench runs them all (or those named on its command
// line) and prints one line per figure, "name: value unit".
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>      // mkdtemp, abort
#include <filesystem>   // the temporary directory of a benchmark's files
#include <string>
#include <system_error>
#include <vector>

namespace tarno::bench {

struct Figure {
    std::string name;   // e.g. "load_binary_10M"
    double value;
    std::string unit;   // e.g. "s", "ms", "x"
};

using BenchRoutine = std::vector<Figure> (*)();

int register_routine(const char* name, BenchRoutine routine);

// A directory for a benchmark's files, removed with them when it goes out of
// scope (at program end for a function-static one). `prefix` names the benchmark.
struct BenchDirectory {
    std::filesystem::path path;
    explicit BenchDirectory(const std::string& prefix) {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        path = pattern;
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    BenchDirectory(const BenchDirectory&) = delete;
    BenchDirectory& operator=(const BenchDirectory&) = delete;
};

// Seconds of wall time since `start`.
inline double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds of the fastest of `runs` calls of `run` (the machine is shared: the best is the figure).
template <typename Run>
double best_of(int runs, Run&& run) {
    double best = 1e30;
    for (int k = 0; k < runs; ++k) {
        auto start = std::chrono::steady_clock::now();
        run();
        best = std::min(best, seconds_since(start));
    }
    return best;
}

}  // namespace tarno::bench

// Registers `routine` (a function returning std::vector<Figure>) under its name.
#define TARNO_BENCH(routine) \
    static int routine##_registration = ::tarno::bench::register_routine(#routine, routine)
