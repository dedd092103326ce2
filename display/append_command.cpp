// Key &: append a second binary spectrum to the high-frequency end of the
// current one (see display/append_modify.hpp for the picture).
//
// The command first goes back to the reference copy (changes made since the
// display started are dropped: the two parts must be joined as recorded),
// asks for the appended file, merges it, and then lets the user line the
// appended part up with the current one on a view of 400 steps around the
// junction. Every refusal leaves the spectrum as it was after that restore
// and asks for a name again; an empty name leaves.
//
// Sections:
//   [SECTION] Constants
//   [SECTION] Console helpers
//   [SECTION] Dialogue
//   [SECTION] Merge report
//   [SECTION] Adjustment view
//   [SECTION] Command
#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/append_modify.hpp"
#include "display/display_commands.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/messages.hpp"
#include "display/point_index.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

namespace tarno {

// [SECTION] Constants ---------------------------------------------------------------
constexpr size_t TYPED_NAME_LENGTH = 22;        // characters read of the typed name
constexpr size_t SHOWN_NAME_LENGTH = 50;        // longer current names are shown by their end
constexpr int32_t ADJUST_HALF_WIDTH = 200;      // grid steps each side of the junction in the adjustment view
constexpr int32_t SHOWN_DUMMIES = 10;           // dummy points kept in sight when there are many
constexpr int32_t MANY_DUMMIES = 20;            // more dummies than this are partly hidden
constexpr const char* MERGED_COMMENT = " Merged spectrum";

// [SECTION] Console helpers -------------------------------------------------------------

static void say(std::string_view line) { console_write(line); }

// One line in text colour 12, then colour 0 again.
static void say_highlighted(std::string_view line) {
    set_text_color(COLOR_LIGHT_RED);
    console_write(line);
    set_text_color(COLOR_BLACK);
}

// A blank line and "Press ENTER to continue"; waits for ENTER.
static void pause_for_enter() {
    say(" ");
    write_text("     Press ENTER to continue");
    wait_for_enter();
}

// The reference copy becomes the working spectrum again. The appended values
// held in original_intensity are overwritten by it.
static void take_reference_copy() {
    SpectrumRecord& s = spectrum;
    std::copy(s.intensity + 1, s.intensity + 1 + s.point_count, s.original_intensity + 1);
}

// Back to the spectrum as the display started with it (or as the last append
// or modify left it), with the starting reference level.
static void restore_for_append() {
    SpectrumRecord& s = spectrum;
    std::copy(s.original_intensity + 1, s.original_intensity + 1 + s.point_count, s.intensity + 1);
    display.reference_level = display.start_reference_level;
}

// [SECTION] Dialogue ------------------------------------------------------------------------

// A file name as shown: a longer one by "..." and its end.
static std::string shown_name(const std::string& name) {
    if (name.size() <= SHOWN_NAME_LENGTH) return name;
    return "..." + name.substr(name.size() - (SHOWN_NAME_LENGTH - 1));
}

// Shows the dialogue page and returns the typed name (trimmed, at most 22
// characters). `notice` is why the last name was refused ("" the first time).
static std::string ask_appended_name(const std::string& notice) {
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    set_text_position(1, 1);
    show_text_cursor(true);
    say(" ");
    say("_____A P P E N D   S P E C T R U M" + std::string(46, '_'));
    say("");
    if (notice.empty()) say("");
    else say_highlighted("     " + notice);
    set_text_color(COLOR_LIGHT_RED);
    say("     WARNING: this operation should only be carried out with a freshly");
    say("              launched program without having made any transformations");
    say("              such as background subtraction or smoothing");
    set_text_color(COLOR_BLACK);
    say(" ");
    say("     Specify name of spectrum to be appended - do not type the path, which is");
    say("     implied by the current spectrum (or press ENTER to exit)");
    say("");
    say("      Current spectrum:  " + shown_name(trimmed_text_field(text.data_file_name)));
    write_text("        To be appended:  ");
    std::string typed = console_read_line().substr(0, TYPED_NAME_LENGTH);
    show_text_cursor(false);
    return std::string(trim(typed));
}

// Why a file was refused, for the next showing of the dialogue.
static std::string refusal_notice(AppendedRead outcome, const std::string& full_name) {
    std::string path = shown_name(full_name);
    switch (outcome) {
    case AppendedRead_CannotOpen: return "Cannot open " + path;
    case AppendedRead_Unreadable: return "Cannot read " + path + " as a binary spectrum";
    case AppendedRead_TooFewPoints: return "Fewer than 10 points in " + path;
    case AppendedRead_TooManyPoints: return "More than" + format_integer(MAX_POINTS, 9) + " points in " + path;
    case AppendedRead_Ok: break;
    }
    return std::string();
}

// The SORRY page: the appended spectrum does not reach beyond the current one.
static void report_not_beyond() {
    set_text_color(COLOR_LIGHT_RED);
    say(" ");
    say("");
    say("     SORRY - Prepending or merging of spectra is not possible");
    set_text_color(COLOR_BLACK);
    pause_for_enter();
}

// Npts, first and last frequency and step of both spectra.
static void write_comparison_table(const AppendedSpectrum& a) {
    const SpectrumRecord& s = spectrum;
    say(" ");
    say("");
    say(std::string(20, ' ') + "Npts" + std::string(10, ' ') + "Fstart" + std::string(10, ' ') + "Fend" +
        std::string(9, ' ') + "Fstep");
    say("");
    say("      Current:  " + format_integer(s.point_count, 8) + "  " + format_fixed(s.frequency[1], 14, 4) +
        format_fixed(s.frequency[s.point_count], 14, 4) + format_fixed(s.freq_step, 14, 6));
    say("     Appended:  " + format_integer(a.count, 8) + "  " + format_fixed(a.first, 14, 4) +
        format_fixed(a.last, 14, 4) + format_fixed(a.step, 14, 6));
}

// [SECTION] Merge report -----------------------------------------------------------------------

// The merge's messages: skipped and dummy points, and the capacity.
static void report_merge(const MergeResult& m) {
    if (m.skipped > 0)
        say(format_integer(m.skipped, 8) + " points from the appended spectrum have been skipped");
    if (m.dummies > 0)
        say(format_integer(m.dummies, 8) + " dummy points inserted between current and appended spectrum");
    if (m.capacity_reached)
        say_highlighted("     The maximum number of" + format_integer(MAX_POINTS, 9) + " points has been reached");
}

// [SECTION] Adjustment view --------------------------------------------------------------------

// Where the appended part is drawn in the adjustment view.
struct Junction {
    int32_t j0;                 // index of the junction frequency in the view
    int32_t first_drawn;        // first appended point drawn after j0
    int32_t last_drawn;         // last point drawn
    double shift;               // frequency taken off the drawn appended points (hidden dummies)
    double appended_mean;       // Ma
};

// The view of 400 grid steps centred on the junction, and where to draw in it.
static Junction set_adjustment_view(int32_t n, int32_t dummies, double appended_mean) {
    DisplayState& d = display;
    const SpectrumRecord& s = spectrum;
    double junction = s.frequency[n];
    d.view_low = junction - ADJUST_HALF_WIDTH * s.freq_step;
    d.view_high = junction + ADJUST_HALF_WIDTH * s.freq_step;
    d.cursor_freq = junction;
    d.first_index = point_index(d.view_low);
    d.last_index = point_index(d.view_high);
    Junction j{point_index(junction), 0, 0, 0, appended_mean};
    j.first_drawn = j.j0 + 1;
    // Many dummies: draw from 10 before the first interpolated point, moved
    // left so that those 10 follow the junction directly.
    if (dummies > MANY_DUMMIES) {
        j.first_drawn = n + dummies + 1 - SHOWN_DUMMIES;
        j.shift = index_frequency(j.first_drawn) - index_frequency(j.j0 + 1);
    }
    j.last_drawn = d.last_index + (j.first_drawn - (j.j0 + 1));
    return j;
}

// An intensity held inside the drawn range.
static double clamped(double value) {
    const DisplayState& d = display;
    return std::clamp(value, d.y_floor, d.y_high);
}

// The current part up to the junction, in blue over grey, with its mean line.
static void draw_current_part(const Junction& j) {
    const DisplayState& d = display;
    set_write_mode(WRITE_MODE_COPY);
    set_color(COLOR_LIGHT_RED);
    move_to_world(index_frequency(d.first_index), d.mean_intensity);
    line_to_world(index_frequency(j.j0), d.mean_intensity);
    set_color(COLOR_BLUE);
    std::vector<double> x, y;
    for (int32_t i = d.first_index + 1; i <= j.j0; ++i) {
        x.push_back(index_frequency(i));
        y.push_back(clamped(index_intensity(i)));
    }
    move_to_world(index_frequency(d.first_index), clamped(index_intensity(d.first_index)));
    polyline_to_world(x, y);
}

// The appended part with `offset` added, and its mean line, in exclusive-or
// mode: drawn twice at the same offset it is gone again.
static void draw_appended_part(const Junction& j, int32_t offset) {
    const DisplayState& d = display;
    set_write_mode(WRITE_MODE_XOR);
    set_color(COLOR_LIGHT_GREEN);
    std::vector<double> x, y;
    for (int32_t i = j.first_drawn; i <= j.last_drawn; ++i) {
        x.push_back(index_frequency(i) - j.shift);
        y.push_back(clamped(static_cast<double>(index_intensity(i)) + offset));
    }
    move_to_world(index_frequency(j.j0), clamped(static_cast<double>(index_intensity(j.j0)) + offset));
    polyline_to_world(x, y);
    set_color(COLOR_LIGHT_RED);
    move_to_world(index_frequency(j.j0), j.appended_mean + offset);
    line_to_world(index_frequency(d.last_index), j.appended_mean + offset);
    set_color(COLOR_LIGHT_GREEN);
}

// The offset after one of the keys W, w, Z, z (one pixel per key, ten for
// the capital letter); any other key leaves it.
static int32_t stepped_offset(int32_t offset, int16_t key) {
    const DisplayState& d = display;
    double u = (d.y_high - d.y_low) / screen.screen_height;    // one pixel in intensity units
    switch (key) {
    case 'w': return truncate_to_int32(offset + u);
    case 'W': return truncate_to_int32(truncate_to_int32(offset + u) + 9 * u);
    case 'z': return truncate_to_int32(offset - u);
    case 'Z': return truncate_to_int32(truncate_to_int32(offset - u) - 9 * u);
    default: return offset;
    }
}

// The adjustment screen and its keys; returns the offset fixed with ENTER.
static int32_t adjust_offset(const Junction& j) {
    const DisplayState& d = display;
    set_display_viewport();
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);        // the dialogue's text would stay below the plot area
    set_text_color(COLOR_LIGHT_RED);
    clear_message_rows();
    set_text_position(1, 1);
    write_text(" Adjust Y-position of appended spectrum with W,Z keys, terminate with ENTER");
    set_world_window(true, d.view_low, d.y_bottom, d.view_high, d.y_high);
    clear_screen(1);
    draw_current_part(j);
    int32_t offset = 0;
    draw_appended_part(j, offset);
    for (;;) {
        int16_t key = 0;
        INKEY(key);
        if (key == KEY_ENTER) return offset;
        int32_t next = stepped_offset(offset, key);
        if (next == offset) continue;
        draw_appended_part(j, offset);
        offset = next;
        draw_appended_part(j, offset);
    }
}

// Adds `offset` to a stored intensity without wrapping round.
static int32_t shifted(int32_t value, int32_t offset) {
    long long sum = static_cast<long long>(value) + offset;
    return static_cast<int32_t>(std::clamp<long long>(sum, std::numeric_limits<int32_t>::min(),
                                                      std::numeric_limits<int32_t>::max()));
}

// The offset goes into the working spectrum and the reference copy.
static void apply_offset(int32_t n, int32_t offset) {
    SpectrumRecord& s = spectrum;
    for (int32_t i = n + 1; i <= s.point_count; ++i) {
        s.intensity[i] = shifted(s.intensity[i], offset);
        s.original_intensity[i] = shifted(s.original_intensity[i], offset);
    }
    set_text_field(header.comment, MERGED_COMMENT);
}

// [SECTION] Command ---------------------------------------------------------------------------

// What became of one typed name.
struct AppendAttempt {
    bool merged;                // the spectrum now holds the merged points
    std::string notice;         // why the name was refused ("" after the SORRY page, which said it)
};

// Reads, checks and merges one appended file; a refusal leaves the spectrum
// and its reference copy as they were.
static AppendAttempt try_append(const std::string& path, MergeResult& merged, AppendedSpectrum& a) {
    SpectrumRecord& s = spectrum;
    std::span<int32_t> values(s.original_intensity + 1, MAX_POINTS);
    AppendedRead read = read_appended_spectrum(path, values, a);
    if (read != AppendedRead_Ok) {
        take_reference_copy();
        return {false, refusal_notice(read, path)};
    }
    // A grid without a positive step cannot be continued either.
    if (a.last - s.freq_last < 2 * s.freq_step || !(s.freq_step > 0)) {
        report_not_beyond();
        take_reference_copy();
        return {false, ""};
    }
    write_comparison_table(a);
    merged = merge_appended(a, values, std::span<double>(s.frequency, MAX_POINTS + 1),
                            std::span<int32_t>(s.intensity, MAX_POINTS + 1), s.point_count, s.freq_step);
    if (merged.outcome == MergeOutcome_BelowGrid) {
        report_not_beyond();
        take_reference_copy();
        return {false, ""};
    }
    if (merged.outcome == MergeOutcome_NoRoom) {
        take_reference_copy();
        return {false, "No room: the gap would pass the maximum number of" + format_integer(MAX_POINTS, 9) + " points"};
    }
    report_merge(merged);
    return {true, ""};
}

// The merged spectrum becomes the current one, and the user lines the
// appended part up with the junction.
static void finish_append(const std::string& path, const MergeResult& merged, const AppendedSpectrum& appended) {
    SpectrumRecord& s = spectrum;
    int32_t n = s.point_count;
    s.point_count = merged.point_count;
    set_text_field(text.data_file_name, path);
    take_reference_copy();
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[s.point_count];
    Junction junction = set_adjustment_view(n, merged.dummies, appended.mean);
    apply_offset(n, adjust_offset(junction));
    publish_spectrum_in_block();
}

Redraw append_spectrum_command() {
    advise_spectrum_pages();
    restore_for_append();
    std::string notice;
    for (;;) {
        std::string typed = ask_appended_name(notice);
        if (typed.empty()) break;
        std::string path = appended_file_path(typed);
        MergeResult merged{};
        AppendedSpectrum appended{};
        AppendAttempt attempt = try_append(path, merged, appended);
        notice = attempt.notice;
        if (!attempt.merged) continue;
        pause_for_enter();
        finish_append(path, merged, appended);
        break;
    }
    set_write_mode(WRITE_MODE_COPY);
    set_display_viewport();
    return Redraw_WholeScreen;
}

}  // namespace tarno
