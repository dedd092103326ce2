// Line measurement: the O, 9 and = commands of the display loop, and the
// measurement that linked operation (F1 to F3, partner commands) runs.
//
// O climbs from the cursor to the top of the line under it (or down to the
// bottom of a line pointing downward, when the cursor is at or below the
// baseline level `mean_intensity`), fits a parabola with PEAKF to
// `fit_width` x `expansion` points around it, re-centres and refits up to four
// times, draws the fit with its marks and writes the result into the message
// rows. 9 takes the cursor as a measured line and its ordinate as the new
// baseline level; = averages the last two measured lines.
//
// The search runs on the curve the frame drew: the interpolated points of an
// interpolated frame (`expansion` > 1), otherwise the spectrum itself.
//
// Sections:
//   [SECTION] Remembered measurements
//   [SECTION] Results
//   [SECTION] Commands
//   [SECTION] Pieces (no drawing, no messages; for tests and callers that draw themselves)
#pragma once

#include <string>
#include <vector>

namespace tarno {

// [SECTION] Remembered measurements --------------------------------------------
// Part of the display state; changed only by a successful O (or linked
// measurement), by 9 and, for mean_intensity, by 9 alone. An error leaves all
// of it as it was.
struct MeasurementMemory {
    double measure_last;        // last measured frequency ("Line1" of =)
    double measure_prev;        // the one before it ("Line2" of =)
    double error_last;          // uncertainty of measure_last (0 after 9)
    double error_prev;          // uncertainty of measure_prev

    // Outputs of the last PEAKF of a completed measurement
    double peak_freq;           // fitted vertex frequency
    double peak_intensity;      // parabola value at the vertex (absolute, not above the baseline)
    double curvature;           // A
    double slope;               // B

    // Width of the last completed measurement
    bool has_half_width;        // false when the curve did not cross half height on both sides
    double left_crossing;       // frequency where the curve crosses half height left of the top
    double right_crossing;      // the same on the right
    double half_width;          // right_crossing - left_crossing (FWHH)
};

extern MeasurementMemory measurement;

// [SECTION] Results ----------------------------------------------------------------
// What one measurement found. On failure only `failed`, `error_message` and
// `beep` are meaningful.
struct LineMeasurement {
    bool failed;                // the measurement was refused; nothing was changed
    std::string error_message;  // the row-1 text of the refusal
    bool beep;                  // the refusal is announced with the error tone

    double frequency;           // x0, the fitted peak frequency
    double error;               // its uncertainty
    double peak_intensity;      // y0, the parabola's value at x0
    double intensity;           // y0 - mean_intensity (negative for a downward line)
    double curvature, slope;    // A and B of the last fit
    double centre_freq;         // frequency of the centre point of the last fit, x(c)
    double centre_value;        // its value, y(c)

    bool has_half_width;        // both half-height crossings were found
    double half_height;         // H = (mean_intensity + y0) / 2
    double left_crossing, right_crossing, half_width;

    bool interpolated;          // the search ran on the interpolated points
    std::vector<double> fit_freq;   // the fitted abscissae of the last pass (p of them)
};

// The = readout: average of the last two measurements.
struct LineAverage {
    double average;             // (measure_last + measure_prev) / 2
    float error;                // sqrt(error_last^2 + error_prev^2), single precision as shown
    double difference;          // |measure_last - measure_prev|
};

// [SECTION] Commands -----------------------------------------------------------------
// Each writes its rows through the display's message rows (message flag set).
LineMeasurement measure_line();     // O: search, fit, remember, draw the fit and marks, rows 1-2
void take_cursor_as_line();         // 9: cursor becomes the last measurement, its ordinate the baseline
LineAverage average_lines();        // =: shows and returns the average of the last two measurements

// [SECTION] Pieces ---------------------------------------------------------------------
LineMeasurement find_line();                             // search and fit on the current frame; changes nothing
void show_line_refusal(const LineMeasurement& line);     // the refusal's row 1, with the error tone where it has one
void remember_line(const LineMeasurement& line);         // shifts the memory and stores a successful result
void draw_line_fit(const LineMeasurement& line);         // point-by-point redraw, parabola and marks
std::string line_result_row1(const LineMeasurement& line);
std::string line_result_row2(const LineMeasurement& line);
LineAverage compute_line_average();                      // the figures of =, without showing them

}  // namespace tarno
