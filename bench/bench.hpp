// A tiny benchmark registry: each bench/*.cpp file registers routines that
// return figures; tarno-bench runs them all (or those named on its command
// line) and prints one line per figure, "name: value unit".
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace tarno::bench {

struct Figure {
    std::string name;   // e.g. "load_binary_10M"
    double value;
    std::string unit;   // e.g. "s", "ms", "x"
};

using BenchRoutine = std::vector<Figure> (*)();

int register_routine(const char* name, BenchRoutine routine);

// Seconds of wall time since `start`.
inline double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace tarno::bench

// Registers `routine` (a function returning std::vector<Figure>) under its name.
#define TARNO_BENCH(routine) \
    static int routine##_registration = ::tarno::bench::register_routine(#routine, routine)
