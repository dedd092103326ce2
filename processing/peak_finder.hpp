// The automatic peak finder (key 0 of the display with a negative fitting
// width): AUTOPK scans the displayed part or the whole spectrum for lines
// above a cutoff, fits each with PEAKF, measures its width at half height,
// and writes the peak list to a results file beside the spectrum. The scan
// itself is in peak_scan.hpp.
#pragma once

#include <cstdint>

namespace tarno {

// The whole peak finder dialogue on the console, from the range question to
// "Press ENTER to continue"; returns after ENTER (or at once when no results
// file name is given). `first_displayed`..`last_displayed` is the display
// window (it may reach beyond the spectrum); `cutoff` and `baseline` were set
// on the screen; `bar_scale` is the intensity of a full bar (y_high -
// mean_intensity); `nominal_error` is the nominal frequency error (0: asked
// for when the whole spectrum is scanned).
void AUTOPK(int32_t first_displayed, int32_t last_displayed, int16_t cutoff, int16_t baseline, int16_t fit_width,
            double bar_scale, double nominal_error);

}  // namespace tarno
