// Storage of the shared records. Static and zero-filled at start (this is all
// the static initialisation there is); text fields are blanked by the driver
// at start-up, as the title screen sets them.
#include "app/records.hpp"

namespace tarno {

SpectrumRecord spectrum;
SpectrumHeader header;
SharedText text;
ScreenConfig screen;

}  // namespace tarno
