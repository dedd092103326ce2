// Storage of the shared records. Static and zero-filled at start (this is all
// the static initialisation there is); text fields are blanked by the driver
// at start-up, as the title screen sets them.
#include "app/records.hpp"

#include "common/fields.hpp"

namespace tarno {

SpectrumRecord spectrum;
SpectrumHeader header;
SharedText text;
ScreenConfig screen;

constexpr size_t FIELD_NAME_KEPT = 97;   // a path too long for data_file_name: "..." and its last 97

// Keeps the whole path and writes the field that shows it.
void set_data_file_name(std::string_view path) {
    SharedText& t = text;
    t.data_file_path = std::string(path);
    set_text_field(t.data_file_name, shortened_name(path, t.data_file_name.size(), FIELD_NAME_KEPT));
}

// Returns the whole path of the current file. A module that wrote the field
// itself (a name it built) made that name the current one: the field is then
// the path.
std::string data_file_path() {
    const SharedText& t = text;
    std::string shown = trimmed_text_field(t.data_file_name);
    if (shown == trim_right(shortened_name(t.data_file_path, t.data_file_name.size(), FIELD_NAME_KEPT)))
        return t.data_file_path;
    return shown;
}

}  // namespace tarno
