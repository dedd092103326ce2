// The file chooser the window draws inside itself, used when no native file
// dialog is available. It lists one directory (sub-directories first, then
// the files the current filter lets through) and is driven from the keyboard:
//
//   UP DOWN PGUP PGDN HOME END   move the highlight
//   ENTER                        enter the highlighted directory, or choose the file
//   typed text + ENTER           choose that name (or enter it, if it is a directory)
//   BACKSPACE                    delete a typed character; with nothing typed: parent directory
//   TAB / RIGHT, LEFT            next / previous file type
//   ESC                          cancel
//
// The filter list is the one handed to set_dialog_filter():
//   " All Files (*.*), *.*; Spectral files (*.spe), *.spe; ;"
// pairs of a description and a pattern, each pair ended by ';'. Patterns match
// as on the desktop the list was written for: case-insensitive, "*.*" is
// every file, "name.*" also matches "name" without an extension.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarno::window_internal {

struct FileFilter {
    std::string description;            // "Spectral files (*.spe)"
    std::vector<std::string> patterns;  // {"*.spe"}; several when the pattern field lists them blank-separated
};

// The filters of a list, in order; a list without any gives one "All Files" filter.
std::vector<FileFilter> parse_filter_list(std::string_view list);
bool matches_pattern(std::string_view pattern, std::string_view file_name);
bool matches_filter(const FileFilter& filter, std::string_view file_name);

// Shows the chooser in the window starting in `directory`; the chosen path, nothing when cancelled.
std::optional<std::string> choose_file_in_window(std::string_view caption, std::string_view filter_list,
                                                 const std::filesystem::path& directory);

}  // namespace tarno::window_internal
