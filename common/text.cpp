// Trimming and padding of fixed-width text, and the path rules: the directory
// part, and the name of a path, with both '/' and '\' as
// directory separators.
#include <algorithm>

#include "common/fields.hpp"

namespace tarno {

static bool is_padding(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0'; }

// Returns `text` without leading and trailing padding.
std::string_view trim(std::string_view text) {
    while (!text.empty() && is_padding(text.front())) text.remove_prefix(1);
    return trim_right(text);
}

// Returns `text` without trailing padding (blanks, tabs, CR, LF, NULs).
std::string_view trim_right(std::string_view text) {
    while (!text.empty() && is_padding(text.back())) text.remove_suffix(1);
    return text;
}

// Returns `text` cut or blank padded to exactly `width` characters.
std::string padded(std::string_view text, size_t width) {
    std::string result(text.substr(0, std::min(width, text.size())));
    result.resize(width, ' ');
    return result;
}

// Returns `name` when it has at most `max_length` characters, else "..."
// followed by its last `kept` characters: the end of a path names the file,
// so that is what a short field keeps, and the dots show that it was cut.
std::string shortened_name(std::string_view name, size_t max_length, size_t kept) {
    if (name.size() <= max_length) return std::string(name);
    size_t start = name.size() - std::min(kept, name.size());
    // never start inside a UTF-8 character: its continuation bytes are 10xxxxxx
    while (start < name.size() && (static_cast<unsigned char>(name[start]) & 0xC0) == 0x80) ++start;
    return "..." + std::string(name.substr(start));
}

// Returns the directory part: up to and including the last separator, "" when none.
std::string_view directory_part(std::string_view path) {
    size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

// Returns the name after the last separator (the whole path when none).
std::string_view name_part(std::string_view path) {
    return path.substr(directory_part(path).size());
}

// Returns the directory a spectrum's companion files are looked for and saved
// in: the directory part of its path, but "" for a file in the root (a name
// whose only separator is its first character), which counts as no directory.
std::string_view spectrum_directory(std::string_view path) {
    std::string_view directory = directory_part(path);
    return directory.size() <= 1 ? std::string_view() : directory;
}

}  // namespace tarno
