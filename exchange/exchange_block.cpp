// Mapping of the exchange block and its field accessors. The block is opened
// lazily by the first accessor, so programs that never touch it (tests of
// other modules) never create the shared object.
#include "exchange/exchange_block.hpp"

#include <atomic>       // atomic_ref: whole-field loads and stores
#include <bit>          // bit_cast: Q12 read as a float
#include <cerrno>
#include <cstdio>
#include <cstdlib>      // getenv: TARNO_JOINTC_NAME
#include <cstring>
#include <fcntl.h>      // shm_open flags
#include <sys/mman.h>   // shm_open, mmap
#include <sys/stat.h>   // fstat, mode bits
#include <unistd.h>     // ftruncate, close

#include "common/fields.hpp"
#include "common/utf8.hpp"

namespace tarno {

// [SECTION] File-static state ------------------------------------------------------
static JointcBlock private_block;               // used when no shared object can be had
static JointcBlock* mapped_block = nullptr;     // the block in use (shared or private_block)
static bool mapped_shared = false;

// [SECTION] Field access helpers --------------------------------------------------
template <class T>
static T load(T& field) { return std::atomic_ref<T>(field).load(std::memory_order_relaxed); }

template <class T>
static void store(T& field, T value) { std::atomic_ref<T>(field).store(value, std::memory_order_relaxed); }

// Maps the named object, creating it zero-filled when absent and growing it to
// the full layout when a smaller one exists. Returns nullptr with a message on failure.
static JointcBlock* map_shared_block(std::string name) {
    int fd = shm_open(name.c_str(), O_RDWR | O_CREAT, S_IRUSR | S_IWUSR);
    if (fd < 0) {
        std::fprintf(stderr, "JOINTC: [%s] Failed to open shared memory: %s\n", name.c_str(), std::strerror(errno));
        return nullptr;
    }
    fchmod(fd, S_IRUSR | S_IWUSR);  // an object left by another tool may be wider open; ours is the user's only
    struct stat info {};
    if (fstat(fd, &info) != 0 || (static_cast<size_t>(info.st_size) < JOINTC_BYTES && ftruncate(fd, JOINTC_BYTES) != 0)) {
        std::fprintf(stderr, "JOINTC: [%s] Failed to size shared memory: %s\n", name.c_str(), std::strerror(errno));
        close(fd);
        return nullptr;
    }
    void* address = mmap(nullptr, JOINTC_BYTES, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);  // the mapping keeps the object
    if (address == MAP_FAILED) {
        std::fprintf(stderr, "JOINTC: [%s] Failed to map shared memory: %s\n", name.c_str(), std::strerror(errno));
        return nullptr;
    }
    // NOTE: the mapping is page sized, so the struct's 4 bytes of tail padding
    // lie inside it; they are never read or written.
    return static_cast<JointcBlock*>(address);
}

// Releases a shared mapping (the object itself stays for the other programs).
static void unmap_current() {
    if (mapped_block != nullptr && mapped_shared) munmap(mapped_block, JOINTC_BYTES);
    mapped_block = nullptr;
    mapped_shared = false;
}

// [SECTION] Opening the block -------------------------------------------------------

// Maps the named shared object; on failure falls back to the private block.
bool open_exchange_block(std::string_view name) {
    unmap_current();
    JointcBlock* block = map_shared_block(std::string(name));
    if (block == nullptr) {
        std::fprintf(stderr, "JOINTC: working with a private block (no partner can see it)\n");
        mapped_block = &private_block;
        return false;
    }
    mapped_block = block;
    mapped_shared = true;
    return true;
}

// Switches to a zero-filled block of this process only.
void use_private_exchange_block() {
    unmap_current();
    std::memset(static_cast<void*>(&private_block), 0, sizeof private_block);
    mapped_block = &private_block;
}

bool exchange_block_is_shared() { return mapped_shared; }

// Returns the shared-memory name to use: TARNO_JOINTC_NAME when set (a leading
// "/" is added when missing), else JOINTC_NAME.
std::string exchange_block_name() {
    const char* name = std::getenv("TARNO_JOINTC_NAME");
    if (name == nullptr || *name == '\0') return JOINTC_NAME;
    return *name == '/' ? std::string(name) : "/" + std::string(name);
}

// Returns the block in use, opening the shared object on first use: the one
// TARNO_JOINTC_NAME names (tests and side-by-side sessions), else "/tarno_jointc".
JointcBlock& JOINTC() {
    if (mapped_block == nullptr) open_exchange_block(exchange_block_name());
    return *mapped_block;
}

// [SECTION] View and cursor -----------------------------------------------------------

ExchangeView read_exchange_view() {
    JointcBlock& b = JOINTC();
    return {load(b.view_low), load(b.view_high), load(b.cursor_freq)};
}

void publish_view_limits(double view_low, double view_high) {
    JointcBlock& b = JOINTC();
    store(b.view_low, view_low);
    store(b.view_high, view_high);
}

void publish_cursor(double cursor_freq) { store(JOINTC().cursor_freq, cursor_freq); }

// Writes the spectrum range and its name (cut to 60 bytes of whole UTF-8
// characters, blank padded).
void publish_spectrum(double start, double end, std::string_view name) {
    JointcBlock& b = JOINTC();
    store(b.spectrum_start, start);
    store(b.spectrum_end, end);
    std::string field = padded(name.substr(0, whole_characters_within(name, sizeof b.spectrum_name)), sizeof b.spectrum_name);
    std::memcpy(b.spectrum_name, field.data(), sizeof b.spectrum_name);
}

double exchange_spectrum_start() { return load(JOINTC().spectrum_start); }
double exchange_spectrum_end() { return load(JOINTC().spectrum_end); }

std::string exchange_spectrum_name() {
    JointcBlock& b = JOINTC();
    return std::string(trim(std::string_view(b.spectrum_name, sizeof b.spectrum_name)));
}

// [SECTION] Transition and command ------------------------------------------------------

int32_t exchange_command() { return load(JOINTC().command); }
void set_exchange_command(int32_t command) { store(JOINTC().command, command); }
float exchange_transition_intensity() { return load(JOINTC().transition_intensity); }
void set_exchange_transition_intensity(float value) { store(JOINTC().transition_intensity, value); }

// Returns Q1..Q12; a number outside 1..12 reads as 0.
int32_t exchange_quantum_number(int q) {
    if (q < 1 || q > JOINTC_QUANTUM_NUMBERS) return 0;
    return load(JOINTC().quantum_numbers[q - 1]);
}

void set_exchange_quantum_number(int q, int32_t value) {
    if (q < 1 || q > JOINTC_QUANTUM_NUMBERS) return;
    store(JOINTC().quantum_numbers[q - 1], value);
}

float exchange_transition_extra() {
    return std::bit_cast<float>(load(JOINTC().quantum_numbers[JOINTC_QUANTUM_NUMBERS - 1]));
}

void set_exchange_transition_extra(float value) {
    store(JOINTC().quantum_numbers[JOINTC_QUANTUM_NUMBERS - 1], std::bit_cast<int32_t>(value));
}

static_assert(offsetof(JointcBlock, quantum_numbers) + 4 * (JOINTC_QUANTUM_NUMBERS - 1) == JOINTC_TRANSITION_EXTRA_OFFSET);

}  // namespace tarno
