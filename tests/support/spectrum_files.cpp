// Spectrum file bytes for tests (see spectrum_files.hpp).
#include "tests/support/spectrum_files.hpp"

#include <cstdio>
#include <stdexcept>

#include "app/spectrum_format.hpp"
#include "app/spectrum_writer.hpp"

namespace tarno::testing {

SpectrumHeader recording_header() {
    SpectrumHeader h{};
    set_text_field(h.comment, "OCS survey 220-240 GHz, cell at 295 K");
    h.day = 15; h.month = 6; h.year = 2005;
    h.hour = 12; h.minute = 30; h.second = 45;
    set_text_field(h.lamp, "BWO 7");
    h.vkm_low = 120.0f; h.vkm_high = 480.0f; h.grid_voltage = 32.5f;
    set_text_field(h.sample, "OCS");
    h.sample_pressure = 15.0f; h.gain = 0.05f; h.time_constant = 0.01f; h.phase = 90.0f;
    set_text_field(h.delay_aver, "2,4");
    h.points_per_second = 100.0f; h.modulation_freq = 18.0f; h.deviation = 300.0f;
    return h;
}

std::string binary_spectrum_bytes(const SpectrumHeader& fields, const std::vector<int16_t>& intensities,
                                  double freq_first, double freq_last, double freq_step,
                                  int16_t stored_min, int16_t stored_max) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) throw std::runtime_error("no temporary file");
    WriteStatus status = write_binary_spectrum(file, fields, intensities, stored_min, stored_max,
                                               freq_first, freq_last, freq_step);
    if (!status) throw std::runtime_error(status.message);
    std::string bytes(static_cast<size_t>(std::ftell(file)), '\0');
    std::rewind(file);
    size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    bytes.resize(got);
    return bytes;
}

void patch_int16(std::string& bytes, size_t offset, int16_t value) {
    store_int16(reinterpret_cast<unsigned char*>(bytes.data()) + offset, value);
}

void patch_int32(std::string& bytes, size_t offset, int32_t value) {
    store_int32(reinterpret_cast<unsigned char*>(bytes.data()) + offset, value);
}

void patch_double(std::string& bytes, size_t offset, double value) {
    store_double(reinterpret_cast<unsigned char*>(bytes.data()) + offset, value);
}

}  // namespace tarno::testing
