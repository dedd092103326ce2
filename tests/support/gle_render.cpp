// Runs GLE on a page script and collects what it says (see gle_render.hpp).
#include "tests/support/gle_render.hpp"

#include <cstdio>       // popen
#include <filesystem>

namespace tarno::testing {

std::string gle_problems(const std::string& directory, const std::string& script, const std::string& device) {
    std::string command = "cd '" + directory + "' && gle -d " + device + " '" + script + "' 2>&1";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return "cannot run gle";
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    int status = pclose(pipe);
    // gle reports a missing Ghostscript on its output but still ends with status 0.
    std::filesystem::path rendered = std::filesystem::path(directory) / script;
    rendered.replace_extension(device);
    bool made = std::filesystem::exists(rendered) && std::filesystem::file_size(rendered) > 0;
    bool complained = output.find("Error") != std::string::npos || output.find(">>") != std::string::npos;
    if (status == 0 && made && !complained) return "";
    return "gle status " + std::to_string(status) + (made ? "" : ", nothing rendered") + ":\n" + output;
}

}  // namespace tarno::testing
