// XLAB: the explicit tick labels of one group of major ticks of a strip.
//
// GLE takes the positions of the major ticks from "xplaces" and their texts,
// one per position, from "xnames"; an empty name leaves a tick unlabelled.
//
//   !
//    xplaces     86010    86020    86030    86040    86050    86060    86070
//    xnames "    86010"   " "   "    86030"   " "   "    86050"   " "   "    86070"
//   !
//
// Labels go on every K-th tick counted from the first label position F0 of the
// strip (not from the group start), so a strip carries at most 5 labels. The
// count is made in thousandths of a frequency unit, rounded, because positions
// built by repeated addition of T can lie a rounding error below a multiple of
// K x T; truncating there would drop the label.
#include <cmath>        // round, fabs
#include <cstdint>
#include <cstring>      // memcpy into the line buffer
#include <string>
#include <string_view>
#include <vector>

#include "common/fields.hpp"
#include "plot/plot_output.hpp"

namespace tarno {

static constexpr size_t LABEL_LINE_COLUMNS = 127;  // width of the line buffer
static constexpr double GROUP_END_SLACK = 0.000001; // a position this far past the group end still belongs to it
static constexpr double LARGEST_ROUNDED = 1e18;     // beyond this a rounded value has no 64-bit integer

namespace {

// A line composed column by column in a fixed buffer of 127 characters.
class LabelLine {
public:
    explicit LabelLine(std::string_view start) { put(start); }

    // Puts `field` at the next column; fails (for good) when it does not fit.
    void put(std::string_view field) {
        if (failed_ || next_ + field.size() > LABEL_LINE_COLUMNS) {
            failed_ = true;
            return;
        }
        std::memcpy(buffer_ + next_, field.data(), field.size());
        next_ += field.size();
    }
    // After a field that filled its columns: a blank, when there is room, and one column on.
    void separate() {
        if (next_ < LABEL_LINE_COLUMNS) buffer_[next_] = ' ';
        ++next_;
    }
    bool failed() const { return failed_; }
    std::string text() const { return std::string(buffer_, next_ < LABEL_LINE_COLUMNS ? next_ : LABEL_LINE_COLUMNS); }

private:
    char buffer_[LABEL_LINE_COLUMNS] = {};
    size_t next_ = 0;           // 0-based column of the next character
    bool failed_ = false;
};

}  // namespace

// Returns the tick positions of the group: from its start in steps of T while
// not past the group end (with a little slack) and below the strip end; the
// first always.
static std::vector<double> group_positions(double strip_end, double group_start, double group_end, double spacing) {
    std::vector<double> positions{group_start};
    for (double p = group_start;;) {
        double next = p + spacing;
        if (!(next > p)) break;     // a spacing lost in the magnitude of p: no further tick
        p = next;
        if (!(p <= group_end + GROUP_END_SLACK && p < strip_end)) break;
        positions.push_back(p);
    }
    return positions;
}

// Returns the 9-character form of a position, with as many decimals as the
// major tick spacing needs; from 1.0 up the rounded integer. A position too
// wide for 9 characters is written in the room it needs after one blank: GLE
// refuses asterisks.
static std::string position_form(double p, double spacing) {
    const int decimals = spacing < 0.01 ? 3 : spacing < 0.1 ? 2 : spacing < 1.0 ? 1 : 0;
    std::string form;
    if (decimals > 0) {
        append_fixed_or_wider(form, p, 9, decimals);
        return form;
    }
    double rounded = std::round(p);                 // halves away from zero
    if (!(std::fabs(rounded) < LARGEST_ROUNDED)) return std::string(9, '*');
    form = format_integer(static_cast<long long>(rounded), 9);
    if (form[0] == '*') form = " " + std::to_string(static_cast<long long>(rounded));
    return form;
}

// True when `p` lies a whole number of label steps after the first label
// position, measured in rounded thousandths.
static bool is_labelled(double p, double first_label, double spacing, int32_t label_step) {
    double x = std::round(1000.0 * (p - first_label));
    double step = std::round(1000.0 * label_step * spacing);
    if (!(std::fabs(x) < LARGEST_ROUNDED) || !(step >= 1.0 && step < LARGEST_ROUNDED)) return false;
    return static_cast<long long>(x) % static_cast<long long>(step) == 0;
}

// Composes the xplaces line of the positions.
static LabelLine places_line(const std::vector<double>& positions, double spacing) {
    LabelLine line(" xplaces ");
    for (double p : positions) {
        std::string form = position_form(p, spacing);
        line.put(form);
        if (form[0] != ' ') line.separate();
    }
    return line;
}

// Composes the xnames line: a quoted label or an empty name for each position.
static LabelLine names_line(const std::vector<double>& positions, double first_label, double spacing,
                            int32_t label_step) {
    LabelLine line(" xnames ");
    for (double p : positions) {
        if (is_labelled(p, first_label, spacing, label_step)) line.put("\"" + position_form(p, spacing) + "\"");
        else line.put("   \" \"   ");
    }
    return line;
}

// Appends the lines of one group to the script; SORRY lines instead of a line that could not be composed.
void XLAB(double first_label, double strip_end, double group_start, double group_end, double major_spacing,
          int32_t label_step, std::string& script) {
    const char* sorry = "!\n! SORRY - Could not generate xnames/xplaces lines\n!\n";
    std::vector<double> positions = group_positions(strip_end, group_start, group_end, major_spacing);
    script += "!\n";
    LabelLine places = places_line(positions, major_spacing);
    if (places.failed()) {
        script += sorry;
        return;
    }
    script += places.text() + "\n";
    LabelLine names = names_line(positions, first_label, major_spacing, label_step);
    if (names.failed()) {
        script += sorry;
        return;
    }
    script += names.text() + "\n";
    script += "!\n";
}

}  // namespace tarno
