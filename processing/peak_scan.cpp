// The scan of the automatic peak finder (see peak_scan.hpp for the model).
//
// Decisions where the data could lead outside the spectrum or into nonsense:
//  - A re-centred fitting window keeps its centre within h+1 .. N-h, so it
//    never reads outside 1..N; the peak point of the half-height search keeps
//    the clamp r .. N-r of the index rule.
//  - A fit without a vertex (zero curvature, or a vertex that is not a finite
//    number) ends the candidate like a discarded line: nothing at frequency 0
//    is reported, and the complete-spectrum scan counts it as discarded.
//  - A crossing pair whose two intensities both equal the half level (0/0 in
//    the interpolation) takes the frequency of the pair's point nearer the peak.
//
// Sections:
//   [SECTION] Constants
//   [SECTION] Candidates
//   [SECTION] Fits
//   [SECTION] Level search (half-height crossings)
//   [SECTION] Public routines
#include "processing/peak_scan.hpp"

#include <algorithm>    // min, max, clamp
#include <cassert>
#include <cmath>        // round, floor, ceil, fabs, sqrt, isfinite, trunc

#include "processing/peakf.hpp"

namespace tarno {

// [SECTION] Constants ----------------------------------------------------------
static constexpr int FIT_PASSES = 3;                // the first fit and two re-centred ones
static constexpr double ERROR_LIMIT = 3.0;          // times the nominal error: larger errors are discarded
static constexpr int MAX_BAR = 32;                  // dashes of a full bar
static constexpr int32_t LEVEL_FAN_OUT = 64;        // blocks of one level in a block of the next
static constexpr int LEVEL_COUNT = 3;               // blocks of 64, 4096 and 262144 points
static constexpr int32_t LINEAR_REACH = 512;        // points walked one by one before the levels are built

// The shape constants of a fitting width w.
struct Spacing {
    int32_t q;      // w/4: inner comparison distance; after a discarded line the scan moves q+1
    int32_t h;      // w/2: half the fitting window
    int32_t r;      // 2q: outer comparison distance; after a line the scan moves r+1
};

static Spacing spacing_of(int32_t w) { return Spacing{w / 4, w / 2, 2 * (w / 4)}; }

static int32_t point_count_of(const PeakScan& scan) { return static_cast<int32_t>(scan.intensity.size()) - 1; }

// [SECTION] Candidates -----------------------------------------------------------

// Returns the first candidate index in from..to, or to + 1 when there is none.
// The cutoff test comes first: most points of a spectrum fail it.
static int32_t find_candidate(const PeakScan& scan, int32_t from, int32_t to, Spacing s) {
    const int32_t* y = scan.intensity.data();
    const int32_t cutoff = scan.settings.cutoff;
    for (int32_t i = from; i <= to; ++i) {
        const int32_t v = y[i];
        if (v >= cutoff && v > y[i - s.q] && v > y[i + s.q] && v > y[i - s.r] && v > y[i + s.r]) return i;
    }
    return to + 1;
}

// [SECTION] Fits -------------------------------------------------------------------

// The point nearest frequency `f` by the index rule, raised to at least `low`
// and lowered to at most `high`; nothing when f is not a number.
static std::optional<int32_t> nearest_point(const PeakScan& scan, double f, int32_t low, int32_t high) {
    const int32_t n = point_count_of(scan);
    const double f1 = scan.frequency[1];
    const double x = (n - 1) * (f - f1) / (scan.frequency[n] - f1);
    if (std::isnan(x)) return std::nullopt;
    const double k = std::min(std::max(std::round(x) + 1, static_cast<double>(low)), static_cast<double>(high));
    return static_cast<int32_t>(k);
}

// PEAKF on the w points from centre - h (for the odd widths of the display,
// the 2h+1 points centred on `centre`).
static PeakFit fit_window(PeakScan& scan, int32_t centre, int32_t h) {
    const size_t first = static_cast<size_t>(centre - h);
    const size_t count = static_cast<size_t>(scan.settings.fit_width);
    for (size_t k = 0; k < count; ++k) scan.fit_values[k] = scan.intensity[first + k];
    return PEAKF(scan.frequency.subspan(first, count), std::span<const double>(scan.fit_values.data(), count));
}

static bool has_vertex(const PeakFit& fit) {
    return fit.curvature != 0 && std::isfinite(fit.x_peak) && std::isfinite(fit.y_peak);
}

// Fits the line of candidate `i` three times, each refit centred on the point
// nearest the previous fitted frequency; nothing when a fit has no vertex.
static std::optional<PeakFit> fit_line(PeakScan& scan, int32_t i, Spacing s) {
    const int32_t n = point_count_of(scan);
    int32_t centre = i;
    PeakFit fit{};
    for (int pass = 0; pass < FIT_PASSES; ++pass) {
        if (pass > 0) {
            std::optional<int32_t> nearest = nearest_point(scan, fit.x_peak, s.r, n - s.r);
            if (!nearest) return std::nullopt;
            centre = std::clamp(*nearest, s.h + 1, n - s.h);   // the window stays inside 1..N
        }
        fit = fit_window(scan, centre, s.h);
        if (!has_vertex(fit)) return std::nullopt;
    }
    return fit;
}

// Complete-spectrum acceptance: an error within 3 nominal errors and a peak
// not below the baseline.
static bool is_accepted(const PeakFit& fit, const PeakScanSettings& settings) {
    return !(std::fabs(fit.error) > ERROR_LIMIT * settings.nominal_error) && !(fit.y_peak < settings.baseline);
}

// [SECTION] Level search (half-height crossings) -----------------------------------
//
// The first crossing pair on a side is found by looking for the nearest point
// on the other side of the half level from the peak point (or on it): going
// left from P with intensity(P) above the level, the pair (k, k+1) with k the
// last point at or below it. Intensities are integers, so "at or below a real
// level" is "at or below its floor" and "at or above" is "at or above its ceiling".

struct Threshold {
    long long value;
    bool at_or_below;           // looking for intensity <= value (else >= value)
};

static bool meets(int32_t v, Threshold t) { return t.at_or_below ? v <= t.value : v >= t.value; }

static long long integer_level(double level) {
    return static_cast<long long>(std::clamp(level, -9.0e18, 9.0e18));
}

// Builds the block minima and maxima of the search range, level by level.
static void build_levels(PeakScan& scan) {
    const int32_t* y = scan.intensity.data();
    const int32_t first = scan.settings.first, last = scan.settings.last;
    int32_t size = LEVEL_FAN_OUT;
    for (int l = 0; l < LEVEL_COUNT; ++l, size *= LEVEL_FAN_OUT) {
        LevelSummary level{size, first / size, {}, {}};
        const size_t count = static_cast<size_t>(last / size - level.first_block + 1);
        level.min.assign(count, INT32_MAX);
        level.max.assign(count, INT32_MIN);
        if (l == 0) {
            for (size_t b = 0; b < count; ++b) {
                const int32_t start = (static_cast<int32_t>(b) + level.first_block) * size;
                const int32_t from = std::max(first, start), to = std::min(last, start + size - 1);
                int32_t lowest = INT32_MAX, highest = INT32_MIN;
                for (int32_t k = from; k <= to; ++k) {
                    lowest = std::min(lowest, y[k]);
                    highest = std::max(highest, y[k]);
                }
                level.min[b] = lowest;
                level.max[b] = highest;
            }
        } else {
            // block numbers of consecutive levels differ by the fan-out: b(l) = b(l-1) / 64
            const LevelSummary& below = scan.levels.back();
            for (size_t c = 0; c < below.min.size(); ++c) {
                const size_t b = static_cast<size_t>((static_cast<int32_t>(c) + below.first_block) / LEVEL_FAN_OUT -
                                                     level.first_block);
                level.min[b] = std::min(level.min[b], below.min[c]);
                level.max[b] = std::max(level.max[b], below.max[c]);
            }
        }
        scan.levels.push_back(std::move(level));
    }
}

// True when the block of `level` starting at point `start` lies inside both
// the search range and [low, high] (so its summary covers all its points) and
// holds no point that meets t.
static bool can_skip_block(const PeakScan& scan, const LevelSummary& level, int32_t start, int32_t low, int32_t high,
                           Threshold t) {
    const int32_t end = start + level.block_size - 1;
    if (start < std::max(low, scan.settings.first) || end > std::min(high, scan.settings.last)) return false;
    const size_t b = static_cast<size_t>(start / level.block_size - level.first_block);
    return t.at_or_below ? level.min[b] > t.value : level.max[b] < t.value;
}

// The largest block ending at point k that can be passed over going down
// (0 when none): k + 1 - size is the block's first point.
static int32_t skippable_below(const PeakScan& scan, int32_t k, int32_t low, int32_t high, Threshold t) {
    for (auto level = scan.levels.rbegin(); level != scan.levels.rend(); ++level)
        if ((k + 1) % level->block_size == 0 && can_skip_block(scan, *level, k + 1 - level->block_size, low, high, t))
            return level->block_size;
    return 0;
}

// The largest block starting at point k that can be passed over going up (0 when none).
static int32_t skippable_above(const PeakScan& scan, int32_t k, int32_t low, int32_t high, Threshold t) {
    for (auto level = scan.levels.rbegin(); level != scan.levels.rend(); ++level)
        if (k % level->block_size == 0 && can_skip_block(scan, *level, k, low, high, t)) return level->block_size;
    return 0;
}

// The largest k in [low, from] whose intensity meets t; low - 1 when none.
static int32_t search_down(PeakScan& scan, int32_t from, int32_t low, Threshold t) {
    const int32_t* y = scan.intensity.data();
    int32_t k = from;
    for (const int32_t stop = std::max(low, from - LINEAR_REACH); k >= stop; --k)
        if (meets(y[k], t)) return k;
    if (scan.levels.empty() && k >= low) build_levels(scan);
    while (k >= low) {
        if (int32_t skip = skippable_below(scan, k, low, from, t)) {
            k -= skip;
            continue;
        }
        if (meets(y[k], t)) return k;
        --k;
    }
    return low - 1;
}

// The smallest k in [from, high] whose intensity meets t; high + 1 when none.
static int32_t search_up(PeakScan& scan, int32_t from, int32_t high, Threshold t) {
    const int32_t* y = scan.intensity.data();
    int32_t k = from;
    for (const int32_t stop = std::min(high, from + LINEAR_REACH); k <= stop; ++k)
        if (meets(y[k], t)) return k;
    if (scan.levels.empty() && k <= high) build_levels(scan);
    while (k <= high) {
        if (int32_t skip = skippable_above(scan, k, from, high, t)) {
            k += skip;
            continue;
        }
        if (meets(y[k], t)) return k;
        ++k;
    }
    return high + 1;
}

// The threshold that ends a walk starting at point p: the other side of the
// half level (or the level itself) from intensity(p).
static Threshold crossing_threshold(int32_t value_at_peak, double half) {
    if (value_at_peak > half) return Threshold{integer_level(std::floor(half)), true};
    return Threshold{integer_level(std::ceil(half)), false};
}

// Frequency where the straight line through points a and b reaches `half`;
// `nearer` (the pair's point nearer the peak) when both lie on the level.
static double interpolate_crossing(const PeakScan& scan, int32_t a, int32_t b, double half, int32_t nearer) {
    const int32_t* y = scan.intensity.data();
    if (y[b] == y[a]) return scan.frequency[nearer];
    return scan.frequency[a] + (half - y[a]) * (scan.frequency[b] - scan.frequency[a]) / (y[b] - y[a]);
}

// Left crossing: the first pair (j-1, j), j = P down to S+1, on opposite sides of
// the half level or touching it; nothing when P < S+1 or no pair qualifies.
static std::optional<double> left_crossing(PeakScan& scan, int32_t p, double half) {
    const int32_t first = scan.settings.first;
    if (p < first + 1) return std::nullopt;
    int32_t j = p;
    if (scan.intensity[p] != half) {
        int32_t k = search_down(scan, p - 1, first, crossing_threshold(scan.intensity[p], half));
        if (k < first) return std::nullopt;
        j = k + 1;
    }
    return interpolate_crossing(scan, j - 1, j, half, j);
}

// Right crossing: the first pair (j, j+1), j = P up to E-1, likewise.
static std::optional<double> right_crossing(PeakScan& scan, int32_t p, double half) {
    const int32_t last = scan.settings.last;
    if (p > last - 1) return std::nullopt;
    int32_t j = p;
    if (scan.intensity[p] != half) {
        int32_t k = search_up(scan, p + 1, last, crossing_threshold(scan.intensity[p], half));
        if (k > last) return std::nullopt;
        j = k - 1;
    }
    return interpolate_crossing(scan, j, j + 1, half, j);
}

// The line of an accepted fit: crossings, FWHH, printed intensity and bar.
static FoundLine describe_line(PeakScan& scan, const PeakFit& fit, Spacing s, HalfHeightMemory& memory) {
    const PeakScanSettings& settings = scan.settings;
    const int32_t n = point_count_of(scan);
    const int32_t p = *nearest_point(scan, fit.x_peak, s.r, n - s.r);   // x_peak is finite here
    const double half = (fit.y_peak + settings.baseline) / 2;
    if (std::optional<double> left = left_crossing(scan, p, half)) memory.left = *left;
    if (std::optional<double> right = right_crossing(scan, p, half)) memory.right = *right;
    FoundLine line{};
    line.frequency = fit.x_peak;
    line.error = fit.error;
    line.peak_intensity = fit.y_peak;
    line.fwhh = memory.right - memory.left;
    line.printed_intensity = integer_level(std::trunc(fit.y_peak - settings.baseline));
    line.bar_length = bar_length_of(line.printed_intensity, settings.bar_scale);
    return line;
}

// [SECTION] Public routines ----------------------------------------------------------

PeakScan start_peak_scan(std::span<const double> frequency, std::span<const int32_t> intensity,
                         const PeakScanSettings& settings) {
    assert(frequency.size() == intensity.size());
    assert(settings.first >= 1 && settings.last <= static_cast<int32_t>(intensity.size()) - 1);
    PeakScan scan{};
    scan.frequency = frequency;
    scan.intensity = intensity;
    scan.settings = settings;
    scan.next_candidate = settings.first + settings.fit_width + 1;
    scan.fit_values.resize(static_cast<size_t>(2 * std::max(settings.fit_width / 2, 0) + 1));
    return scan;
}

std::optional<FoundLine> next_peak(PeakScan& scan, HalfHeightMemory& memory) {
    const PeakScanSettings& settings = scan.settings;
    const Spacing s = spacing_of(settings.fit_width);
    if (s.q == 0) return std::nullopt;              // w < 4: no point is ever a candidate
    const int32_t last_candidate = settings.last - settings.fit_width;
    while (scan.next_candidate <= last_candidate) {
        const int32_t i = find_candidate(scan, scan.next_candidate, last_candidate, s);
        scan.next_candidate = i;
        if (i > last_candidate) break;
        std::optional<PeakFit> fit = fit_line(scan, i, s);
        bool discarded = fit ? settings.discard_lines && !is_accepted(*fit, settings) : settings.discard_lines;
        if (!fit || discarded) {
            if (discarded) ++scan.discarded;
            scan.next_candidate = i + s.q + 1;
            continue;
        }
        scan.next_candidate = i + s.r + 1;
        FoundLine line = describe_line(scan, *fit, s, memory);
        ++scan.identified;
        scan.fwhh_sum += line.fwhh;
        scan.fwhh_sum_of_squares += line.fwhh * line.fwhh;
        return line;
    }
    return std::nullopt;
}

FwhhSummary summarise_fwhh(const PeakScan& scan) {
    if (scan.identified == 0) return FwhhSummary{0, 0};
    const double mean = scan.fwhh_sum / scan.identified;
    // Equal widths can leave a tiny negative difference of the two means: no spread.
    const double variance = scan.fwhh_sum_of_squares / scan.identified - mean * mean;
    return FwhhSummary{mean, variance > 0 ? std::sqrt(variance) : 0.0};
}

int bar_length_of(long long printed_intensity, double bar_scale) {
    const double bar = std::fabs(static_cast<double>(printed_intensity) * 32.0 / bar_scale) + 0.5;
    if (std::isnan(bar)) return 0;
    return bar >= MAX_BAR ? MAX_BAR : static_cast<int>(bar);
}

}  // namespace tarno
