// Encoding and decoding of the 156-byte header of a binary spectrum file, and
// the little-endian loads and stores the reader and writer share.
#include <bit>          // bit_cast, endian
#include <cstring>      // memcpy of text fields

#include "app/spectrum_format.hpp"

namespace tarno {

// [SECTION] Byte order -----------------------------------------------------------

template <typename Unsigned>
static Unsigned load_unsigned(const unsigned char* bytes) {
    Unsigned value = 0;
    for (size_t i = sizeof(Unsigned); i-- > 0;) value = static_cast<Unsigned>((value << 8) | bytes[i]);
    return value;
}

template <typename Unsigned>
static void store_unsigned(unsigned char* bytes, Unsigned value) {
    for (size_t i = 0; i < sizeof(Unsigned); ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
}

int16_t load_int16(const unsigned char* bytes) { return std::bit_cast<int16_t>(load_unsigned<uint16_t>(bytes)); }
int32_t load_int32(const unsigned char* bytes) { return std::bit_cast<int32_t>(load_unsigned<uint32_t>(bytes)); }
double load_double(const unsigned char* bytes) { return std::bit_cast<double>(load_unsigned<uint64_t>(bytes)); }
static float load_float(const unsigned char* bytes) { return std::bit_cast<float>(load_unsigned<uint32_t>(bytes)); }

void store_int16(unsigned char* bytes, int16_t value) { store_unsigned(bytes, std::bit_cast<uint16_t>(value)); }
void store_int32(unsigned char* bytes, int32_t value) { store_unsigned(bytes, std::bit_cast<uint32_t>(value)); }
void store_double(unsigned char* bytes, double value) { store_unsigned(bytes, std::bit_cast<uint64_t>(value)); }
static void store_float(unsigned char* bytes, float value) { store_unsigned(bytes, std::bit_cast<uint32_t>(value)); }

// [SECTION] Header ------------------------------------------------------------------
// One table walks the fields in file order for both directions, so the two
// cannot drift apart.

template <typename Header, typename Bytes, typename Visit>
static void walk_header(Header& h, Bytes* bytes, Visit&& visit) {
    visit.text(h.comment, bytes + 0);
    visit.int16(h.day, bytes + 72);
    visit.int16(h.month, bytes + 74);
    visit.int16(h.year, bytes + 76);
    visit.int16(h.hour, bytes + 78);
    visit.int16(h.minute, bytes + 80);
    visit.int16(h.second, bytes + 82);
    visit.text(h.lamp, bytes + 84);
    visit.real(h.vkm_low, bytes + 90);
    visit.real(h.vkm_high, bytes + 94);
    visit.real(h.grid_voltage, bytes + 98);
    visit.text(h.sample, bytes + 102);
    visit.real(h.sample_pressure, bytes + 122);
    visit.real(h.gain, bytes + 126);
    visit.real(h.time_constant, bytes + 130);
    visit.real(h.phase, bytes + 134);
    visit.text(h.delay_aver, bytes + 138);
    visit.real(h.points_per_second, bytes + 144);
    visit.real(h.modulation_freq, bytes + 148);
    visit.real(h.deviation, bytes + 152);
}

namespace {
struct HeaderEncoder {
    template <size_t N> void text(const std::array<char, N>& f, unsigned char* b) { std::memcpy(b, f.data(), N); }
    void int16(int16_t v, unsigned char* b) { store_int16(b, v); }
    void real(float v, unsigned char* b) { store_float(b, v); }
};

struct HeaderDecoder {
    template <size_t N> void text(std::array<char, N>& f, const unsigned char* b) { std::memcpy(f.data(), b, N); }
    void int16(int16_t& v, const unsigned char* b) { v = load_int16(b); }
    void real(float& v, const unsigned char* b) { v = load_float(b); }
};
}  // namespace

// Writes the header fields, as they stand, into the 156 file bytes.
void encode_header(const SpectrumHeader& fields, unsigned char (&bytes)[HEADER_BYTES]) {
    walk_header(fields, bytes, HeaderEncoder{});
}

// Reads the header fields from the 156 file bytes; text fields are taken as stored.
SpectrumHeader decode_header(const unsigned char (&bytes)[HEADER_BYTES]) {
    SpectrumHeader fields{};
    walk_header(fields, bytes, HeaderDecoder{});
    return fields;
}

}  // namespace tarno
