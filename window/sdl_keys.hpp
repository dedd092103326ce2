// Key translation of the SDL backend, the part that needs no SDL types:
// characters of a text event become single key bytes.
#pragma once

#include <string>
#include <string_view>

namespace tarno::window_internal {

// The key bytes of a UTF-8 text event: each code point up to 255 as one byte
// (ASCII and Latin-1, what the console font shows); others are dropped.
std::string text_input_bytes(std::string_view utf8);

}  // namespace tarno::window_internal
