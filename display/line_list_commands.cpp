// The keys of the line overlay: C (the lists screen: load a list, hide or
// show the overlay, how many sticks per view) and T (assign the line under the
// cursor from the catalogue), and the linked datafile as the assigned lines.
//
// T writes exactly what F1 writes in linked operation (the record of command
// 1), with the quanta of the catalogue line nearest the measured frequency
// instead of the partner's; the same safety rules hold: the file must exist,
// the record goes in with one append, and a failure writes nothing.
#include <algorithm>
#include <string>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "display/display_state.hpp"
#include "display/frame.hpp"
#include "display/line_overlay.hpp"
#include "display/linked.hpp"
#include "display/measurement.hpp"
#include "display/messages.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr const char* LIST_DIALOG_FILTER =
    " Line lists (*.cat;*.lin), *.cat;*.lin; Catalogues (*.cat), *.cat; Line files (*.lin), *.lin; All Files (*.*), *.*;";
constexpr int32_t STANDALONE_TONE_HZ = 1000;    // confirming tone of T without linked input
constexpr int32_t STANDALONE_TONE_MS = 150;

// The name of a list as shown on screen.
static std::string list_name(const std::string& path) {
    return datafile_short_name_of(name_part(path));
}

// [SECTION] Loading -----------------------------------------------------------------------------

// A typed name is taken relative to the spectrum's directory, unless it is absolute.
static std::string path_beside_spectrum(std::string_view name) {
    if (name.starts_with('/')) return std::string(name);
    return trimmed_text_field(display.spectrum_directory) + std::string(name);
}

static std::string counts_text(const ListCounts& counts) {
    return std::to_string(counts.read) + " lines read, " + std::to_string(counts.skipped) + " skipped";
}

// Loads `path` (a .cat as the catalogue, anything else as the assigned lines)
// and returns the message row; the lists change only when the file is taken.
static std::string load_list(const std::string& path, bool& failed) {
    const std::string name = list_name(path);
    failed = false;
    if (is_catalogue_name(path)) {
        ListLoad<Catalogue> load = read_catalogue_file(path);
        if (load.refusal) {
            failed = true;
            return " ERROR: catalogue " + name + " not loaded: " + *load.refusal;
        }
        overlay.catalogue = std::move(load.list);
        overlay.catalogue_path = path;
        overlay.catalogue_counts = load.counts;
        overlay.hidden = false;
        return " Catalogue " + name + ": " + counts_text(load.counts);
    }
    ListLoad<AssignedLines> load = read_assigned_file(path);
    if (load.refusal) {
        failed = true;
        return " ERROR: line file " + name + " not loaded: " + *load.refusal;
    }
    overlay.assigned = std::move(load.list);
    overlay.assigned_path = path;
    overlay.assigned_counts = load.counts;
    overlay.hidden = false;
    return " Assigned lines " + name + ": " + counts_text(load.counts);
}

// The linked datafile becomes the assigned lines whenever tarno_l.inp is read.
// A datafile without records yet is an empty list (no message: linked
// operation starts silently), so that the first record appended shows.
void load_linked_datafile_lines(const std::string& datafile_name, bool found) {
    if (!found) return;
    ListLoad<AssignedLines> load = read_assigned_file(datafile_name);
    overlay.assigned = std::move(load.list);
    overlay.assigned_path = datafile_name;
    overlay.assigned_counts = load.counts;
}

void note_appended_line(const std::string& datafile_name, double frequency) {
    if (overlay.assigned_path != datafile_name) return;
    std::vector<double>& f = overlay.assigned.frequency;
    f.insert(std::upper_bound(f.begin(), f.end(), frequency), frequency);
    ++overlay.assigned_counts.read;
    draw_assigned_mark(frequency);
}

// [SECTION] The lists screen (C) --------------------------------------------------------------

static std::string list_row(const char* label, const std::string& path, const ListCounts& counts) {
    if (path.empty()) return std::string(label) + "none";
    return std::string(label) + padded(list_name(path), 22) + counts_text(counts);
}

static void write_lists_page() {
    const LineOverlay& o = overlay;
    console_write(" ");
    console_write("_____L I N E   L I S T S" + std::string(56, '_'));
    console_write("");
    console_write(list_row("  Catalogue:        ", o.catalogue_path, o.catalogue_counts));
    console_write(list_row("  Assigned lines:   ", o.assigned_path, o.assigned_counts));
    console_write(std::string("  Overlay:          ") + (o.hidden ? "hidden" : "shown"));
    console_write("  Sticks per view:  " +
                  (o.strongest_count > 0 ? "the " + std::to_string(o.strongest_count) + " strongest"
                                         : std::string("the strongest in every pixel column")));
    console_write("");
    console_write("  Type a file name (.cat = catalogue, other = assigned lines) and ENTER;");
    console_write("  ENTER alone opens the file dialog; - hides or shows the overlay;");
    console_write("  #n draws only the n strongest sticks per view (#0: no limit)");
    console_write("");
}

// Reads "#n"; nothing unless n is a whole number from 0 up.
static std::optional<int32_t> stick_count_answer(std::string_view answer) {
    std::optional<long long> n = read_integer_field(trim(answer.substr(1)), 9);
    if (!n || *n < 0) return std::nullopt;
    return int32_t(*n);
}

// Back on the display with a message in the rows.
static Redraw report_on_display(const std::string& message, bool error) {
    redraw_whole_screen();
    if (error) show_error(message);
    else show_message(message);
    return Redraw_None;
}

Redraw line_lists_screen() {
    set_background_color(COLOR_LIGHT_GREY);
    set_text_color(COLOR_BLACK);
    clear_screen(0);
    set_text_position(1, 1);
    write_lists_page();
    show_text_cursor(true);     // the whole-screen redraw hides it again
    std::string answer;
    for (;;) {
        write_text(" File, -, #n or ENTER -->  ");
        answer = std::string(trim(console_read_line()));
        if (!answer.starts_with('#')) break;
        if (std::optional<int32_t> n = stick_count_answer(answer)) {
            overlay.strongest_count = *n;
            return Redraw_WholeScreen;
        }
    }
    if (answer == "-") {
        overlay.hidden = !overlay.hidden;
        return Redraw_WholeScreen;
    }
    std::string path;
    if (answer.empty()) {
        set_dialog_filter(LIST_DIALOG_FILTER);
        std::optional<std::string> chosen = select_file("Load a catalogue or a line file");
        set_dialog_filter(trim_right(text_field_view(text.dialog_filter)));
        if (!chosen) return Redraw_WholeScreen;
        path = *chosen;
    } else {
        path = path_beside_spectrum(answer);
    }
    bool failed = false;
    std::string message = load_list(path, failed);
    return report_on_display(message, failed);
}

// [SECTION] Assigning from the catalogue (T) ---------------------------------------------------

// Q1..Q12: the upper state's quanta, then the lower state's, the rest 0.
static TransitionValues catalogue_transition(const CatalogueDetail& d) {
    TransitionValues t{};
    std::vector<int32_t> quanta = state_quanta(d.upper_text, d.quantum_format);
    std::vector<int32_t> lower = state_quanta(d.lower_text, d.quantum_format);
    quanta.insert(quanta.end(), lower.begin(), lower.end());
    for (size_t q = 0; q < quanta.size() && q < t.quantum_numbers.size(); ++q) t.quantum_numbers[q] = quanta[q];
    t.transition_intensity = 1.0f;
    return t;
}

// The file T appends to: the linked datafile, else the assigned lines loaded with C.
static std::string assignment_file() {
    if (linked_input.linked_input_found == 1) return linked_input.datafile_name;
    return overlay.assigned_path;
}

Redraw assign_from_catalogue() {
    if (overlay.catalogue.size() == 0) {
        show_error(" ERROR: no catalogue loaded: load one with C");
        return Redraw_None;
    }
    const std::string file = assignment_file();
    if (file.empty()) {
        show_error(" ERROR: no file of assigned lines: load one with C or start linked operation");
        return Redraw_None;
    }
    LineMeasurement m = measure_line();
    if (m.failed) return Redraw_None;
    std::optional<size_t> line =
        nearest_line_within(overlay.catalogue, m.frequency, m.fit_freq.front(), m.fit_freq.back());
    if (!line) {
        show_error(" ERROR: no catalogue line within the fitting window: nothing written");
        return Redraw_None;
    }
    const Catalogue& c = overlay.catalogue;
    const CatalogueDetail& detail = c.detail[*line];
    const bool linked_file = linked_input.linked_input_found == 1;
    const float uncertainty = linked_file ? linked_input.line_uncertainty : float(m.error);
    const MeasuredLine measured{m.frequency, m.error, m.intensity, m.has_half_width ? m.half_width : 0.0};
    std::optional<std::string> record =
        format_datafile_record(COMMAND_LINE, is_lin_datafile_name(file), measured, uncertainty, catalogue_transition(detail));
    if (std::optional<std::string> failure = append_datafile_record(file, record)) {
        show_error(" ERROR: nothing written, " + list_name(file) + ": " + *failure);
        return Redraw_None;
    }
    play_tone_pattern(tone_pattern(COMMAND_LINE, linked_file ? linked_input.tone_frequency : STANDALONE_TONE_HZ,
                                   linked_file ? linked_input.tone_duration : STANDALONE_TONE_MS));
    show_message(line_result_row1(m),
                 " Assigned" + format_fixed(c.frequency[*line], 14, 4) + "  " +
                     std::string(trim_right(text_field_view(detail.upper_text))) + " <- " +
                     std::string(trim_right(text_field_view(detail.lower_text))) + "  to " + list_name(file));
    note_appended_line(file, m.frequency);
    return Redraw_None;
}

}  // namespace tarno
