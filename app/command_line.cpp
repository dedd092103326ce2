// The command line. Only "--help" and "--version" are options, and only
// before a "--": every other argument stays a spectrum file name, so files
// named "-x" or "--help" can still be opened (the latter after "--").
#include "app/command_line.hpp"

#ifndef TARNO_VERSION
#define TARNO_VERSION "unknown"
#endif

namespace tarno {

CommandLine parse_command_line(const std::vector<std::string>& arguments) {
    CommandLine result{CommandLineRequest_Run, {}};
    bool options_ended = false;
    for (const std::string& argument : arguments) {
        if (!options_ended && argument == "--") {
            options_ended = true;
            continue;
        }
        if (!options_ended && argument == "--help") return {CommandLineRequest_Help, {}};
        if (!options_ended && argument == "--version") return {CommandLineRequest_Version, {}};
        result.file_arguments.push_back(argument);
    }
    return result;
}

std::string command_line_answer(CommandLineRequest request) {
    if (request == CommandLineRequest_Version) return "tarno " TARNO_VERSION "\n";
    if (request != CommandLineRequest_Help) return "";
    return "Usage: tarno [--help] [--version] [--] [spectrum file...]\n"
           "\n"
           "Interactive viewer and measuring tool for broadband spectra of up to\n"
           "10,000,000 points. Spectrum files named here (binary or two-column text)\n"
           "are opened one after the other, each time ENTER is pressed alone at the\n"
           "file prompt; without them the prompt takes a typed name, and ENTER alone\n"
           "opens the file dialog.\n"
           "\n"
           "Options:\n"
           "  --help     print this text and exit\n"
           "  --version  print the version and exit\n"
           "  --         every argument after it is a spectrum file\n"
           "\n"
           "In the display, H shows the keys. Window settings are read from\n"
           "$XDG_CONFIG_HOME/tarno/wemb.cfg (~/.config/tarno/wemb.cfg by default).\n"
           "Linked operation with a partner program starts when the spectrum's\n"
           "directory holds tarno_l.inp; build/jointc drives the shared block.\n"
           "See tarno(1) and the README for the whole guide.\n";
}

}  // namespace tarno
