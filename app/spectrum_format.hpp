// The binary spectrum file layout ("VARDE binary format"), shared by the
// reader and the writer.
//
// A raw little-endian byte stream: no record markers, padding or alignment;
// two's complement integers, IEEE single and double floats, blank-padded 8-bit
// text fields.
//
//   offset  width  field
//   0       156    header (comment, date, time, instrument settings; see below)
//   156     2      C: short count
//   158     ...    C > 1 (short form): stored minimum (16 bits), stored maximum (16 bits)
//                  C <= 1 (long form, written as -1): point count N (32 bits)
//   162     2*N    intensities, 16-bit signed, point 1 first
//   162+2N  24     first frequency, last frequency, step (64-bit floats)
//   186+2N  2      a 16-bit zero (written, never read)
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/records.hpp"

namespace tarno {

constexpr size_t HEADER_BYTES = 156;        // header without the count words
constexpr size_t INTENSITY_OFFSET = 162;    // first intensity, in both count forms
constexpr int32_t SHORT_FORM_LIMIT = 32000; // the writer's largest short-form count
constexpr int16_t LONG_FORM_MARK = -1;      // C written before a 32-bit count

void encode_header(const SpectrumHeader& fields, unsigned char (&bytes)[HEADER_BYTES]);  // fields -> file bytes
SpectrumHeader decode_header(const unsigned char (&bytes)[HEADER_BYTES]);              // file bytes -> fields (text as stored)

// Little-endian loads and stores, whatever the machine's byte order.
int16_t load_int16(const unsigned char* bytes);
int32_t load_int32(const unsigned char* bytes);
double load_double(const unsigned char* bytes);
void store_int16(unsigned char* bytes, int16_t value);
void store_int32(unsigned char* bytes, int32_t value);
void store_double(unsigned char* bytes, double value);

}  // namespace tarno
