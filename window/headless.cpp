// The headless backend: the window core with no window. A test scripts the
// keystrokes (all queued at once), the answers of file dialogs and message
// boxes, runs a piece of the program on its own thread and then reads the
// screen back: text rows, cell colours, pixels, recorded tones and progress notes.
//
// The key queue is closed from the start with "script exhausted": once the
// scripted bytes are used up, the next read_key() (on any thread) ends the
// program under test instead of waiting forever. A dialog or message box
// without a scripted answer ends it the same way.
#include <algorithm>
#include <deque>
#include <mutex>

#include "common/utf8.hpp"
#include "window/backend.hpp"
#include "window/core.hpp"
#include "window/headless.hpp"

namespace tarno::headless {
using namespace window_internal;

namespace {
// [SECTION] File-level state
// Guarded by its own lock: tones and answers may come from any thread.
struct Script {
    std::mutex lock;
    std::vector<Tone> tones;
    std::vector<ShownNote> progress_notes;      // every progress note shown, in order
    std::deque<std::optional<std::string>> dialog_answers;
    std::deque<bool> yes_no_answers;
    std::vector<std::string> captions;
    std::string last_filter;
    int exit_behaviour = 1;
};
}  // namespace
static Script g_script;

// The characters of the cells a note of `note`'s length covers from (row, column) on.
static std::string covered_text(int row, int column, std::string_view note) {
    std::lock_guard guard(surface().lock);
    const CoreState& c = core();
    std::string text;
    const int last = std::min(c.columns, column + static_cast<int>(character_count(note)) - 1);
    if (row < 1 || row > c.rows) return text;
    for (int k = std::max(column, 1); k <= last; ++k) text += utf8_encoded(c.cells[size_t(row - 1) * c.columns + (k - 1)].character);
    return text;
}

namespace {
// [SECTION] Backend -------------------------------------------------------------
class HeadlessBackend final : public Backend {
public:
    void resize(int, int) override {}
    // Records the tone; the test does not wait for it.
    void play_tone(int frequency_hz, int duration_ms) override {
        std::lock_guard guard(g_script.lock);
        g_script.tones.push_back({frequency_hz, duration_ms});
    }
    std::optional<std::string> choose_file(std::string_view caption, std::string_view filter) override {
        std::unique_lock guard(g_script.lock);
        g_script.captions.emplace_back(caption);
        g_script.last_filter = std::string(filter);
        if (g_script.dialog_answers.empty()) {
            guard.unlock();
            close_key_queue(0, true);
            throw ProgramEnded{0, true};
        }
        std::optional<std::string> answer = g_script.dialog_answers.front();
        g_script.dialog_answers.pop_front();
        return answer;
    }
    bool ask_yes_no(std::string_view, std::string_view) override {
        std::unique_lock guard(g_script.lock);
        if (g_script.yes_no_answers.empty()) {
            guard.unlock();
            close_key_queue(0, true);
            throw ProgramEnded{0, true};
        }
        bool yes = g_script.yes_no_answers.front();
        g_script.yes_no_answers.pop_front();
        return yes;
    }
    void progress_shown(int row, int column, std::string_view note) override {
        ShownNote shown{row, column, std::string(note), covered_text(row, column, note)};
        std::lock_guard guard(g_script.lock);
        g_script.progress_notes.push_back(std::move(shown));
    }
    void focus() override {}
    void set_exit_behaviour(int behaviour) override {
        std::lock_guard guard(g_script.lock);
        g_script.exit_behaviour = behaviour;
    }
};
}  // namespace
static HeadlessBackend g_backend;

// [SECTION] Script --------------------------------------------------------------

// Starts a fresh window: screen, colours, keys, answers, tones and file names all new.
void start(int width, int height) {
    install_backend(&g_backend);
    reset_window_state(width, height);
    reset_file_arguments();
    seed_random(1);
    {
        std::lock_guard guard(g_script.lock);
        g_script.tones.clear();
        g_script.progress_notes.clear();
        g_script.dialog_answers.clear();
        g_script.yes_no_answers.clear();
        g_script.captions.clear();
        g_script.last_filter.clear();
        g_script.exit_behaviour = 1;
    }
    close_key_queue(0, true);
}

// Queues each byte as one keystroke.
void press_keys(std::string_view bytes) {
    for (char ch : bytes) push_key(uint8_t(ch));
}

// Queues an extended key: prefix and scan code.
void press_extended(int prefix, int scan_code) { push_extended_key(uint8_t(prefix), uint8_t(scan_code)); }

// Queues a typed answer and its ENTER.
void type_line(std::string_view text) {
    press_keys(text);
    push_key(13);
}

// Queues the result of the next file dialog (nothing = cancel).
void answer_dialog(std::optional<std::string> path) {
    std::lock_guard guard(g_script.lock);
    g_script.dialog_answers.push_back(std::move(path));
}

// Queues the answer of the next yes/no box.
void answer_yes_no(bool yes) {
    std::lock_guard guard(g_script.lock);
    g_script.yes_no_answers.push_back(yes);
}

// Runs the program here until it returns or ends; a reader thread still waiting
// for a key afterwards is woken (it gets ProgramEnded).
RunResult run(const std::function<void()>& program) {
    close_key_queue(0, true);  // an earlier run may have ended the queue with its own status
    RunResult result{false, 0, false};
    try {
        program();
    } catch (const ProgramEnded& ended) {
        result = {true, ended.status, ended.script_exhausted};
    }
    close_key_queue(result.status, true);
    return result;
}

// While on, read_key() waits on an exhausted script (a test's other thread
// presses keys); off again, a reader waiting on the empty script ends the run.
void hold_key_script(bool on) { hold_key_queue(on); }

// [SECTION] Screen --------------------------------------------------------------

// Returns the characters of a text row, UTF-8 encoded (empty outside the grid).
std::string row_text(int row) {
    std::lock_guard guard(surface().lock);
    const CoreState& c = core();
    if (row < 1 || row > c.rows) return {};
    std::string text;
    for (int column = 0; column < c.columns; ++column) text += utf8_encoded(c.cells[size_t(row - 1) * c.columns + column].character);
    return text;
}

static const Cell* cell_at(int row, int column) {
    const CoreState& c = core();
    if (row < 1 || row > c.rows || column < 1 || column > c.columns) return nullptr;
    return &c.cells[size_t(row - 1) * c.columns + (column - 1)];
}

// Returns the text colour a cell was written in (-1 outside the grid).
int cell_text_color(int row, int column) {
    std::lock_guard guard(surface().lock);
    const Cell* cell = cell_at(row, column);
    return cell ? cell->text_color : -1;
}

// Returns the background colour a cell was written on (-1 outside the grid).
int cell_background_color(int row, int column) {
    std::lock_guard guard(surface().lock);
    const Cell* cell = cell_at(row, column);
    return cell ? cell->background_color : -1;
}

// Returns a window pixel (black outside the window).
Rgb pixel(int x, int y) {
    std::lock_guard guard(surface().lock);
    const Surface& s = surface();
    if (x < 0 || y < 0 || x >= s.width || y >= s.height) return {0, 0, 0};
    return unpack_rgb(s.pixels[size_t(y) * s.width + x]);
}

// Writes the framebuffer as a PNG file; false when it cannot be written.
bool save_png(const std::string& path) {
    int width, height;
    std::vector<uint32_t> pixels;
    {
        std::lock_guard guard(surface().lock);
        width = surface().width;
        height = surface().height;
        pixels = surface().pixels;
    }
    return write_png(path, width, height, pixels);
}

// Returns the tones played since start().
std::vector<Tone> tones() {
    std::lock_guard guard(g_script.lock);
    return g_script.tones;
}

// Returns the progress notes shown since start(), in order.
std::vector<ShownNote> progress_notes() {
    std::lock_guard guard(g_script.lock);
    return g_script.progress_notes;
}

// Returns the progress note shown now ("" when none).
std::string progress_note() {
    std::lock_guard guard(surface().lock);
    return surface().progress_note;
}

// Returns the captions of the file dialogs shown since start().
std::vector<std::string> dialog_captions() {
    std::lock_guard guard(g_script.lock);
    return g_script.captions;
}

// Returns the filter list the last file dialog was given.
std::string last_dialog_filter() {
    std::lock_guard guard(g_script.lock);
    return g_script.last_filter;
}

}  // namespace tarno::headless
