// Fuzz target: any bytes as tarno_l.inp. RDINP either finds a complete file
// or quietly means stand-alone operation.
#include "display/linked.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarno::fuzz::write_scratch_file("tarno_l.inp", data, size);
    tarno::LinkedInput input{};
    tarno::RDINP(tarno::fuzz::scratch_directory(), input);
    return 0;
}
