// Fuzz target: any bytes as a binary spectrum file. The reader must accept a
// well-formed file and refuse anything else with a message, never reading
// beyond the file or writing beyond the records.
#include <cstdio>

#include "app/spectrum_reader.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = tarno::fuzz::write_scratch_file("binary.spe", data, size);
    tarno::fuzz::run_headless([&] {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) return;
        tarno::read_binary_spectrum(file);
        std::fclose(file);
    });
    return 0;
}
