// The two message rows of the display loop: a command that reports writes its
// result (or its error) into text rows 1 and 2, over the status lines, and the
// next cursor move rewrites the status lines in full.
#pragma once

#include <string_view>

namespace tarno {

// Writes `line1` (cut or padded to 80 characters) into row 1 in text colour 1
// on background 7. Row 2 is cleared when characters 2..6 of line1 read "ERROR",
// otherwise it carries `line2`. Sets the display's message flag; text colour
// is 0 afterwards.
void show_message(std::string_view line1, std::string_view line2 = {});

// Beeps (4000 Hz, 250 ms) and shows an error line; row 2 is cleared.
void show_error(std::string_view line1);

// Clears rows 1 and 2 with the blank line in the current colours.
void clear_message_rows();

}  // namespace tarno
