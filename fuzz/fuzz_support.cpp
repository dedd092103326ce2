// Shared pieces of the fuzz targets (see fuzz_support.hpp).
#include "fuzz/fuzz_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <unistd.h>     // access, mkdtemp

#include "window/headless.hpp"

namespace tarno::fuzz {

constexpr std::string_view ENTER_KEYS = "\r\r\r\r";   // answers the pauses of a refused file

std::string scratch_directory() {
    static const std::string directory = [] {
        // Memory-backed when the machine has it: inputs are written a million times.
        std::string base = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/tarno-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make the fuzz scratch directory");
        static std::string made = pattern;
        std::atexit([] { std::error_code ignored; std::filesystem::remove_all(made, ignored); });
        return pattern + "/";
    }();
    return directory;
}

std::string write_scratch_file(std::string_view name, const uint8_t* data, size_t size) {
    std::string path = scratch_directory() + std::string(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
    return path;
}

// A small window: the text grid is the usual 80 x 30 cells, each a few
// pixels, so an input costs the reader's work rather than glyph drawing.
constexpr int FUZZ_WINDOW_WIDTH = 160;
constexpr int FUZZ_WINDOW_HEIGHT = 60;

void run_headless(const std::function<void()>& program) {
    headless::start(FUZZ_WINDOW_WIDTH, FUZZ_WINDOW_HEIGHT);
    headless::press_keys(ENTER_KEYS);
    headless::run(program);
}

}  // namespace tarno::fuzz
