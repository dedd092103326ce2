// The display loop: shows the loaded spectrum and dispatches single keys to
// commands until the user leaves with ENTER and Y.
#pragma once

namespace tarno {

void LOOKFM();      // runs the display on the spectrum in memory; returns when the user confirms the exit

}  // namespace tarno
