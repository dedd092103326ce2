// The plot data files: the points of the plotted range (and the display's
// interpolated points) as two columns, frequency and normalised intensity.
//
//   !  Spectrum from file:  /data/spectra/run5.spe
//   !
//     86000.0000   0.1250          <- F12.4 frequency, F9.4 (intensity - lower) / (upper - lower)
//
// Intensities outside the Y-limits give values below 0 or above 1: they are
// not clipped, GLE clips them at the axis. The lines of a whole 10M-point
// spectrum are formatted in parallel by the line writer.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/records.hpp"          // the spectrum
#include "common/fields.hpp"        // append_fixed_or_wider
#include "common/line_writer.hpp"   // lines formatted in parallel, written in order
#include "common/staged_file.hpp"
#include "plot/plot_output.hpp"

namespace tarno {

// The normalisation of intensities to the plot's Y-limits.
struct Normalisation {
    double lower;
    double range;

    Normalisation(int32_t y_lower, int32_t y_upper)
        : lower(y_lower), range(static_cast<double>(static_cast<int64_t>(y_upper) - y_lower)) {
        if (range == 0.0) range = 1.0;  // equal limits: avoid a division by zero, plot intensity - lower
    }
    double operator()(int32_t intensity) const { return (static_cast<double>(intensity) - lower) / range; }
};

// Appends one data line: frequency as F12.4, normalised intensity as F9.4
// (a number too wide for its field after one blank, so that GLE still reads it).
static void append_point(std::string& text, double freq, double normalised) {
    append_fixed_or_wider(text, freq, 12, 4);
    append_fixed_or_wider(text, normalised, 9, 4);
    text += '\n';
}

// Returns the base name length: the characters before the first "." or blank
// (a "." in a directory name counts too); the whole name when it has neither.
int32_t base_name_length(std::string_view spectrum_name) {
    std::string_view name = trim_right(spectrum_name);
    size_t end = name.find_first_of(". ");
    return static_cast<int32_t>(end == std::string_view::npos ? name.size() : end);
}

// Writes the data file of the plotted range: every point from the first at or
// above `low` up to the first point above `high`; `progress` hears how many
// of them are written as the file grows.
std::optional<PlotFileFailure> write_plot_data(const std::string& data_name, std::string_view spectrum_name,
                                               double low, double high, int32_t y_lower, int32_t y_upper,
                                               const WrittenItems& progress) {
    const SpectrumRecord& s = spectrum;
    StagedFile out(data_name, StagedFile::Mode::replace);
    if (!out.is_open()) return PlotFileFailure{data_name, out.reason()};
    out.write("!  Spectrum from file:  " + std::string(trim_right(spectrum_name)) + "\n");
    out.write("!\n");
    int32_t stop = 1;               // the first point above the range ends the file
    while (stop <= s.point_count && !(s.frequency[stop] > high)) ++stop;
    int32_t begin = 1;
    while (begin < stop && s.frequency[begin] < low) ++begin;
    const Normalisation normalised(y_lower, y_upper);
    write_lines_in_order(out, stop - begin, [&](int64_t first, int64_t count, std::string& text) {
        for (int64_t k = first; k < first + count; ++k) {
            const int64_t i = begin + k;
            if (s.frequency[i] < low) continue;
            append_point(text, s.frequency[i], normalised(s.intensity[i]));
        }
    }, progress);
    if (!out.commit()) return PlotFileFailure{data_name, out.reason()};
    return std::nullopt;
}

// Writes the display's interpolated points, all of them, in the same layout.
std::optional<PlotFileFailure> write_interpolated_data(const std::string& data_name, std::string_view spectrum_name,
                                                       std::span<const double> freq, std::span<const int32_t> value,
                                                       int32_t y_lower, int32_t y_upper) {
    StagedFile out(data_name, StagedFile::Mode::replace);
    if (!out.is_open()) return PlotFileFailure{data_name, out.reason()};
    std::string text = "!  Spectrum from file:  " + std::string(trim_right(spectrum_name)) + "\n";
    text += "!  (interpolated points used for the screen display)\n";
    text += "!\n";
    const Normalisation normalised(y_lower, y_upper);
    for (size_t k = 0; k < freq.size() && k < value.size(); ++k) append_point(text, freq[k], normalised(value[k]));
    out.write(text);
    if (!out.commit()) return PlotFileFailure{data_name, out.reason()};
    return std::nullopt;
}

}  // namespace tarno
