// Reading a spectrum file into the shared records: first as the binary
// spectrum format (the "VARDE binary format" of the messages), and when the
// file fails the binary test, again as two-column ASCII text. Both readers
// write their messages and reports through the console.
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

namespace tarno {

enum class BinaryReadResult {
    success,             // spectrum record and header filled, frequency block reported
    not_binary,          // header unreadable or date outside the binary test: try the ASCII reader
    back_to_file_prompt, // message shown (and ENTER awaited where it pauses): bad frequency block,
                         // too many points, unreadable counts or intensities, point count below 1
};

enum class AsciiReadResult {
    success,             // spectrum record filled and reported (and linearised when needed)
    failure,             // failure report shown: back to the file prompt
};

// Reads the open file (positioned at its start) as a binary spectrum.
BinaryReadResult read_binary_spectrum(std::FILE* file);

// Reads `path` as two-column ASCII; shows its report or the failure report.
// A large file is parsed on two cores, cut near its middle.
AsciiReadResult read_ascii_spectrum(const std::string& path);

// The same, cut at the first line start from byte `split_from` whatever the
// file's size (NO_SPLIT: on one core); the result is the same wherever the
// cut falls. For tests and fuzzing of the two-core parse.
constexpr uint64_t NO_SPLIT = std::numeric_limits<uint64_t>::max();
AsciiReadResult read_ascii_spectrum(const std::string& path, uint64_t split_from);

}  // namespace tarno
