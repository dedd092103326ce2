// Font description strings, read left to right, letters in any case:
//
//   t'name'   typeface (up to 32 characters); "Tms Rmn", "Courier" and "Helv"
//             stand for "Times New Roman", "Courier New" and "Arial"
//   h<n>      character cell height in pixels (ascent + descent)
//   w<n>      average character width in pixels
//   e bold    i italic    u underline    b best fit
//   f fixed pitch    p proportional    v vector    r raster
//   n<n>      font by its number in the list of installed fonts (1-based)
//
// Blanks between items are skipped. "t'Arial'h75w25ei" is Arial, 75 pixels
// high, 25 wide, bold italic.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarno::window_internal {

enum FontPitch {
    FontPitch_Any = 0,        // neither f nor p
    FontPitch_Fixed,          // f
    FontPitch_Proportional,   // p
};

struct FontRequest {
    std::string typeface;     // "" = not named
    int height = 0;           // pixels; 0 = not given
    int width = 0;            // pixels; 0 = not given
    int number = 0;           // n<number>; 0 = not given
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool best_fit = false;
    bool vector = false;
    bool raster = false;
    FontPitch pitch = FontPitch_Any;
    bool operator==(const FontRequest&) const = default;
};

// Reads a description; nothing when it is malformed (unknown letter, a name
// without its closing apostrophe, a number missing after h, w or n).
std::optional<FontRequest> parse_font_description(std::string_view description);

}  // namespace tarno::window_internal
