// An output file that appears under its name only when it was written
// completely: the data goes to a temporary file in the same directory, and
// commit() flushes, closes and renames it into place. A file that is dropped
// without commit() (a failed write, an early return) is removed, so a failed
// write never leaves a half file where a good one was.
//
//   OutputFile out;
//   if (!out.open("/data/run5.spe")) report(out.error());
//   fwrite(..., out.handle());
//   if (!out.commit()) report(out.error());
#pragma once

#include <cstdio>
#include <string>

namespace tarno {

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();                              // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open(const std::string& path);         // creates the temporary file; false with error() set
    std::FILE* handle() const { return file_; } // where to write (binary stream)
    bool commit();                              // flush, close, rename over `path`; false with error() set
    const std::string& error() const { return error_; } // "<path>: <step>: <reason>"

private:
    void fail(const char* step);
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string temporary_path_;
    std::string error_;
};

}  // namespace tarno
