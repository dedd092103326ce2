// tarno: the program entry. Command-line arguments are spectrum files, opened
// one after the other at blank answers to the file prompt.
#include <string>
#include <vector>

#include "app/driver.hpp"
#include "window/sdl_backend.hpp"

int main(int argc, char** argv) {
    // ---- setup: the spectrum files named on the command line -----------------
    std::vector<std::string> file_arguments(argv + 1, argv + argc);

    // ---- the program runs on its own thread; this one owns the window --------
    return tarno::run_in_window([] { tarno::MAIN__(); }, std::move(file_arguments));
}
