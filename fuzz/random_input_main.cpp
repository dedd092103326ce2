// A seeded random-input driver for the fuzz targets, for builds without
// libFuzzer (GCC, the sanitizer build of the test command). It runs every
// seed of the corpus folder, then `count` inputs made from them by random
// edits (bit flips, byte changes, inserted and removed runs, repeated runs,
// splices of two seeds, plain random bytes). The same seed gives the same
// inputs, so a failure can be run again.
//
//   fuzz_binary_spectrum_fuzz <corpus folder> <count> [seed]
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t MAX_INPUT = 8192;      // inputs are kept as small as libFuzzer's default

std::vector<Bytes> read_corpus(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> paths;
    if (std::filesystem::is_directory(folder))
        for (const auto& entry : std::filesystem::directory_iterator(folder)) paths.push_back(entry.path());
    std::sort(paths.begin(), paths.end());      // directory order differs between machines
    std::vector<Bytes> seeds;
    for (const auto& path : paths) {
        std::ifstream file(path, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    if (seeds.empty()) seeds.push_back({});
    return seeds;
}

// One random edit of `input`.
void mutate(Bytes& input, const std::vector<Bytes>& seeds, std::mt19937_64& random) {
    auto pick = [&](size_t n) { return n == 0 ? size_t(0) : size_t(random() % n); };
    const uint8_t interesting[] = {0, 1, 0x7F, 0x80, 0xFF, '\n', '\r', ' ', ',', '-', '.', '0', '9', 'E', '!', '\t'};
    switch (random() % 8) {
    case 0: if (!input.empty()) input[pick(input.size())] ^= uint8_t(1u << (random() % 8)); break;
    case 1: if (!input.empty()) input[pick(input.size())] = interesting[pick(sizeof interesting)]; break;
    case 2: if (!input.empty()) input[pick(input.size())] = uint8_t(random()); break;
    case 3: {   // insert a short run of random bytes
        size_t at = pick(input.size() + 1), n = 1 + pick(8);
        for (size_t i = 0; i < n; ++i) input.insert(input.begin() + at, uint8_t(random()));
        break;
    }
    case 4: {   // remove a run
        if (input.empty()) break;
        size_t at = pick(input.size()), n = 1 + pick(std::min<size_t>(16, input.size() - at));
        input.erase(input.begin() + at, input.begin() + at + n);
        break;
    }
    case 5: {   // repeat a run
        if (input.empty()) break;
        size_t at = pick(input.size()), n = 1 + pick(std::min<size_t>(64, input.size() - at));
        Bytes run(input.begin() + at, input.begin() + at + n);
        for (size_t k = 1 + pick(8); k > 0; --k) input.insert(input.begin() + at, run.begin(), run.end());
        break;
    }
    case 6: {   // splice: the head of this input, the tail of another seed
        const Bytes& other = seeds[pick(seeds.size())];
        size_t cut = pick(input.size() + 1), from = pick(other.size() + 1);
        input.resize(cut);
        input.insert(input.end(), other.begin() + from, other.end());
        break;
    }
    default: {  // overwrite a 16- or 32-bit word with a boundary value
        if (input.size() < 4) break;
        const uint32_t words[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x7FFFu, 0x8000u, 32000, 32001, 10000000, 10000001};
        uint32_t w = words[pick(std::size(words))];
        size_t at = pick(input.size() - 3);
        for (int i = 0; i < (random() % 2 ? 2 : 4); ++i) input[at + i] = uint8_t(w >> (8 * i));
        break;
    }
    }
    if (input.size() > MAX_INPUT) input.resize(MAX_INPUT);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <corpus folder> <count> [seed]\n", argv[0]);
        return 2;
    }
    std::vector<Bytes> seeds = read_corpus(argv[1]);
    long count = std::atol(argv[2]);
    std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261210);

    for (const Bytes& seed : seeds) LLVMFuzzerTestOneInput(seed.data(), seed.size());
    for (long i = 0; i < count; ++i) {
        Bytes input;
        if (random() % 16 == 0) {
            input.resize(random() % 512);
            for (uint8_t& b : input) b = uint8_t(random());
        } else {
            input = seeds[random() % seeds.size()];
            for (int edits = 1 + int(random() % 4); edits > 0; --edits) mutate(input, seeds, random);
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld random inputs and %zu seeds run\n", count, seeds.size());
    return 0;
}
