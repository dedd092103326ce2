// The title screen the program opens with.
#pragma once

#include <cstdint>

namespace tarno {

int32_t show_title_screen();    // starts the window (STARTG) and draws the title screen; returns config_found

}  // namespace tarno
