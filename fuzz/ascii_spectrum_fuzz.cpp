// Fuzz target: any bytes as a two-column text spectrum, read on one core and
// again cut for two cores at a line start chosen by the input; both reads
// must give the same result, records and screen.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "fuzz/fuzz_support.hpp"
#include "window/headless.hpp"

namespace {

// What a read leaves behind.
struct Outcome {
    tarno::AsciiReadResult result = tarno::AsciiReadResult::failure;
    int32_t point_count = 0;
    double freq_first = 0, freq_last = 0, freq_step = 0;
    std::vector<double> frequency;
    std::vector<int32_t> intensity;
    std::vector<std::string> rows;
};

Outcome read(const std::string& path, uint64_t split_from) {
    using namespace tarno;
    Outcome outcome;
    fuzz::run_headless([&] { outcome.result = read_ascii_spectrum(path, split_from); });
    const SpectrumRecord& s = spectrum;
    outcome.point_count = s.point_count;
    outcome.freq_first = s.freq_first;
    outcome.freq_last = s.freq_last;
    outcome.freq_step = s.freq_step;
    int32_t n = std::clamp(s.point_count, 0, MAX_POINTS);
    outcome.frequency.assign(s.frequency + 1, s.frequency + 1 + n);
    outcome.intensity.assign(s.intensity + 1, s.intensity + 1 + n);
    for (int row = 1; row <= 30; ++row) outcome.rows.push_back(headless::row_text(row));
    return outcome;
}

bool same(const Outcome& a, const Outcome& b) {
    auto bits = [](double v) { uint64_t u; std::memcpy(&u, &v, sizeof u); return u; };
    if (a.result != b.result || a.point_count != b.point_count || a.rows != b.rows || a.intensity != b.intensity) return false;
    if (a.result != tarno::AsciiReadResult::success) return true;   // arrays past a failure hold nothing promised
    if (bits(a.freq_first) != bits(b.freq_first) || bits(a.freq_last) != bits(b.freq_last) ||
        bits(a.freq_step) != bits(b.freq_step))
        return false;
    for (size_t k = 0; k < a.frequency.size(); ++k)
        if (bits(a.frequency[k]) != bits(b.frequency[k])) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string path = tarno::fuzz::write_scratch_file("ascii.txt", data, size);
    Outcome one_core = read(path, tarno::NO_SPLIT);
    // The cut: from a byte picked by the first byte of the input.
    uint64_t split_from = size == 0 ? 0 : uint64_t(data[0]) * size / 256 + 1;
    Outcome two_cores = read(path, split_from);
    if (!same(one_core, two_cores)) std::abort();
    return 0;
}
