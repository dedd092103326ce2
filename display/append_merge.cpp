// The pieces of append that do no drawing: reading the appended binary file
// and merging it onto the current frequency grid.
//
// The reader takes only what the merge needs (count, intensities, frequency
// block); the header is skipped unread, so neither the date test nor the text
// clean-up of the main reader applies.
//
// The merge walks the current grid upward from the junction. Grid points are
// made by repeated addition (f = frequency(j-1) + S), appended positions by
// P(k) = Fa + (k-1) Sa, both in 64 bits and in this order, so the decisions
// about skipped and dummy points come out the same on every machine.
#include <algorithm>
#include <cmath>        // isfinite
#include <cstdio>
#include <memory>       // unique_ptr for the file
#include <sys/stat.h>   // only regular files are read

#include "app/records.hpp"
#include "app/spectrum_format.hpp"
#include "common/fields.hpp"
#include "display/append_modify.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr size_t APPEND_CHUNK = 1 << 17;        // 16-bit values per read (256 kB)
// Fraction of the appended step within which a grid point counts as lying on
// an appended point. The grid is a running sum, so a grid that continues the
// appended one exactly lands a few rounding errors off it: without this the
// last appended point could be lost (the grid "passes" Ea) and a first point
// lying on Fa could be reported as a dummy.
constexpr double SAME_POSITION = 1e-3;

// [SECTION] Reading -----------------------------------------------------------------

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

static bool read_bytes(std::FILE* file, void* bytes, size_t size) {
    return std::fread(bytes, 1, size, file) == size;
}

// Reads `count` 16-bit intensities into values[0..count-1]; returns their sum,
// or false when the file ends or fails first.
static bool read_appended_intensities(std::FILE* file, int32_t count, std::span<int32_t> values, double& sum) {
    static unsigned char chunk[2 * APPEND_CHUNK];
    long long total = 0;    // exact: at most 10^7 values of 16 bits
    int32_t* out = values.data();
    for (int32_t done = 0; done < count;) {
        size_t wanted = std::min<size_t>(APPEND_CHUNK, static_cast<size_t>(count - done));
        if (!read_bytes(file, chunk, 2 * wanted)) return false;
        for (size_t k = 0; k < wanted; ++k) {
            int32_t v = load_int16(chunk + 2 * k);
            out[k] = v;
            total += v;
        }
        out += wanted;
        done += static_cast<int32_t>(wanted);
    }
    sum = static_cast<double>(total);
    return true;
}

AppendedRead read_appended_spectrum(const std::string& path, std::span<int32_t> values, AppendedSpectrum& out) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return AppendedRead_CannotOpen;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return AppendedRead_CannotOpen;

    // Header (skipped) and count words: C = -1 announces a 32-bit count,
    // otherwise C is the count and the two stored limits follow.
    unsigned char head[HEADER_BYTES + 6];
    if (!read_bytes(file.get(), head, sizeof head)) return AppendedRead_Unreadable;
    int16_t short_count = load_int16(head + HEADER_BYTES);
    int32_t count = short_count == LONG_FORM_MARK ? load_int32(head + HEADER_BYTES + 2) : short_count;
    if (count < MIN_APPENDED_POINTS) return AppendedRead_TooFewPoints;
    if (static_cast<size_t>(count) > values.size()) return AppendedRead_TooManyPoints;

    double sum = 0;
    if (!read_appended_intensities(file.get(), count, values, sum)) return AppendedRead_Unreadable;
    unsigned char block[24];
    if (!read_bytes(file.get(), block, sizeof block)) return AppendedRead_Unreadable;

    out.count = count;
    out.mean = sum / count;
    out.first = load_double(block);
    out.step = load_double(block + 16);
    out.last = out.first + static_cast<double>(count - 1) * out.step;
    // A step that is not positive (or not a number) gives no positions to
    // interpolate between: the merge would divide by it.
    if (!std::isfinite(out.first) || !std::isfinite(out.last) || !(out.step > 0)) return AppendedRead_Unreadable;
    return AppendedRead_Ok;
}

// [SECTION] Merging -------------------------------------------------------------------

MergeResult merge_appended(const AppendedSpectrum& a, std::span<const int32_t> values,
                           std::span<double> frequency, std::span<int32_t> intensity, int32_t n, double step) {
    const int32_t capacity = static_cast<int32_t>(std::min(frequency.size(), intensity.size())) - 1;
    const int32_t na = a.count;
    const double sa = a.step;
    auto position = [&](int32_t k) { return a.first + static_cast<double>(k - 1) * sa; };   // P(k)
    auto value = [&](int32_t k) { return values[static_cast<size_t>(k - 1)]; };                // A(k)

    const double same = SAME_POSITION * sa;
    MergeResult result{MergeOutcome_Merged, 0, 0, false, n};
    int32_t j = n + 1;
    double f = frequency[n] + step;

    // Skip: appended points more than one appended step below the next grid point.
    int32_t k = 1;
    while (f - position(k) > sa) {
        if (k == na) return {MergeOutcome_BelowGrid, 0, 0, false, n};
        ++k;
    }
    result.skipped = k - 1;

    // Gap: grid points below the first kept appended point get A(1).
    while (f < position(k) - same) {
        if (j > capacity) return {MergeOutcome_NoRoom, result.skipped, 0, false, n};
        frequency[j] = f;
        intensity[j] = value(1);
        ++j;
        f += step;      // frequency(j - 1) + S: frequency(j - 1) is f
    }
    result.dummies = j - n - 1;
    if (j > capacity) return {MergeOutcome_NoRoom, result.skipped, result.dummies, false, n};

    // Interpolate until the grid passes the last appended point. k is kept at
    // the last appended point no more than one appended step below f; it is
    // also advanced before the first point, because the gap may have carried f
    // past several appended points when they are closer than one grid step.
    auto advance_to_f = [&] {
        while (f - position(k) > sa) {
            if (k == na) return false;
            ++k;
        }
        return true;
    };
    while (advance_to_f()) {
        int32_t low = value(k);
        int32_t high = k < na ? value(k + 1) : low;     // f lies at P(Na) itself: nothing beyond it
        frequency[j] = f;
        // f lies within one appended step above P(k) (or a rounding error below
        // it), so the value stays between A(k) and A(k+1): the conversion,
        // which truncates toward zero, cannot overflow
        intensity[j] = static_cast<int32_t>(low + static_cast<double>(high - low) * (f - position(k)) / sa);
        ++j;
        f += step;      // frequency(j - 1) + S: frequency(j - 1) is f
        if (f > a.last + same) break;
        if (j > capacity) {
            result.capacity_reached = true;
            break;
        }
    }
    result.point_count = j - 1;
    return result;
}

void advise_spectrum_pages() {
    SpectrumRecord& s = spectrum;
    advise_large_pages(s.frequency, sizeof s.frequency);
    advise_large_pages(s.intensity, sizeof s.intensity);
    advise_large_pages(s.original_intensity, sizeof s.original_intensity);
}

// [SECTION] File name -------------------------------------------------------------------

// The directory of the current spectrum, up to and including its last
// separator; empty when it has none or only one in the first column.
static std::string current_spectrum_directory() {
    std::string directory(directory_part(trimmed_text_field(text.data_file_name)));
    return directory.size() <= 1 ? std::string() : directory;
}

std::string appended_file_path(const std::string& typed_name) {
    return current_spectrum_directory() + std::string(trim(typed_name));
}

}  // namespace tarno
