// Reads font description strings (grammar in font_description.hpp).
#include "window/font_description.hpp"

#include <cctype>
#include <algorithm>
#include <climits>

namespace tarno::window_internal {

constexpr size_t MAX_TYPEFACE = 32;   // characters of a typeface name that count

namespace {
// The old short names and what they stand for.
struct Alias {
    const char* old_name;
    const char* name;
};
}  // namespace
static constexpr Alias OLD_NAMES[] = {
    {"tms rmn", "Times New Roman"},
    {"courier", "Courier New"},
    {"helv", "Arial"},
};

static bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(uint8_t(a[i])) != std::tolower(uint8_t(b[i]))) return false;
    return true;
}

// Reads the digits at `pos` (advancing it); nothing when there is none.
static std::optional<int> read_number(std::string_view text, size_t& pos) {
    size_t start = pos;
    long long value = 0;
    while (pos < text.size() && std::isdigit(uint8_t(text[pos]))) {
        value = std::min<long long>(value * 10 + (text[pos] - '0'), INT_MAX);  // saturate rather than overflow
        ++pos;
    }
    if (pos == start) return std::nullopt;
    return int(value);
}

std::optional<FontRequest> parse_font_description(std::string_view text) {
    FontRequest request;
    size_t pos = 0;
    while (pos < text.size()) {
        char letter = char(std::tolower(uint8_t(text[pos++])));
        switch (letter) {
        case ' ': case '\t': break;
        case 't': {
            if (pos >= text.size() || text[pos] != '\'') return std::nullopt;
            size_t close = text.find('\'', pos + 1);
            if (close == std::string_view::npos) return std::nullopt;
            std::string_view name = text.substr(pos + 1, close - pos - 1).substr(0, MAX_TYPEFACE);
            request.typeface = std::string(name);
            for (const Alias& alias : OLD_NAMES)
                if (equal_ignoring_case(name, alias.old_name)) request.typeface = alias.name;
            pos = close + 1;
            break;
        }
        case 'h': case 'w': case 'n': {
            std::optional<int> number = read_number(text, pos);
            if (!number) return std::nullopt;
            (letter == 'h' ? request.height : letter == 'w' ? request.width : request.number) = *number;
            break;
        }
        case 'e': request.bold = true; break;
        case 'i': request.italic = true; break;
        case 'u': request.underline = true; break;
        case 'b': request.best_fit = true; break;
        case 'f': request.pitch = FontPitch_Fixed; break;
        case 'p': request.pitch = FontPitch_Proportional; break;
        case 'v': request.vector = true; break;
        case 'r': request.raster = true; break;
        default: return std::nullopt;
        }
    }
    return request;
}

}  // namespace tarno::window_internal
