// ASCII save benchmark: the two fields of every line of a 10,000,000-point
// spectrum written as text (F15.5 frequency, F20.8 intensity), in seconds.
// The file itself is left out: this is the formatting the save spends its time on.
//   format_fixed_10M   10M lines of F15.5 + F20.8 into a line buffer
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench.hpp"
#include "common/fields.hpp"

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

}  // namespace tarno::bench
