// An owned C stream: closed when the handle goes, so no failure path has to
// remember the fclose. Use std::fclose(handle.release()) where the result of
// the close matters (a file being written).
#pragma once

#include <cstdio>
#include <memory>

namespace tarno {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

}  // namespace tarno
