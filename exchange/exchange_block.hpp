// The exchange block JOINTC: 156 bytes of named shared memory through which
// the display publishes its view and a partner program (or build/jointc)
// moves the view, the cursor and asks for measurements.
//
// What a reader must know first:
//  - The block is the POSIX shared-memory object "/tarno_jointc", mode 0600
//    (only the user can read or drive it), created zero-filled when absent and
//    mapped by every program that uses it. The layout below sits at offset 0,
//    little-endian, with no gaps:
//
//      offset width type          field
//         0    8   double         view_low
//         8    8   double         view_high
//        16    8   double         cursor_freq
//        24    8   double         spectrum_start
//        32    8   double         spectrum_end
//        40    4   float          transition_intensity
//        44   48   int32 x 12     quantum_numbers Q1..Q12
//        88   (4)  float          transition_extra: the same bytes as Q12
//        92    4   int32          command (0 = none)
//        96   60   char           spectrum_name, blank padded
//       156        end
//
//  - There is no lock: each side writes whole fields and reads the other's.
//    The accessors below load and store each field as one relaxed atomic
//    access, so a field is never seen half written.
//  - The environment variable TARNO_JOINTC_NAME selects
//    another block, so tests or a second pair of programs can run beside the
//    first without touching its block.
//  - When the shared object cannot be opened (no /dev/shm), the program works
//    on a private block of the same layout and says so once on stderr.
#pragma once

#include <cstddef>      // offsetof
#include <cstdint>
#include <string>
#include <string_view>

namespace tarno {

constexpr const char* JOINTC_NAME = "/tarno_jointc";   // shared-memory object name
constexpr size_t JOINTC_BYTES = 156;                    // bytes of the layout (size of the object)
constexpr int JOINTC_QUANTUM_NUMBERS = 12;

// The layout of the block. Never copy it as a whole (its C++ size carries 4
// bytes of tail padding beyond the 156 shared ones); use the accessors.
struct JointcBlock {
    double view_low;                    // lower view limit; display at every frame, partner to request a view
    double view_high;                   // upper view limit; as above
    double cursor_freq;                 // cursor; display at every frame and cursor move, partner to move it
    double spectrum_start;              // frequency of point 1; display when its loop starts
    double spectrum_end;                // frequency of the last point; display when its loop starts
    float transition_intensity;         // partner: intensity of the current transition
    int32_t quantum_numbers[JOINTC_QUANTUM_NUMBERS]; // partner: Q1..Q12 (Q12 shares its bytes with transition_extra)
    int32_t command;                    // measurement command, 0 none; set by partner or F1-F3, reset by the display
    char spectrum_name[60];             // spectrum file name without directory, blank padded
};

static_assert(offsetof(JointcBlock, view_low) == 0);
static_assert(offsetof(JointcBlock, view_high) == 8);
static_assert(offsetof(JointcBlock, cursor_freq) == 16);
static_assert(offsetof(JointcBlock, spectrum_start) == 24);
static_assert(offsetof(JointcBlock, spectrum_end) == 32);
static_assert(offsetof(JointcBlock, transition_intensity) == 40);
static_assert(offsetof(JointcBlock, quantum_numbers) == 44);
static_assert(offsetof(JointcBlock, command) == 92);
static_assert(offsetof(JointcBlock, spectrum_name) == 96);
static_assert(offsetof(JointcBlock, spectrum_name) + sizeof(JointcBlock::spectrum_name) == JOINTC_BYTES);
static_assert(sizeof(float) == 4 && sizeof(double) == 8);

constexpr size_t JOINTC_TRANSITION_EXTRA_OFFSET = 88;  // the bytes of Q12 read as a float

// [SECTION] Opening the block ----------------------------------------------------
JointcBlock& JOINTC();                          // the mapped block (opens exchange_block_name() on first use)
bool open_exchange_block(std::string_view name);// maps the named object now (created zero-filled, mode 0600); false: private block used
void use_private_exchange_block();              // a zero-filled block of this process only (tests)
bool exchange_block_is_shared();                // true when the block is a named shared object
std::string exchange_block_name();              // TARNO_JOINTC_NAME when set, else JOINTC_NAME

// [SECTION] View and cursor (display publishes, partner requests) ------------------
struct ExchangeView {
    double view_low;
    double view_high;
    double cursor_freq;
};
ExchangeView read_exchange_view();              // the three fields, each read whole
void publish_view_limits(double view_low, double view_high);
void publish_cursor(double cursor_freq);
void publish_spectrum(double start, double end, std::string_view name); // spectrum_start, spectrum_end, spectrum_name
double exchange_spectrum_start();
double exchange_spectrum_end();
std::string exchange_spectrum_name();           // trimmed

// [SECTION] Transition and command (partner supplies) -------------------------------
int32_t exchange_command();
void set_exchange_command(int32_t command);
float exchange_transition_intensity();
void set_exchange_transition_intensity(float value);
int32_t exchange_quantum_number(int q);         // q = 1..12
void set_exchange_quantum_number(int q, int32_t value);
float exchange_transition_extra();              // the bytes of Q12 as a float
void set_exchange_transition_extra(float value);

}  // namespace tarno
