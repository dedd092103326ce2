// A temporary directory for the files a test makes; removed with its contents
// when the fixture goes out of scope.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tarno::testing {

class FixtureDir {
public:
    FixtureDir();
    ~FixtureDir();
    FixtureDir(const FixtureDir&) = delete;
    FixtureDir& operator=(const FixtureDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(std::string_view name) const { return (path_ / name).string(); }
    std::string write(std::string_view name, std::string_view contents) const;        // returns the full path
    std::string write_bytes(std::string_view name, const std::vector<unsigned char>& bytes) const;
    std::string read(std::string_view name) const;                                     // whole file as bytes

private:
    std::filesystem::path path_;
};

std::vector<std::string> files_in(const FixtureDir& dir);       // names of the files in `dir`, sorted
std::vector<std::string> lines_of(const std::string& text);     // the lines of a text, without their ends

}  // namespace tarno::testing
