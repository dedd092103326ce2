// PEEKAPPMODULE: a reader thread moves keystrokes from the window into a
// 256-byte ring buffer so that a loop that must keep working (the linked
// display) can poll for keys without blocking.
//
//   slots 0..255, R = slot of the last byte taken, W = slot of the last byte stored
//   empty: R == W        full: (W + 1) mod 256 == R   (one slot stays empty: 255 bytes at most)
//
// Calling order: PEEKSTART, any number of USERPEEKCHAR / USERGETCHAR, PEEKSTOP
// before INKEY or any other direct key read; both would wait on the same keys.
// The byte 199, typed or posted by PEEKSTOP, ends the reader and is not stored.
//
// When the program ends while the reader waits (window closed, or a test's key
// script ran out), the reader ends quietly and the next USERPEEKCHAR on an
// empty buffer ends the main loop the same way a direct key read would.
#include "input/keyboard.hpp"

#include <array>
#include <atomic>
#include <cerrno>      // getpriority reports failure only through errno
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

#if defined(__linux__)
#include <sys/resource.h>   // setpriority: one step above normal
#include <sys/syscall.h>    // gettid for the reader's own priority
#include <unistd.h>
#endif

#include "window/window.hpp"

namespace tarno {

constexpr int RING_SIZE = 256;
constexpr int STOP_CHARACTER = 199;
constexpr int FULL_OR_EMPTY_TONE_HZ = 4000;
constexpr int FULL_OR_EMPTY_TONE_MS = 250;
constexpr int START_SETTLE_MS = 20;       // lets the reader reach its first read

// [SECTION] File-static state
static std::array<uint8_t, RING_SIZE> ring{};   // pending keystrokes; guarded by ring_lock
static int read_index = 0;                      // R; guarded by ring_lock
static int write_index = 0;                     // W; guarded by ring_lock
static std::mutex ring_lock;
static std::optional<ProgramEnded> reader_end;  // set when the program ended under the reader; guarded by ring_lock
static int32_t stored_unit = UNIT_KEYBOARD;     // written before the reader starts
static std::atomic<bool> running{false};        // from PEEKSTART until PEEKSTOP or a 199

// The reader thread object is never destroyed: a reader still blocked at exit
// must not take the process down with std::terminate.
static std::thread& reader_thread() {
    static std::thread* thread = new std::thread();
    return *thread;
}

// [SECTION] Reader thread

// Raises the calling thread one step above normal priority where the platform
// allows it (unprivileged users may not); keys are then taken promptly while
// the main thread computes.
static void raise_priority() {
#if defined(__linux__)
    const id_t tid = id_t(syscall(SYS_gettid));
    errno = 0;
    int nice_value = getpriority(PRIO_PROCESS, tid);
    if (errno == 0) setpriority(PRIO_PROCESS, tid, nice_value - 1);
#endif
}

// Stores one keystroke, or beeps and drops it when the buffer is full. The
// tone sounds after the lock is released: the polling loop must not stall
// for its 250 ms.
static void store_byte(uint8_t byte) {
    {
        std::lock_guard<std::mutex> guard(ring_lock);
        int next = (write_index + 1) % RING_SIZE;
        if (next != read_index) {
            ring[size_t(next)] = byte;
            write_index = next;
            return;
        }
    }
    beep(FULL_OR_EMPTY_TONE_HZ, FULL_OR_EMPTY_TONE_MS);
}

// The reader: keeps the window focused and moves keystrokes into the ring
// until it reads the stop character or the program ends.
static void GETCHARPROC(const int32_t* unit) {
    raise_priority();
    for (;;) {
        focus_window(*unit);
        int byte;
        try {
            byte = read_key();
        } catch (const ProgramEnded& ended) {
            std::lock_guard<std::mutex> guard(ring_lock);
            reader_end = ended;
            running = false;
            return;
        }
        if (byte == STOP_CHARACTER) {
            running = false;
            return;
        }
        store_byte(uint8_t(byte));
    }
}

// [SECTION] Public routines

// Starts the reader thread for `unit`, emptying the buffer; does nothing when
// the reader is already running.
void PEEKSTART(int32_t unit) {
    if (running) return;
    std::thread& thread = reader_thread();
    if (thread.joinable()) thread.join();   // a reader that saw 199 has ended already
    stored_unit = unit;
    {
        std::lock_guard<std::mutex> guard(ring_lock);
        read_index = 0;
        write_index = 0;
        reader_end.reset();
    }
    // Running before the thread exists: a 199 read at once must leave it false.
    running = true;
    thread = std::thread(GETCHARPROC, &stored_unit);
    sleep_ms(START_SETTLE_MS);
}

// Returns true when at least one keystroke is pending. On an empty buffer
// after the program ended under the reader, ends the caller too.
bool USERPEEKCHAR() {
    std::lock_guard<std::mutex> guard(ring_lock);
    if (read_index != write_index) return true;
    if (reader_end) throw *reader_end;
    return false;
}

// Takes the oldest pending keystroke into `ch`; beeps (outside the lock, so
// the reader can go on storing keys) and gives a blank when none is pending.
void USERGETCHAR(char& ch) {
    {
        std::lock_guard<std::mutex> guard(ring_lock);
        if (read_index != write_index) {
            read_index = (read_index + 1) % RING_SIZE;
            ch = char(ring[size_t(read_index)]);
            return;
        }
    }
    ch = ' ';
    beep(FULL_OR_EMPTY_TONE_HZ, FULL_OR_EMPTY_TONE_MS);
}

// Stops the reader by posting the stop character to its window; does nothing
// when the reader is not running. Waits for the reader to end, so that it
// cannot take the next key meant for a direct read.
void PEEKSTOP() {
    if (!running) return;
    send_character(native_window_handle(stored_unit), uint8_t(STOP_CHARACTER));
    std::thread& thread = reader_thread();
    if (thread.joinable()) thread.join();
    running = false;
}

}  // namespace tarno
