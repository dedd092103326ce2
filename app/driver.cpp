// The program driver, MAIN__: starts the window, draws the title screen and
// runs the main loop
//
//   file prompt ─▶ open (typed name, next argument, or the file dialog)
//        ▲            │
//        │            ▼
//        ├──── reading: binary, else two-column ASCII ── failure ──┐
//        │            │                                            │
//        │            ▼                                            │
//        │     "Ready to plot" ─▶ LOOKFM ─▶ closing menu ◀─ zero range
//        │                                    │  1: LOOKFM again
//        └──────────── 0 ─────────────────────┤
//                                             └ -1: end, status 0
//
// A typed name that cannot be opened is not reported as an error: the dialog
// is shown instead, with a filter entry built from the name's stem first
// (generic_name), which is kept for the next files.
//
// Sections:
//   [SECTION] File prompt and open
//   [SECTION] Reading and hand-over
//   [SECTION] Closing menu
//   [SECTION] Main loop
#include "app/driver.hpp"
#include "app/title_screen.hpp"

#include <algorithm>    // max
#include <cerrno>       // why an open failed
#include <cstdio>       // the spectrum file is a raw byte stream
#include <cstring>      // strerror
#include <filesystem>   // directories are not spectrum files; full name of a chosen file
#include <optional>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "app/startup.hpp"
#include "common/fields.hpp"
#include "common/file_handle.hpp"
#include "display/display_loop.hpp"
#include "input/keyboard.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int SPECTRUM_FILE_UNIT = 2;            // shown in the dialog's caption
constexpr size_t READING_NAME_MAX = 60;          // longer names: "..." and the last 59
constexpr size_t READING_NAME_KEPT = 59;
constexpr size_t MENU_NAME_MAX = 25;             // longer names: "..." and the last 25
constexpr int MENU_ANSWER_COLUMNS = 5;
constexpr size_t ROW_TEXT_MAX = 79;             // a message that must stay on one row

constexpr std::string_view DEFAULT_FILTER =
    " All Files(*.*), *.*; Spectral files (*.spe), *.spe;"
    " Spectral Files (*.0*), *.0*;"
    " Spectral Files (*.1*), *.1*;"
    " Spectral Files (*.2*), *.2*;"
    " Spectral Files (*.3*), *.3*; ;";
constexpr std::string_view GENERIC_FILTER_TAIL =
    " All Files (*.*), *.*;"
    " Spectral Files (*.0*), *.0*; Spectral Files (*.1*), *.1*;"
    " Spectral Files (*.2*), *.2*;"
    " Spectral Files (*.3*), *.3*;";

// [SECTION] Types
namespace {

// An opened spectrum file and the name it was opened by.
struct OpenedFile {
    FileHandle file;
    std::string path;
};

}  // namespace

// [SECTION] Internal declarations
static OpenedFile prompt_and_open();
static std::optional<OpenedFile> open_data_file_name();
static std::optional<OpenedFile> open_blank_name();
static std::optional<OpenedFile> open_path(const std::string& path, bool typed);
static bool read_spectrum(OpenedFile& opened);
static void run_display();
static void run_closing_menu(bool after_zero_range);

// [SECTION] File prompt and open -------------------------------------------------

// Returns the dialog filter entry for a name that could not be opened: the
// stem is what precedes the first ".", "\", "/" or blank. A name with ":"
// (a drive) or an empty stem gives none ("").
//
// The entry must stay whole within generic_name: cut short it would lose its
// closing ";" and swallow the next entry of the list (with its "*.*"). A long
// stem gets the pattern alone (the dialog shows it as the type's name); a
// stem too long even for that, or one holding the list's separators, none.
std::string derive_generic_name(std::string_view field) {
    std::string_view name = trim_right(field);
    if (name.empty() || name[0] == ':' || name[0] == ' ' || name[0] == '\0') return "";
    std::string_view stem;
    for (size_t k = 1; k <= name.size() + 1; ++k) {
        const char c = k <= name.size() ? name[k - 1] : ' ';
        if (k >= 2 && c == ':') return "";
        if (c == '.' || c == '\\' || c == '/' || c == ' ') {
            stem = name.substr(0, k - 1);
            break;
        }
    }
    if (stem.empty()) return "";
    if (stem.find_first_of(";,") != std::string_view::npos) return "";
    std::string pattern = std::string(stem) + "*.*";
    std::string entry = " " + std::string(stem) + " files (" + pattern + "), " + pattern + ";";
    if (entry.size() <= text.generic_name.size()) return entry;
    entry = " " + pattern + ";";
    return entry.size() <= text.generic_name.size() ? entry : "";
}

// Shows the file prompt, reads the answer and opens a spectrum file: the typed
// name, or for a blank answer the next command-line argument or the dialog.
static OpenedFile prompt_and_open() {
    SharedText& t = text;
    for (;;) {
        // ---- the prompt ------------------------------------------------------
        const std::string indent(14, ' ');
        console_write("");
        console_write(std::string(10, ' ') + "TYPE ONE OF:");
        console_write("");
        console_write(indent + "Name of data file,");
        console_write(indent + "Generic name for use in the SelectFile box,");
        console_write(indent + "ENTER for SelectFile box or drag-and-drop input");
        console_write("");
        show_text_cursor(true);
        write_text(std::string(10, ' ') + "... ");
        std::string answer = console_read_line();
        set_text_field(t.dialog_filter, DEFAULT_FILTER);
        set_dialog_filter(trim_right(text_field_view(t.dialog_filter)));

        set_data_file_name(trim(answer));

        // ---- typed name, or blank without a generic entry: open as it is -------
        const bool blank_name = trim(text_field_view(t.data_file_name)).empty();
        const bool generic_blank = trim(text_field_view(t.generic_name)).empty();
        if (!blank_name || generic_blank) {
            if (std::optional<OpenedFile> opened = open_data_file_name()) return std::move(*opened);
            set_text_field(t.generic_name, derive_generic_name(data_file_path()));
        }

        // ---- blank name with the generic entry first, until a file opens -------
        for (;;) {
            set_data_file_name("");
            std::string generic(trim_right(text_field_view(t.generic_name)));
            if (!trim(generic).empty()) set_dialog_filter(generic + std::string(GENERIC_FILTER_TAIL));
            if (std::optional<OpenedFile> opened = open_data_file_name()) return std::move(*opened);
            set_text_field(t.generic_name, "");   // derived from the blank name
        }
    }
}

// Opens the file named by data_file_name; a blank name takes the next
// argument or the dialog, and data_file_name becomes the file's full name.
static std::optional<OpenedFile> open_data_file_name() {
    std::string name = data_file_path();
    if (!name.empty()) return open_path(name, true);
    std::optional<OpenedFile> opened = open_blank_name();
    if (opened) {
        std::error_code error;
        std::filesystem::path full = std::filesystem::absolute(opened->path, error);
        set_data_file_name(error ? opened->path : full.lexically_normal().string());
    }
    return opened;
}

// Resolves a blank name: the next command-line (or dropped) file, else the
// file dialog, asking whether to end the program when it is cancelled.
static std::optional<OpenedFile> open_blank_name() {
    if (std::optional<std::string> argument = next_file_argument()) {
        std::string name(trim(*argument));
        if (!name.empty()) return open_path(name, false);
    }
    const std::string caption = "Open: Select File for Unit " + std::to_string(SPECTRUM_FILE_UNIT);
    for (;;) {
        std::optional<std::string> chosen = select_file(caption);
        if (chosen && !trim(*chosen).empty()) return open_path(*chosen, false);
        if (ask_yes_no("File Open Error", "A File Must be Selected\nTerminate Program?")) end_program(0);
    }
}

// Returns why a file of this kind is not read as a spectrum ("" for a
// regular file, or when there is nothing at the name).
static std::string refusal_of_kind(const std::filesystem::file_status& status) {
    namespace fs = std::filesystem;
    switch (status.type()) {
    case fs::file_type::regular:
    case fs::file_type::not_found:
    case fs::file_type::none: return "";
    case fs::file_type::directory: return std::strerror(EISDIR);
    case fs::file_type::fifo: return "not a regular file (a pipe)";
    case fs::file_type::character: return "not a regular file (a character device)";
    case fs::file_type::block: return "not a regular file (a block device)";
    case fs::file_type::socket: return "not a regular file (a socket)";
    default: return "not a regular file";
    }
}

// Writes the one line that says why `path` is not read.
static void report_open_failure(const std::string& path, const std::string& reason) {
    const std::string lead = "    Cannot open ";
    const size_t room = std::max<size_t>(20, ROW_TEXT_MAX - lead.size() - 2 - reason.size());
    console_write("");
    console_write(lead + shortened_name(path, room, room - 3) + ": " + reason);
}

// Opens `path` for reading as a raw byte stream. Only a regular file is a
// spectrum file: a pipe would wait for a writer and a device never ends, so
// they are refused before opening, with their reason. A failure is reported
// except for a missing typed name (the dialog follows, with its stem first).
static std::optional<OpenedFile> open_path(const std::string& path, bool typed) {
    std::error_code error;
    const std::string kind_refused = refusal_of_kind(std::filesystem::status(path, error));
    if (!kind_refused.empty()) {
        report_open_failure(path, kind_refused);
        return std::nullopt;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) return OpenedFile{FileHandle(file), path};
    const int reason = errno;
    if (!typed || reason != ENOENT) report_open_failure(path, std::strerror(reason));
    return std::nullopt;
}

// [SECTION] Reading and hand-over --------------------------------------------------

// Reads the opened file, as the binary format or else as two-column ASCII.
// Returns true when the spectrum record holds the new spectrum.
static bool read_spectrum(OpenedFile& opened) {
    console_write("");
    write_text("    Reading:  ");
    set_text_color(COLOR_LIGHT_RED);
    write_text(shortened_name(data_file_path(), READING_NAME_MAX, READING_NAME_KEPT));
    set_text_color(COLOR_BLACK);

    switch (read_binary_spectrum(opened.file.get())) {
        case BinaryReadResult::success: return true;
        case BinaryReadResult::back_to_file_prompt: return false;
        case BinaryReadResult::not_binary: break;
    }
    opened.file.reset();   // the ASCII reader opens it again as text
    return read_ascii_spectrum(opened.path) == AsciiReadResult::success;
}

// Runs the display loop and restores the console colours it may have changed.
static void run_display() {
    LOOKFM();
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    show_text_cursor(true);
}

// [SECTION] Closing menu -----------------------------------------------------------

// Offers exit (-1), another spectrum (0) or another look (1) until the answer
// is 0; -1 ends the program with status 0. After a zero dynamic range the menu
// first follows the error line without clearing the screen.
static void run_closing_menu(bool after_zero_range) {
    bool clear = !after_zero_range;
    for (;;) {
        if (clear) {
            clear_screen(0);
            set_color(COLOR_BLUE);
            SGAME();
            set_text_position(1, 1);
        }
        clear = true;
        console_write("");
        console_write("         -1 = EXIT");
        console_write("          0 = another spectrum");
        write_text("          1 = another look at the spectrum from  ");
        set_text_color(COLOR_LIGHT_RED);
        write_text(shortened_name(data_file_path(), MENU_NAME_MAX, MENU_NAME_MAX));
        set_text_color(COLOR_BLACK);
        console_write("");   // ends the name's line
        console_write("");
        write_text(std::string(10, ' ') + "... ");
        std::optional<long long> answer = read_integer_field(console_read_line(), MENU_ANSWER_COLUMNS);
        if (!answer) continue;
        if (*answer == 0) return;
        if (*answer == 1) run_display();
        if (*answer == -1) {
            set_exit_behaviour(2);
            end_program(0);
        }
    }
}

// [SECTION] Main loop ----------------------------------------------------------------

// The program: title screen, then file after file until the closing menu's -1.
[[noreturn]] void MAIN__() {
    show_title_screen();
    for (;;) {
        OpenedFile opened = prompt_and_open();
        if (!read_spectrum(opened)) continue;
        opened.file.reset();

        if (spectrum.intensity_min == spectrum.intensity_max) {
            console_write("");
            console_write(" ****ERROR, zero dynamic range in data");
            run_closing_menu(true);
            continue;
        }
        show_text_cursor(false);
        console_write("");
        write_text("  Ready to plot - press ENTER  ");
        wait_for_enter();
        run_display();
        run_closing_menu(false);
    }
}

}  // namespace tarno
