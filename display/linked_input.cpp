// RDINP: reads tarno_l.inp, the file that switches linked operation on.
//
// The file lies in the spectrum's directory. Leading lines starting with "!"
// are comments; then three data lines carry a label in columns 1-40 and their
// value in columns 41-80, read free-format:
//
//   ! linked operation for the ground state       <- comments, only at the top
//   Datafile                                ground.lin
//   Line uncertainty (MHz)                  0.020
//   Tone frequency (Hz) and duration (ms)   1000 200
//
// A missing, unreadable or incomplete file means stand-alone operation; so
// does a datafile that does not exist. Neither is reported.
#include <algorithm>    // min
#include <climits>      // INT32_MIN, INT32_MAX
#include <fstream>      // reading tarno_l.inp
#include <optional>
#include <sys/stat.h>   // existence test of the datafile

#include "common/fields.hpp"
#include "display/linked.hpp"
#include "app/records.hpp"

namespace tarno {

constexpr size_t LINE_COLUMNS = 80;     // tarno_l.inp lines are read as 80 characters
constexpr size_t VALUE_COLUMN = 40;     // values start in column 41 (0-based 40)

LinkedInput linked_input;

// [SECTION] Reading the values --------------------------------------------------------

// Returns columns 41-80 of a line (blank when the line is shorter).
static std::string value_columns(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);   // written on another system
    line = line.substr(0, std::min(line.size(), LINE_COLUMNS));
    return line.size() > VALUE_COLUMN ? std::string(line.substr(VALUE_COLUMN)) : std::string();
}

static bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

// Returns the first text item of a free-format list: a quoted string (a doubled
// quote stands for one) or the characters up to a blank or comma.
static std::optional<std::string> read_text_item(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    if (i == field.size()) return std::nullopt;
    char quote = field[i];
    std::string item;
    if (quote == '\'' || quote == '"') {
        for (++i; i < field.size(); ++i) {
            if (field[i] != quote) { item += field[i]; continue; }
            if (i + 1 < field.size() && field[i + 1] == quote) { item += quote; ++i; continue; }
            break;
        }
    } else {
        while (i < field.size() && !is_separator(field[i])) item += field[i++];
    }
    std::string_view name = trim(item);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

// Returns the first `count` numbers of a free-format list; a "/" ends the list.
static std::optional<std::vector<double>> read_numbers(std::string_view field, size_t count) {
    field = field.substr(0, field.find('/'));
    std::vector<double> numbers;
    size_t i = 0;
    while (numbers.size() < count) {
        while (i < field.size() && is_separator(field[i])) ++i;
        if (i == field.size()) return std::nullopt;     // the list ends early
        size_t end = i;
        while (end < field.size() && !is_separator(field[end])) ++end;
        auto value = read_free_format(field.substr(i, end - i), 1);
        if (!value || value->size() != 1) return std::nullopt;
        numbers.push_back((*value)[0]);
        i = end;
    }
    return numbers;
}

// Returns a number read for an integer item, when it is a whole 32-bit value.
static std::optional<int32_t> as_integer(double value) {
    if (!(value >= INT32_MIN && value <= INT32_MAX) || value != static_cast<double>(static_cast<int32_t>(value)))
        return std::nullopt;
    return static_cast<int32_t>(value);
}

// Reads the three data lines' value columns, skipping the leading comments.
static std::optional<std::array<std::string, 3>> read_data_lines(const std::string& path) {
    std::ifstream file(path);
    if (!file) return std::nullopt;
    std::array<std::string, 3> values;
    size_t count = 0;
    bool in_comments = true;
    std::string line;
    while (count < values.size() && std::getline(file, line)) {
        if (in_comments && !line.empty() && line[0] == '!') continue;
        in_comments = false;                // a "!" line after the first data line is data
        values[count++] = value_columns(line);
    }
    if (count < values.size()) return std::nullopt;
    return values;
}

// Returns true when `path` names an existing regular file.
static bool datafile_exists(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// [SECTION] Public routines ----------------------------------------------------------

// Returns the display form of a datafile name: as read when it fits 20
// characters, else "...\" and its last 16 characters.
std::string datafile_short_name_of(std::string_view name) {
    name = trim(name);
    if (name.size() <= DATAFILE_SHORT_NAME_WIDTH) return std::string(name);
    return "...\\" + std::string(name.substr(name.size() - 16));
}

// Returns true for names ending in ".lin" or ".LIN"; ".Lin" and the like are other datafiles.
bool is_lin_datafile_name(std::string_view name) {
    name = trim(name);
    return name.ends_with(".lin") || name.ends_with(".LIN");
}

// Reads tarno_l.inp beside the spectrum into `input` (see the file comment).
void RDINP(std::string_view spectrum_directory, LinkedInput& input) {
    input.linked_input_found = 0;
    // NOTE: paths are kept whole; cutting them to a fixed width would open another file.
    std::string directory(trim_right(spectrum_directory));
    auto values = read_data_lines(directory + LINKED_INPUT_FILE);
    if (!values) return;

    auto name = read_text_item((*values)[0]);
    auto uncertainty = read_numbers((*values)[1], 1);
    auto tones = read_numbers((*values)[2], 2);
    if (!name || !uncertainty || !tones) return;
    auto tone_frequency = as_integer((*tones)[0]);
    auto tone_duration = as_integer((*tones)[1]);
    if (!tone_frequency || !tone_duration) return;

    input.line_uncertainty = static_cast<float>((*uncertainty)[0]);
    input.tone_frequency = *tone_frequency;
    input.tone_duration = *tone_duration;
    set_text_field(input.datafile_short_name, datafile_short_name_of(*name));
    input.datafile_is_lin = is_lin_datafile_name(*name) ? 1 : 0;
    input.datafile_name = directory + *name;
    input.linked_input_found = datafile_exists(input.datafile_name) ? 1 : 0;
}

}  // namespace tarno
