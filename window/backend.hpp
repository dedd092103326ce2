// What the window core (canvas, console, fonts, key queue) shares with the two
// backends that show it: the SDL window (sdl_backend.cpp) and the headless
// twin used by tests (headless.cpp). Nothing outside window/ includes this.
//
//   program thread ──draws──▶ Surface (pixels, under lock) ──presents──▶ SDL main thread
//   SDL main thread ──events──▶ key queue ──read_key()──▶ any thread
//
// The core calls the installed Backend for what needs the real desktop
// (window size, tones, dialogs, focus, exit behaviour).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarno::window_internal {

// The framebuffer and what a presenter needs to draw on top of it.
struct Surface {
    std::mutex lock;                 // guards everything in this struct and all canvas/console state
    int width = 800;                 // pixels
    int height = 540;                // pixels
    std::vector<uint32_t> pixels;    // 0x00RRGGBB, row-major, width * height
    uint64_t generation = 0;         // incremented by every change; the presenter compares it
    bool text_cursor_visible = false;// the blinking cursor is drawn by the presenter, never into pixels
    int text_cursor_x = 0, text_cursor_y = 0;          // top-left of the cursor cell (pixels)
    int text_cursor_width = 10, text_cursor_height = 18;
    std::string progress_note;       // drawn by the presenter over the pixels, never into them ("" = none)
    int progress_note_row = 1, progress_note_column = 1;        // its first cell (1-based)
    int progress_note_text_color = 0, progress_note_background_color = 7;  // palette indices
};
// The one surface, created on first use. Inline: drawing reaches it for every
// line and cell, and an out-of-line call each time cost a tenth of a frame.
inline Surface& surface() {
    static Surface s;
    return s;
}

// Key queue: bytes in arrival order. read_key() blocks on it.
void push_key(uint8_t byte);                 // one keystroke byte (any thread)
void push_extended_key(uint8_t prefix, uint8_t scan_code);
void close_key_queue(int status, bool script_exhausted); // pending and future read_key() calls throw ProgramEnded once the queue is empty
                                             // (end_program() closes it too; a backend closes it when the program returns)
void hold_key_queue(bool on);                // headless: while on, reads on the empty queue wait even when it is closed
void reopen_key_queue();                     // empties the queue and lets read_key() wait again
bool direction_keys_passed();                // the pass_direction_keys setting

// Files handed to the program while it runs (dropped on the window).
void queue_dropped_file(std::string path);

// Resets canvas, console, colours, fonts state and the key queue to a new window.
void reset_window_state(int width, int height);

class Backend {
public:
    virtual ~Backend() = default;
    virtual void resize(int width, int height) = 0;           // client area changed (surface already resized)
    virtual void play_tone(int frequency_hz, int duration_ms) = 0; // returns after duration_ms
    virtual std::optional<std::string> choose_file(std::string_view caption, std::string_view filter) = 0;
    virtual bool ask_yes_no(std::string_view caption, std::string_view message) = 0;
    virtual void focus() = 0;
    virtual void set_exit_behaviour(int behaviour) = 0;
    virtual void set_title(std::string_view title) { (void)title; } // caption ("" = none); optional
    virtual void progress_shown(int row, int column, std::string_view note) { (void)row, (void)column, (void)note; } // optional (tests record it)
};

}  // namespace tarno::window_internal

namespace tarno::window_internal {
void install_backend(Backend* backend);      // the backend the core calls; nullptr = none (silent, no tones)
Backend* installed_backend();
}  // namespace tarno::window_internal
