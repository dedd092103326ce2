// tarno-bench: runs the registered benchmark routines and prints their
// figures, one "name: value unit" line each. Arguments select routines by
// name; without arguments all run.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.hpp"

namespace tarno::bench {

namespace {
struct Entry {
    const char* name;
    BenchRoutine routine;
};
}  // namespace

static std::vector<Entry>& registry() {
    static std::vector<Entry> entries;
    return entries;
}

int register_routine(const char* name, BenchRoutine routine) {
    registry().push_back({name, routine});
    return static_cast<int>(registry().size());
}

}  // namespace tarno::bench

int main(int argc, char** argv) {
    using namespace tarno::bench;
    for (const Entry& entry : registry()) {
        bool selected = argc < 2;
        for (int i = 1; i < argc; ++i) selected = selected || std::strcmp(argv[i], entry.name) == 0;
        if (!selected) continue;
        for (const Figure& figure : entry.routine())
            std::printf("%s: %.6g %s\n", figure.name.c_str(), figure.value, figure.unit.c_str());
        std::fflush(stdout);
    }
    return 0;
}
