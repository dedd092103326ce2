// What the display benchmarks share: a synthetic spectrum in the spectrum
// record and a headless window with the display initialised on it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>   // getpid: a config directory of this run

#include "app/records.hpp"
#include "app/startup.hpp"
#include "display/frame.hpp"
#include "exchange/exchange_block.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

// Fills points 1..points on a 0.05 MHz grid from 200000 MHz with
// value_of(i, noise), where noise is a fresh linear congruential number per point.
template <typename ValueOf>
void fill_bench_spectrum(int32_t points, uint32_t seed, ValueOf value_of) {
    SpectrumRecord& s = spectrum;
    s.point_count = points;
    s.intensity_min = 0;
    s.intensity_max = 0;
    uint32_t noise = seed;
    for (int32_t i = 1; i <= points; ++i) {
        noise = noise * 1664525u + 1013904223u;
        const int32_t v = value_of(i, noise);
        s.frequency[i] = 200000.0 + (i - 1) * 0.05;
        s.intensity[i] = v;
        s.intensity_min = std::min(s.intensity_min, v);
        s.intensity_max = std::max(s.intensity_max, v);
    }
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[points];
    s.freq_step = 0.05;
}

// A default headless window (no configuration file, a private exchange block)
// with the display initialised on the spectrum in memory.
inline void start_bench_display() {
    std::string config_home = "/tmp/tarno-bench-config-" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);  // no configuration file: the default window
    headless::start(800, 540);
    use_private_exchange_block();
    set_text_field(text.data_file_name, "bench.spe");
    headless::run([] {
        int32_t found = 0;
        STARTG(found);
        initialise_display();
    });
}

}  // namespace tarno::bench
