// The two-column ASCII reader: a comment line, then one frequency/intensity
// pair per line, rescaled onto -10000..10000 and, when the frequencies are
// not evenly spaced, resampled onto an even grid.
//
// Pair rules (the classic free-format read of two numbers):
//   - a pair starts on a new line; numbers are separated by blanks, tabs or
//     one comma; anything after the second number is ignored;
//   - a line holding only the first number is completed from the next line
//     that is not blank;
//   - a pair that cannot be read (a word, an empty value between two commas,
//     a number beyond single precision, NaN or infinity, a token of more than
//     MAX_TOKEN characters) is skipped, and reading goes on at the next line.
//
// The file is parsed once, streaming through one fixed buffer: the
// frequencies go straight into frequency(i) and the single-precision
// intensities wait, bit for bit, in original_intensity(i) (free at this
// point) until Ymin and Ymax are known. This gives the same pairs as reading
// the file twice, at half the cost. Nothing is allocated per point; a line may
// be of any length.
//
// A large file is parsed on two cores: it is cut at a line start near its
// middle, the first part is read into the records as above while a worker
// reads the second part into its own arrays, which are then appended. Every
// pair starts on a new line, so the second part's pairs are the ones a single
// pass finds there, unless the first part ends on a line holding only a
// frequency (its pair continues across the cut): then the file is read again
// in one pass. The pairs, the limits and every report are those of one pass.
//
// Single precision where the recording format has it: Y, Ymin and Ymax, the
// differences Ymax - Ymin and Y - Ymin; the scale s = 20000/(Ymax - Ymin) and
// the product are double. The linearity test keeps its maximum deviation,
// steps and sum as floats.
//
// Sections:
//   [SECTION] Pair scanner
//   [SECTION] Messages
//   [SECTION] Reading steps
//   [SECTION] Linearity test and resampling
//   [SECTION] Reader
#include <algorithm>
#include <atomic>
#include <bit>          // bit_cast: floats parked in the int32 scratch array
#include <charconv>     // errc
#include <chrono>
#include <cmath>        // isfinite, fabs, trunc
#include <cstdint>
#include <cstdio>
#include <cstring>      // memchr, memmove, memcpy
#include <filesystem>
#include <memory>
#include <optional>
#include <exception>
#include <string>
#include <thread>

#include <fast_float/fast_float.h>  // the numbers: correctly rounded, underflow reads as 0

#include "app/records.hpp"
#include "app/spectrum_reader.hpp"
#include "app/startup.hpp"
#include "common/fields.hpp"
#include "common/file_handle.hpp"
#include "window/progress_note.hpp"
#include "window/window.hpp"

namespace tarno {

constexpr size_t SCAN_BUFFER = 1 << 20;    // bytes read at a time
constexpr size_t CACHE_LINE = 64;
constexpr uint64_t SPLIT_MIN_BYTES = 4 << 20;  // smaller files are parsed on one core
constexpr int32_t PAIRS_BETWEEN_CHECKS = 1 << 16;  // pairs between looks at the clock (progress, stop)
constexpr double PROGRESS_AFTER_SECONDS = 0.25;    // the note appears only on a long read
constexpr int PROGRESS_COLUMN = 6;                 // under the announcement's text
constexpr size_t MAX_TOKEN = 1000;         // longest number accepted (characters)
constexpr size_t MIN_SCAN_BUFFER = 2 * (MAX_TOKEN + 1);  // the buffer of a small file
constexpr float Y_START_MIN = 1.0e20f;     // start values of the Y limits
constexpr float Y_START_MAX = -1.0e20f;

// [SECTION] Pair scanner ------------------------------------------------------------

namespace {
// Streams a text file through a fixed buffer. A number is always parsed in
// place: before a token starts, at least MAX_TOKEN + 1 bytes are in the
// buffer unless the file ends sooner. Two scanners run on two cores at once:
// each has cache lines of its own, or their position updates would keep
// taking the line from each other.
class alignas(CACHE_LINE) PairScanner {
public:
    // Reads `file` from its position up to `limit` bytes (or its end), of
    // which about `expected` are there (the buffer is no larger than needed).
    PairScanner(std::FILE* file, uint64_t limit, uint64_t expected)
        : file_(file),
          buffer_size_(static_cast<size_t>(std::clamp<uint64_t>(expected + 1, MIN_SCAN_BUFFER, SCAN_BUFFER))),
          buffer_(std::make_unique_for_overwrite<char[]>(buffer_size_)),
          unread_(limit) {}

    // end: nothing more; cut: the input ended after a pair's first number.
    enum class Pair { read, skipped, end, cut };

    bool read_error() const { return error_; }

    // Bytes of the file passed over so far.
    uint64_t bytes_done() const { return bytes_read_ - (end_ - position_); }

    // Reads line 1 into `comment` (its first 72 characters, blank padded);
    // false when the file is empty or cannot be read.
    bool read_comment(std::array<char, 72>& comment) {
        if (!ensure(1)) return false;
        size_t length = 0;
        bool done = false;
        while (!done && ensure(1)) {
            const char* start = buffer_.get() + position_;
            const char* newline = static_cast<const char*>(std::memchr(start, '\n', end_ - position_));
            size_t piece = newline ? static_cast<size_t>(newline - start) : end_ - position_;
            for (size_t k = 0; k < piece && length < comment.size(); ++k) comment[length++] = start[k];
            position_ += piece + (newline ? 1 : 0);
            done = newline != nullptr;
        }
        if (error_) return false;
        if (length > 0 && comment[length - 1] == '\r') --length;      // a line ended by CR LF
        for (size_t k = length; k < comment.size(); ++k) comment[k] = ' ';
        return true;
    }

    // Reads the next pair; `x` the frequency, `y` the intensity.
    Pair next_pair(double& x, float& y) {
        if (!skip_to_value()) return Pair::end;
        if (!parse_number(x)) return skip_line();
        skip_blanks();
        if (peek() == ',') {
            ++position_;
            skip_blanks();
            if (peek() == ',') return skip_line();               // empty value
        }
        if (!skip_to_value()) return Pair::cut;                  // the input ended inside the pair
        if (!parse_number(y)) return skip_line();
        skip_line();
        return Pair::read;
    }

private:
    // Makes at least `wanted` bytes available after the position, unless the
    // file ends first; false when none is left.
    bool ensure(size_t wanted) {
        if (end_ - position_ >= wanted || at_end_) return position_ < end_;
        char* buffer = buffer_.get();
        std::memmove(buffer, buffer + position_, end_ - position_);
        end_ -= position_;
        position_ = 0;
        while (end_ < wanted && !at_end_) {
            size_t room = static_cast<size_t>(std::min<uint64_t>(buffer_size_ - end_, unread_));
            size_t got = room == 0 ? 0 : std::fread(buffer + end_, 1, room, file_);
            end_ += got;
            unread_ -= got;
            bytes_read_ += got;
            if (got == 0) {
                at_end_ = true;
                error_ = std::ferror(file_) != 0;
            }
        }
        return position_ < end_;
    }

    int peek() {
        if (position_ < end_) return static_cast<unsigned char>(buffer_[position_]);
        return ensure(1) ? static_cast<unsigned char>(buffer_[position_]) : EOF;
    }

    static bool is_blank(int c) { return c == ' ' || c == '\t' || c == '\r'; }

    static bool ends_token(int c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ',' || c == EOF;
    }

    // Skips blanks and tabs on the current line.
    void skip_blanks() {
        while (is_blank(peek())) ++position_;
    }

    // Skips blanks, tabs and line ends up to the next value; false at the end of the file.
    bool skip_to_value() {
        for (;;) {
            int c = peek();
            if (c == EOF) return false;
            if (!is_blank(c) && c != '\n') return true;
            ++position_;
        }
    }

    // Passes over the rest of the current line and its line end.
    Pair skip_line() {
        while (ensure(1)) {
            const char* start = buffer_.get() + position_;
            const void* newline = std::memchr(start, '\n', end_ - position_);
            if (newline != nullptr) {
                position_ += static_cast<const char*>(newline) - start + 1;
                break;
            }
            position_ = end_;
        }
        return Pair::skipped;
    }

    // Parses the number at the position into `value` and moves past it; false
    // (the position anywhere on the same line) when it is not a number whose
    // value fits single precision.
    template <typename Real>
    bool parse_number(Real& value) {
        if (end_ - position_ <= MAX_TOKEN && !at_end_) ensure(MAX_TOKEN + 1);
        const char* first = buffer_.get() + position_;
        const char* last = buffer_.get() + end_;
        const char* start = first;
        if (*start == '+') ++start;                                 // from_chars takes no '+'
        if (start == last || !(*start == '-' || *start == '.' || (*start >= '0' && *start <= '9'))) return false;
        if (*start == '-' && first != start) return false;          // "+-1"
        auto [stop, error] = fast_float::from_chars(start, last, value);
        bool clean_end = stop == last ? at_end_ : ends_token(static_cast<unsigned char>(*stop));
        if (error == std::errc() && clean_end && static_cast<size_t>(stop - first) <= MAX_TOKEN) {
            position_ += static_cast<size_t>(stop - first);
            return fits_single(value);
        }
        return parse_classic_number(value);
    }

    // The classic forms from_chars does not know: D exponents ("1.5D3") and
    // an exponent given by its sign alone ("1.5+3"). The token is checked by
    // the field reader, rewritten in from_chars syntax and converted straight
    // to the destination type (no rounding through double for a float).
    template <typename Real>
    bool parse_classic_number(Real& value) {
        size_t length = 0;
        while (length <= MAX_TOKEN && position_ + length < end_ &&
               !ends_token(static_cast<unsigned char>(buffer_[position_ + length])))
            ++length;
        if (length == 0 || length > MAX_TOKEN) return false;
        std::string_view token(buffer_.get() + position_, length);
        if (!read_fixed_field(token, static_cast<int>(length), 0)) return false;
        char text[MAX_TOKEN + MAX_TOKEN];
        size_t n = 0;
        for (size_t k = 0; k < length; ++k) {
            char c = token[k];
            bool after_mantissa = k > 0 && ((token[k - 1] >= '0' && token[k - 1] <= '9') || token[k - 1] == '.');
            if ((c == '+' || c == '-') && after_mantissa) text[n++] = 'e';
            if (c == 'd' || c == 'D') c = 'e';
            if (c != '+') text[n++] = c;
        }
        auto [stop, error] = fast_float::from_chars(text, text + n, value);
        if (error != std::errc() || stop != text + n || !fits_single(value)) return false;
        position_ += length;
        return true;
    }

    // A value is readable only when it is finite in single precision.
    static bool fits_single(double value) { return std::isfinite(static_cast<float>(value)); }

    std::FILE* file_;
    size_t buffer_size_;
    std::unique_ptr<char[]> buffer_;
    uint64_t unread_;       // bytes the scanner may still read
    uint64_t bytes_read_ = 0;
    size_t position_ = 0;
    size_t end_ = 0;
    bool at_end_ = false;
    bool error_ = false;
};
}  // namespace

// [SECTION] Messages ----------------------------------------------------------------

static void write_empty_lines(int count) {
    for (int i = 0; i < count; ++i) console_write("");
}

// The trimmed name of the file being read.
static std::string file_name() { return std::string(trim(text_field_view(text.data_file_name))); }

// Says the file is read again as text.
static void announce_ascii_attempt() {
    clear_screen(0);
    console_write("");
    console_write(std::string("---- This is not a file in the VARDE binary format:") + " will now try reading it");
    console_write(std::string("     as two column ASCII, assuming that first line ") + "contains");
    console_write("     a descriptive comment");
    write_empty_lines(3);
}

namespace {
// What went wrong, and where when pairs had been read.
struct Failure {
    std::string reason;
    int32_t point;          // point shown in the report, 0 for none
    int32_t pairs_read;     // frequency(1..pairs_read) hold values of this file
};
}  // namespace

// The failure report, then the decorative curve.
static void report_failure(const Failure& failure) {
    const SpectrumRecord& s = spectrum;
    clear_screen(0);
    console_write("");
    write_text("          File:  ");
    set_text_color(COLOR_LIGHT_RED);
    console_write(file_name());
    set_text_color(COLOR_BLACK);
    console_write("");
    console_write("          Unsuccessful ASCII input:  " + std::string(trim(failure.reason)));
    if (failure.point > 0) {
        console_write("                   Failed at point:  " + format_integer(failure.point, 10));
        write_empty_lines(2);
        // Entries beyond the pairs of this file belong to no point: shown as 0.
        auto point_line = [&](int32_t p) {
            double f = (p >= 1 && p <= failure.pairs_read) ? s.frequency[p] : 0.0;
            console_write(std::string(20, ' ') + "point:" + format_integer(p, 10) + "   frequency:" +
                          format_fixed(f, 20, 8));
        };
        if (failure.point > 1) {
            point_line(failure.point - 1);
            point_line(failure.point);
        }
    }
    SGAME();
}

// The success report: file, comment box, points, Y range and frequency range.
static void report_success(float y_min, float y_max) {
    const SpectrumRecord& s = spectrum;
    const std::string blanks(76, ' ');
    clear_screen(0);
    write_text("  Successful ASCII input from: ");
    set_text_color(COLOR_LIGHT_RED);
    write_text(file_name());
    set_text_color(COLOR_WHITE);
    set_background_color(COLOR_BLUE);
    set_text_position(3, 3);
    write_text(blanks);
    set_text_position(4, 3);
    write_text(("  " + std::string(text_field_view(header.comment)) + "  ").substr(0, 76));
    set_text_position(5, 3);
    write_text(blanks);
    set_text_color(COLOR_BLACK);
    set_background_color(COLOR_LIGHT_GREY);
    write_empty_lines(2);
    console_write(format_count(s.point_count, 8) + " points:  intensity from" +
                  format_scaled_exponent(y_min, 12, 4) + " to" + format_scaled_exponent(y_max, 12, 4));
    console_write("                  frequency from  " + format_fixed(s.freq_first, 10, 2) + " to  " +
                  format_fixed(s.freq_last, 10, 2) + "      ");
    console_write("");
}

// [SECTION] Reading steps -------------------------------------------------------------

namespace {
struct PairsRead {
    int32_t count = 0;
    float y_min = Y_START_MIN;
    float y_max = Y_START_MAX;
    bool cut = false;           // the input ended after a pair's first number
    bool read_error = false;
};

// Where pair k (from 0) goes: its frequency and its Y parked as float bits.
struct PairArrays {
    double* frequency;
    int32_t* parked_y;
    int32_t capacity;
};

// Shows, on a read that takes long, the share of the file read so far, on
// the row under the announcement; gone when the read ends.
class ReadProgress {
public:
    explicit ReadProgress(uint64_t file_bytes) : file_bytes_(file_bytes) {}

    void update(uint64_t bytes_done) {
        if (file_bytes_ == 0 ||
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() < PROGRESS_AFTER_SECONDS)
            return;
        note_.show_share("Reading", int64_t(bytes_done), int64_t(file_bytes_));
    }

private:
    uint64_t file_bytes_;   // 0 when unknown: no note
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    ProgressNote note_{text_row(), PROGRESS_COLUMN};
};
}  // namespace

// Reads pairs into `out` until the input ends or `out` is full. Every
// PAIRS_BETWEEN_CHECKS pairs `check()` is asked whether to go on.
template <typename Check>
static PairsRead read_pairs(PairScanner& scanner, PairArrays out, Check&& check) {
    PairsRead pairs;
    double x = 0.0;
    float y = 0.0f;
    while (pairs.count < out.capacity) {
        PairScanner::Pair result = scanner.next_pair(x, y);
        if (result == PairScanner::Pair::end || result == PairScanner::Pair::cut) {
            pairs.cut = result == PairScanner::Pair::cut;
            break;
        }
        if (result == PairScanner::Pair::skipped) continue;
        out.frequency[pairs.count] = x;
        out.parked_y[pairs.count] = std::bit_cast<int32_t>(y);
        ++pairs.count;
        pairs.y_min = std::min(pairs.y_min, y);
        pairs.y_max = std::max(pairs.y_max, y);
        if (pairs.count % PAIRS_BETWEEN_CHECKS == 0 && !check()) break;
    }
    pairs.read_error = scanner.read_error();
    return pairs;
}

// The pairs straight into frequency(1..) and original_intensity(1..).
static PairArrays record_arrays() {
    return {spectrum.frequency + 1, spectrum.original_intensity + 1, MAX_POINTS};
}

// The first line start at or after byte `from` of the open file, before its
// end; NO_SPLIT when there is none.
static uint64_t line_start_from(std::FILE* file, uint64_t from) {
    if (from == 0 || fseeko(file, static_cast<off_t>(from - 1), SEEK_SET) != 0) return NO_SPLIT;
    char block[1 << 16];
    uint64_t offset = from - 1;
    for (size_t got; (got = std::fread(block, 1, sizeof block, file)) > 0; offset += got) {
        if (const void* newline = std::memchr(block, '\n', got)) {
            uint64_t start = offset + static_cast<uint64_t>(static_cast<const char*>(newline) - block) + 1;
            bool before_end = start < offset + got || std::fgetc(file) != EOF;
            return before_end ? start : NO_SPLIT;
        }
    }
    return NO_SPLIT;
}

// A pair takes at least 4 bytes (two digits, a separator, a line end; the
// last may lack its line end): the most pairs `bytes` can hold.
static int32_t most_pairs_in(uint64_t bytes) {
    return static_cast<int32_t>(std::min<uint64_t>(MAX_POINTS, bytes / 4 + 1));
}

namespace {
// The part of the file a worker reads: from a line start to the end.
struct SecondPart {
    FileHandle file;        // positioned at `start`
    uint64_t start;
    uint64_t bytes;
};
}  // namespace

// The second part of a file of `size` bytes, from the first line start at or
// after byte `split_from`; none when there is no such line.
static std::optional<SecondPart> open_second_part(const std::string& path, uint64_t split_from, uint64_t size) {
    if (split_from == NO_SPLIT) return std::nullopt;
    SecondPart part{FileHandle(std::fopen(path.c_str(), "rb")), 0, 0};
    if (!part.file) return std::nullopt;
    part.start = line_start_from(part.file.get(), split_from);
    if (part.start == NO_SPLIT || part.start >= size) return std::nullopt;
    if (fseeko(part.file.get(), static_cast<off_t>(part.start), SEEK_SET) != 0) return std::nullopt;
    part.bytes = size - part.start;
    return part;
}

// Reads the first part (up to the second's start) here into the records and
// the second part on a worker into its own arrays, then appends the second.
// None when the parts do not join: the first ends inside a pair, or the
// second holds more than its size allowed (the file grew).
static std::optional<PairsRead> read_two_parts(PairScanner& first, SecondPart& second_part, ReadProgress& progress) {
    const int32_t capacity = most_pairs_in(second_part.bytes);
    std::unique_ptr<double[]> second_frequency;
    std::unique_ptr<int32_t[]> second_y;
    std::optional<PairScanner> scanner;
    std::atomic<uint64_t> second_bytes_done{0};
    std::atomic<bool> stop{false};
    PairsRead second;
    std::thread worker;
    try {                                   // without memory or a thread: one pass does it all
        second_frequency = std::make_unique_for_overwrite<double[]>(static_cast<size_t>(capacity));
        second_y = std::make_unique_for_overwrite<int32_t[]>(static_cast<size_t>(capacity));
        scanner.emplace(second_part.file.get(), NO_SPLIT, second_part.bytes);
        worker = std::thread([&] {
            second = read_pairs(*scanner, {second_frequency.get(), second_y.get(), capacity}, [&] {
                second_bytes_done.store(scanner->bytes_done(), std::memory_order_relaxed);
                return !stop.load(std::memory_order_relaxed);
            });
        });
    } catch (const std::exception&) {
        return std::nullopt;
    }
    PairsRead pairs = read_pairs(first, record_arrays(), [&] {
        progress.update(first.bytes_done() + second_bytes_done.load(std::memory_order_relaxed));
        return true;
    });
    const bool first_decides = pairs.read_error || pairs.cut || pairs.count == MAX_POINTS;
    if (first_decides) stop.store(true, std::memory_order_relaxed);
    worker.join();
    if (pairs.read_error || pairs.count == MAX_POINTS) return pairs;
    if (pairs.cut || (second.count == capacity && capacity < MAX_POINTS)) return std::nullopt;

    // One pass stops at MAX_POINTS pairs: only that many of the second part count.
    const int32_t taken = std::min(second.count, MAX_POINTS - pairs.count);
    std::memcpy(spectrum.frequency + 1 + pairs.count, second_frequency.get(), size_t(taken) * sizeof(double));
    std::memcpy(spectrum.original_intensity + 1 + pairs.count, second_y.get(), size_t(taken) * sizeof(int32_t));
    if (taken == second.count) {
        pairs.y_min = std::min(pairs.y_min, second.y_min);
        pairs.y_max = std::max(pairs.y_max, second.y_max);
    } else {
        for (int32_t k = 0; k < taken; ++k) {
            float y = std::bit_cast<float>(second_y[size_t(k)]);
            pairs.y_min = std::min(pairs.y_min, y);
            pairs.y_max = std::max(pairs.y_max, y);
        }
    }
    pairs.count += taken;
    pairs.read_error = second.read_error && pairs.count < MAX_POINTS;   // one pass would not reach it otherwise
    return pairs;
}

// Reads the comment line and every pair of `path` (open as `file`), on two
// cores when the file can be cut at a line start from byte `split_from`;
// false when the comment cannot be read.
static bool read_comment_and_pairs(std::FILE* file, const std::string& path, uint64_t split_from, PairsRead& pairs) {
    std::error_code error;
    const uint64_t size = std::filesystem::file_size(path, error);
    ReadProgress progress(error ? 0 : size);
    if (std::optional<SecondPart> second = open_second_part(path, error ? NO_SPLIT : split_from, size)) {
        PairScanner first(file, second->start, second->start);
        if (!first.read_comment(header.comment)) return false;
        if (std::optional<PairsRead> joined = read_two_parts(first, *second, progress)) {
            pairs = *joined;
            return true;
        }
        std::rewind(file);                                  // the parts do not join: once more in one pass
    }
    PairScanner scanner(file, NO_SPLIT, error ? SCAN_BUFFER : size);
    if (!scanner.read_comment(header.comment)) return false;
    pairs = read_pairs(scanner, record_arrays(), [&] {
        progress.update(scanner.bytes_done());
        return true;
    });
    return true;
}

// intensity(i) = trunc((Y - Ymin) * s - 10000), s = 20000 / (Ymax - Ymin).
static void scale_intensities(int32_t count, float y_min, float y_max) {
    SpectrumRecord& s = spectrum;
    const float range = y_max - y_min;
    const double scale = 20000.0 / static_cast<double>(range);
    for (int32_t i = 1; i <= count; ++i) {
        const float above_min = std::bit_cast<float>(s.original_intensity[i]) - y_min;
        s.intensity[i] = static_cast<int32_t>(static_cast<double>(above_min) * scale - 10000.0);
    }
}

// The first point whose frequency is below its predecessor's, or 0.
static int32_t first_decrease(int32_t count) {
    const SpectrumRecord& s = spectrum;
    for (int32_t i = 2; i <= count; ++i)
        if (s.frequency[i] < s.frequency[i - 1]) return i;
    return 0;
}

// Header fields of an ASCII spectrum; the instrument fields keep their values.
static void fill_ascii_header(float y_min, float y_max) {
    SpectrumRecord& s = spectrum;
    s.intensity_min = -10000;
    s.intensity_max = 10000;
    header.points_per_second = 51.0f;
    header.day = 1;
    header.month = 1;
    header.year = 2000;
    set_text_field(header.sample, format_scaled_exponent(y_min, 10, 3) + format_scaled_exponent(y_max, 10, 3));
    set_text_field(header.delay_aver, "");
    set_text_field(header.lamp, "");
}

// [SECTION] Linearity test and resampling ------------------------------------------------

namespace {
struct Linearity {
    float max_deviation = 0.0f;
    int32_t max_deviation_at = 0;
    float min_step = 1.0e20f;
    int32_t min_step_at = 0;
    float max_step = -1.0e20f;
    int32_t max_step_at = 0;
    float deviation_sum = 0.0f;
};
}  // namespace

// Deviations of the frequencies from the even grid, and the extreme steps.
static Linearity measure_linearity() {
    const SpectrumRecord& s = spectrum;
    Linearity l;
    for (int32_t i = 2; i <= s.point_count; ++i) {
        double expected = s.freq_first + static_cast<double>(i - 1) * s.freq_step;
        double deviation = std::fabs(expected - s.frequency[i]);
        double step = s.frequency[i] - s.frequency[i - 1];
        if (deviation > l.max_deviation) { l.max_deviation = static_cast<float>(deviation); l.max_deviation_at = i; }
        if (step < l.min_step) { l.min_step = static_cast<float>(step); l.min_step_at = i; }
        if (step > l.max_step) { l.max_step = static_cast<float>(step); l.max_step_at = i; }
        l.deviation_sum = static_cast<float>(l.deviation_sum + deviation);
    }
    return l;
}

// The report of a frequency axis that is not even.
static void report_nonlinear(const Linearity& l) {
    const SpectrumRecord& s = spectrum;
    const std::string indent(10, ' ');
    auto at_point = [&](int32_t i) {
        return "  at point" + format_integer(i, 9) + format_fixed(i >= 1 ? s.frequency[i] : 0.0, 15, 5);
    };
    set_text_color(COLOR_LIGHT_RED);
    console_write("");
    console_write(indent + "The data is not linear in frequency:");
    set_text_color(COLOR_BLACK);
    console_write("");
    console_write(indent + " Maximum deviation = " + format_fixed(l.max_deviation, 12, 5) + at_point(l.max_deviation_at));
    console_write(indent + "      Maximum step = " + format_fixed(l.max_step, 12, 5) + at_point(l.max_step_at));
    console_write(indent + "      Minimum step = " + format_fixed(l.min_step, 12, 5) + at_point(l.min_step_at));
    console_write(indent + "      DeltaF/(n-1) = " + format_fixed(s.freq_step, 12, 5));
    console_write("");
    console_write(indent + " Sum of deviations = " + format_fixed(l.deviation_sum, 12, 5));
    float average = l.deviation_sum / static_cast<float>(s.point_count - 1);
    console_write(indent + " average deviation = " + format_fixed(average, 12, 5));
    write_empty_lines(2);
    console_write(indent + "TARNO will now linearise the frequency axis by " + "linear interpolation,");
    console_write(indent + "but you might still want to check the input");
    write_empty_lines(2);
}

// Moves the inner points onto the even grid by linear interpolation between
// the read points that bracket each grid frequency; the bracket only moves
// forward, so this is one pass.
static void resample_to_grid() {
    SpectrumRecord& s = spectrum;
    const int32_t n = s.point_count;
    int32_t j = 1;
    for (int32_t i = 2; i <= n - 1; ++i) {
        double t = s.freq_first + static_cast<double>(i - 1) * s.freq_step;
        while (j < n - 1 && s.frequency[j + 1] <= t) ++j;
        double width = s.frequency[j + 1] - s.frequency[j];
        double rise = static_cast<double>(s.intensity[j + 1] - s.intensity[j]);
        double value = width > 0.0 ? s.intensity[j] + (t - s.frequency[j]) * rise / width
                                   : static_cast<double>(s.intensity[j]);   // avoid 0/0 at repeated frequencies
        s.original_intensity[i] = static_cast<int32_t>(value);
    }
    for (int32_t i = 2; i <= n - 1; ++i) {
        s.intensity[i] = s.original_intensity[i];
        s.frequency[i] = s.freq_first + static_cast<double>(i - 1) * s.freq_step;
    }
}

// [SECTION] Reader ------------------------------------------------------------------------

// Reads the pairs, scales them and fills the frequency axis; the failure when not.
static std::optional<Failure> read_spectrum_text(std::FILE* file, const std::string& path, uint64_t split_from) {
    SpectrumRecord& s = spectrum;
    PairsRead pairs;
    if (!read_comment_and_pairs(file, path, split_from, pairs)) return Failure{"Problem with the comment", 0, 0};
    if (pairs.read_error) return Failure{"Read error in the file", pairs.count + 1, pairs.count};
    const int32_t n = pairs.count;
    s.point_count = n;
    // Failures found after the pairs were read point just past the last pair.
    auto after_pairs = [n](const char* reason) { return Failure{reason, n + 1, n}; };
    if (pairs.y_max == pairs.y_min) return after_pairs("Zero range of Y-values");
    if (n < 4) return after_pairs("Too few X,Y pairs");
    if (!std::isfinite(pairs.y_max - pairs.y_min))                       // avoid inf * 0 in the scaling
        return after_pairs("Range of Y-values too large");

    scale_intensities(n, pairs.y_min, pairs.y_max);
    if (int32_t decrease = first_decrease(n); decrease != 0) {
        if (decrease < n) return Failure{"Frequencies not continuously increasing", decrease, n};
        s.point_count = n - 1;                                            // only the last pair goes back
    }
    s.freq_first = s.frequency[1];
    s.freq_last = s.frequency[s.point_count];
    s.freq_step = (s.freq_last - s.freq_first) / static_cast<double>(s.point_count - 1);
    if (s.freq_last == s.freq_first) return after_pairs("Zero frequency range");

    fill_ascii_header(pairs.y_min, pairs.y_max);
    report_success(pairs.y_min, pairs.y_max);
    return std::nullopt;
}

// Reads `path` as two-column ASCII (see the top of this file).
AsciiReadResult read_ascii_spectrum(const std::string& path) {
    std::error_code error;
    uint64_t size = std::filesystem::file_size(path, error);
    return read_ascii_spectrum(path, !error && size >= SPLIT_MIN_BYTES ? size / 2 : NO_SPLIT);
}

AsciiReadResult read_ascii_spectrum(const std::string& path, uint64_t split_from) {
    SpectrumRecord& s = spectrum;
    announce_ascii_attempt();
    FileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        report_failure({"Cannot open the file as text", 0, 0});
        return AsciiReadResult::failure;
    }
    std::optional<Failure> failure = read_spectrum_text(file.get(), path, split_from);
    file.reset();
    if (failure) {
        report_failure(*failure);
        return AsciiReadResult::failure;
    }
    Linearity linearity = measure_linearity();
    if (linearity.max_deviation > 0.1 * s.freq_step) {
        report_nonlinear(linearity);
        resample_to_grid();
    }
    return AsciiReadResult::success;
}

}  // namespace tarno
