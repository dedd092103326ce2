// HELP: the two pages of key summaries, the general commands and those of
// linked operation. Each page is closed by ENTER; other keys are ignored.
// The caller switches to full height and clears the window first.
#include <string>
#include <string_view>

#include "display/display_commands.hpp"
#include "display/line_overlay.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

namespace tarno {

// Page 1, as written (the last line stays open: no line end after it).
static const std::string_view HELP_PAGE_1[] = {
    " ",
    "_____SUMMARY OF THE GENERAL COMMANDS____________________________________________",
    "",
    "         A,S - shift screen window over the spectrum",
    "         Q,E - zoom out/in in frequency",
    "         W,Z - increase, decrease vertical scale",
    "         2,3 - shift spectrum up/down",
    "         K,L - move cursor over the spectrum",
    "",
    "               All of the above are fast/slow for upper/lower case",
    "",
    "           , - center/quarter cursor",
    " <HOME><END> - move to beginning/end of spectrum",
    "         -/P - invert Y-axis / show spectral data points",
    "         F/^ - manual frequency limits / toggle window height",
    "           B - baseline subtraction",
    "           N - smoothing",
    "           I - display spectral information",
    "         m/M - save / modify current spectrum",
    "         R/& - restore original spectrum / append spectrum",
    "           G - gle output",
    "",
    "           O - peak frequency of line under the cursor",
    "           0 - set fitting width, -ve value runs DERUVAVEVU",
    "           9 - use cursor position for peak frequency/baseline level",
    "           = - average of last two measured frequencies",
    "",
};
static constexpr std::string_view HELP_PAGE_1_LAST = "       ENTER - exits this help screen / exits TARNO";

// Page 2, up to the closing "Press ENTER " line.
static const std::string_view HELP_PAGE_2[] = {
    " ",
    "_____SUMMARY OF COMMANDS FOR LINKED OPERATION WITH ZUNT_L_______________________",
    "",
    "",
    "          F1 - measure a line in the spectrum nearest the cursor",
    "               and add it to the datafile",
    "          F2 - measure line and add it to the datafile as part of a blend",
    "          F3 - measure line and add it to the datafile as an excluded line",
    "",
    "          F7 - toggle linked operation off/on",
    "          F8 - toggle additional marker at current cursor position.  This",
    "               marker will retain a constant offset from frequency of",
    "               a line highlighted in ZUNT_L",
    "         ESC - reread TARNO_L.INP so that it is possible to switch",
    "               the datafile without leaving TARNO_L",
    "",
    "",
    "               In linked operation TARNO_L is usually the passive partner and",
    "               is controlled by ZUNT_L.  It is only necessary to switch to",
    "               TARNO_L to fine-tune Y-axis scaling of the spectrum.",
    "",
    "               Note, however, that TARNO_L also writes current viewing ",
    "               parameters to the exchange memory area.  This allows some",
    "               other possibilities - such as running two copies of TARNO_L",
    "               one active, one passive (F7 pressed), so that two spectra",
    "               can be compared.",
    "",
    "",
};

// Page 3: the keys of the line overlay. It follows page 2 when a line list
// is loaded, and PGDN on page 2 opens it at any time.
static const std::string_view HELP_PAGE_3[] = {
    " ",
    "_____SUMMARY OF COMMANDS FOR PREDICTED AND ASSIGNED LINES_______________________",
    "",
    "",
    "           C - line lists: load a catalogue (.cat) or a file of assigned",
    "               lines (.lin and other datafiles, two-column lists), hide or",
    "               show them, set how many catalogue sticks are drawn",
    "   PGDN/PGUP - move cursor to the next/previous catalogue line",
    "           T - measure the line under the cursor and add it to the file of",
    "               assigned lines, with the quantum numbers of the nearest",
    "               catalogue line",
    "",
    "               Catalogue lines are sticks rising from the bottom of the",
    "               plot (green, magenta for experimental frequencies), assigned",
    "               lines short marks at the top (dark yellow).  With the cursor",
    "               within 3 pixels of a catalogue line, its frequency, uncertainty,",
    "               log intensity and quantum numbers are shown in the status rows;",
    "               a measurement near one shows observed - calculated (O-C).",
    "",
    "               In linked operation the datafile named in TARNO_L.INP is",
    "               the file of assigned lines and is loaded automatically.",
    "",
    "",
};

// Waits for ENTER or PGDN; other keys are consumed. True for PGDN.
static bool wait_for_enter_or_next_page() {
    for (;;) {
        int16_t key = 0;
        INKEY(key);
        if (key == KEY_ENTER) return false;
        if (key == KEY_PGDN) return true;
    }
}

static void write_closing_prompt(int16_t text_colour) {
    write_text("               Press ");
    set_text_color(12);
    write_text("ENTER ");
    set_text_color(text_colour);
}

// Shows page 1, then page 2; returns with the text colour `text_colour`.
void HELP(int16_t text_colour) {
    for (std::string_view line : HELP_PAGE_1) console_write(line);
    write_text(HELP_PAGE_1_LAST);
    wait_for_enter();

    clear_screen(0);
    set_text_position(1, 1);
    for (std::string_view line : HELP_PAGE_2) console_write(line);
    write_closing_prompt(text_colour);
    bool next_page = wait_for_enter_or_next_page();
    if (!next_page && overlay.catalogue.size() == 0 && overlay.assigned.size() == 0) return;

    clear_screen(0);
    set_text_position(1, 1);
    for (std::string_view line : HELP_PAGE_3) console_write(line);
    write_closing_prompt(text_colour);
    wait_for_enter();
}

}  // namespace tarno
