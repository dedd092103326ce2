// The smoothing filter: weights and passes (see smooth_filter.hpp for the sums).
//
// How the fast pass is laid out:
//   - the outputs are cut into blocks of BLOCK_OUTPUTS; for each block the
//     source points it reads (block + n - 1 of them, reflected at the ends) are
//     converted once to doubles in a small buffer that stays in the cache;
//   - a group of GROUP_OUTPUTS consecutive outputs is summed in vector
//     registers: for each j the weight is broadcast and multiplied with the
//     GROUP_OUTPUTS source values starting at position j, and added to each
//     output's own accumulator, so every output still sees j = 0, 1, ... n-1
//     in order with one double product and one double addition per step;
//   - the spectrum is split into one contiguous range per core.
//
// Sections:
//   [SECTION] Weights and indices
//   [SECTION] Serial pass
//   [SECTION] Vector kernel
//   [SECTION] Fast pass
#include "processing/smooth_filter.hpp"

#include <algorithm>    // min, max, clamp
#include <array>
#include <cassert>
#include <cstring>      // memcpy: unaligned vector loads
#include <system_error> // a thread that cannot be started
#include <thread>       // the spectrum split over the cores

namespace tarno {

constexpr int LANES = 4;                            // doubles per vector
constexpr int VECTORS_PER_GROUP = 8;                // accumulators held in registers
constexpr int GROUP_OUTPUTS = LANES * VECTORS_PER_GROUP;
constexpr int BLOCK_OUTPUTS = 64 * GROUP_OUTPUTS;   // 2048 outputs: buffer of ~20 KB
constexpr int BUFFER_LENGTH = BLOCK_OUTPUTS + MAX_SMOOTH_WINDOW;
constexpr size_t PARALLEL_MIN_POINTS = 1 << 16;     // shorter spectra are not worth a thread
constexpr unsigned MAX_THREADS = 16;

// Sums are held inside the 32-bit range before truncation (a window of mostly
// extreme intensities can leave it: the weights add up to 1 but not their magnitudes).
constexpr double SUM_LOW = -2147483648.0;
constexpr double SUM_HIGH = 2147483647.0;

// [SECTION] Weights and indices ----------------------------------------------------------

void smoothing_weights(int n, std::span<float> weights) {
    assert(n % 2 == 1 && n >= 3 && weights.size() >= size_t(n));
    const double m = n / 2;
    const double a = 3 * m * m + 3 * m - 1;
    const double b = 3 / ((2 * m + 1) * (2 * m - 1) * (2 * m + 3));
    for (int j = 0; j < n; ++j) {
        const double d = j - m;
        weights[j] = static_cast<float>(b * (a - 5 * d * d));
    }
}

int64_t reflected_index(int64_t k, int64_t count) {
    if (k < 0) k = -k - 1;
    else if (k >= count) k = 2 * count - k - 1;
    return std::clamp<int64_t>(k, 0, count - 1);    // a spectrum shorter than the window
}

static int32_t truncate_sum(double sum) {
    return static_cast<int32_t>(std::clamp(sum, SUM_LOW, SUM_HIGH));
}

// [SECTION] Serial pass --------------------------------------------------------------------

void smooth_pass_serial(std::span<const int32_t> source, std::span<const float> weights, std::span<int32_t> out) {
    const int64_t count = static_cast<int64_t>(source.size());
    const int64_t n = static_cast<int64_t>(weights.size());
    const int64_t m = n / 2;
    for (int64_t i = 0; i < count; ++i) {
        double sum = 0;
        for (int64_t j = 0; j < n; ++j) {
            sum += static_cast<double>(source[reflected_index(i + j - m, count)]) * static_cast<double>(weights[j]);
        }
        out[i] = truncate_sum(sum);
    }
}

// [SECTION] Vector kernel --------------------------------------------------------------------

using Vec4 = double __attribute__((vector_size(LANES * sizeof(double))));
using Vec4i = int32_t __attribute__((vector_size(LANES * sizeof(int32_t))));

// Built twice on x86-64, for AVX2 and for the baseline instruction set, and
// chosen when the program starts. Without fused multiply-add either way
// (-ffp-contract=off): the product is rounded before it is added.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define SMOOTH_KERNEL_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define SMOOTH_KERNEL_CLONES
#endif

// Sums `groups` groups of GROUP_OUTPUTS outputs: output o reads buffer[o .. o + n - 1].
SMOOTH_KERNEL_CLONES
static void convolve_groups(const double* buffer, const double* weights, int n, int groups, int32_t* out) {
    const Vec4 low = {SUM_LOW, SUM_LOW, SUM_LOW, SUM_LOW};
    const Vec4 high = {SUM_HIGH, SUM_HIGH, SUM_HIGH, SUM_HIGH};
    for (int g = 0; g < groups; ++g) {
        const double* base = buffer + g * GROUP_OUTPUTS;
        Vec4 sum[VECTORS_PER_GROUP] = {};
        for (int j = 0; j < n; ++j) {
            const double w = weights[j];
            const Vec4 wv = {w, w, w, w};
            for (int r = 0; r < VECTORS_PER_GROUP; ++r) {
                Vec4 s;
                std::memcpy(&s, base + j + r * LANES, sizeof s);
                sum[r] += s * wv;
            }
        }
        for (int r = 0; r < VECTORS_PER_GROUP; ++r) {
            Vec4 v = sum[r] < low ? low : sum[r];
            v = v > high ? high : v;
            const Vec4i t = __builtin_convertvector(v, Vec4i);   // truncates toward zero
            std::memcpy(out + g * GROUP_OUTPUTS + r * LANES, &t, sizeof t);
        }
    }
}

// [SECTION] Fast pass ------------------------------------------------------------------------

// Fills buffer[t] = source value at window position first + t, for t < length.
static void load_block(std::span<const int32_t> source, int64_t first, int length, double* buffer) {
    const int64_t count = static_cast<int64_t>(source.size());
    if (first >= 0 && first + length <= count) {
        const int32_t* s = source.data() + first;
        for (int t = 0; t < length; ++t) buffer[t] = s[t];
        return;
    }
    for (int t = 0; t < length; ++t) buffer[t] = source[reflected_index(first + t, count)];
}

// The pass for outputs [begin, end): one cache-sized block after the other.
static void smooth_range(std::span<const int32_t> source, std::span<const double> weights, std::span<int32_t> out,
                         int64_t begin, int64_t end) {
    const int n = static_cast<int>(weights.size());
    const int m = n / 2;
    std::array<double, BUFFER_LENGTH> buffer;
    std::array<int32_t, BLOCK_OUTPUTS> sums;
    for (int64_t first = begin; first < end; first += BLOCK_OUTPUTS) {
        const int outputs = static_cast<int>(std::min<int64_t>(BLOCK_OUTPUTS, end - first));
        const int groups = (outputs + GROUP_OUTPUTS - 1) / GROUP_OUTPUTS;
        const int loaded = outputs + n - 1;
        load_block(source, first - m, loaded, buffer.data());
        // the last group may run past the block: it reads zeros and its extra sums are dropped
        std::fill(buffer.begin() + loaded, buffer.begin() + groups * GROUP_OUTPUTS + n - 1, 0.0);
        convolve_groups(buffer.data(), weights.data(), n, groups, sums.data());
        std::copy_n(sums.begin(), outputs, out.begin() + first);
    }
}

void smooth_pass(std::span<const int32_t> source, std::span<const float> weights, std::span<int32_t> out) {
    assert(weights.size() % 2 == 1 && weights.size() <= size_t(MAX_SMOOTH_WINDOW) && out.size() == source.size());
    const int64_t count = static_cast<int64_t>(source.size());
    if (count == 0) return;
    std::array<double, MAX_SMOOTH_WINDOW> exact_weights;    // float to double is exact
    std::copy(weights.begin(), weights.end(), exact_weights.begin());
    std::span<const double> w(exact_weights.data(), weights.size());

    unsigned threads = size_t(count) < PARALLEL_MIN_POINTS ? 1 : std::clamp(std::thread::hardware_concurrency(), 1u, MAX_THREADS);
    std::array<std::thread, MAX_THREADS> workers;
    for (unsigned t = 1; t < threads; ++t) {
        const int64_t begin = count * t / threads, end = count * (t + 1) / threads;
        try {
            workers[t] = std::thread(smooth_range, source, w, out, begin, end);
        } catch (const std::system_error&) {
            smooth_range(source, w, out, begin, end);   // no thread to be had: this one does the part
        }
    }
    smooth_range(source, w, out, 0, count / threads);
    for (unsigned t = 1; t < threads; ++t) {
        if (workers[t].joinable()) workers[t].join();
    }
}

}  // namespace tarno
