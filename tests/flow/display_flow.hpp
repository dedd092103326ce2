// A small harness for display flow tests: a headless window set up as the
// program does at start-up, a synthetic spectrum in the records, and LOOKFM
// run on a key script. The run ends when the script runs out, leaving the
// display state and the screen for the test to read.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "app/records.hpp"
#include "app/startup.hpp"
#include "display/display_loop.hpp"
#include "display/display_state.hpp"
#include "display/linked_state.hpp"
#include "exchange/exchange_block.hpp"
#include "tests/support/fixture_dir.hpp"
#include "window/headless.hpp"
#include "window/window.hpp"

namespace tarno::testing {

// Fills the spectrum record: n points from f0 in steps of `step`, intensities by `value(i)`.
inline void load_spectrum(int32_t n, double f0, double step, const std::function<int32_t(int32_t)>& value) {
    SpectrumRecord& s = spectrum;
    s.point_count = n;
    s.freq_first = f0;
    s.freq_step = step;
    s.freq_last = f0 + (n - 1) * step;
    s.intensity_min = value(1);
    s.intensity_max = value(1);
    for (int32_t i = 1; i <= n; ++i) {
        s.frequency[i] = f0 + (i - 1) * step;
        s.intensity[i] = value(i);
        s.intensity_min = std::min(s.intensity_min, s.intensity[i]);
        s.intensity_max = std::max(s.intensity_max, s.intensity[i]);
    }
}

class DisplayFlow : public ::testing::Test {
protected:
    FixtureDir config_home;     // no configuration file: the default window

    void SetUp() override {
        setenv("XDG_CONFIG_HOME", config_home.path().c_str(), 1);
        headless::start(800, 540);
        use_private_exchange_block();
        int32_t found = 0;
        headless::run([&] { STARTG(found); });
        set_text_field(text.blank_line, "");
        set_text_field(text.data_file_name, "/data/spectra/run5.spe");
        linked = LinkedState{};
    }

    // Presses `keys` (one byte each) and runs the display until the script runs out.
    headless::RunResult run_display(std::string_view keys = {}) {
        headless::press_keys(keys);
        return headless::run([] { LOOKFM(); });
    }
};

// Text of a screen row without its trailing blanks.
inline std::string row(int r) {
    std::string t = headless::row_text(r);
    while (!t.empty() && t.back() == ' ') t.pop_back();
    return t;
}

// Row number of the first console row containing `text`, 0 when none.
inline int row_containing(std::string_view text) {
    for (int r = 1; r <= 30; ++r)
        if (headless::row_text(r).find(text) != std::string::npos) return r;
    return 0;
}

}  // namespace tarno::testing
