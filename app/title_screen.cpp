// The title screen: grey bands, the three-colour title, the version, the
// capacity and the decorative curve, drawn once after the window starts.
//
//   y 0        white line
//   y 1..109   dark grey band with the title (light cyan, light blue, blue)
//   y 110      white, y 111 light grey
//   y 112..141 dark grey band with the version line
//   y 142      black
#include "app/title_screen.hpp"

#include <cstdlib>      // HOME, for the path shown
#include <string>
#include <string_view>
#include <vector>

#include "app/records.hpp"
#include "app/startup.hpp"
#include "common/fields.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr std::string_view TITLE = "TARNO - Revidodi Roridi";
constexpr std::string_view VERSION_LINE = "version 5.VII.2006";
constexpr int TITLE_WIDTH = 620;                 // pixels the title needs, for centring

// Draws a line across the whole window, one pixel past the right edge (the
// layer clips it): the flood fills bounded by these lines find them closed
// up to the last column whether or not the layer draws a line's end point.
static void draw_full_width_line(int color, int y) {
    set_color(color);
    move_to(0, y);
    line_to(screen.screen_width + 1, y);
}

// The title three times, offset by a pixel each, for a shadowed look.
static void draw_title_text() {
    const int x0 = (screen.screen_width - TITLE_WIDTH) / 2;
    const int colors[3] = {COLOR_LIGHT_CYAN, COLOR_LIGHT_BLUE, COLOR_BLUE};
    for (int i = 0; i < 3; ++i) {
        set_color(colors[i]);
        move_to(x0 + i, 17 + i);
        draw_text(TITLE);
    }
}

// Returns `path` with the home directory written as "~", so that the usual
// path fits the title screen's line.
static std::string path_for_display(const std::string& path) {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0' || std::string_view(home) == "/") return path;
    const std::string prefix = std::string(home) + "/";
    return path.rfind(prefix, 0) == 0 ? "~/" + path.substr(prefix.size()) : path;
}

// Tells the user that the default window is in use, and why.
static void show_missing_configuration(int32_t config_found) {
    std::vector<std::string> lines;
    if (config_found == 0) {
        lines = {"Configuration file " + path_for_display(config_file_path()) + " was not found:",
                 "default sized window of 800x540 pixels will be used"};
    } else {
        lines = startup_notice();
    }
    if (lines.empty()) return;
    set_color(COLOR_LIGHT_RED);
    select_font("t'Arial'h18w9e");
    move_to(100, 200);
    draw_text(lines[0]);
    select_font("t'Arial'h18w9i");
    move_to(250, 220);
    draw_text(lines[1]);
    set_text_position(15, 1);
}

// Starts the window (STARTG) and draws the title screen: the grey bands, the
// title, the version, the capacity and the decorative curve. Returns config_found.
int32_t show_title_screen() {
    int32_t config_found = 0;
    STARTG(config_found);
    screen.config_found = config_found;
    pass_direction_keys(true);

    // ---- bands and title ---------------------------------------------------
    init_fonts();
    select_font("t'Arial'h75w25ei");
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    draw_full_width_line(15, 110);
    draw_full_width_line(15, 0);
    set_color(COLOR_DARK_GREY);
    flood_fill(1, 1, COLOR_WHITE);
    draw_title_text();
    draw_full_width_line(15, 142);
    set_color(COLOR_DARK_GREY);
    flood_fill(1, 140, COLOR_WHITE);
    draw_full_width_line(0, 142);
    draw_full_width_line(7, 111);

    // ---- version, capacity, curve ------------------------------------------
    select_font("t'Arial'h20w10");
    set_color(COLOR_BLACK);
    move_to(11, 117);
    draw_text(VERSION_LINE);
    set_color(COLOR_WHITE);
    move_to(10, 116);
    draw_text(VERSION_LINE);
    set_text_position(142 / (screen.screen_height / screen.text_rows) + 2, 65);
    set_text_color(COLOR_BLACK);
    write_text(format_integer(MAX_POINTS, 8) + " points");
    SGAME();
    set_text_position(11, 1);
    show_missing_configuration(config_found);

    // ---- shared text fields and colours --------------------------------------
    SharedText& t = text;
    set_text_field(t.blank_line, "");
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    set_text_field(t.data_file_name, "");
    set_text_field(t.generic_name, "");
    return config_found;
}

}  // namespace tarno
