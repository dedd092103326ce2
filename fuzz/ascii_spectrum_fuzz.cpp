// Fuzz target: any bytes as a two-column text spectrum.
#include "app/spectrum_reader.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = tarno::fuzz::write_scratch_file("ascii.txt", data, size);
    tarno::fuzz::run_headless([&] { tarno::read_ascii_spectrum(path); });
    return 0;
}
