// UTF-8 decoding with a Latin-1 fallback for bytes outside a valid sequence.
#include "common/utf8.hpp"

namespace tarno {

int utf8_sequence_length(uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

DecodedCharacter decode_character(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(pos);
    const int length = utf8_sequence_length(lead);
    if (length <= 1 || pos + size_t(length) > text.size()) return {lead, 1};
    char32_t code = lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        const uint8_t next = byte(pos + size_t(k));
        if ((next & 0xC0) != 0x80) return {lead, 1};
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    static constexpr char32_t SMALLEST[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < SMALLEST[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return {lead, 1};
    return {code, size_t(length)};
}

std::string utf8_encoded(char32_t code) {
    std::string bytes;
    if (code < 0x80) {
        bytes.push_back(char(code));
    } else if (code < 0x800) {
        bytes.push_back(char(0xC0 | (code >> 6)));
        bytes.push_back(char(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        bytes.push_back(char(0xE0 | (code >> 12)));
        bytes.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (code & 0x3F)));
    } else {
        bytes.push_back(char(0xF0 | (code >> 18)));
        bytes.push_back(char(0x80 | ((code >> 12) & 0x3F)));
        bytes.push_back(char(0x80 | ((code >> 6) & 0x3F)));
        bytes.push_back(char(0x80 | (code & 0x3F)));
    }
    return bytes;
}

size_t character_count(std::string_view text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); pos += decode_character(text, pos).length) ++count;
    return count;
}

size_t last_character_start(std::string_view text) {
    size_t start = 0;
    for (size_t pos = 0; pos < text.size(); pos += decode_character(text, pos).length) start = pos;
    return start;
}

size_t whole_characters_within(std::string_view text, size_t max_bytes) {
    size_t pos = 0;
    while (pos < text.size()) {
        size_t next = pos + decode_character(text, pos).length;
        if (next > max_bytes) break;
        pos = next;
    }
    return pos;
}

std::string padded_characters(std::string_view text, size_t width) {
    size_t pos = 0, count = 0;
    while (pos < text.size() && count < width) {
        pos += decode_character(text, pos).length;
        ++count;
    }
    std::string result(text.substr(0, pos));
    result.append(width - count, ' ');
    return result;
}

}  // namespace tarno
