// Trimming and padding of fixed-width text, and the path rules: the directory
// part, and the name of a path, with both '/' and '\' as
// directory separators.
#include <algorithm>

#include "common/fields.hpp"

namespace tarno {

static bool is_padding(char c) { return c == ' ' || c == '\t' || c == '\0'; }

// Returns `text` without leading and trailing blanks, tabs and NULs.
std::string_view trim(std::string_view text) {
    while (!text.empty() && is_padding(text.front())) text.remove_prefix(1);
    return trim_right(text);
}

// Returns `text` without trailing blanks, tabs and NULs.
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

// Returns the directory part: up to and including the last separator, "" when none.
std::string_view directory_part(std::string_view path) {
    size_t last = path.find_last_of("/\\");
    return last == std::string_view::npos ? std::string_view() : path.substr(0, last + 1);
}

// Returns the name after the last separator (the whole path when none).
std::string_view name_part(std::string_view path) {
    return path.substr(directory_part(path).size());
}

}  // namespace tarno
