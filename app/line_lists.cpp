// Readers of the catalogue and of the assigned-line files (see line_lists.hpp).
//
// Fixed-column fields are read as formatted input reads them: a short line is
// padded with blanks, a field of blanks reads as 0 (except the three fields a
// catalogue line cannot do without: frequency, uncertainty, intensity), a real
// written without a decimal point gets the field's implied decimals. A tab
// inside a fixed-column field makes the field unreadable: its columns cannot
// be known. Free-format parts take blanks, tabs and commas as separators.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <numeric>

#include "app/line_lists.hpp"
#include "display/linked.hpp"     // is_lin_datafile_name

namespace tarno {

// [SECTION] Large arrays ---------------------------------------------------------------

constexpr size_t LARGE_BLOCK = size_t(2) << 20;

void* allocate_large_block(size_t bytes) {
    if (bytes < LARGE_BLOCK) return ::operator new(bytes);
    void* block = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(block, bytes, MADV_HUGEPAGE);     // a hint: without huge pages it works all the same
#endif
    return block;
}

void free_large_block(void* block, size_t bytes) {
    if (bytes < LARGE_BLOCK) ::operator delete(block);
    else ::munmap(block, bytes);
}

// [SECTION] Fields ---------------------------------------------------------------------

// Columns [start, start + width) of `line` (0-based), cut at its end: a short
// line reads as if padded with blanks.
static std::string_view column_field(std::string_view line, size_t start, size_t width) {
    if (start >= line.size()) return {};
    return line.substr(start, width);
}

static std::string_view strip_blanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

// An integer written alone in `text` (optional sign); nothing for anything else.
static std::optional<int64_t> parse_integer(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// Powers of ten that a double holds exactly.
static constexpr double EXACT_POWERS_OF_TEN[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11,
                                                 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The common case of a catalogue field, "-123.4567": digits, a point, digits.
// Mantissa and power of ten are both exact, so one division rounds correctly
// (the same value from_chars gives). Nothing for any other spelling.
static std::optional<double> parse_plain_decimal(std::string_view text) {
    bool negative = !text.empty() && text.front() == '-';
    if (negative) text.remove_prefix(1);
    uint64_t mantissa = 0;
    int digits = 0, decimals = -1;
    for (char ch : text) {
        if (ch == '.' && decimals < 0) decimals = 0;
        else if (ch >= '0' && ch <= '9') {
            mantissa = mantissa * 10 + uint64_t(ch - '0');
            if (++digits > 15) return std::nullopt;     // beyond 2^53: the general path
            if (decimals >= 0) ++decimals;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || decimals < 0) return std::nullopt;
    double value = double(mantissa) / EXACT_POWERS_OF_TEN[decimals];
    return negative ? -value : value;
}

// A real written alone in `text`; without a decimal point or exponent it has
// `implied_decimals` decimals, as in an Fw.d field.
static std::optional<double> parse_real(std::string_view text, int implied_decimals) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    if (std::optional<double> plain = parse_plain_decimal(text)) return plain;
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    if (text.find_first_of(".eE") == std::string_view::npos)
        for (int k = 0; k < implied_decimals; ++k) value /= 10;
    return value;
}

// Integer field: blanks read as 0.
static std::optional<int64_t> integer_field(std::string_view field) {
    field = strip_blanks(field);
    if (field.empty()) return 0;
    return parse_integer(field);
}

// Real field that must hold a number (blanks are not a value here).
static std::optional<double> required_real_field(std::string_view field, int implied_decimals) {
    return parse_real(strip_blanks(field), implied_decimals);
}

// The line without its CR of a CR LF end.
static std::string_view without_carriage_return(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// Calls `take(line)` for each line of `text`; blank lines are not records.
template <class Take>
static void for_each_line(std::string_view text, ListCounts& counts, Take take) {
    size_t start = 0;
    while (start < text.size()) {
        const void* found = std::memchr(text.data() + start, '\n', text.size() - start);
        size_t end = found ? size_t(static_cast<const char*>(found) - text.data()) : text.size();
        std::string_view line = without_carriage_return(text.substr(start, end - start));
        start = end + 1;
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        if (take(line)) ++counts.read;
        else ++counts.skipped;
    }
}

// [SECTION] Quantum numbers ---------------------------------------------------------------

static inline std::optional<int32_t> quantum_field_value(char first, char second) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (first >= 'A' && first <= 'Z' && digit(second)) return 100 + 10 * (first - 'A') + (second - '0');
    if (first >= 'a' && first <= 'z' && digit(second)) return -(10 * (first - 'a' + 1) + (second - '0'));
    auto sign_or_blank = [](char c) { return c == ' ' || c == '+' || c == '-'; };
    if (sign_or_blank(first) && sign_or_blank(second)) return 0;   // parity mark or empty field
    if (digit(first) && second == ' ') return first - '0';         // left-aligned digit: blanks are not digits
    if (digit(second) && (digit(first) || sign_or_blank(first))) {
        int32_t value = second - '0';
        if (digit(first)) value += 10 * (first - '0');
        return first == '-' ? -value : value;
    }
    return std::nullopt;
}

std::optional<int32_t> decode_quantum_field(char first, char second) { return quantum_field_value(first, second); }

int quanta_per_state(int16_t quantum_format) {
    int n = std::abs(quantum_format) % 10;
    return std::min(n, CATALOGUE_QUANTA);
}

std::vector<int32_t> state_quanta(const std::array<char, 2 * CATALOGUE_QUANTA>& text, int16_t quantum_format) {
    std::vector<int32_t> quanta;
    for (int k = 0; k < quanta_per_state(quantum_format); ++k)
        quanta.push_back(decode_quantum_field(text[size_t(2 * k)], text[size_t(2 * k + 1)]).value_or(0));
    return quanta;
}

// Copies the six fields of one state (blank padded) after checking that each decodes.
static bool take_state(std::string_view field, std::array<char, 2 * CATALOGUE_QUANTA>& text) {
    text.fill(' ');
    std::copy(field.begin(), field.end(), text.begin());
    for (size_t k = 0; k < text.size(); k += 2)
        if (!quantum_field_value(text[k], text[k + 1])) return false;
    return true;
}

// [SECTION] Catalogue -------------------------------------------------------------------------

// Column layout of a catalogue record (0-based start, width).
constexpr size_t CAT_FREQ = 0, CAT_FREQ_W = 13;
constexpr size_t CAT_ERR = 13, CAT_ERR_W = 8;
constexpr size_t CAT_LGINT = 21, CAT_LGINT_W = 8;
constexpr size_t CAT_TAG = 44, CAT_TAG_W = 7;
constexpr size_t CAT_QNFMT = 51, CAT_QNFMT_W = 4;
constexpr size_t CAT_UPPER = 55, CAT_LOWER = 67, CAT_STATE_W = 12;

// Reads one catalogue record into the parallel vectors; false when it cannot be read.
// DR, ELO and GUP are not used here and not checked (GUP is letter-coded beyond 999).
static bool take_catalogue_record(std::string_view line, Catalogue& c) {
    std::optional<double> freq = required_real_field(column_field(line, CAT_FREQ, CAT_FREQ_W), 4);
    std::optional<double> err = required_real_field(column_field(line, CAT_ERR, CAT_ERR_W), 4);
    std::optional<double> lgint = required_real_field(column_field(line, CAT_LGINT, CAT_LGINT_W), 4);
    std::optional<int64_t> tag = integer_field(column_field(line, CAT_TAG, CAT_TAG_W));
    std::optional<int64_t> qnfmt = integer_field(column_field(line, CAT_QNFMT, CAT_QNFMT_W));
    if (!freq || !err || !lgint || !tag || !qnfmt) return false;
    CatalogueDetail d{};
    if (!take_state(column_field(line, CAT_UPPER, CAT_STATE_W), d.upper_text)) return false;
    if (!take_state(column_field(line, CAT_LOWER, CAT_STATE_W), d.lower_text)) return false;
    d.uncertainty = float(*err);
    d.tag = int32_t(*tag);
    d.quantum_format = int16_t(*qnfmt);
    c.frequency.push_back(*freq);
    c.log_intensity.push_back(float(*lgint));
    c.detail.push_back(d);
    return true;
}

// Orders the catalogue by frequency (stable: lines of equal frequency keep
// the file's order). Catalogues are usually sorted already: then nothing moves.
static void sort_catalogue(Catalogue& c) {
    if (std::is_sorted(c.frequency.begin(), c.frequency.end())) return;
    std::vector<uint32_t> order(c.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return c.frequency[a] < c.frequency[b]; });
    Catalogue sorted;
    sorted.frequency.reserve(c.size());
    sorted.log_intensity.reserve(c.size());
    sorted.detail.reserve(c.size());
    for (uint32_t k : order) {
        sorted.frequency.push_back(c.frequency[k]);
        sorted.log_intensity.push_back(c.log_intensity[k]);
        sorted.detail.push_back(c.detail[k]);
    }
    c = std::move(sorted);
}

void index_catalogue_blocks(Catalogue& c) {
    c.block_strongest.clear();
    for (size_t start = 0; start < c.size(); start += CATALOGUE_BLOCK) {
        size_t end = std::min(c.size(), start + CATALOGUE_BLOCK), best = start;
        for (size_t k = start + 1; k < end; ++k)
            if (c.log_intensity[k] > c.log_intensity[best]) best = k;
        c.block_strongest.push_back(uint32_t(best));
    }
}

size_t strongest_line_in(const Catalogue& c, size_t first, size_t last) {
    const auto& lg = c.log_intensity;
    size_t best = first;
    auto consider = [&](size_t k) {
        if (lg[k] > lg[best]) best = k;
    };
    size_t k = first + 1;
    // up to the first block boundary, then whole blocks, then the rest
    size_t boundary = std::min(last, (first / CATALOGUE_BLOCK + 1) * CATALOGUE_BLOCK);
    for (; k < boundary; ++k) consider(k);
    if (c.block_strongest.size() * CATALOGUE_BLOCK >= c.size())
        for (; k + CATALOGUE_BLOCK <= last; k += CATALOGUE_BLOCK) consider(c.block_strongest[k / CATALOGUE_BLOCK]);
    for (; k < last; ++k) consider(k);
    return best;
}

static std::string no_record_refusal(const ListCounts& counts) {
    return counts.skipped == 0 ? "no line in the file"
                               : "no readable line (" + std::to_string(counts.skipped) + " skipped)";
}

// A source of lines: calls take(line) for each line (as for_each_line does)
// and returns why it could not be read, if it could not.
using LineTaker = std::function<bool(std::string_view)>;
using LineSource = std::function<std::optional<std::string>(ListCounts&, const LineTaker&)>;

static ListLoad<Catalogue> read_catalogue(const LineSource& source, size_t size_hint) {
    ListLoad<Catalogue> load{};
    size_t estimate = size_hint / 80 + 1;    // records are 80 columns
    load.list.frequency.reserve(estimate);
    load.list.log_intensity.reserve(estimate);
    load.list.detail.reserve(estimate);
    if (std::optional<std::string> failure =
            source(load.counts, [&](std::string_view line) { return take_catalogue_record(line, load.list); })) {
        load = {};
        load.refusal = *failure;
        return load;
    }
    if (load.counts.read == 0) {
        load.refusal = no_record_refusal(load.counts);
        load.list = {};
        return load;
    }
    sort_catalogue(load.list);
    index_catalogue_blocks(load.list);
    return load;
}

// [SECTION] Assigned lines ------------------------------------------------------------------

// The blank-, tab- or comma-separated words of `text`.
static std::vector<std::string_view> free_format_words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t k = 0;
    while (k < text.size()) {
        size_t start = text.find_first_not_of(" \t,", k);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(" \t,", start);
        if (end == std::string_view::npos) end = text.size();
        words.push_back(text.substr(start, end - start));
        k = end;
    }
    return words;
}

// Frequency and uncertainty at the start of a free-format part (a weight or
// flag and any comment may follow); nothing when they are not both numbers.
static std::optional<double> free_format_frequency(std::string_view text) {
    std::vector<std::string_view> words = free_format_words(text);
    if (words.size() < 2) return std::nullopt;
    std::optional<double> freq = parse_real(words[0], 0);
    if (!freq || !parse_real(words[1], 0)) return std::nullopt;
    return freq;
}

// Checks `count` integer fields of `width` columns from the start of the line.
static bool integer_fields(std::string_view line, int count, size_t width) {
    for (int k = 0; k < count; ++k)
        if (!integer_field(column_field(line, size_t(k) * width, width))) return false;
    return true;
}

// Reads one assigned-line record; nothing when it cannot be read.
//  - intensity record: F14.5 frequency, then " +-" in columns 15-17;
//  - two-column list line: exactly two numbers;
//  - .lin record: 12I3 quanta, then frequency and uncertainty (free format);
//  - other datafile record: 6I5 quanta, then frequency and uncertainty.
static std::optional<double> assigned_record_frequency(std::string_view line, bool lin_records) {
    if (line.size() >= 17 && line.substr(14, 3) == " +-")
        return required_real_field(column_field(line, 0, 14), 5);
    std::vector<std::string_view> words = free_format_words(line);
    if (words.size() == 2) {
        std::optional<double> freq = parse_real(words[0], 0);
        if (freq && parse_real(words[1], 0)) return freq;
    }
    const int fields = lin_records ? DATAFILE_QUANTA : 6;
    const size_t width = lin_records ? 3 : 5;
    if (line.size() <= fields * width || !integer_fields(line, fields, width)) return std::nullopt;
    return free_format_frequency(line.substr(fields * width));
}

static ListLoad<AssignedLines> read_assigned(const LineSource& source, bool lin_records) {
    ListLoad<AssignedLines> load{};
    if (std::optional<std::string> failure = source(load.counts, [&](std::string_view line) {
            std::optional<double> freq = assigned_record_frequency(line, lin_records);
            if (freq) load.list.frequency.push_back(*freq);
            return freq.has_value();
        })) {
        load = {};
        load.refusal = *failure;
        return load;
    }
    if (load.counts.read == 0) {
        load.refusal = no_record_refusal(load.counts);
        load.list = {};
        return load;
    }
    std::sort(load.list.frequency.begin(), load.list.frequency.end());
    return load;
}

static LineSource text_lines(std::string_view text) {
    return [text](ListCounts& counts, const LineTaker& take) -> std::optional<std::string> {
        for_each_line(text, counts, take);
        return std::nullopt;
    };
}

ListLoad<Catalogue> read_catalogue_text(std::string_view text) { return read_catalogue(text_lines(text), text.size()); }

ListLoad<AssignedLines> read_assigned_text(std::string_view text, bool lin_records) {
    return read_assigned(text_lines(text), lin_records);
}

// [SECTION] Files ------------------------------------------------------------------------------

static bool ends_with_any_case(std::string_view name, std::string_view ending) {
    if (name.size() < ending.size()) return false;
    std::string_view tail = name.substr(name.size() - ending.size());
    for (size_t k = 0; k < ending.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(tail[k])) != ending[k]) return false;
    return true;
}

bool is_catalogue_name(std::string_view name) { return ends_with_any_case(name, ".cat"); }

constexpr size_t READ_CHUNK = size_t(1) << 20;

// The lines of a file, read in chunks through one buffer: the buffer stays in
// the cache and no memory the size of the file is faulted in, which for a
// catalogue of a million lines is much of the reading time.
static LineSource file_lines(const std::string& path) {
    return [path](ListCounts& counts, const LineTaker& take) -> std::optional<std::string> {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) return "file not found";
        if (!std::filesystem::is_regular_file(path, error)) return "not a regular file";
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return std::string("cannot be opened: ") + std::strerror(errno);
        std::vector<char> buffer(READ_CHUNK);
        size_t kept = 0;        // start of a line that the last chunk cut
        for (;;) {
            if (kept == buffer.size()) buffer.resize(2 * buffer.size());   // a line longer than the buffer
            ssize_t got = ::read(fd, buffer.data() + kept, buffer.size() - kept);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                std::string failure = std::string("cannot be read: ") + std::strerror(errno);
                ::close(fd);
                return failure;
            }
            size_t filled = kept + size_t(got);
            if (got == 0) {     // the end: a last line without its line end
                for_each_line(std::string_view(buffer.data(), filled), counts, take);
                break;
            }
            std::string_view text(buffer.data(), filled);
            size_t last_end = text.rfind('\n');
            if (last_end == std::string_view::npos) {
                kept = filled;
                continue;
            }
            for_each_line(text.substr(0, last_end + 1), counts, take);
            kept = filled - (last_end + 1);
            std::memmove(buffer.data(), buffer.data() + last_end + 1, kept);
        }
        ::close(fd);
        return std::nullopt;
    };
}

static size_t file_size_hint(const std::string& path) {
    std::error_code error;
    uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size_t(size);
}

ListLoad<Catalogue> read_catalogue_file(const std::string& path) {
    return read_catalogue(file_lines(path), file_size_hint(path));
}

ListLoad<AssignedLines> read_assigned_file(const std::string& path) {
    // the same rule as linked operation: only ".lin" and ".LIN" have 12I3 records
    bool lin = is_lin_datafile_name(path);
    return read_assigned(file_lines(path), lin);
}

}  // namespace tarno
