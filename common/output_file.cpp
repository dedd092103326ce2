// Temporary-file-and-rename output (see output_file.hpp).
#include <cerrno>
#include <cstring>      // strerror
#include <sys/stat.h>   // umask, fchmod
#include <unistd.h>     // mkstemp, fsync, close, unlink

#include "common/output_file.hpp"
#include "common/fields.hpp"

namespace tarno {

OutputFile::~OutputFile() {
    if (file_ != nullptr) std::fclose(file_);
    if (!temporary_path_.empty()) ::unlink(temporary_path_.c_str());
}

// Records "<path>: <step>: <reason>" from errno.
void OutputFile::fail(const char* step) {
    error_ = path_ + ": " + step + ": " + std::strerror(errno);
}

// Creates the temporary file beside `path` (mode 0666 less the umask, as fopen would).
bool OutputFile::open(const std::string& path) {
    path_ = path;
    std::string pattern = std::string(directory_part(path)) + "." + std::string(name_part(path)) + ".XXXXXX";
    int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) { fail("cannot create the file"); return false; }
    temporary_path_ = pattern;
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(descriptor, 0666 & ~mask);
    file_ = ::fdopen(descriptor, "wb");
    if (file_ == nullptr) { fail("cannot open the file"); ::close(descriptor); return false; }
    return true;
}

// Flushes and closes the temporary file and renames it to the final name.
bool OutputFile::commit() {
    if (file_ == nullptr) { errno = EBADF; fail("not open"); return false; }
    bool written = std::fflush(file_) == 0 && !std::ferror(file_) && ::fsync(::fileno(file_)) == 0;
    int saved = errno;
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!written || !closed) { errno = written ? errno : saved; fail("write failed"); return false; }
    if (::rename(temporary_path_.c_str(), path_.c_str()) != 0) { fail("cannot rename into place"); return false; }
    temporary_path_.clear();
    return true;
}

}  // namespace tarno
