// Services of the window layer that are not drawing: time, random numbers,
// tones, dialogs, the exit behaviour and the end of the program. Whatever needs
// the desktop goes to the installed backend, never under the surface lock.
#include <chrono>
#include <ctime>
#include <mutex>
#include <random>
#include <thread>
#if defined(__linux__)
#include <sys/mman.h>   // madvise
#include <unistd.h>     // sysconf
#endif

#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno {
using namespace window_internal;

// [SECTION] File-level state
static std::mutex g_random_lock;          // random_uniform may be called from any thread
static std::mt19937_64 g_random{1};       // fixed seed until seed_random()

// Sounds a tone through the backend; without one it still takes its time.
void beep(int frequency_hz, int duration_ms) {
    if (duration_ms <= 0) return;  // nothing to sound or to wait for
    if (Backend* b = installed_backend()) {
        b->play_tone(frequency_hz, duration_ms);
        return;
    }
    sleep_ms(duration_ms);
}

// Pauses the calling thread (nothing for zero or negative times).
void sleep_ms(int milliseconds) {
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Returns the local time now, and the hundredths of its second.
static std::tm local_now(int* out_hundredths) {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    if (out_hundredths) {
        auto since_second = now - std::chrono::system_clock::from_time_t(seconds);
        *out_hundredths = int(std::chrono::duration_cast<std::chrono::milliseconds>(since_second).count() / 10 % 100);
    }
    return local;
}

// Asks for transparent huge pages over the whole pages inside the range. The
// first touch of fresh memory costs one page fault per 4 kB page, which on a
// loaded machine costs more than the work done in it (about 1 s for 80 MB
// here, against 0.05 s with huge pages).
void advise_large_pages(void* begin, size_t bytes) {
#if defined(__linux__)
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t first = (reinterpret_cast<uintptr_t>(begin) + page - 1) / page * page;
    uintptr_t end = (reinterpret_cast<uintptr_t>(begin) + bytes) / page * page;
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);   // a refusal only costs speed
#else
    (void)begin, (void)bytes;
#endif
}

// Returns today's local date.
CalendarDate current_date() {
    std::tm t = local_now(nullptr);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
}

// Returns the local time of day.
ClockTime current_time() {
    int hundredths = 0;
    std::tm t = local_now(&hundredths);
    return {t.tm_hour, t.tm_min, t.tm_sec, hundredths};
}

// Keeps the filter list for the next select_file().
void set_dialog_filter(std::string_view filter) {
    std::lock_guard guard(surface().lock);
    core().dialog_filter = std::string(filter);
}

// Shows the backend's file dialog with the last filter list; nothing when cancelled or without a backend.
std::optional<std::string> select_file(std::string_view caption) {
    std::string filter;
    {
        std::lock_guard guard(surface().lock);
        filter = core().dialog_filter;
    }
    Backend* b = installed_backend();
    if (!b) return std::nullopt;
    return b->choose_file(caption, filter);
}

// Asks a yes/no question in a message box; false (No) without a backend.
bool ask_yes_no(std::string_view caption, std::string_view message) {
    Backend* b = installed_backend();
    return b ? b->ask_yes_no(caption, message) : false;
}

// Uniform in [0, 1): the top 53 bits of the generator.
double random_uniform() {
    std::lock_guard guard(g_random_lock);
    return double(g_random() >> 11) * 0x1.0p-53;
}

// Seeds random_uniform; -1 takes the clock, so every call gives another sequence.
void seed_random(int seed) {
    std::lock_guard guard(g_random_lock);
    if (seed == -1) {
        auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        g_random.seed(uint64_t(ticks));
    } else {
        g_random.seed(uint64_t(uint32_t(seed)));
    }
}

// Sets what happens to the window when the program ends (1 ask, 2 close after 20 ms, 3 keep open).
void set_exit_behaviour(int behaviour) {
    if (behaviour < 1 || behaviour > 3) return;
    {
        std::lock_guard guard(surface().lock);
        core().exit_behaviour = behaviour;
    }
    if (Backend* b = installed_backend()) b->set_exit_behaviour(behaviour);
}

void delete_menu(int menu, int item) { (void)menu, (void)item; }  // this window has no menus
void menu_action(int action) { (void)action; }                    // nor a status bar or child windows

// Ends the program: wakes every thread waiting for a key, then unwinds this one to the backend.
void end_program(int status) {
    close_key_queue(status, false);
    throw ProgramEnded{status, false};
}

}  // namespace tarno
