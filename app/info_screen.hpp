// The spectral information screen: the header of the spectrum in memory and
// its basic figures as one page of console text. The caller clears the screen
// before and waits for ENTER after.
#pragma once

namespace tarno {

void SPEINF();      // writes the information page; ends with "Press ENTER to continue" when the frequency axis is known

}  // namespace tarno
