// tarno-demo: writes a synthetic recording in the binary spectrum format, the
// kind of file a frequency-modulation millimetre-wave spectrometer produces:
//
//   - an evenly stepped frequency axis in MHz (200 GHz upwards, 50 kHz step);
//   - a few thousand lines with the second-derivative line shape that
//     detection at twice the modulation frequency records (a central peak
//     with two negative side lobes), in rotational-band-like clusters with a
//     spread of strengths;
//   - Gaussian noise and a slow baseline (standing waves of the optics);
//   - header fields filled as a real recording has them.
//
//   tarno-demo [points] [output]     (defaults: 2000000 demo.spe)
//
// The output is the same for the same arguments (fixed random seed).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "app/records.hpp"
#include "app/spectrum_writer.hpp"
#include "common/fields.hpp"
#include "tools/demo/line_model.hpp"

namespace {

constexpr int32_t DEFAULT_POINTS = 2'000'000;
using tarno::demo::FIRST_MHZ;
using tarno::demo::LINE_HALF_WIDTH_MHZ;
using tarno::demo::STEP_MHZ;
using tarno::demo::line_shape;

constexpr double LINES_PER_GHZ = 30.0;      // line density
constexpr double NOISE_RMS = 1.0;           // in units of a weak line's peak
constexpr uint32_t SEED = 20060705;

// The header of a plausible recording.
tarno::SpectrumHeader demo_header(int32_t points) {
    tarno::SpectrumHeader h{};
    double last = FIRST_MHZ + (points - 1) * STEP_MHZ;
    tarno::set_text_field(h.comment, "Demo survey " + std::to_string(static_cast<long>(FIRST_MHZ / 1000)) + "-" +
                                         std::to_string(static_cast<long>(last / 1000)) +
                                         " GHz, synthetic OCS/CH3CN mixture, 2f detection");
    h.day = 5; h.month = 7; h.year = 2006;
    h.hour = 14; h.minute = 23; h.second = 10;
    tarno::set_text_field(h.lamp, "BWO-4");
    h.vkm_low = 150.0f; h.vkm_high = 920.0f;
    h.grid_voltage = 32.5f;
    tarno::set_text_field(h.sample, "OCS + CH3CN");
    h.sample_pressure = 12.0f;
    h.gain = 0.05f;
    h.time_constant = 0.003f;
    h.phase = 90.0f;
    tarno::set_text_field(h.delay_aver, "2,1");
    h.points_per_second = 100.0f;
    h.modulation_freq = 18.0f;
    h.deviation = 350.0f;
    return h;
}

// Adds clustered lines of assorted strengths to `signal`.
void add_lines(std::vector<double>& signal, std::mt19937& random) {
    const auto n = static_cast<int64_t>(signal.size());
    const double span_ghz = n * STEP_MHZ / 1000.0;
    const auto line_count = std::max<int64_t>(1, static_cast<int64_t>(span_ghz * LINES_PER_GHZ));
    std::uniform_real_distribution<double> position(0.0, static_cast<double>(n - 1));
    std::exponential_distribution<double> strength(1.0);
    std::normal_distribution<double> cluster_offset(0.0, 40.0);      // points around a band head
    const double w = LINE_HALF_WIDTH_MHZ / STEP_MHZ;                 // half width in points
    const auto reach = static_cast<int64_t>(60 * w);
    for (int64_t k = 0; k < line_count;) {
        // A band head with a few companions, or a lone line.
        double centre = position(random);
        int companions = (k % 5 == 0) ? 6 : 1;
        double band_strength = 5.0 + 200.0 * strength(random) * strength(random);
        for (int c = 0; c < companions && k < line_count; ++c, ++k) {
            double f0 = centre + (c == 0 ? 0.0 : cluster_offset(random) * c);
            double height = band_strength * (c == 0 ? 1.0 : 0.6 + 0.4 * strength(random) / c);
            int64_t from = std::max<int64_t>(0, static_cast<int64_t>(f0) - reach);
            int64_t to = std::min<int64_t>(n - 1, static_cast<int64_t>(f0) + reach);
            for (int64_t i = from; i <= to; ++i) signal[i] += height * line_shape((i - f0) / w);
        }
    }
}

// Adds the baseline (slow standing waves and a drift) and the noise.
void add_baseline_and_noise(std::vector<double>& signal, std::mt19937& random) {
    std::normal_distribution<double> noise(0.0, NOISE_RMS);
    const double n = static_cast<double>(signal.size());
    for (size_t i = 0; i < signal.size(); ++i) {
        double x = static_cast<double>(i);
        double f_mhz = x * STEP_MHZ;
        double baseline = 25.0 * std::sin(2 * M_PI * f_mhz / 410.0) +     // optics standing wave
                          8.0 * std::sin(2 * M_PI * f_mhz / 57.0 + 1.3) +
                          30.0 * (x / n - 0.5);                            // drift over the scan
        signal[i] += baseline + noise(random);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Arguments -------------------------------------------------------------------
    int32_t points = DEFAULT_POINTS;
    std::string output = "demo.spe";
    if (argc > 1) {
        std::optional<long long> n = tarno::read_integer_field(argv[1], 20);
        if (!n || *n < 2 || *n > tarno::MAX_POINTS) {
            std::fprintf(stderr, "tarno-demo: point count must be 2..%d, got \"%s\"\n", tarno::MAX_POINTS, argv[1]);
            std::fprintf(stderr, "usage: tarno-demo [points] [output]\n");
            return 2;
        }
        points = static_cast<int32_t>(*n);
    }
    if (argc > 2) output = argv[2];

    // Signal ----------------------------------------------------------------------
    std::mt19937 random(SEED);
    std::vector<double> signal(static_cast<size_t>(points), 0.0);
    add_lines(signal, random);
    add_baseline_and_noise(signal, random);

    // Into 16 bits, using the range the format offers --------------------------------
    auto [low, high] = std::minmax_element(signal.begin(), signal.end());
    double mid = (*low + *high) / 2.0;
    double scale = *high > *low ? 64000.0 / (*high - *low) : 1.0;
    std::vector<int16_t> values(signal.size());
    for (size_t i = 0; i < signal.size(); ++i)
        values[i] = static_cast<int16_t>(std::clamp(std::trunc((signal[i] - mid) * scale), -32000.0, 32000.0));
    auto [stored_min, stored_max] = std::minmax_element(values.begin(), values.end());

    // File --------------------------------------------------------------------------
    double last = FIRST_MHZ + static_cast<double>(points - 1) * STEP_MHZ;
    tarno::WriteStatus status = tarno::write_binary_spectrum_file(output, demo_header(points), values, *stored_min,
                                                                  *stored_max, FIRST_MHZ, last, STEP_MHZ);
    if (!status) {
        std::fprintf(stderr, "tarno-demo: %s\n", status.message.c_str());
        return 1;
    }
    std::printf("tarno-demo: %d points, %.2f to %.2f MHz, written to %s\n", points, FIRST_MHZ, last, output.c_str());
    return 0;
}
