// The program's command line: spectrum files, and the two options that
// answer on the terminal without opening a window.
#pragma once

#include <string>
#include <vector>

namespace tarno {

enum CommandLineRequest {
    CommandLineRequest_Run,      // open the window; the arguments are spectrum files
    CommandLineRequest_Help,     // --help: print the usage and exit
    CommandLineRequest_Version,  // --version: print the version and exit
};

struct CommandLine {
    CommandLineRequest request;
    std::vector<std::string> file_arguments;  // spectrum files in the order given
};

CommandLine parse_command_line(const std::vector<std::string>& arguments); // options before "--"; everything else is a file
std::string command_line_answer(CommandLineRequest request);              // the text --help or --version prints

}  // namespace tarno
