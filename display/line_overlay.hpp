// The line overlay: a catalogue of calculated transitions drawn as sticks
// under the spectrum, and the lines already assigned drawn as marks at the
// top of the plot; the readout of the catalogue line under the cursor, the
// stepping from stick to stick (PGDN, PGUP), and the key screens that load the
// lists (C) and assign a line from the catalogue (T).
//
// What a reader must know first:
//  - With no list loaded nothing here draws or writes anything: every screen
//    is what it is without the overlay.
//  - Sticks: per pixel column of the plot only the strongest catalogue line is
//    drawn, at the column's own frequency, so a frame costs one pass over the
//    lines in view (found by binary search), and the XOR cursor drawn over a
//    stick restores it exactly. The strongest stick in view reaches a third
//    of the plot height; heights are linear in intensity (LGINT is log10).
//  - The lists live here for the whole run (the display state is
//    reinitialised per spectrum; the lists stay until replaced).
//
// Sections:
//   [SECTION] State
//   [SECTION] Sticks and marks (pure; for tests and the drawing)
//   [SECTION] Drawing
//   [SECTION] Readout and navigation
//   [SECTION] Keys
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/line_lists.hpp"
#include "display/display_commands.hpp"     // Redraw

namespace tarno {

// Colours of the overlay: apart from the curve (15), the cursor (14), the
// measurement marks (11, 12, 14) and the linked indicator (12).
constexpr int COLOR_CATALOGUE_STICK = 10;        // light green: calculated frequency
constexpr int COLOR_EXPERIMENTAL_STICK = 13;     // light magenta: catalogue line with an experimental frequency
constexpr int COLOR_ASSIGNED_MARK = 6;           // dark yellow (the palette's brown): line already assigned

constexpr int READOUT_PIXELS = 3;               // the readout shows a catalogue line this close to the cursor
constexpr int ASSIGNED_MARK_TOP = 3;             // pixel rows below the top of the plot (the top 2 are under the status rows)
constexpr int ASSIGNED_MARK_LENGTH = 8;

// [SECTION] State ------------------------------------------------------------------
struct LineOverlay {
    Catalogue catalogue;
    std::string catalogue_path;             // "" when none is loaded
    ListCounts catalogue_counts;
    AssignedLines assigned;
    std::string assigned_path;              // "" when none is loaded (else the file T appends to)
    ListCounts assigned_counts;
    bool hidden;                            // '-' on the C screen
    int32_t strongest_count;                // sticks drawn per view: the strongest N (0: one per column, no limit)
    bool readout_shown;                     // the cursor readout is in the status rows
};

extern LineOverlay overlay;

bool overlay_has_lines();                   // a list is loaded and the overlay is not hidden

// [SECTION] Sticks and marks -------------------------------------------------------
// Plot columns 0..last_column map view_low..view_high; 0 and last_column are
// the frame box's sides, so sticks and marks use 1..last_column-1.
struct Stick {
    int32_t column;
    size_t line;                            // index into the catalogue
};

int32_t plot_last_column();                 // the viewport's last pixel column (screen_width - 4)
std::vector<Stick> catalogue_sticks(const Catalogue& catalogue, double view_low, double view_high,
                                    int32_t last_column, int32_t strongest_count);
std::vector<int32_t> assigned_columns(const AssignedLines& lines, double view_low, double view_high,
                                      int32_t last_column);

// The strongest catalogue line within `half_window` of `frequency` (ties: the
// nearer one), or nothing.
std::optional<size_t> strongest_line_near(const Catalogue& catalogue, double frequency, double half_window);
// The catalogue line nearest `frequency` inside [low, high] (ties: the stronger), or nothing.
std::optional<size_t> nearest_line_within(const Catalogue& catalogue, double frequency, double low, double high);

// [SECTION] Drawing ------------------------------------------------------------------
void draw_line_overlay();                   // sticks and marks of the current view (frame hook)
void draw_assigned_mark(double frequency);  // one new mark, drawn under the XOR cursor without a trace

// [SECTION] Readout and navigation -----------------------------------------------------
std::string catalogue_readout_row1(double cursor, const Catalogue& c, size_t line); // cursor - line, for row 1
std::string catalogue_readout_row2(const Catalogue& c, size_t line);               // the line, for row 2
void show_cursor_readout();                 // after a cursor move: the catalogue line near the cursor, or clears it
struct LineMeasurement;
void show_observed_minus_calculated(const LineMeasurement& line); // after a measurement, where its row 2 is blank
Redraw step_to_catalogue_line(int direction); // PGDN (+1), PGUP (-1)

// [SECTION] Keys ---------------------------------------------------------------------------
Redraw line_lists_screen();                 // C: lists, loading, hide/show, stick count
Redraw assign_from_catalogue();             // T: measure, append the record with the catalogue's quanta
void load_linked_datafile_lines(const std::string& datafile_name, bool found); // linked datafile as the assigned lines
void note_appended_line(const std::string& datafile_name, double frequency);  // a record TARNO appended shows at once

}  // namespace tarno
