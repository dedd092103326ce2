// The key queue: keystroke bytes in arrival order, filled by the backend (or
// a test script, or a posted character) and taken by read_key() on any thread.
// Also the queue of file names handed to the program (command line and files
// dropped on the window).
//
// The queue has its own lock, never surface().lock, so a reader blocked here
// never stops drawing. Once closed (end of program, end of a test script) an
// empty queue makes every waiting and every later read_key() throw
// ProgramEnded; bytes still queued are delivered first.
#include <condition_variable>
#include <deque>
#include <mutex>

#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/window.hpp"

namespace tarno::window_internal {

namespace {
// [SECTION] File-level state
struct KeyQueue {
    std::mutex lock;                  // guards everything here
    std::condition_variable arrived;  // signalled by every push and by close
    std::deque<uint8_t> bytes;
    bool closed = false;              // set by close_key_queue(), cleared by reopen_key_queue()
    bool held = false;                // headless: an empty closed queue still waits (keys come from another thread)
    ProgramEnded ending{0, false};    // what a read on the closed, empty queue throws
    bool direction_keys = false;      // the pass_direction_keys setting
    std::deque<std::string> file_arguments;
};
}  // namespace
static KeyQueue g_keys;

constexpr int WINDOW_HANDLE = 1;      // the one drawing window (units 0 and 5)
constexpr int FRAME_HANDLE = 2;

// Appends one keystroke byte and wakes the readers.
void push_key(uint8_t byte) {
    {
        std::lock_guard guard(g_keys.lock);
        g_keys.bytes.push_back(byte);
    }
    g_keys.arrived.notify_all();
}

// Pushes the prefix and the scan code as one unit, so no other byte can come between them.
void push_extended_key(uint8_t prefix, uint8_t scan_code) {
    {
        std::lock_guard guard(g_keys.lock);
        g_keys.bytes.push_back(prefix);
        g_keys.bytes.push_back(scan_code);
    }
    g_keys.arrived.notify_all();
}

// While `on`, a read on the empty queue waits even when the queue is closed;
// turning it off wakes the readers so that a closed, empty queue ends them.
void hold_key_queue(bool on) {
    {
        std::lock_guard guard(g_keys.lock);
        g_keys.held = on;
    }
    g_keys.arrived.notify_all();
}

// Makes every read on the empty queue throw ProgramEnded{status, script_exhausted}; wakes the readers.
void close_key_queue(int status, bool script_exhausted) {
    {
        std::lock_guard guard(g_keys.lock);
        g_keys.closed = true;
        g_keys.ending = ProgramEnded{status, script_exhausted};
    }
    g_keys.arrived.notify_all();
}

// Empties the queue and lets readers wait again.
void reopen_key_queue() {
    std::lock_guard guard(g_keys.lock);
    g_keys.bytes.clear();
    g_keys.closed = false;
}

// Returns the pass_direction_keys setting (the backend asks before it queues such a key).
bool direction_keys_passed() {
    std::lock_guard guard(g_keys.lock);
    return g_keys.direction_keys;
}

// Adds a file dropped on the window to the queue of file names.
void queue_dropped_file(std::string path) {
    std::lock_guard guard(g_keys.lock);
    g_keys.file_arguments.push_back(std::move(path));
}

// Empties and reopens the queue and turns direction keys off (a new window).
void reset_key_state() {
    std::lock_guard guard(g_keys.lock);
    g_keys.bytes.clear();
    g_keys.closed = false;
    g_keys.held = false;
    g_keys.direction_keys = false;
}

// Forgets the queued file names.
void reset_file_arguments() {
    std::lock_guard guard(g_keys.lock);
    g_keys.file_arguments.clear();
}

}  // namespace tarno::window_internal

namespace tarno {
using namespace window_internal;

// Waits for one keystroke byte and returns it (0..255); throws ProgramEnded when the queue is closed and empty.
int read_key() {
    std::unique_lock guard(g_keys.lock);
    g_keys.arrived.wait(guard, [] { return !g_keys.bytes.empty() || (g_keys.closed && !g_keys.held); });
    if (g_keys.bytes.empty()) throw g_keys.ending;
    uint8_t byte = g_keys.bytes.front();
    g_keys.bytes.pop_front();
    return byte;
}

// Puts bytes taken from the queue back at its front, in their order, so the
// next reads see them before anything typed since.
void unread_keys(std::span<const uint8_t> bytes) {
    {
        std::lock_guard guard(g_keys.lock);
        g_keys.bytes.insert(g_keys.bytes.begin(), bytes.begin(), bytes.end());
    }
    g_keys.arrived.notify_all();
}

// Sets whether direction and function keys reach read_key; returns the previous setting.
bool pass_direction_keys(bool on) {
    std::lock_guard guard(g_keys.lock);
    bool previous = g_keys.direction_keys;
    g_keys.direction_keys = on;
    return previous;
}

// Replaces the queue of file names with the command-line arguments (dropped files join it later).
void set_file_arguments(std::vector<std::string> arguments) {
    std::lock_guard guard(g_keys.lock);
    g_keys.file_arguments.assign(std::make_move_iterator(arguments.begin()), std::make_move_iterator(arguments.end()));
}

// Takes the next queued file name, if any.
std::optional<std::string> next_file_argument() {
    std::lock_guard guard(g_keys.lock);
    if (g_keys.file_arguments.empty()) return std::nullopt;
    std::string name = std::move(g_keys.file_arguments.front());
    g_keys.file_arguments.pop_front();
    return name;
}

// Returns the handle a thread posts characters to: one for the drawing window
// (console and keyboard units), one for the frame; 0 for an unknown unit.
int native_window_handle(int unit) {
    if (unit == UNIT_CONSOLE || unit == UNIT_KEYBOARD) return WINDOW_HANDLE;
    if (unit == UNIT_FRAME) return FRAME_HANDLE;
    return 0;
}

// Posts a character to a window: it reaches read_key like a typed key.
void send_character(int handle, uint8_t character) {
    if (handle == WINDOW_HANDLE || handle == FRAME_HANDLE) push_key(character);
}

// Gives the keyboard focus to the drawing window (the backend knows how).
void focus_window(int unit) {
    (void)unit;  // there is one drawing window
    if (Backend* b = installed_backend()) b->focus();
}

}  // namespace tarno
