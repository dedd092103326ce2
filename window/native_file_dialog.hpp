// The desktop's own file dialog, run as a helper program (zenity or kdialog)
// when one is on PATH. The filter list of set_dialog_filter() is translated
// into the helper's filters; patterns become case-insensitive and "*.*" means
// every file, as the list's authors expect.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarno::window_internal {

enum class NativeDialogOutcome {
    chosen,         // path holds the file
    cancelled,      // the user closed the dialog without a file
    unavailable,    // no helper, or it failed to run: use the in-window chooser
};

struct NativeDialogResult {
    NativeDialogOutcome outcome;
    std::string path;
};

// Runs the helper and waits for it (on the calling thread).
NativeDialogResult run_native_file_dialog(std::string_view caption, std::string_view filter_list,
                                          const std::string& directory);
// Ends a helper that is still open (the window is being closed).
void cancel_native_file_dialog();

// The command line for `tool` ("zenity" or "kdialog"); nothing for another tool.
std::optional<std::vector<std::string>> native_dialog_command(std::string_view tool, std::string_view caption,
                                                              std::string_view filter_list, const std::string& directory);
// A filter pattern as the helpers need it: "*.spe" -> "*.[sS][pP][eE]", "*.*" -> "*".
std::vector<std::string> desktop_patterns(std::string_view pattern);
// Full path of an executable found on PATH, or "".
std::string find_on_path(std::string_view program);

}  // namespace tarno::window_internal
