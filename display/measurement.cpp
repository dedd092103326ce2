// Line measurement: the O, 9 and = commands (see measurement.hpp).
//
// O in steps:
//   1. guards: fitting width p = fit_width x expansion at least 5; the fitting
//      half-width around the cursor inside the spectrum
//   2. search from the point under the cursor to the extremum of the line
//   3. up to four PEAKF passes, each re-centred on the point nearest the fit
//   4. half-height crossings on the search curve
//   5. remember, redraw the plot point by point with the fit and its marks,
//      write rows 1 and 2
// A refusal at any step shows its message in row 1 and changes nothing.
//
// Sections:
//   [SECTION] Messages and drawing constants
//   [SECTION] Search curve
//   [SECTION] Finding the line
//   [SECTION] Remembering and drawing
//   [SECTION] Result rows
//   [SECTION] Commands
#include "display/line_overlay.hpp"
#include "display/measurement.hpp"

#include <cmath>        // fabs, sqrt, isfinite
#include <optional>
#include <string_view>

#include "app/records.hpp"          // the spectrum
#include "common/fields.hpp"        // fixed-width result fields
#include "common/numbers.hpp"       // round_half_away
#include "display/display_state.hpp"
#include "display/frame.hpp"        // the pieces of a frame: curve, box, cursor, markers, MARSCA
#include "display/linked_state.hpp" // linked indicator and offset marker in the redraw
#include "display/messages.hpp"     // the message rows
#include "processing/peakf.hpp"
#include "window/window.hpp"

namespace tarno {

MeasurementMemory measurement;

// [SECTION] Messages and drawing constants ------------------------------------------
static constexpr std::string_view MSG_THREE_POINT =
    " ERROR: 3 point width allowed only on expanded data: increase X-expansion";
static constexpr std::string_view MSG_OUTSIDE_LIMITS =
    " ERROR: peak measurements are only allowed within the limits of spectrum";
static constexpr std::string_view MSG_OUTSIDE_SCREEN =
    " ERROR: peak search ended outside the display screen";
static constexpr std::string_view MSG_OUTSIDE_SPECTRUM =
    " ERROR: peak search ended outside the spectrum";
static constexpr std::string_view MSG_TOO_MANY_POINTS =
    " ERROR: Too many points for peak measurement: reduce X-expansion";
static constexpr std::string_view MSG_INTERVAL_BOUNDS =
    " ERROR: fitting interval exceeds data bounds";
static constexpr std::string_view MSG_ZERO_RANGE =
    " ERROR: Zero dynamic range in data for fitting peak frequency";
static constexpr std::string_view MSG_NO_CURVATURE =
    " ERROR: no curvature in data for fitting peak frequency (straight flank)";

static constexpr int MIN_FIT_POINTS = 5;      // below this only interpolated data may be fitted
static constexpr int MAX_FIT_POINTS = 500;    // capacity of the fit's work arrays
static constexpr int FIT_PASSES = 4;

static constexpr int COLOUR_CURVE = COLOR_WHITE;      // spectrum, as in a frame
static constexpr int COLOUR_PARABOLA = COLOR_LIGHT_RED;   // the fitted parabola
static constexpr int COLOUR_LEVELS = COLOR_LIGHT_CYAN;     // vertex line, baseline and top level
static constexpr int COLOUR_EDGES = COLOR_YELLOW;      // fit-interval edges and half-height line
static constexpr uint16_t STYLE_SOLID = 0xFFFF;
static constexpr uint16_t STYLE_DOTTED = 0x9999;

namespace {
// [SECTION] Search curve --------------------------------------------------------------
// The curve the search and the fit run on: the interpolated points of an
// interpolated frame, otherwise the spectrum. Both are 1-based.
struct SearchCurve {
    bool interpolated;
    int32_t count;

    double freq(long long k) const {
        return interpolated ? display.interp_freq[k] : spectrum.frequency[k];
    }
    double value(long long k) const {
        return interpolated ? display.interp_value[k] : spectrum.intensity[k];
    }
    bool contains(long long k) const { return k >= 1 && k <= count; }
};
}  // namespace

static SearchCurve current_search_curve() {
    const DisplayState& d = display;
    if (d.expansion > 1) return {true, d.interp_count};
    return {false, spectrum.point_count};
}

// Rounds half away from zero; a value that is not finite or far beyond any
// index gives an index outside every curve.
static long long round_to_index(double q) {
    constexpr double LIMIT = 1e15;
    if (!(std::fabs(q) < LIMIT)) return -(1LL << 50);
    return static_cast<long long>(round_half_away(q));
}

// Returns the point of the search curve nearest frequency f (may lie outside it).
static long long nearest_point(const SearchCurve& curve, double f) {
    const DisplayState& d = display;
    const double span = d.view_high - d.view_low;
    if (curve.interpolated)
        return round_to_index((d.interp_count - 1) * (f - d.view_low) / span) + 1;
    return round_to_index((d.last_index - d.first_index) * (f - d.view_low) / span) + d.first_index;
}

static long long clamp_to_curve(const SearchCurve& curve, long long k) {
    return k < 1 ? 1 : (k > curve.count ? curve.count : k);
}

// [SECTION] Finding the line ------------------------------------------------------------
static LineMeasurement refusal(std::string_view message, bool beep) {
    LineMeasurement r{};
    r.failed = true;
    r.error_message = std::string(message);
    r.beep = beep;
    return r;
}

// Walks from j to the top of the line (climb) or to its bottom; nothing when
// the walk would leave the curve.
static std::optional<long long> search_extremum(const SearchCurve& curve, long long j) {
    if (!curve.contains(j) || !curve.contains(j + 1)) return std::nullopt;
    int step = curve.value(j + 1) >= curve.value(j) ? 1 : -1;
    const bool climb = curve.value(j) > display.mean_intensity;
    if (!climb) step = -step;
    long long k = j;
    for (;;) {
        const long long next = k + step;
        if (!curve.contains(next)) return std::nullopt;
        const double rise = curve.value(next) - curve.value(k);
        if (climb ? !(rise > 0) : !(rise < 0)) return k;
        k = next;
    }
}

// Frequency where the curve crosses level h between `near` (the point nearer
// the top) and its neighbour `far`, by linear interpolation.
static double crossing_between(const SearchCurve& curve, long long near, long long far, double h) {
    const double vn = curve.value(near), vf = curve.value(far);
    if (vn == vf) return curve.freq(near);  // both touch the level
    return curve.freq(near) + (h - vn) * (curve.freq(far) - curve.freq(near)) / (vf - vn);
}

static bool straddles(double a, double b, double h) {
    return (a <= h && b >= h) || (a >= h && b <= h);
}

// Fills the half-height level and both crossings. Where the curve does not
// cross on a side within the search curve, there is no half-width.
static void find_half_width(const SearchCurve& curve, LineMeasurement& r) {
    const double h = (display.mean_intensity + r.peak_intensity) / 2;
    r.half_height = h;
    const long long k0 = clamp_to_curve(curve, nearest_point(curve, r.frequency));
    std::optional<double> left, right;
    for (long long i = k0; i >= 2 && !left; --i)
        if (straddles(curve.value(i - 1), curve.value(i), h)) left = crossing_between(curve, i, i - 1, h);
    for (long long i = k0; i + 1 <= curve.count && !right; ++i)
        if (straddles(curve.value(i), curve.value(i + 1), h)) right = crossing_between(curve, i, i + 1, h);
    r.has_half_width = left && right;
    if (!r.has_half_width) return;
    r.left_crossing = *left;
    r.right_crossing = *right;
    r.half_width = *right - *left;
}

// Searches, fits and measures the line under the cursor on the current frame.
// Reads the display state and the spectrum; changes nothing.
LineMeasurement find_line() {
    const DisplayState& d = display;
    const int p = d.fit_width * d.expansion;
    const int h = p / 2;

    // ---- guards ------------------------------------------------------------------
    if (p < MIN_FIT_POINTS) return refusal(MSG_THREE_POINT, false);
    if (d.cursor_index - h <= 0 || static_cast<long long>(d.cursor_index) + h > spectrum.point_count)
        return refusal(MSG_OUTSIDE_LIMITS, true);

    // ---- search ------------------------------------------------------------------
    const SearchCurve curve = current_search_curve();
    const long long j = curve.interpolated ? clamp_to_curve(curve, nearest_point(curve, d.cursor_freq))
                                           : clamp_to_curve(curve, d.cursor_index);
    std::optional<long long> top = search_extremum(curve, j);
    if (!top) return refusal(curve.interpolated ? MSG_OUTSIDE_SCREEN : MSG_OUTSIDE_SPECTRUM, true);

    // ---- fit passes --------------------------------------------------------------
    // The window runs from k - p div 2; with an even p (interpolated frames)
    // its last point k + p div 2 must exist but is not fitted.
    if (p > MAX_FIT_POINTS) return refusal(MSG_TOO_MANY_POINTS, true);
    long long k = *top;
    std::vector<double> x(p), y(p);
    PeakFit fit{};
    for (int pass = 1; pass <= FIT_PASSES; ++pass) {
        if (!curve.contains(k - h) || !curve.contains(k + h)) return refusal(MSG_INTERVAL_BOUNDS, true);
        for (int i = 0; i < p; ++i) {
            x[i] = curve.freq(k - h + i);
            y[i] = curve.value(k - h + i);
        }
        double rise_sum = 0;
        for (int i = 1; i < p; ++i) rise_sum += y[i] - y[0];
        if (rise_sum == 0) return refusal(MSG_ZERO_RANGE, true);
        fit = PEAKF(x, y);
        // NOTE: data without curvature (a straight flank) has no vertex; PEAKF
        // then reports frequency 0, which would be shown as a result.
        if (fit.curvature == 0) return refusal(MSG_NO_CURVATURE, true);
        if (pass < FIT_PASSES) k = nearest_point(curve, fit.x_peak);
    }

    // ---- result ------------------------------------------------------------------
    LineMeasurement r{};
    r.interpolated = curve.interpolated;
    r.frequency = fit.x_peak;
    r.error = fit.error;
    r.peak_intensity = fit.y_peak;
    r.intensity = fit.y_peak - d.mean_intensity;
    r.curvature = fit.curvature;
    r.slope = fit.slope;
    r.centre_freq = x[p / 2];
    r.centre_value = y[p / 2];
    r.fit_freq = x;
    find_half_width(curve, r);
    return r;
}

// [SECTION] Remembering and drawing -----------------------------------------------------
// Makes a successful measurement the last one; the last becomes the previous.
void remember_line(const LineMeasurement& line) {
    MeasurementMemory& m = measurement;
    m.measure_prev = m.measure_last;
    m.measure_last = line.frequency;
    m.error_prev = m.error_last;
    m.error_last = line.error;
    m.peak_freq = line.frequency;
    m.peak_intensity = line.peak_intensity;
    m.curvature = line.curvature;
    m.slope = line.slope;
    m.has_half_width = line.has_half_width;
    m.left_crossing = line.has_half_width ? line.left_crossing : 0;
    m.right_crossing = line.has_half_width ? line.right_crossing : 0;
    m.half_width = line.has_half_width ? line.half_width : 0;
}

static void draw_world_line(double x1, double y1, double x2, double y2) {
    move_to_world(x1, y1);
    line_to_world(x2, y2);
}

// Clears the plot area and draws every point of the view, whatever the regime
// of the last frame, then the frame's furniture.
static void redraw_points() {
    const DisplayState& d = display;
    set_line_style(STYLE_SOLID);
    set_write_mode(WRITE_MODE_COPY);
    set_color(COLOUR_CURVE);
    set_background_color(COLOR_BLUE);
    clear_screen(1);
    draw_line_overlay();
    draw_every_point();
    if (linked.offset_marker_on) draw_offset_marker();
    draw_cursor_line();
    draw_frame_box();
    if (linked.linked_flag == 1) draw_linked_indicator();
    MARSCA(d.view_low, d.view_high);
}

// The fitted parabola through the fitted abscissae.
static void draw_parabola(const LineMeasurement& line) {
    set_color(COLOUR_PARABOLA);
    bool first = true;
    for (double f : line.fit_freq) {
        const double dx = f - line.centre_freq;
        const double v = line.centre_value + dx * (line.slope + line.curvature * dx);
        if (first) move_to_world(f, v); else line_to_world(f, v);
        first = false;
    }
}

// The measurement marks, over the parabola, in this order: vertex line;
// dotted edges of the fitted interval (last point, then first); baseline and
// top level; half-height line between the crossings.
static void draw_marks(const LineMeasurement& line) {
    const DisplayState& d = display;
    const double first_f = line.fit_freq.front(), last_f = line.fit_freq.back();
    set_line_style(STYLE_SOLID);
    set_color(COLOUR_LEVELS);
    draw_world_line(line.frequency, d.mean_intensity, line.frequency, line.peak_intensity);
    set_line_style(STYLE_DOTTED);
    set_color(COLOUR_EDGES);
    draw_world_line(last_f, d.y_high, last_f, d.y_floor);
    draw_world_line(first_f, d.y_high, first_f, d.y_floor);
    set_line_style(STYLE_SOLID);
    set_color(COLOUR_LEVELS);
    draw_world_line(d.view_low, d.mean_intensity, d.view_high, d.mean_intensity);
    draw_world_line(first_f, line.peak_intensity, last_f, line.peak_intensity);
    if (line.has_half_width) {
        set_color(COLOUR_EDGES);
        draw_world_line(line.left_crossing, line.half_height, line.right_crossing, line.half_height);
    }
    set_color(COLOUR_CURVE);
}

// Redraws the plot point by point and draws the fit and its marks over it.
void draw_line_fit(const LineMeasurement& line) {
    redraw_points();
    draw_parabola(line);
    draw_marks(line);
}

// [SECTION] Result rows -------------------------------------------------------------------
std::string line_result_row1(const LineMeasurement& line) {
    return " Fitted peak frequency: " + format_fixed(line.frequency, 14, 4) + " +-" +
           format_fixed(line.error, 7, 4) + std::string(9, ' ') + "Intensity:" +
           format_fixed(line.intensity, 12, 2);
}

std::string line_result_row2(const LineMeasurement& line) {
    // A line that does not fall to half height on both sides has no width.
    const std::string width = line.has_half_width ? format_fixed(line.half_width, 14, 4)
                                                  : std::string("          none");
    const std::string points = line.interpolated
        ? format_integer(display.expansion, 4) + " *" + format_integer(display.fit_width, 3)
        : format_integer(display.fit_width, 9);
    return "      Halfwidth (FWHH): " + width + std::string(17, ' ') + "Data points:" + points;
}

// [SECTION] Commands ------------------------------------------------------------------------
// Shows why a measurement was refused (row 1; row 2 cleared).
void show_line_refusal(const LineMeasurement& line) {
    if (line.beep) show_error(line.error_message);
    else show_message(line.error_message);
}

// O: measures the line under the cursor and reports it; a refusal only shows its message.
LineMeasurement measure_line() {
    LineMeasurement line = find_line();
    if (line.failed) {
        show_line_refusal(line);
        return line;
    }
    remember_line(line);
    draw_line_fit(line);
    show_message(line_result_row1(line), line_result_row2(line));
    show_observed_minus_calculated(line);
    return line;
}

// The ordinate under the cursor on the curve the frame drew.
static double cursor_ordinate() {
    const DisplayState& d = display;
    const double span = d.view_high - d.view_low;
    if (d.expansion > 1) {
        const SearchCurve curve{true, d.interp_count};
        return curve.value(clamp_to_curve(curve, nearest_point(curve, d.cursor_freq)));
    }
    const SearchCurve curve{false, spectrum.point_count};
    const long long i = round_to_index((d.last_index - d.first_index) * (d.cursor_freq - d.view_low) / span) +
                        d.first_index;
    return curve.value(clamp_to_curve(curve, i));
}

// 9: the cursor frequency becomes the last measurement (no uncertainty) and
// the ordinate under it the baseline level of later searches.
void take_cursor_as_line() {
    MeasurementMemory& m = measurement;
    DisplayState& d = display;
    m.measure_prev = m.measure_last;
    m.measure_last = d.cursor_freq;
    m.error_prev = m.error_last;
    m.error_last = 0;
    if (spectrum.point_count >= 1) d.mean_intensity = cursor_ordinate();
    show_message("    Cursor frequency = " + format_fixed(d.cursor_freq, 14, 4) + "  taken as measured frequency",
                 "    Cursor ordinate  = " + format_fixed(d.mean_intensity, 14, 4) +
                     "  taken as new baseline level");
}

LineAverage compute_line_average() {
    const MeasurementMemory& m = measurement;
    LineAverage a{};
    a.average = (m.measure_last + m.measure_prev) / 2;
    a.error = static_cast<float>(std::sqrt(m.error_last * m.error_last + m.error_prev * m.error_prev));
    a.difference = std::fabs(m.measure_last - m.measure_prev);
    return a;
}

// =: shows the average and the difference of the last two measurements.
LineAverage average_lines() {
    const MeasurementMemory& m = measurement;
    const LineAverage a = compute_line_average();
    const std::string error = " +-" + format_fixed(a.error, 7, 4) + std::string(11, ' ');
    show_message("    Average frequency = " + format_fixed(a.average, 14, 4) + error + "Line1 =" +
                     format_fixed(m.measure_last, 13, 4),
                 " Difference frequency = " + format_fixed(a.difference, 14, 4) + error + "Line2 =" +
                     format_fixed(m.measure_prev, 13, 4));
    return a;
}

}  // namespace tarno
