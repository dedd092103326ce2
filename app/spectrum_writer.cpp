// The binary spectrum writer (see spectrum_writer.hpp and spectrum_format.hpp).
#include <algorithm>
#include <bit>          // endian: intensities go out in one fwrite on little-endian machines
#include <cerrno>
#include <cstring>      // strerror

#include "app/spectrum_format.hpp"
#include "app/spectrum_writer.hpp"
#include "common/staged_file.hpp"

namespace tarno {

// A failed status naming `step`, with the system's reason from errno.
static WriteStatus write_failure(const char* step) {
    int saved = errno;
    return WriteStatus{false, std::string(step) + ": " + (saved != 0 ? std::strerror(saved) : "write error")};
}

// fwrite of `size` bytes; false on a short write.
static bool write_bytes(std::FILE* file, const void* bytes, size_t size) {
    if (size == 0) return true;     // an empty span may have no data pointer
    errno = 0;
    return std::fwrite(bytes, 1, size, file) == size;
}

// Writes the 156-byte header and the count words of either form.
WriteStatus write_spectrum_head(std::FILE* file, const SpectrumHeader& fields, int32_t point_count,
                                int16_t stored_min, int16_t stored_max) {
    unsigned char header_bytes[HEADER_BYTES];
    encode_header(fields, header_bytes);
    unsigned char bytes[INTENSITY_OFFSET] = {};
    std::memcpy(bytes, header_bytes, HEADER_BYTES);
    if (point_count >= 2 && point_count <= SHORT_FORM_LIMIT) {
        store_int16(bytes + 156, static_cast<int16_t>(point_count));
        store_int16(bytes + 158, stored_min);
        store_int16(bytes + 160, stored_max);
    } else {
        store_int16(bytes + 156, LONG_FORM_MARK);
        store_int32(bytes + 158, point_count);
    }
    if (!write_bytes(file, bytes, sizeof bytes)) return write_failure("writing the header");
    return {};
}

// Writes the next intensities, 16 bits each, little-endian.
WriteStatus write_intensity_block(std::FILE* file, std::span<const int16_t> values) {
    if constexpr (std::endian::native == std::endian::little) {
        if (!write_bytes(file, values.data(), values.size_bytes())) return write_failure("writing the intensities");
    } else {
        unsigned char chunk[8192];
        for (size_t start = 0; start < values.size(); start += sizeof chunk / 2) {
            size_t n = std::min(values.size() - start, sizeof chunk / 2);
            for (size_t i = 0; i < n; ++i) store_int16(chunk + 2 * i, values[start + i]);
            if (!write_bytes(file, chunk, 2 * n)) return write_failure("writing the intensities");
        }
    }
    return {};
}

// Writes first, last and step as doubles, then the 16-bit zero.
WriteStatus write_frequency_block(std::FILE* file, double freq_first, double freq_last, double freq_step) {
    unsigned char bytes[26] = {};
    store_double(bytes + 0, freq_first);
    store_double(bytes + 8, freq_last);
    store_double(bytes + 16, freq_step);
    if (!write_bytes(file, bytes, sizeof bytes)) return write_failure("writing the frequency block");
    return {};
}

// Writes the whole spectrum to an open stream and flushes it.
WriteStatus write_binary_spectrum(std::FILE* file, const SpectrumHeader& fields,
                                  std::span<const int16_t> intensities, int16_t stored_min, int16_t stored_max,
                                  double freq_first, double freq_last, double freq_step) {
    auto count = static_cast<int32_t>(intensities.size());
    if (WriteStatus s = write_spectrum_head(file, fields, count, stored_min, stored_max); !s) return s;
    if (WriteStatus s = write_intensity_block(file, intensities); !s) return s;
    if (WriteStatus s = write_frequency_block(file, freq_first, freq_last, freq_step); !s) return s;
    errno = 0;
    if (std::fflush(file) != 0) return write_failure("writing the file");
    return {};
}

// Writes the whole spectrum to `path` through a temporary file.
WriteStatus write_binary_spectrum_file(const std::string& path, const SpectrumHeader& fields,
                                       std::span<const int16_t> intensities, int16_t stored_min, int16_t stored_max,
                                       double freq_first, double freq_last, double freq_step) {
    StagedFile out(path, StagedFile::Mode::replace);
    if (!out.is_open()) return WriteStatus{false, out.error()};
    WriteStatus status = write_binary_spectrum(out.stream(), fields, intensities, stored_min, stored_max,
                                               freq_first, freq_last, freq_step);
    if (!status) return WriteStatus{false, path + ": " + status.message};
    if (!out.commit()) return WriteStatus{false, out.error()};
    return {};
}

}  // namespace tarno
