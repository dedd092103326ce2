// Key M: modify the spectrum. Chops points off the beginning or the end, or
// sets a range of points to the mean level; the result becomes the reference
// copy that restore (R) returns to, and the limits and the mean follow it.
//
//   option 1, k:   1 ... k-1 | k ........ N      ->  point k becomes point 1
//   option 2, k:   1 ........ k | k+1 ... N      ->  N = k
//   option 3, a,b: 1 ... | a .. b | ... N        ->  a..b at trunc(mean_intensity)
//
// At least 10 points always remain. An option that no answer could satisfy
// on a spectrum this short is refused with a message instead of being asked
// for ever.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/append_modify.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/point_index.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int32_t MIN_KEPT_POINTS = 10;     // chopping never leaves fewer points (option 1 keeps 11)

enum ModifyOption {
    ModifyOption_Exit = 0,
    ModifyOption_ChopBeginning = 1,
    ModifyOption_ChopEnd = 2,
    ModifyOption_ZeroRange = 3,
};

// [SECTION] Questions --------------------------------------------------------------------

// Shows the option page and reads the option (I5); nothing when unreadable.
static std::optional<long long> ask_option() {
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    set_text_position(1, 1);
    show_text_cursor(true);
    console_write(" ");
    console_write("_____M O D I F Y   S P E C T R U M" + std::string(46, '_'));
    console_write("");
    console_write("");
    console_write(" ");
    console_write("     Select option:    0 = exit");
    console_write("                       1 = chop spectrum at the beginning");
    console_write("                       2 = chop spectrum at the end");
    console_write("                       3 = zero point range");
    console_write("");
    write_text("                  .... ");
    return read_integer_field(console_read_line(), 5);
}

// Reads `count` whole numbers in free format after `prompt`; asks again until
// they are readable and `accept` takes them.
template <class Accept>
static std::vector<long long> ask_integers(std::string_view prompt, int count, Accept accept) {
    for (;;) {
        console_write(" ");
        write_text(prompt);
        std::optional<std::vector<double>> read = read_free_format(console_read_line(), count);
        if (!read) continue;
        std::vector<long long> values;
        for (double v : *read) {
            if (!(std::fabs(v) < 1e15) || v != std::trunc(v)) break;   // integers only
            values.push_back(static_cast<long long>(v));
        }
        if (static_cast<int>(values.size()) == count && accept(values)) return values;
    }
}

// The option cannot be satisfied on a spectrum this short: says so, waits for ENTER.
static void refuse_chop(int32_t point_count) {
    set_text_color(COLOR_LIGHT_RED);
    console_write(" ");
    console_write("     The spectrum has only" + format_integer(point_count, 3) +
                  " points: it cannot be chopped any shorter");
    set_text_color(COLOR_BLACK);
    console_write(" ");
    write_text("     Press ENTER to continue");
    wait_for_enter();
}

// [SECTION] Changes -----------------------------------------------------------------------

// Point k becomes point 1 (frequency and both intensity arrays move together).
static void chop_beginning(int32_t k) {
    SpectrumRecord& s = spectrum;
    int32_t kept = s.point_count - k + 1;
    std::copy(s.frequency + k, s.frequency + k + kept, s.frequency + 1);
    std::copy(s.intensity + k, s.intensity + k + kept, s.intensity + 1);
    std::copy(s.original_intensity + k, s.original_intensity + k + kept, s.original_intensity + 1);
    s.point_count = kept;
}

// Points a..b of the spectrum and its reference copy go to the mean level.
static void zero_range(int32_t a, int32_t b) {
    SpectrumRecord& s = spectrum;
    int32_t level = truncate_to_int32(display.mean_intensity);
    std::fill(s.intensity + a, s.intensity + b + 1, level);
    std::fill(s.original_intensity + a, s.original_intensity + b + 1, level);
}

// After every change: limits, reference copy, sum and mean follow the spectrum.
static void settle_modified_spectrum() {
    SpectrumRecord& s = spectrum;
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[s.point_count];
    std::copy(s.intensity + 1, s.intensity + 1 + s.point_count, s.original_intensity + 1);
    recompute_intensity_mean();
    publish_spectrum_in_block();
}

// [SECTION] Command --------------------------------------------------------------------------

// Runs the option; false when it was refused (the option page comes again).
static bool run_option(long long option) {
    const SpectrumRecord& s = spectrum;
    const long long n = s.point_count;
    switch (option) {
    case ModifyOption_ChopBeginning: {
        if (n <= MIN_KEPT_POINTS) {
            refuse_chop(s.point_count);
            return false;
        }
        auto k = ask_integers("     Chop points from the beginning up to point number:  ", 1,
                              [n](const auto& v) { return v[0] > 0 && v[0] <= n - MIN_KEPT_POINTS; });
        chop_beginning(static_cast<int32_t>(k[0]));
        return true;
    }
    case ModifyOption_ChopEnd: {
        if (n < MIN_KEPT_POINTS) {
            refuse_chop(s.point_count);
            return false;
        }
        auto k = ask_integers("     Chop points to the end after point number:  ", 1,
                              [n](const auto& v) { return v[0] >= MIN_KEPT_POINTS && v[0] <= n; });
        spectrum.point_count = static_cast<int32_t>(k[0]);
        return true;
    }
    case ModifyOption_ZeroRange: {
        auto ab = ask_integers("     Comma separated point range for zeroing:  ", 2,
                               [n](const auto& v) { return 1 <= v[0] && v[0] <= v[1] && v[1] <= n; });
        zero_range(static_cast<int32_t>(ab[0]), static_cast<int32_t>(ab[1]));
        return true;
    }
    default: return true;
    }
}

Redraw modify_spectrum_command() {
    for (;;) {
        std::optional<long long> option = ask_option();
        if (!option) continue;
        if (*option < ModifyOption_ChopBeginning || *option > ModifyOption_ZeroRange) break;
        if (!run_option(*option)) continue;
        settle_modified_spectrum();
        break;
    }
    show_text_cursor(false);
    set_display_viewport();
    return Redraw_WholeScreen;
}

}  // namespace tarno
