// UTF-8 text, one character at a time. Names typed, shown and opened are
// UTF-8; a byte that does not begin a valid sequence stands for the Latin-1
// character of the same number, so texts written by older programs (header
// comments, names from other systems) still show, one cell per byte, and are
// never changed by being shown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarno {

struct DecodedCharacter {
    char32_t code;      // the character (Unicode code point)
    size_t length;      // bytes it takes in the text (1..4)
};

// The character that starts at byte `pos` of `text` (pos < text.size()).
DecodedCharacter decode_character(std::string_view text, size_t pos);

// How many bytes a sequence starting with `lead` has: 1 for ASCII, 2..4 for a
// lead byte, 0 for a byte that cannot begin one (a continuation byte, 0xC0,
// 0xC1, 0xF5..0xFF).
int utf8_sequence_length(uint8_t lead);

std::string utf8_encoded(char32_t code);               // the bytes of one character
size_t character_count(std::string_view text);         // characters as decode_character counts them
size_t last_character_start(std::string_view text);   // byte where the last character begins (0 when empty)
size_t whole_characters_within(std::string_view text, size_t max_bytes); // longest prefix (bytes) of whole characters in max_bytes

// `text` cut or blank padded to exactly `width` characters (screen cells); a
// cut never splits a character.
std::string padded_characters(std::string_view text, size_t width);

}  // namespace tarno
