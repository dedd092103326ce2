// Window start-up and the two start-up drawings every screen shares:
// STARTG reads the configuration file and gives the window its size and
// console font, NARGR toggles between 30 and 17 text rows keeping the row
// height, SGAME draws the decorative curve across the bottom of the window.
//
// The configuration file lives at $XDG_CONFIG_HOME/tarno/wemb.cfg
// (default ~/.config/tarno/wemb.cfg); see config_file_path().
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/window.hpp"

namespace tarno {

void STARTG(int32_t& config_found); // configures the window; config_found 1 when the file was read, 0 for defaults
void NARGR();                       // switches between 30 and 17 text rows and resizes the window
void SGAME();                       // draws the decorative curve and fills the area under it in blue

std::string config_file_path();     // the configuration file STARTG tries (XDG rules)
std::vector<std::string> startup_notice(); // two lines when STARTG refused the configured size, else none
const WindowConfig& window_configuration(); // the request as the window layer kept it (size, rows, face, attributes)

}  // namespace tarno
