// Linked-operation benchmark: the display polls the exchange block and the
// key buffer every millisecond on its own thread while this thread plays the
// partner.
//   linked_idle_poll_cpu      CPU time of the polling thread over 3 s idle (after 3 s quiet), % of one core
//   sleep_1ms_loop_cpu        the same for a bare loop of 1 ms sleeps: the floor on this machine
//   linked_command_taken_after_idle  the first command, placed after the idle period (ms)
//   linked_command_taken      partner sets command 4 (measure only) -> command back to 0, mean of 50 (ms)
//   linked_command_taken_max  the slowest of those 50 (ms)
#include <pthread.h>    // pthread_getcpuclockid: CPU time of the display thread
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>     // getpid: a directory of this run
#include <vector>

#include "app/records.hpp"
#include "app/startup.hpp"
#include "bench/bench.hpp"
#include "display/display_loop.hpp"
#include "display/display_state.hpp"
#include "exchange/exchange_block.hpp"
#include "window/headless.hpp"

namespace tarno::bench {

constexpr int IDLE_SECONDS = 3;
constexpr int COMMAND_REPEATS = 50;

// A small spectrum with one line at the first view's centre, and tarno_l.inp
// with its datafile beside it.
static std::string prepare_linked(const std::string& dir) {
    SpectrumRecord& s = spectrum;
    s.point_count = 2000;
    s.intensity_min = 0;
    s.intensity_max = 10000;
    for (int32_t i = 1; i <= s.point_count; ++i) {
        double x = (i - 401) / 4.0;
        s.frequency[i] = 100000.0 + (i - 1) * 0.05;
        s.intensity[i] = int32_t(std::lround(10000 * std::exp(-x * x / 2)));
    }
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[s.point_count];
    s.freq_step = 0.05;

    std::filesystem::create_directories(dir + "/config");
    std::ofstream(dir + "/lines.lin");
    std::ofstream(dir + "/tarno_l.inp") << std::string(40, ' ') << "lines.lin\n"
                                        << std::string(40, ' ') << "0.02\n"
                                        << std::string(40, ' ') << "1000 40\n";
    setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
    headless::start(800, 540);
    use_private_exchange_block();
    set_text_field(text.data_file_name, dir + "/bench.spe");
    headless::run([] {
        int32_t found = 0;
        STARTG(found);
    });
    return dir;
}

// CPU time of a thread so far (seconds).
static double thread_cpu_seconds(pthread_t thread) {
    clockid_t clock;
    timespec t{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &t) != 0) return NAN;
    return double(t.tv_sec) + t.tv_nsec * 1e-9;
}

static std::vector<Figure> linked_polling() {
    std::string dir = "/tmp/tarno-bench-linked-" + std::to_string(getpid());
    prepare_linked(dir);

    headless::hold_key_script(true);
    std::thread display_thread([] { headless::run([] { LOOKFM(); }); });
    while (read_exchange_view().view_high == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::seconds(3));

    // Idle: nothing pending, the display polls.
    double cpu0 = thread_cpu_seconds(display_thread.native_handle());
    auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(IDLE_SECONDS));
    double idle_percent = 100.0 * (thread_cpu_seconds(display_thread.native_handle()) - cpu0) / seconds_since(wall0);

    // Commands: placed at random moments between polls, timed until taken back.
    double total_ms = 0, max_ms = 0, first_ms = 0;
    for (int k = 0; k < COMMAND_REPEATS; ++k) {
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + 137 * k));
        auto placed = std::chrono::steady_clock::now();
        set_exchange_command(4);
        while (exchange_command() != 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
        double ms = seconds_since(placed) * 1000.0;
        if (k == 0) first_ms = ms;         // placed while the wait polls at its idle pace
        total_ms += ms;
        max_ms = std::max(max_ms, ms);
    }

    // Reference: a thread that only sleeps 1 ms at a time.
    double sleep_percent = 0;
    std::thread sleeper([&] {
        timespec c0{}, c1{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
        auto wall = std::chrono::steady_clock::now();
        while (seconds_since(wall) < IDLE_SECONDS) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
        sleep_percent = 100.0 * ((c1.tv_sec - c0.tv_sec) + (c1.tv_nsec - c0.tv_nsec) * 1e-9) / seconds_since(wall);
    });
    sleeper.join();

    headless::hold_key_script(false);   // the display's reader finds the script empty: the run ends
    display_thread.join();
    std::filesystem::remove_all(dir);
    return {
        {"linked_idle_poll_cpu", idle_percent, "%"},
        {"sleep_1ms_loop_cpu", sleep_percent, "%"},
        {"linked_command_taken_after_idle", first_ms, "ms"},
        {"linked_command_taken", total_ms / COMMAND_REPEATS, "ms"},
        {"linked_command_taken_max", max_ms, "ms"},
    };
}
TARNO_BENCH(linked_polling);

}  // namespace tarno::bench
