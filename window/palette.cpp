// The 16-colour palette in the classic PC order.
#include "window/window.hpp"

namespace tarno {

// REF: the standard 16-colour text-mode palette (dark colours at 128, bright at 255).
static constexpr Rgb PALETTE[16] = {
    {0, 0, 0},       {0, 0, 128},     {0, 128, 0},     {0, 128, 128},
    {128, 0, 0},     {128, 0, 128},   {128, 128, 0},   {192, 192, 192},
    {128, 128, 128}, {0, 0, 255},     {0, 255, 0},     {0, 255, 255},
    {255, 0, 0},     {255, 0, 255},   {255, 255, 0},   {255, 255, 255},
};

// Returns the colour of a palette index; indices beyond the palette clamp to its ends.
Rgb palette_rgb(int index) {
    if (index < 0) index = 0;
    if (index > 15) index = 15;
    return PALETTE[index];
}

}  // namespace tarno
