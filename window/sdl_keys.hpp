// Key translation of the SDL backend, the part that needs no SDL types:
// characters of a text event become key bytes.
#pragma once

#include <string>
#include <string_view>

namespace tarno::window_internal {

// The key bytes of a UTF-8 text event: each printable character as its UTF-8
// bytes (ASCII as one byte), so line input gets names whole; control
// characters and broken sequences are dropped. A character's bytes never
// contain 0, and after the lead byte 0xE0 comes a byte of 0x80 or more,
// never a cursor key's scan code: the key prefixes stay unambiguous.
std::string text_input_bytes(std::string_view utf8);

}  // namespace tarno::window_internal
