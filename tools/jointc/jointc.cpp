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
//                               spectrum_start, spectrum_end, spectrum_name, command)
//
// The block is "/tarno_jointc", or the one $TARNO_JOINTC names (as for the
// program). Exit status 0 on success, 1 without a block, 2 for a usage error.
#include <cstdio>
#include <cstdlib>
#include <string>
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
                 "       jointc get FIELD\n");
    return 2;
}

// Reads a whole argument as a real number; false when it is not one.
bool parse_real(std::string_view text, double& out_value) {
    std::string copy(text);
    char* end = nullptr;
    out_value = std::strtod(copy.c_str(), &end);
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
    else return print_usage();
    return 0;
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
