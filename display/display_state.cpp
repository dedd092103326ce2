// Storage of the display state and of the linked-operation state the display
// draws from. Static and zero-filled; LOOKFM initialises both at its start.
#include "display/display_state.hpp"
#include "display/linked_state.hpp"

namespace tarno {

DisplayState display;
LinkedState linked;

}  // namespace tarno
