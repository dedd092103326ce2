// The SDL backend: the program's real desktop window.
//
// Threads:
//   main thread (here)   owns SDL: pumps events into the key queue, presents the
//                        Surface when its generation changed (at most 60 frames
//                        a second), blinks the text cursor on top, carries out
//                        what the core requests (window size, focus, title).
//   program thread       runs the program; draws into the Surface under its lock,
//                        waits in read_key(), plays tones, shows the in-window
//                        dialogs. It never touches SDL video, so the window keeps
//                        redrawing and answering whatever the program computes.
// Requests from the program thread are queued and wake the main thread with a
// user event; nothing on the program side waits for the main thread.
//
// Closing the window while the program runs asks first (the close button only
// exists with a window manager, so SDL's own message box has the focus). Where
// that box cannot be shown (it needs the X core fonts), the main thread asks
// in the window itself, drawn over the program's picture. When
// the program ends, set_exit_behaviour decides: 1 ask in the window, 2 close
// after 20 ms, 3 keep the window open until it is closed (ESC also closes it).
//
// Sections:
//   [SECTION] State
//   [SECTION] Keys
//   [SECTION] Presenting
//   [SECTION] Backend calls
//   [SECTION] Program thread
//   [SECTION] Closing
//   [SECTION] Main loop
#include "window/sdl_backend.hpp"

#include <SDL.h>                        // window, renderer, events, message box

#include "common/staged_file.hpp"       // remove_live_temporaries on a forced exit
#include "common/utf8.hpp"              // text events are passed on as UTF-8
#include "window/backend.hpp"           // Surface, key queue, Backend
#include "window/close_question.hpp"    // asked in the window when the message box fails
#include "window/core.hpp"              // the progress note drawn over the picture
#include "window/file_chooser.hpp"      // in-window chooser when no native dialog exists
#include "window/native_file_dialog.hpp"// zenity / kdialog
#include "window/sdl_keys.hpp"
#include "window/sdl_tone.hpp"
#include "window/window.hpp"
#include "window/yes_no_box.hpp"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace tarno {

using namespace window_internal;

constexpr Uint32 FRAME_INTERVAL_MS = 16;    // at most ~60 presents a second
constexpr Uint32 BLINK_INTERVAL_MS = 500;   // text cursor on, then off
constexpr int EVENT_WAIT_MS = 8;            // longest sleep between checks of the Surface
constexpr int CLOSE_PAUSE_MS = 20;          // exit behaviour 2
constexpr int STOP_WAIT_MS = 2000;          // how long a closed program may take to unwind
constexpr const char* DEFAULT_TITLE = "TARNO";

// [SECTION] State ---------------------------------------------------------------

namespace {
// What the program thread asks of the main thread. Guarded by `lock`.
struct Requests {
    std::mutex lock;
    std::optional<std::pair<int, int>> client_size;  // set by Backend::resize (pixels)
    bool focus = false;                              // set by Backend::focus
    std::optional<std::string> title;                // set by Backend::set_title
};

// A thread running the program (or the closing question); set by run_thread().
struct ThreadRun {
    std::thread thread;
    std::atomic<bool> finished{false};  // set by the thread as its last act
    int status = 0;                     // exit status (valid once finished)
    bool answer = false;                // the closing question's answer
    bool ends_program = false;          // the program itself: its end closes the key queue
};

// The SDL handles and the state of the main loop, in one place.
struct SdlWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int texture_width = 0, texture_height = 0;
    Uint32 wake_event = 0;              // user event type that wakes the loop

    // Presenting: a copy of the Surface taken under its lock.
    std::vector<uint32_t> frame;
    int frame_width = 0, frame_height = 0;
    uint64_t shown_generation = 0;
    bool frame_valid = false;           // false until the first copy, and after EXPOSED
    bool cursor_shown = false;          // the cursor was drawn into the last present
    int cursor_x = -1, cursor_y = -1;   // last cursor cell; a move restarts the blink
    Uint32 blink_start = 0;             // ticks when the cursor last appeared
    Uint32 last_present = 0;            // ticks of the last present

    // Lifetime.
    std::atomic<int> exit_behaviour{1}; // set by Backend::set_exit_behaviour
    std::atomic<bool> closing{false};   // the window is going away: the program is told to end
    bool close_question = false;        // the close question is drawn in the window, waiting for its answer
    bool program_over = false;          // the program thread has finished
    bool keep_open = false;             // finished, window stays until closed
    bool quit = false;                  // leave the main loop
    Requests requests;
};
}  // namespace
static SdlWindow SDLW;

static void wake_main_thread() {
    SDL_Event wake{};
    wake.type = SDLW.wake_event;
    SDL_PushEvent(&wake);
}

// [SECTION] Keys ------------------------------------------------------------------

std::string window_internal::text_input_bytes(std::string_view utf8) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size();) {
        DecodedCharacter ch = decode_character(utf8, i);
        bool whole = ch.length > 1 || ch.code < 0x80;    // a lone byte >= 0x80 is no UTF-8 character
        if (whole && ch.code >= 32 && ch.code != KEY_DELETE_CHARACTER && !(ch.code >= 0x80 && ch.code < 0xA0))
            bytes.append(utf8.substr(i, ch.length));
        i += ch.length;
    }
    return bytes;
}

// Scan code of a cursor-block key (grey keys, or the keypad with NumLock off); 0 for others.
static uint8_t cursor_scan_code(SDL_Keycode sym, bool keypad_navigates) {
    switch (sym) {
    case SDLK_HOME: return 71;
    case SDLK_UP: return 72;
    case SDLK_PAGEUP: return 73;
    case SDLK_LEFT: return 75;
    case SDLK_RIGHT: return 77;
    case SDLK_END: return 79;
    case SDLK_DOWN: return 80;
    case SDLK_PAGEDOWN: return 81;
    case SDLK_INSERT: return 82;
    case SDLK_DELETE: return 83;
    default: break;
    }
    if (!keypad_navigates) return 0;
    switch (sym) {
    case SDLK_KP_7: return 71;
    case SDLK_KP_8: return 72;
    case SDLK_KP_9: return 73;
    case SDLK_KP_4: return 75;
    case SDLK_KP_6: return 77;
    case SDLK_KP_1: return 79;
    case SDLK_KP_2: return 80;
    case SDLK_KP_3: return 81;
    case SDLK_KP_0: return 82;
    case SDLK_KP_PERIOD: return 83;
    default: return 0;
    }
}

// Scan code of a function key (F1-F10 59-68, F11 133, F12 134); 0 for others.
static uint8_t function_scan_code(SDL_Keycode sym) {
    if (sym >= SDLK_F1 && sym <= SDLK_F10) return static_cast<uint8_t>(59 + (sym - SDLK_F1));
    if (sym == SDLK_F11) return 133;
    if (sym == SDLK_F12) return 134;
    return 0;
}

// KEYDOWN: the keys that bring no text. Characters come from TEXTINPUT only,
// so a letter or '@' is queued exactly once; modifier-only presses are dropped.
static void handle_key_down(const SDL_Keysym& key) {
    switch (key.sym) {
    case SDLK_RETURN: case SDLK_KP_ENTER: push_key(13); return;
    case SDLK_ESCAPE: push_key(27); return;
    case SDLK_BACKSPACE: push_key(8); return;
    case SDLK_TAB: push_key(9); return;
    default: break;
    }
    bool keypad_navigates = (key.mod & KMOD_NUM) == 0;
    if (uint8_t code = function_scan_code(key.sym)) {
        if (direction_keys_passed()) push_extended_key(KEY_PREFIX_FUNCTION, code);
    } else if (uint8_t code = cursor_scan_code(key.sym, keypad_navigates)) {
        if (direction_keys_passed()) push_extended_key(KEY_PREFIX_CURSOR, code);
    } else if ((key.mod & KMOD_CTRL) && !(key.mod & KMOD_ALT) && key.sym >= SDLK_a && key.sym <= SDLK_z) {
        push_key(static_cast<uint8_t>(key.sym - SDLK_a + 1));  // Ctrl+A = 1 ... Ctrl+Z = 26; no text event comes
    }
}

// [SECTION] Presenting -------------------------------------------------------------

// Inverts the cursor cell of the frame (doing it twice restores it).
static void invert_cursor(SdlWindow& w, int x, int y, int width, int height) {
    int x1 = std::max(0, x), y1 = std::max(0, y);
    int x2 = std::min(w.frame_width, x + width), y2 = std::min(w.frame_height, y + height);
    for (int row = y1; row < y2; ++row)
        for (int col = x1; col < x2; ++col) w.frame[static_cast<size_t>(row) * static_cast<size_t>(w.frame_width) + static_cast<size_t>(col)] ^= 0x00FFFFFFu;
}

// Makes the texture match the frame size.
static bool fit_texture(SdlWindow& w) {
    if (w.texture != nullptr && w.texture_width == w.frame_width && w.texture_height == w.frame_height) return true;
    if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
    // RGB888 is 0x00RRGGBB in a 32-bit word: the Surface's own layout.
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, w.frame_width, w.frame_height);
    w.texture_width = w.frame_width;
    w.texture_height = w.frame_height;
    return w.texture != nullptr;
}

// Presents the Surface when it changed, the cursor blinked or the window was exposed.
static void present_if_needed(SdlWindow& w) {
    Uint32 now = SDL_GetTicks();
    if (w.frame_valid && now - w.last_present < FRAME_INTERVAL_MS) return;

    bool changed = !w.frame_valid;
    bool cursor_visible;
    int cx, cy, cw, ch;
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        if (changed || s.generation != w.shown_generation || s.width != w.frame_width || s.height != w.frame_height) {
            w.frame = s.pixels;  // the only copy made under the lock; SDL work happens after it
            w.frame_width = s.width;
            w.frame_height = s.height;
            w.shown_generation = s.generation;
            changed = true;
            draw_progress_note_locked(w.frame, w.frame_width, w.frame_height);
            if (w.close_question) draw_close_question_locked(w.frame, w.frame_width, w.frame_height);
        }
        cursor_visible = s.text_cursor_visible;
        cx = s.text_cursor_x, cy = s.text_cursor_y, cw = s.text_cursor_width, ch = s.text_cursor_height;
    }
    if (w.frame.size() != static_cast<size_t>(w.frame_width) * static_cast<size_t>(w.frame_height)) return;  // a Surface mid-resize

    if (cx != w.cursor_x || cy != w.cursor_y) {  // typing restarts the blink with the cursor on
        w.cursor_x = cx, w.cursor_y = cy;
        w.blink_start = now;
    }
    bool cursor_on = cursor_visible && ((now - w.blink_start) / BLINK_INTERVAL_MS) % 2 == 0;
    if (!changed && cursor_on == w.cursor_shown) return;

    if (!fit_texture(w)) return;
    if (cursor_on) invert_cursor(w, cx, cy, cw, ch);
    SDL_UpdateTexture(w.texture, nullptr, w.frame.data(), w.frame_width * 4);
    if (cursor_on) invert_cursor(w, cx, cy, cw, ch);
    SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
    SDL_RenderClear(w.renderer);
    SDL_Rect target{0, 0, w.frame_width, w.frame_height};  // 1:1, never scaled
    SDL_RenderCopy(w.renderer, w.texture, nullptr, &target);
    SDL_RenderPresent(w.renderer);
    w.cursor_shown = cursor_on;
    w.frame_valid = true;
    w.last_present = now;
}

// [SECTION] Backend calls ---------------------------------------------------------------
// Called by the core on the program thread.

namespace {
class SdlBackend final : public Backend {
public:
    void resize(int width, int height) override {
        {
            std::lock_guard hold(SDLW.requests.lock);
            SDLW.requests.client_size = std::make_pair(width, height);
        }
        wake_main_thread();
    }

    void play_tone(int frequency_hz, int duration_ms) override { play_sine_tone(frequency_hz, duration_ms); }

    std::optional<std::string> choose_file(std::string_view caption, std::string_view filter) override {
        std::error_code error;
        std::filesystem::path here = std::filesystem::current_path(error);
        NativeDialogResult native = run_native_file_dialog(caption, filter, error ? std::string() : here.string());
        if (SDLW.closing) return std::nullopt;
        if (native.outcome == NativeDialogOutcome::chosen) return native.path;
        if (native.outcome == NativeDialogOutcome::cancelled) return std::nullopt;
        return choose_file_in_window(caption, filter, error ? std::filesystem::path(".") : here);
    }

    bool ask_yes_no(std::string_view caption, std::string_view message) override {
        return ask_yes_no_in_window(caption, message);
    }

    void focus() override {
        {
            std::lock_guard hold(SDLW.requests.lock);
            SDLW.requests.focus = true;
        }
        wake_main_thread();
    }

    // A window without a caption is hard to find in a task bar: "" keeps the program's name.
    void set_title(std::string_view title) override {
        {
            std::lock_guard hold(SDLW.requests.lock);
            SDLW.requests.title = std::string(title.empty() ? DEFAULT_TITLE : title);
        }
        wake_main_thread();
    }

    void set_exit_behaviour(int behaviour) override {
        if (behaviour >= 1 && behaviour <= 3) SDLW.exit_behaviour = behaviour;
    }
};
}  // namespace

// Main thread: carries out what the program thread asked for.
static void run_requests(SdlWindow& w) {
    std::optional<std::pair<int, int>> size;
    std::optional<std::string> title;
    bool focus;
    {
        std::lock_guard hold(w.requests.lock);
        size = std::exchange(w.requests.client_size, std::nullopt);
        title = std::exchange(w.requests.title, std::nullopt);
        focus = std::exchange(w.requests.focus, false);
    }
    if (title) SDL_SetWindowTitle(w.window, title->c_str());
    if (size) {
        SDL_SetWindowSize(w.window, size->first, size->second);  // the client area, no menus around it
        w.frame_valid = false;
    }
    // Only take the focus when another window has it: the key reader asks on every key.
    if (focus && !(SDL_GetWindowFlags(w.window) & SDL_WINDOW_INPUT_FOCUS)) {
        SDL_RaiseWindow(w.window);
        SDL_SetWindowInputFocus(w.window);  // works without a window manager too
    }
}

// [SECTION] Program thread ------------------------------------------------------------------

// Runs `work` on a thread of its own; ProgramEnded gives the status, a return 0.
static void run_thread(ThreadRun& run, std::function<void(ThreadRun&)> work) {
    run.thread = std::thread([&run, work = std::move(work)] {
        try {
            work(run);
            run.status = 0;
        } catch (const ProgramEnded& ended) {
            run.status = ended.status;
        } catch (const std::exception& error) {
            std::fprintf(stderr, "tarno: the program stopped on an unexpected error: %s\n", error.what());
            run.status = 1;
        } catch (...) {
            std::fprintf(stderr, "tarno: the program stopped on an unexpected error\n");
            run.status = 1;
        }
        // Threads the program started (the key reader) must not wait for keys forever.
        if (run.ends_program) close_key_queue(run.status, false);
        run.finished = true;
        wake_main_thread();
    });
}

// Waits up to `milliseconds` for a thread to finish; true when it has (and is joined).
static bool join_within(ThreadRun& run, int milliseconds) {
    for (int waited = 0; !run.finished && waited < milliseconds; waited += 5) SDL_Delay(5);
    if (!run.finished) return false;
    run.thread.join();
    return true;
}

// [SECTION] Closing ----------------------------------------------------------------------------

// Asks in the window itself: the question is drawn over the next frames and
// the keys answer it (handle_close_answer) before the program sees them.
static void open_close_question(SdlWindow& w) {
    w.close_question = true;
    w.frame_valid = false;
}

enum CloseAnswer { CloseAnswer_Yes, CloseAnswer_No, CloseAnswer_AskInWindow };

// The close button while the program runs: SDL's message box (there is a
// window manager); when it cannot be shown, the question in the window.
// TARNO_TEST_NO_MESSAGE_BOX (tests only) makes the box fail as it does on a
// system without the X core fonts.
static CloseAnswer confirm_close(SdlWindow& w) {
    const char* no_box = std::getenv("TARNO_TEST_NO_MESSAGE_BOX");
    if (no_box != nullptr && *no_box != '\0') return CloseAnswer_AskInWindow;
    const SDL_MessageBoxButtonData buttons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "No"},
    };
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_WARNING;
    box.window = w.window;
    box.title = DEFAULT_TITLE;
    box.message = CLOSE_QUESTION;
    box.numbuttons = 2;
    box.buttons = buttons;
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) return CloseAnswer_AskInWindow;
    w.frame_valid = false;  // the box may have covered the window
    return pressed == 1 ? CloseAnswer_Yes : CloseAnswer_No;
}

// Tells the running program to end: pending and future read_key() calls end it.
static void end_running_program(SdlWindow& w) {
    w.closing = true;
    close_key_queue(0, false);
    cancel_native_file_dialog();
}

static void on_close_request(SdlWindow& w) {
    if (w.program_over) {
        w.quit = true;
        return;
    }
    if (w.close_question) return;   // already asking
    switch (confirm_close(w)) {
    case CloseAnswer_Yes:
        end_running_program(w);
        w.quit = true;
        break;
    case CloseAnswer_No: break;
    case CloseAnswer_AskInWindow: open_close_question(w); break;
    }
}

// While the question in the window is open, every key belongs to it: Y (its
// character) or ENTER close, N or ESC go on, anything else is ignored.
// Letters are taken from their text event, so none reaches the program after
// the answer. Returns false for events that are not keys.
static bool handle_close_answer(SdlWindow& w, const SDL_Event& e) {
    std::optional<bool> yes;
    if (e.type == SDL_KEYDOWN) {
        SDL_Keycode sym = e.key.keysym.sym;
        if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) yes = true;
        else if (sym == SDLK_ESCAPE) yes = false;
    } else if (e.type == SDL_TEXTINPUT) {
        std::string_view text = e.text.text;
        if (text == "y" || text == "Y") yes = true;
        else if (text == "n" || text == "N") yes = false;
    } else {
        return false;
    }
    if (yes) {
        w.close_question = false;
        w.frame_valid = false;
        if (*yes) {
            end_running_program(w);
            w.quit = true;
        }
    }
    return true;
}

// The program has finished: what set_exit_behaviour chose.
static void on_program_finished(SdlWindow& w, ThreadRun& question) {
    w.program_over = true;
    if (w.close_question) {     // ended by itself while the close question was open: nothing left to ask
        w.close_question = false;
        w.frame_valid = false;
    }
    if (w.closing) {
        w.quit = true;
        return;
    }
    switch (w.exit_behaviour.load()) {
    case 2:
        SDL_Delay(CLOSE_PAUSE_MS);
        w.quit = true;
        break;
    case 3:
        w.keep_open = true;
        break;
    default:  // 1: ask in the window, on a thread of its own so the loop goes on
        reopen_key_queue();  // keys typed for the program are not answers
        run_thread(question, [](ThreadRun& run) {
            run.answer = ask_yes_no_in_window(DEFAULT_TITLE, "The program has finished.\nClose the window?");
        });
        break;
    }
}

// [SECTION] Main loop ------------------------------------------------------------------------------

static bool has_display() {
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// Creates the window at the Surface's size; false (with a message) on failure.
static bool open_window(SdlWindow& w) {
    int width, height;
    {
        Surface& s = surface();
        std::lock_guard hold(s.lock);
        width = s.width, height = s.height;
    }
    w.window = SDL_CreateWindow(DEFAULT_TITLE, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, SDL_WINDOW_SHOWN);
    if (w.window == nullptr) {
        std::fprintf(stderr, "tarno: cannot open the window: %s\n", SDL_GetError());
        return false;
    }
    w.renderer = SDL_CreateRenderer(w.window, -1, 0);
    if (w.renderer == nullptr) w.renderer = SDL_CreateRenderer(w.window, -1, SDL_RENDERER_SOFTWARE);
    if (w.renderer == nullptr) {
        std::fprintf(stderr, "tarno: cannot draw into the window: %s\n", SDL_GetError());
        return false;
    }
    SDL_SetWindowInputFocus(w.window);  // without a window manager nobody else gives it
    SDL_StartTextInput();
    return true;
}

static void handle_event(SdlWindow& w, const SDL_Event& e) {
    if (w.close_question && handle_close_answer(w, e)) return;
    switch (e.type) {
    case SDL_KEYDOWN:
        if (w.keep_open && e.key.keysym.sym == SDLK_ESCAPE) w.quit = true;
        else handle_key_down(e.key.keysym);
        break;
    case SDL_TEXTINPUT:
        for (char byte : text_input_bytes(e.text.text)) push_key(static_cast<uint8_t>(byte));
        break;
    case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) w.frame_valid = false;
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) on_close_request(w);
        break;
    case SDL_QUIT:
        on_close_request(w);
        break;
    case SDL_DROPFILE:
        if (e.drop.file != nullptr) queue_dropped_file(e.drop.file);
        SDL_free(e.drop.file);
        break;
    default:
        break;
    }
}

static void close_window(SdlWindow& w) {
    close_tone_device();
    if (w.texture != nullptr) SDL_DestroyTexture(w.texture);
    if (w.renderer != nullptr) SDL_DestroyRenderer(w.renderer);
    if (w.window != nullptr) SDL_DestroyWindow(w.window);
    w.texture = nullptr, w.renderer = nullptr, w.window = nullptr;
    SDL_Quit();
}

// The hints SDL starts with. SDL_Quit forgets every hint, so they are given
// again before each start: without the first, a start after a refused attempt
// would let SDL turn SIGTERM and Ctrl+C into a close request (the program then
// asks instead of ending, and its temporary files stay).
static void set_sdl_hints() {
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");          // Ctrl+C and SIGTERM end the process as usual
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");   // the close button alone, not a second SDL_QUIT
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");                // the loop paces itself
}

// Starts SDL's video on a driver that shows a window. SDL falls back to drivers
// that show nothing when the display does not answer; those are taken only when
// asked for by name. A display server that is busy starting or loaded may
// refuse a first connection, so a few attempts are made before giving up.
static bool start_video() {
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    constexpr int ATTEMPTS = 5;
    for (int attempt = 1; attempt <= ATTEMPTS; ++attempt) {
        set_sdl_hints();
        if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
            if (attempt == ATTEMPTS) {
                std::fprintf(stderr, "tarno: cannot start the window system: %s\n", SDL_GetError());
                return false;
            }
        } else {
            const char* driver = SDL_GetCurrentVideoDriver();
            bool invisible = driver != nullptr &&
                             (std::string_view(driver) == "offscreen" || std::string_view(driver) == "dummy") &&
                             (wanted == nullptr || std::string_view(wanted) != driver);
            if (!invisible) return true;
            SDL_Quit();
            if (attempt == ATTEMPTS) {
                std::fprintf(stderr, "tarno: no usable display (SDL chose the invisible \"%s\" driver).\n", driver);
                return false;
            }
        }
        SDL_Delay(300);
    }
    return false;
}

int run_in_window(const std::function<void()>& program, std::vector<std::string> file_arguments) {
    SdlWindow& w = SDLW;

    // Setup --------------------------------------------------------------------
    if (!has_display()) {
        std::fprintf(stderr, "tarno: no graphical display (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                             "Start TARNO from a desktop session, or under Xvfb for tests.\n");
        return 1;
    }
    if (!start_video()) return 1;
    w.wake_event = SDL_RegisterEvents(1);
    reset_window_state(800, 540);
    set_file_arguments(std::move(file_arguments));
    if (!open_window(w)) {
        close_window(w);
        return 1;
    }
    open_tone_device();
    SdlBackend backend;
    install_backend(&backend);
    ThreadRun program_run, question;
    program_run.ends_program = true;
    run_thread(program_run, [&program](ThreadRun&) { program(); });

    // Loop: events, requests, end of the program, present --------------------
    while (!w.quit) {
        SDL_Event e;
        if (SDL_WaitEventTimeout(&e, EVENT_WAIT_MS)) {
            handle_event(w, e);
            while (!w.quit && SDL_PollEvent(&e)) handle_event(w, e);
        }
        run_requests(w);
        if (!w.program_over && program_run.finished) on_program_finished(w, question);
        if (question.finished && question.thread.joinable()) {
            question.thread.join();
            if (question.answer) w.quit = true;
            else w.keep_open = true;
        }
        if (!w.quit) present_if_needed(w);
    }

    // Cleanup ------------------------------------------------------------------
    bool question_open = question.thread.joinable() && !question.finished;
    if (!w.program_over || question_open) end_running_program(w);
    SDL_HideWindow(w.window);
    bool stopped = join_within(program_run, STOP_WAIT_MS);
    if (question.thread.joinable()) stopped = join_within(question, STOP_WAIT_MS) && stopped;
    install_backend(nullptr);
    close_window(w);
    if (!stopped) {
        // The program is inside a long computation and cannot be unwound; its
        // files are written through temporaries, so ending here loses none.
        std::fprintf(stderr, "tarno: the program did not stop in time; exiting.\n");
        remove_live_temporaries();  // an unfinished output leaves no hidden temporary file
        std::fflush(nullptr);
        std::_Exit(program_run.finished ? program_run.status : 0);
    }
    return program_run.status;
}

}  // namespace tarno
