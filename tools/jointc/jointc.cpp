// jointc: the partner's side of the exchange block on the command line. It
// shows the block, and moves the display's view and cursor from outside, as
// a partner program would:
//
//   jointc                      show every field
//   jointc show                 the same
//   jointc view LOW HIGH        request view limits (the display adopts them)
//   jointc cursor FREQ          move the cursor
//   jointc reset                zero every field (a clean block for a test)
//   jointc get FIELD            print one field (view_low, view_high, cursor_freq,
//                               spectrum_start, spectrum_end, spectrum_name, command,
//                               transition_intensity, transition_extra, q1..q12)
//
// and asks for measurements, as the partner does for each transition:
//
//   jointc quantum Q1 [.. Q12]  the transition's quantum numbers (those not given are 0)
//   jointc intensity X          transition_intensity (weight of blends, intensity records)
//   jointc extra X              transition_extra (the bytes of Q12, read as a real)
//   jointc command N [--wait] [--timeout S]
//                               place measurement command N (1 line, 2 blend, 3 excluded,
//                               4 measure only, 5 average, 6 intensity); with --wait
//                               return once the display has taken it (command back to 0)
//   jointc wait [--timeout S]   wait until no command is pending
//
// The block is the shared object TARNO_JOINTC_NAME names, else /tarno_jointc.
// Exit status 0 on success, 1 when the block cannot be opened, 2 for a usage
// error, 3 when a wait timed out (the command is left in place).
#include <chrono>       // waiting for the display to take a command
#include <cstdio>
#include <climits>      // INT32_MIN, INT32_MAX
#include <cstdlib>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

#include "exchange/exchange_block.hpp"

namespace {

using Arguments = std::vector<std::string_view>;

// Prints how to call the tool; returns the usage exit status.
int print_usage() {
    std::fprintf(stderr,
                 "usage: jointc [show]\n"
                 "       jointc view LOW HIGH\n"
                 "       jointc cursor FREQ\n"
                 "       jointc reset\n"
                 "       jointc get FIELD\n"
                 "       jointc quantum Q1 [.. Q12]\n"
                 "       jointc intensity X\n"
                 "       jointc extra X\n"
                 "       jointc command N [--wait] [--timeout S]\n"
                 "       jointc wait [--timeout S]\n");
    return 2;
}

// Reads a whole argument as a real number; false when it is not one.
bool parse_real(std::string_view text, double& out_value) {
    std::string copy(text);
    char* end = nullptr;
    out_value = std::strtod(copy.c_str(), &end);
    return !copy.empty() && end == copy.c_str() + copy.size();
}

// Reads a whole argument as an integer; false when it is not one.
bool parse_integer(std::string_view text, long long& out_value) {
    std::string copy(text);
    char* end = nullptr;
    out_value = std::strtoll(copy.c_str(), &end, 10);
    return !copy.empty() && end == copy.c_str() + copy.size();
}

// Shows every field of the block, one per line.
int show_block(const Arguments&) {
    using namespace tarno;
    ExchangeView view = read_exchange_view();
    std::printf("view_low             %.10g\n", view.view_low);
    std::printf("view_high            %.10g\n", view.view_high);
    std::printf("cursor_freq          %.10g\n", view.cursor_freq);
    std::printf("spectrum_start       %.10g\n", exchange_spectrum_start());
    std::printf("spectrum_end         %.10g\n", exchange_spectrum_end());
    std::printf("spectrum_name        \"%s\"\n", exchange_spectrum_name().c_str());
    std::printf("transition_intensity %.6g\n", exchange_transition_intensity());
    std::printf("quantum_numbers     ");
    for (int q = 1; q <= JOINTC_QUANTUM_NUMBERS; ++q) std::printf(" %d", exchange_quantum_number(q));
    std::printf("\ntransition_extra     %.6g\n", exchange_transition_extra());
    std::printf("command              %d\n", exchange_command());
    return 0;
}

// Requests new view limits; the cursor stays, so the display centres it when
// it falls outside the new view.
int set_view(const Arguments& args) {
    double low = 0, high = 0;
    if (args.size() != 2 || !parse_real(args[0], low) || !parse_real(args[1], high)) return print_usage();
    tarno::publish_view_limits(low, high);
    return 0;
}

// Moves the cursor.
int set_cursor(const Arguments& args) {
    double cursor = 0;
    if (args.size() != 1 || !parse_real(args[0], cursor)) return print_usage();
    tarno::publish_cursor(cursor);
    return 0;
}

// Zeroes the whole block, as a freshly created one.
int reset_block(const Arguments& args) {
    using namespace tarno;
    if (!args.empty()) return print_usage();
    publish_view_limits(0, 0);
    publish_cursor(0);
    publish_spectrum(0, 0, "");
    set_exchange_transition_intensity(0);
    for (int q = 1; q <= JOINTC_QUANTUM_NUMBERS; ++q) set_exchange_quantum_number(q, 0);
    set_exchange_command(0);
    return 0;
}

// Prints one field, so scripts can read it back without parsing the table.
int get_field(const Arguments& args) {
    using namespace tarno;
    if (args.size() != 1) return print_usage();
    std::string_view field = args[0];
    ExchangeView view = read_exchange_view();
    if (field == "view_low") std::printf("%.17g\n", view.view_low);
    else if (field == "view_high") std::printf("%.17g\n", view.view_high);
    else if (field == "cursor_freq") std::printf("%.17g\n", view.cursor_freq);
    else if (field == "spectrum_start") std::printf("%.17g\n", exchange_spectrum_start());
    else if (field == "spectrum_end") std::printf("%.17g\n", exchange_spectrum_end());
    else if (field == "spectrum_name") std::printf("%s\n", exchange_spectrum_name().c_str());
    else if (field == "command") std::printf("%d\n", exchange_command());
    else if (field == "transition_intensity") std::printf("%.9g\n", exchange_transition_intensity());
    else if (field == "transition_extra") std::printf("%.9g\n", exchange_transition_extra());
    else if (field.size() >= 2 && (field[0] == 'q' || field[0] == 'Q')) {
        long long q = 0;
        if (!parse_integer(field.substr(1), q) || q < 1 || q > JOINTC_QUANTUM_NUMBERS) return print_usage();
        std::printf("%d\n", exchange_quantum_number(int(q)));
    }
    else return print_usage();
    return 0;
}

// Sets Q1..Qn from the arguments and zeroes the rest, so no number of the
// previous transition is left behind.
int set_quantum_numbers(const Arguments& args) {
    using namespace tarno;
    if (args.empty() || args.size() > size_t(JOINTC_QUANTUM_NUMBERS)) return print_usage();
    int32_t values[JOINTC_QUANTUM_NUMBERS] = {};
    for (size_t i = 0; i < args.size(); ++i) {
        long long value = 0;
        if (!parse_integer(args[i], value) || value < INT32_MIN || value > INT32_MAX) return print_usage();
        values[i] = int32_t(value);
    }
    for (int q = 1; q <= JOINTC_QUANTUM_NUMBERS; ++q) set_exchange_quantum_number(q, values[q - 1]);
    return 0;
}

// Sets transition_intensity.
int set_intensity(const Arguments& args) {
    double value = 0;
    if (args.size() != 1 || !parse_real(args[0], value)) return print_usage();
    tarno::set_exchange_transition_intensity(float(value));
    return 0;
}

// Sets transition_extra (it shares its bytes with Q12).
int set_extra(const Arguments& args) {
    double value = 0;
    if (args.size() != 1 || !parse_real(args[0], value)) return print_usage();
    tarno::set_exchange_transition_extra(float(value));
    return 0;
}

// Reads "--timeout S" (seconds, default 30) at args[at..]; false on bad input.
bool parse_timeout(const Arguments& args, size_t at, double& out_seconds) {
    out_seconds = 30;
    if (at == args.size()) return true;
    return args.size() == at + 2 && args[at] == "--timeout" && parse_real(args[at + 1], out_seconds) && out_seconds >= 0;
}

// Waits until no command is pending, polling every millisecond. Prints how
// long it took; exit status 3 when the timeout passed first.
int wait_for_command_taken(double timeout_seconds) {
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    auto limit = start + std::chrono::duration<double>(timeout_seconds);
    while (tarno::exchange_command() != 0) {
        if (Clock::now() > limit) {
            std::fprintf(stderr, "jointc: command %d not taken within %g s\n", tarno::exchange_command(), timeout_seconds);
            return 3;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::printf("taken after %.1f ms\n", std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    return 0;
}

// Places a measurement command; with --wait, waits until the display took it.
int place_command(const Arguments& args) {
    long long code = 0;
    if (args.empty() || !parse_integer(args[0], code) || code < INT32_MIN || code > INT32_MAX) return print_usage();
    bool wait = args.size() > 1 && args[1] == "--wait";
    double timeout = 0;
    if (!parse_timeout(args, wait ? 2 : 1, timeout)) return print_usage();
    if (!wait && args.size() > 1) return print_usage();
    tarno::set_exchange_command(int32_t(code));
    return wait ? wait_for_command_taken(timeout) : 0;
}

// Waits until no command is pending.
int wait_command(const Arguments& args) {
    double timeout = 0;
    if (!parse_timeout(args, 0, timeout)) return print_usage();
    return wait_for_command_taken(timeout);
}

struct Command {
    std::string_view name;
    int (*run)(const Arguments&);
};

// The commands of the tool; new ones are added here.
constexpr Command COMMANDS[] = {
    {"show", show_block},
    {"view", set_view},
    {"cursor", set_cursor},
    {"reset", reset_block},
    {"get", get_field},
    {"quantum", set_quantum_numbers},
    {"intensity", set_intensity},
    {"extra", set_extra},
    {"command", place_command},
    {"wait", wait_command},
};

}  // namespace

int main(int argc, char** argv) {
    // Setup: the shared block (the private fallback is useless to a tool)
    if (!tarno::open_exchange_block(tarno::exchange_block_name())) return 1;

    // Dispatch the command
    Arguments args(argv + 1, argv + argc);
    if (args.empty()) return show_block(args);
    for (const Command& command : COMMANDS)
        if (command.name == args[0]) return command.run(Arguments(args.begin() + 1, args.end()));
    return print_usage();
}
