// Window start-up: the configuration file, the window of the configured size,
// the 30/17-row toggle and the decorative curve.
//
// The configuration file is read as 80-column records:
//
//   col 1        36   39                          65
//   !comment lines (any number, skipped)
//   width .......1024                      width in pixels (integer, blanks ignored)
//   height .......700                      height in pixels, the very next line
//   font face ...Courier New               face name, columns 36-65
//   attribute ......7                      zero or more attribute codes 1..15
//   !                                      end line: the rest is not read
//
// A missing file gives the default 800 x 540 window. A bad attribute code ends
// the program after ENTER; a file that ends before its end line or a number
// field that is not a number ends it at once, naming the file and the line.
// A window size outside what a desktop can show is refused: the default is
// used and the title screen says why (startup_notice()).
//
// Sections:
//   [SECTION] Configuration file
//   [SECTION] Window
//   [SECTION] Decorative curve
#include "app/startup.hpp"

#include <cmath>        // trunc of the curve heights
#include <cstdio>       // reading the configuration file
#include <cstdlib>      // getenv for the XDG paths
#include <filesystem>   // telling a directory from a file
#include <optional>
#include <string_view>
#include <vector>

#include "app/records.hpp"
#include "common/fields.hpp"
#include "common/file_handle.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr int16_t DEFAULT_PIXEL_WIDTH = 800;
constexpr int16_t DEFAULT_PIXEL_HEIGHT = 540;
constexpr int16_t MIN_PIXEL_SIZE = 100;     // smaller leaves no room for the title and the prompt
constexpr int16_t MAX_PIXEL_SIZE = 8192;    // larger than any screen: a typing error
constexpr int CONFIG_RECORD_LENGTH = 80;
constexpr size_t NUMBER_COLUMN = 36;       // number fields are columns 36-39 of a record (blanks ignored, blank reads 0)
constexpr int NUMBER_COLUMNS = 4;

// Flag added to the extended font attributes for each attribute code 1..15.
// Code 12 is accepted but has no flag of its own.
constexpr int32_t ATTRIBUTE_FLAGS[16] = {
    0,
    int32_t(0x80000000u), 0x2, 0x1, 0x4, 0x10,      // 1..5
    0x20, 0x100, 0x200, 0x300, 0x400,               // 6..10
    0x500, 0, 0x1000, 0x2000, 0xFF000,              // 11..15
};

namespace {
// Frame metrics of the desktop. The window layer gives the drawing area the
// exact size asked for, with no caption, menus or borders to allow for, so
// every metric (and the extra caption height) is zero here.
struct FrameMetrics {
    int dialog_frame_width, dialog_frame_height;
    int caption_height, menu_height;
    int border_width, border_height;
    int extra_height;   // allowance beside the caption height
};
}  // namespace

// [SECTION] File-static state
static WindowConfig window_config{};    // what the window layer was asked for and kept
static FrameMetrics frame_metrics{};    // taken by STARTG, reused by NARGR
static std::string notice_lines[2];     // refused size: shown on the title screen

// [SECTION] Internal declarations
namespace {

using ConfigFile = FileHandle;

// Reading the configuration file line by line, remembering where we are for
// the messages.
struct ConfigReader {
    std::FILE* file;
    std::string path;
    int line_number = 0;
};

}  // namespace

static std::string read_record(ConfigReader& reader);
[[noreturn]] static void end_on_bad_file(const ConfigReader& reader, std::string_view what, int line);
static void read_config_file(ConfigReader& reader);
static void check_window_size();
static void apply_window_config();

// [SECTION] Configuration file ---------------------------------------------------

// Returns the path of the configuration file: $XDG_CONFIG_HOME/tarno/wemb.cfg,
// or ~/.config/tarno/wemb.cfg when XDG_CONFIG_HOME is unset, empty or relative.
std::string config_file_path() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/tarno/wemb.cfg";
    const char* home = std::getenv("HOME");
    std::string base = home != nullptr && home[0] != '\0' ? home : ".";
    return base + "/.config/tarno/wemb.cfg";
}

// Returns the lines that explain a refused window size (empty when none).
std::vector<std::string> startup_notice() {
    if (notice_lines[0].empty()) return {};
    return {notice_lines[0], notice_lines[1]};
}

// Returns the window configuration as the window layer left it.
const WindowConfig& window_configuration() { return window_config; }

// Returns the next 80-column record, blank padded; ends the program at the end
// of the file or on a read error.
static std::string read_record(ConfigReader& reader) {
    std::string line;
    int c;
    while ((c = std::fgetc(reader.file)) != EOF && c != '\n') line.push_back(char(c));
    if (c == EOF && (std::ferror(reader.file) || line.empty())) {
        end_on_bad_file(reader, std::ferror(reader.file) ? "read error" : "end of file before the end line",
                        reader.line_number + 1);
    }
    ++reader.line_number;
    if (!line.empty() && line.back() == '\r') line.pop_back();   // files written on another desktop
    return padded(line, CONFIG_RECORD_LENGTH);
}


// Reports an unusable configuration file and ends the program.
[[noreturn]] static void end_on_bad_file(const ConfigReader& reader, std::string_view what, int line) {
    const std::string where = " Configuration file " + reader.path + ":";
    const std::string why = " " + std::string(what) + " at line " + std::to_string(line);
    std::fprintf(stderr, "tarno:%s%s\n", where.c_str(), why.c_str());
    console_write("");
    console_write(where);
    console_write(why);
    console_write("");
    end_program(1);
}

// Reads width, height, face and attributes into window_config (steps 3-6).
static void read_config_file(ConfigReader& reader) {
    WindowConfig& wc = window_config;

    std::string record = read_record(reader);
    while (record[0] == '!') record = read_record(reader);
    std::optional<long long> width = read_integer_field(record.substr(NUMBER_COLUMN - 1), NUMBER_COLUMNS);
    if (!width) end_on_bad_file(reader, "the width in columns 36-39 is not a number", reader.line_number);
    wc.pixel_width = int16_t(*width);

    record = read_record(reader);
    std::optional<long long> height = read_integer_field(record.substr(NUMBER_COLUMN - 1), NUMBER_COLUMNS);
    if (!height) end_on_bad_file(reader, "the height in columns 36-39 is not a number", reader.line_number);
    wc.pixel_height = int16_t(*height);

    record = read_record(reader);
    wc.font_name = std::string(trim_right(std::string_view(record).substr(35, 30)));
    wc.font_size = -2;
    wc.colour_count = -1;
    wc.font_extended_size = -1;
    wc.font_attributes = 0;

    for (record = read_record(reader); record[0] != '!'; record = read_record(reader)) {
        std::optional<long long> code = read_integer_field(record.substr(NUMBER_COLUMN - 1), NUMBER_COLUMNS);
        if (!code) end_on_bad_file(reader, "the attribute in columns 36-39 is not a number", reader.line_number);
        if (*code < 1 || *code > 15) {
            console_write("");
            console_write("");
            console_write(" Extended font attribute from WEMB.CFG is" + format_integer(*code, 5) +
                          ", which is illegal (1-15 allowed)");
            console_write("");
            console_write("");
            console_write(" **** TRY AGAIN! *****");
            console_write("");
            console_write("");
            pause_until_enter();
            end_program(1);
        }
        // Flags are added, not or-ed: a code given twice counts twice. The sum
        // wraps like the 32-bit field it is kept in.
        wc.font_attributes = int32_t(uint32_t(wc.font_attributes) + uint32_t(ATTRIBUTE_FLAGS[*code]));
    }
}

// Refuses a configured size no desktop can show (zero, negative, huge) and
// falls back to the default, noting why for the title screen.
static void check_window_size() {
    WindowConfig& wc = window_config;
    auto fits = [](int16_t v) { return v >= MIN_PIXEL_SIZE && v <= MAX_PIXEL_SIZE; };
    if (fits(wc.pixel_width) && fits(wc.pixel_height)) return;
    notice_lines[0] = "Window size " + std::to_string(wc.pixel_width) + "x" +
                      std::to_string(wc.pixel_height) + " in " + config_file_path() +
                      " was refused (" + std::to_string(MIN_PIXEL_SIZE) + " to " +
                      std::to_string(MAX_PIXEL_SIZE) + " pixels allowed):";
    notice_lines[1] = "default sized window of 800x540 pixels will be used";
    wc.pixel_width = DEFAULT_PIXEL_WIDTH;
    wc.pixel_height = DEFAULT_PIXEL_HEIGHT;
}

// Reads the configuration file and configures the window; config_found is 1
// when the file was read, 0 when the defaults were used.
void STARTG(int32_t& config_found) {
    WindowConfig& wc = window_config;
    wc.text_columns = 80;
    wc.text_rows = 30;
    notice_lines[0].clear();
    notice_lines[1].clear();

    // ---- configuration file, or the defaults --------------------------------
    std::string path = config_file_path();
    std::error_code error;
    ConfigFile file(std::filesystem::is_directory(path, error) ? nullptr : std::fopen(path.c_str(), "r"));
    if (!file) {
        wc.pixel_width = DEFAULT_PIXEL_WIDTH;
        wc.pixel_height = DEFAULT_PIXEL_HEIGHT;
        wc.font_name = "Courier New";
        config_found = 0;
    } else {
        ConfigReader reader{file.get(), path};
        read_config_file(reader);
        file.reset();
        config_found = 1;
        check_window_size();
    }

    // ---- the window: no menus, no status bar, the exact client size ----------
    for (int menu = 7; menu >= 1; --menu) delete_menu(menu, 0);
    menu_action(1);
    frame_metrics = FrameMetrics{};
    apply_window_config();
}

// [SECTION] Window ---------------------------------------------------------------

// Sizes the frame around the drawing area, configures the window (twice when
// the layer adjusted the request), clears it and refills the screen
// configuration from what the layer kept.
static void apply_window_config() {
    WindowConfig& wc = window_config;
    const FrameMetrics& fm = frame_metrics;

    WindowRect frame = get_window_size(UNIT_FRAME);
    frame.width = wc.pixel_width - 2 * fm.border_width;
    frame.height = wc.pixel_height - (fm.caption_height + fm.menu_height + fm.extra_height);
    set_window_size(UNIT_FRAME, frame);

    wc.text_columns = 80;
    wc.title = " ";
    if (!configure_window(wc)) configure_window(wc);
    clear_screen(0);

    ScreenConfig& s = screen;
    s.screen_width = int16_t(wc.pixel_width - 1);
    s.screen_height = int16_t(wc.pixel_height - 1);
    s.text_rows = wc.text_rows;
    s.row_height = int16_t(s.screen_height / s.text_rows + 1);
}

// Switches between 30 and 17 text rows, keeping the row height, and resizes
// the window to match.
void NARGR() {
    WindowConfig& wc = window_config;
    const ScreenConfig& s = screen;
    wc.text_columns = 80;
    if (s.text_rows == 30) {
        wc.text_rows = 17;
        wc.pixel_height = int16_t((s.screen_height + 1) / 30 * 17);
    } else {
        wc.text_rows = 30;
        wc.pixel_height = int16_t((s.screen_height + 1) / 17 * 30);
    }
    wc.pixel_width = int16_t(s.screen_width + 1);
    apply_window_config();
}

// [SECTION] Decorative curve -----------------------------------------------------

// Draws ten random second-derivative Lorentzians as one curve 40 pixels above
// the bottom edge and fills the area under it in blue.
void SGAME() {
    const ScreenConfig& s = screen;
    set_viewport(0, 0, s.screen_width, s.screen_height);

    const int n = s.screen_width + 1;
    std::vector<double> h(size_t(n) + 1, 0.0);    // 1-based
    const float scale = 50.0f / float(n);
    seed_random(-1);

    // Each term is A times minus half the second derivative of the Lorentzian
    // 1/q in u - B: height A at u = B, negative side lobes beyond.
    for (int term = 0; term < 10; ++term) {
        const float a = float(100.0 * random_uniform());
        const float b = float(48.0 * random_uniform() + 1.0);
        for (int x = 1; x <= n; ++x) {
            const float u = float(x) * scale;
            const float q = 1.0f + (u - b) * (u - b);
            h[size_t(x)] -= a * (3.0f * q - 4.0f) / (q * q * q);
        }
    }

    set_color(COLOR_WHITE);
    const int base = s.screen_height - 40;
    int y = 0;
    for (int x = 1; x <= n; ++x) {
        y = int(std::trunc(double(base) - h[size_t(x)]));
        if (y >= s.screen_height) y = s.screen_height - 1;
        if (x == 1) move_to(0, y);
        else line_to(x - 1, y);
    }
    // One step past the right edge closes the curve in the last column even
    // where a line's end point is left out, so the fill cannot leak upwards.
    line_to(n, y);

    set_color(COLOR_BLUE);
    flood_fill(s.screen_width / 2, s.screen_height, COLOR_WHITE);
}

}  // namespace tarno
