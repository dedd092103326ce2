// window-probe: a tiny program in the real window, for the end-to-end tests.
//
//   window-probe keys <log file>   draws palette squares, then logs every read_key()
//                                  byte as a decimal line; 'r' makes the window 640 x 400
//                                  (logs "resized"); 'q' ends it (window closes)
//   window-probe ask <log file>    asks a Yes/No question and logs "yes" or "no"
//   window-probe choose <log file> shows the file dialog and logs the path or "cancelled"
//   window-probe finish <log file> ends at once with the default exit behaviour (ask)
//   window-probe busy <log file>   computes for 60 s without looking at keys
//
// The log's first line is "ready" once the screen is drawn, so a test knows
// when to start typing.
#include "window/sdl_backend.hpp"
#include "window/window.hpp"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

using namespace tarno;

// Squares of palette colours, 100 x 100 pixels at y 50..149, x = 50 + 150 * i.
constexpr int PROBE_COLORS[] = {12, 10, 9, 14, 1};

static void draw_probe_screen() {
    WindowConfig config{800, 540, 80, 30, -1, 0, "tarno-probe", "Courier New", -1, 0};
    configure_window(config);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    set_viewport(0, 0, 799, 539);
    set_world_window(false, 0, 0, 799, 539);
    int x = 50;
    for (int color : PROBE_COLORS) {
        set_color(color);
        fill_rectangle_world(RECTANGLE_FILL, x, 50, x + 99, 149);
        x += 150;
    }
    set_text_color(COLOR_BLACK);
    set_text_position(20, 1);
    console_write(" window probe: type keys, q ends");
}

static void log_line(std::ofstream& log, const std::string& line) {
    log << line << '\n';
    log.flush();
}

// A smaller window with a colour-10 frame line along its last pixel row.
static void resize_probe(std::ofstream& log) {
    WindowConfig config{640, 400, 80, 17, -1, 0, "tarno-probe", "Courier New", -1, 0};
    configure_window(config);
    set_background_color(COLOR_LIGHT_GREY);
    clear_screen(0);
    set_viewport(0, 0, 639, 399);
    set_color(COLOR_LIGHT_GREEN);
    move_to(0, 399);
    line_to(640, 399);
    log_line(log, "resized");
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: window-probe keys|ask|choose|finish|busy <log file>\n");
        return 2;
    }
    std::string mode = argv[1];
    std::string log_path = argv[2];
    return run_in_window([&] {
        std::ofstream log(log_path, std::ios::trunc);
        draw_probe_screen();
        pass_direction_keys(true);
        log_line(log, "ready");
        if (mode == "ask") {
            log_line(log, ask_yes_no("Probe", "Is this a question?\nSecond line") ? "yes" : "no");
        } else if (mode == "choose") {
            set_dialog_filter(" All Files (*.*), *.*; Probe files (*.prb), *.prb; ;");
            std::optional<std::string> path = select_file("Open: Select File for Unit 2");
            log_line(log, path ? *path : "cancelled");
        } else if (mode == "busy") {
            volatile double sum = 0;
            for (auto start = std::chrono::steady_clock::now();
                 std::chrono::steady_clock::now() - start < std::chrono::seconds(60);)
                for (int i = 0; i < 100000; ++i) sum = sum + i * 0.5;
        } else if (mode == "finish") {
            end_program(0);
        } else {
            show_text_cursor(true);  // blinks at row 21, column 1
            for (int key; (key = read_key()) != 'q';) {
                log_line(log, std::to_string(key));
                if (key == 'r') resize_probe(log);
            }
        }
        set_exit_behaviour(2);
        end_program(0);
    }, {});
}
