// Fuzz target: any bytes as the configuration file. STARTG takes a good file,
// falls back to defaults, or ends the program with its message; nothing else.
#include <cstdlib>
#include <sys/stat.h>

#include "app/startup.hpp"
#include "fuzz/fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool configured = [] {
        std::string home = tarno::fuzz::scratch_directory() + "config";
        ::mkdir(home.c_str(), 0700);
        ::mkdir((home + "/tarno").c_str(), 0700);
        ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        return true;
    }();
    (void)configured;
    tarno::fuzz::write_scratch_file("config/tarno/wemb.cfg", data, size);
    tarno::fuzz::run_headless([] {
        int32_t found = 0;
        tarno::STARTG(found);
    });
    return 0;
}
