// The SDL backend: a real desktop window. The calling (main) thread owns SDL:
// it pumps events into the key queue, presents the framebuffer when it
// changed, plays tones and shows dialogs on request. `program` runs on a
// thread of its own and ends by returning or through end_program().
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace tarno {

// Runs `program` with the window; returns the process exit status.
// Fails with a message (status 1) when no display is available.
int run_in_window(const std::function<void()>& program, std::vector<std::string> file_arguments);

}  // namespace tarno
