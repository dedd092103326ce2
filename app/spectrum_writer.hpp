// Writing a spectrum in the binary spectrum format (layout in
// spectrum_format.hpp): header, count words, 16-bit intensities, frequency
// block and the trailing 16-bit zero.
//
// The writer stores what it is given: scaling the working intensities into
// 16 bits is the caller's business. It streams: intensities can be handed over
// in chunks, in point order, so a caller converting 10 million points needs
// only a small buffer.
//
//   write_spectrum_head(file, header, count, stored_min, stored_max);
//   for each chunk: write_intensity_block(file, chunk);
//   write_frequency_block(file, first, last, step);
//
// Count form: the short form (C = count, then the stored minimum and maximum)
// for 2..32000 points, the long form (C = -1, then the 32-bit count) otherwise.
// A count below 2 goes in the long form too, since the reader takes any C <= 1
// as the long-form mark.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

#include "app/records.hpp"

namespace tarno {

// Outcome of a write; on failure `message` names the step and the reason.
struct WriteStatus {
    bool ok = true;
    std::string message;        // e.g. "writing the intensities: No space left on device"
    explicit operator bool() const { return ok; }
};

// [SECTION] Streaming pieces (in this order) -----------------------------------
WriteStatus write_spectrum_head(std::FILE* file, const SpectrumHeader& fields, int32_t point_count,
                                int16_t stored_min, int16_t stored_max);      // header and count words
WriteStatus write_intensity_block(std::FILE* file, std::span<const int16_t> values); // the next values, point order
WriteStatus write_frequency_block(std::FILE* file, double freq_first, double freq_last,
                                  double freq_step);                          // three doubles and the 16-bit zero

// [SECTION] Whole spectrum ---------------------------------------------------------
// Writes everything to an open binary stream (the caller closes it).
WriteStatus write_binary_spectrum(std::FILE* file, const SpectrumHeader& fields,
                                  std::span<const int16_t> intensities, int16_t stored_min, int16_t stored_max,
                                  double freq_first, double freq_last, double freq_step);

// Writes everything to `path` through a temporary file renamed into place;
// an existing file of that name is replaced only when the write succeeded.
WriteStatus write_binary_spectrum_file(const std::string& path, const SpectrumHeader& fields,
                                       std::span<const int16_t> intensities, int16_t stored_min, int16_t stored_max,
                                       double freq_first, double freq_last, double freq_step);

}  // namespace tarno
