// Line lists held against the spectrum: a catalogue of calculated transitions
// and the list of lines already assigned. This module only reads them; the
// display draws them (display/line_overlay.hpp).
//
// Files read:
//  - catalogue (.cat): 80-column records, fields (F13.4, F8.4, F8.4, I2, F10.4,
//    I3, I7, I4, 6I2, 6I2): FREQ (MHz), ERR, LGINT (log10 intensity), DR, ELO,
//    GUP, TAG (negative: experimental frequency), QNFMT, upper state's quanta,
//    lower state's quanta. A two-character quantum field whose first character
//    is a letter holds a number beyond two digits: A0 = 100, B5 = 115, a0 = -10,
//    b3 = -23. A field of only a sign or blanks is a parity mark (reads as 0).
//  - assigned lines: the partner's datafiles in the record formats that linked
//    operation appends (12I3 records of .lin files, 6I5 records of other
//    datafiles, intensity records with " +-" in columns 15-17); .lin files of
//    other programs (twelve I3 fields, then frequency, uncertainty and weight
//    in free format, anything after them a comment); and plain two-column
//    lists (frequency, intensity).
//
// Every record that cannot be read is skipped and counted; a file without a
// single readable record is refused. The lists are sorted by frequency once,
// when they are loaded, so the display finds the lines of a view by binary search.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarno {

constexpr int CATALOGUE_QUANTA = 6;         // quantum fields per state in a .cat record
constexpr int DATAFILE_QUANTA = 12;         // Q1..Q12 of a .lin record

// [SECTION] Large arrays ----------------------------------------------------------
// The catalogue's arrays reach tens of megabytes. Touching that much fresh
// memory page by page costs more than reading the file; blocks of 2 MB and
// more are therefore mapped on their own and offered huge pages.
void* allocate_large_block(size_t bytes);
void free_large_block(void* block, size_t bytes);

template <class T>
struct LargeArrayAllocator {
    using value_type = T;
    LargeArrayAllocator() = default;
    template <class U>
    LargeArrayAllocator(const LargeArrayAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocate_large_block(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { free_large_block(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeArrayAllocator<U>&) const { return true; }
};

template <class T>
using LargeVector = std::vector<T, LargeArrayAllocator<T>>;

// [SECTION] Catalogue ---------------------------------------------------------------
// The parts of a catalogue line that only the readout and the assignment need.
struct CatalogueDetail {
    float uncertainty;                      // ERR (MHz)
    int32_t tag;                            // TAG; negative for an experimental frequency
    int16_t quantum_format;                 // QNFMT; its last digit is the number of quanta per state
    std::array<char, 2 * CATALOGUE_QUANTA> upper_text;  // QN' as written
    std::array<char, 2 * CATALOGUE_QUANTA> lower_text;  // QN'' as written
};

// Sorted by frequency; the three vectors run in parallel. Frequency and log
// intensity are kept apart from the rest because a frame reads only them.
// A frame asks, per pixel column, for the strongest line of a run of lines:
// the strongest of each block of CATALOGUE_BLOCK lines is kept at load, so a
// run costs its two partial blocks and one look per whole block.
constexpr size_t CATALOGUE_BLOCK = 64;

struct Catalogue {
    LargeVector<double> frequency;          // MHz, ascending
    LargeVector<float> log_intensity;       // LGINT
    LargeVector<CatalogueDetail> detail;
    std::vector<uint32_t> block_strongest;  // per block of CATALOGUE_BLOCK lines: its strongest (the first of equals)
    size_t size() const { return frequency.size(); }
};

void index_catalogue_blocks(Catalogue& catalogue);  // fills block_strongest (done by the reader)
// The strongest line of first..last-1 (the first of equals); first < last.
size_t strongest_line_in(const Catalogue& catalogue, size_t first, size_t last);

// [SECTION] Assigned lines -------------------------------------------------------------
struct AssignedLines {
    std::vector<double> frequency;          // ascending
    size_t size() const { return frequency.size(); }
};

// [SECTION] Results of a load ------------------------------------------------------------
struct ListCounts {
    int64_t read;                           // records taken
    int64_t skipped;                        // non-blank lines that could not be read
};

template <class List>
struct ListLoad {
    std::optional<std::string> refusal;     // why the file was refused (then `list` is empty)
    List list;
    ListCounts counts;
};

// [SECTION] Reading ------------------------------------------------------------------------
ListLoad<Catalogue> read_catalogue_text(std::string_view text);
ListLoad<AssignedLines> read_assigned_text(std::string_view text, bool lin_records);
ListLoad<Catalogue> read_catalogue_file(const std::string& path);
ListLoad<AssignedLines> read_assigned_file(const std::string& path);   // .lin / .LIN: 12I3 records; other names: 6I5

bool is_catalogue_name(std::string_view name);  // ends in ".cat" (any case)

// Value of a two-character quantum field ("12", " 5", "-3", "A0", "b3"; a sign or
// blanks alone read as 0); nothing when the field is not one of these.
std::optional<int32_t> decode_quantum_field(char first, char second);

// The quanta of one state as the assignment writes them: the first n fields
// (n = last digit of QNFMT, at most 6) decoded; a field that does not decode is 0.
std::vector<int32_t> state_quanta(const std::array<char, 2 * CATALOGUE_QUANTA>& text, int16_t quantum_format);
int quanta_per_state(int16_t quantum_format);   // last digit of QNFMT, at most 6

}  // namespace tarno
