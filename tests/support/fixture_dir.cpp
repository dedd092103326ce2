// Temporary test directories under the system's temporary folder.
#include "tests/support/fixture_dir.hpp"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace tarno::testing {

FixtureDir::FixtureDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tarno-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary directory");
    path_ = pattern;
}

FixtureDir::~FixtureDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string FixtureDir::write(std::string_view name, std::string_view contents) const {
    std::string full = file(name);
    std::ofstream out(full, std::ios::binary);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return full;
}

std::string FixtureDir::write_bytes(std::string_view name, const std::vector<unsigned char>& bytes) const {
    return write(name, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string FixtureDir::read(std::string_view name) const {
    std::ifstream in(file(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> files_in(const FixtureDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace tarno::testing
