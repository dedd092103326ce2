// Fuzz target: any bytes as a catalogue, as a .lin file and as another
// datafile of assigned lines. Each reader keeps the records it can read,
// sorted by frequency, and counts or refuses the rest.
#include <algorithm>
#include <cstdlib>

#include "app/line_lists.hpp"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    tarno::ListLoad<tarno::Catalogue> catalogue = tarno::read_catalogue_text(text);
    const auto& frequency = catalogue.list.frequency;
    if (!std::is_sorted(frequency.begin(), frequency.end())) std::abort();
    if (catalogue.list.size() > 0) tarno::strongest_line_in(catalogue.list, 0, catalogue.list.size());
    for (size_t i = 0; i < catalogue.list.size(); ++i)
        tarno::state_quanta(catalogue.list.detail[i].upper_text, catalogue.list.detail[i].quantum_format);
    for (bool lin_records : {true, false}) {
        tarno::ListLoad<tarno::AssignedLines> assigned = tarno::read_assigned_text(text, lin_records);
        if (!std::is_sorted(assigned.list.frequency.begin(), assigned.list.frequency.end())) std::abort();
    }
    return 0;
}
