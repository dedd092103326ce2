// Shared pieces of the fuzz targets: a headless window for the readers'
// messages, a private scratch directory for inputs that must be files, and a
// run that answers every pause with ENTER and ends when the keys run out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarno::fuzz {

std::string scratch_directory();                                   // made once per process, ends with '/'
std::string write_scratch_file(std::string_view name, const uint8_t* data, size_t size); // its path
void run_headless(const std::function<void()>& program);           // fresh window state, a few ENTERs, then the program

}  // namespace tarno::fuzz
