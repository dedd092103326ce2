// Rendering page scripts with GLE itself (package gle-graphics, with
// Ghostscript for PDF and PNG): the check that a written script is one GLE
// takes as it is.
#pragma once

#include <string>

namespace tarno::testing {

// Runs `gle -d <device> <script>` in `directory`; returns "" when GLE rendered
// the page without complaint, otherwise its status and output.
std::string gle_problems(const std::string& directory, const std::string& script, const std::string& device);

}  // namespace tarno::testing
