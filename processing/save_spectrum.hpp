// Saving the spectrum in memory (key m of the display): SAVESP asks for a
// file name and a type and writes the spectrum, as it currently stands, to a
// new file in the directory of the spectrum file, either in the binary
// spectrum format or as two-column ASCII text.
#pragma once

namespace tarno {

void SAVESP();      // the whole save dialogue on the console; returns after ENTER (or at once when declined)

}  // namespace tarno
