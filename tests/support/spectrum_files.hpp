// Spectrum files for tests: a plausible recording header and the bytes of a
// binary spectrum file made by the real writer, ready to be patched (a wrong
// date, a cut-off end) or written into a FixtureDir.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/records.hpp"

namespace tarno::testing {

SpectrumHeader recording_header();      // dated 15/6/2005 12:30:45, instrument fields filled

// The whole file as the writer makes it (short form up to 32000 points).
std::string binary_spectrum_bytes(const SpectrumHeader& fields, const std::vector<int16_t>& intensities,
                                  double freq_first, double freq_last, double freq_step,
                                  int16_t stored_min = 0, int16_t stored_max = 0);

void patch_int16(std::string& bytes, size_t offset, int16_t value);   // little-endian, in place
void patch_int32(std::string& bytes, size_t offset, int32_t value);
void patch_double(std::string& bytes, size_t offset, double value);

}  // namespace tarno::testing
