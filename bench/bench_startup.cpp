// startup_to_title: from a fresh window to the finished title screen.
//
// Measured in-process on the headless window, because the program has no
// option to stop after its title (and should not grow one for a benchmark):
// window state, configuration file, font set-up (fontconfig and FreeType, the
// first time in the process, as at a real start), the bands, the title, the
// curve. What the real program adds before this point is the process start
// and SDL's window creation, which the end-to-end test exercises.
#include <chrono>
#include <vector>

#include "app/title_screen.hpp"
#include "bench/bench.hpp"
#include "window/headless.hpp"

namespace {

std::vector<tarno::bench::Figure> startup_to_title() {
    using clock = std::chrono::steady_clock;
    const auto first_start = clock::now();
    tarno::headless::start();
    tarno::headless::run([] { tarno::show_title_screen(); });
    const double first = tarno::bench::seconds_since(first_start);

    // Later starts: the fonts are cached, what remains is the drawing.
    const int repeats = 10;
    const auto repeat_start = clock::now();
    for (int i = 0; i < repeats; ++i) {
        tarno::headless::start();
        tarno::headless::run([] { tarno::show_title_screen(); });
    }
    const double repeated = tarno::bench::seconds_since(repeat_start) / repeats;
    return {{"startup_to_title", first, "s"}, {"startup_to_title_warm", repeated, "s"}};
}

TARNO_BENCH(startup_to_title);

}  // namespace
