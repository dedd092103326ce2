// tarno: the program entry. Command-line arguments are spectrum files, opened
// one after the other at blank answers to the file prompt; --help and
// --version answer on the terminal instead (a file with such a name can still
// be given after "--").
#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/driver.hpp"
#include "window/sdl_backend.hpp"

int main(int argc, char** argv) {
    // ---- setup: the options, then the spectrum files -------------------------
    tarno::CommandLine command_line = tarno::parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    if (command_line.request != tarno::CommandLineRequest_Run) {
        std::fputs(tarno::command_line_answer(command_line.request).c_str(), stdout);
        return 0;
    }

    // ---- the program runs on its own thread; this one owns the window --------
    return tarno::run_in_window([] { tarno::MAIN__(); }, std::move(command_line.file_arguments));
}
