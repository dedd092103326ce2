// The program driver: start-up and title screen, then the main loop of file
// prompt, reading, "Ready to plot", the display and the closing menu.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarno {

[[noreturn]] void MAIN__();                 // the program; ends only through end_program()

std::string derive_generic_name(std::string_view name); // dialog filter entry built from a name that could not be opened ("" = none)

}  // namespace tarno
