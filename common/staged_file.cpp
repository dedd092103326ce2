// Output files written under a temporary name and renamed into place.
#include "common/staged_file.hpp"

#include <atomic>       // distinct temporary names within the process
#include <cerrno>
#include <cstring>      // strerror
#include <fcntl.h>      // open with O_EXCL
#include <sys/stat.h>   // mode of a file being replaced
#include <unistd.h>     // fsync, unlink, getpid
#include <utility>

#include "common/fields.hpp"   // directory_part, name_part

namespace tarno {

static constexpr size_t STREAM_BUFFER_BYTES = 1 << 20;  // large writes for 10M-point spectra

static std::string describe_errno(int code) { return std::strerror(code); }

// Returns a name beside `target` that no other file uses yet (".name.tmp-pid-n").
static std::string temporary_name_for(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    std::string directory(directory_part(target));
    std::string name(name_part(target));
    return directory + "." + name + ".tmp-" + std::to_string(getpid()) + "-" +
           std::to_string(counter.fetch_add(1));
}

// Creates the temporary file; on failure is_open() is false and error() says why.
StagedFile::StagedFile(std::string target, Mode mode) : target_(std::move(target)) {
    struct stat existing {};
    bool exists = lstat(target_.c_str(), &existing) == 0;
    if (exists && mode == Mode::create_new) {
        target_exists_ = true;
        fail(target_ + ": file exists", "file exists");
        return;
    }
    // A replaced file keeps its permissions; a new one gets the usual 0666 & ~umask.
    mode_t permissions = exists && S_ISREG(existing.st_mode) ? (existing.st_mode & 07777) : 0666;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary_ = temporary_name_for(target_);
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, permissions);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int code = errno;
        std::string directory(directory_part(target_));
        fail("cannot create a file in " + (directory.empty() ? std::string(".") : directory) + ": " + describe_errno(code),
             "creating a temporary file: " + describe_errno(code));
        temporary_.clear();
        return;
    }
    if (exists && S_ISREG(existing.st_mode)) fchmod(fd, permissions);  // open() applied the umask
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        int code = errno;
        fail("cannot open " + temporary_ + ": " + describe_errno(code), "opening a temporary file: " + describe_errno(code));
        ::close(fd);
        discard();
        return;
    }
    setvbuf(stream_, nullptr, _IOFBF, STREAM_BUFFER_BYTES);
}

StagedFile::~StagedFile() { discard(); }

StagedFile::StagedFile(StagedFile&& other) noexcept { *this = std::move(other); }

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
    if (this != &other) {
        discard();
        target_ = std::move(other.target_);
        temporary_ = std::exchange(other.temporary_, std::string());
        stream_ = std::exchange(other.stream_, nullptr);
        target_exists_ = other.target_exists_;
        write_errno_ = std::exchange(other.write_errno_, 0);
        error_ = std::move(other.error_);
        reason_ = std::move(other.reason_);
    }
    return *this;
}

// Appends `bytes` to the temporary file; false once any write has failed.
bool StagedFile::write(std::string_view bytes) {
    if (stream_ == nullptr || failed()) return false;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) == bytes.size()) return true;
    write_errno_ = errno != 0 ? errno : EIO;
    return false;
}

// Returns true when a write through write() or stream() has failed.
bool StagedFile::failed() const { return write_errno_ != 0 || (stream_ != nullptr && std::ferror(stream_)); }

// Flushes the data to disk and renames the temporary file onto the target.
// Returns false, with error() naming the step, when any of that fails; the
// temporary file is then removed and the target left as it was.
bool StagedFile::commit() {
    if (stream_ == nullptr) return false;
    std::FILE* stream = std::exchange(stream_, nullptr);
    // Each step runs only when the one before it succeeded; the first failure names the cause.
    errno = 0;
    bool written = write_errno_ == 0 && std::fflush(stream) == 0 && !std::ferror(stream);
    int write_errno = write_errno_ != 0 ? write_errno_ : errno != 0 ? errno : EIO;
    bool synced = written && fsync(fileno(stream)) == 0;
    int sync_errno = errno;
    bool closed = std::fclose(stream) == 0;
    int close_errno = errno;
    if (!written || !synced || !closed) {
        int code = !written ? write_errno : !synced ? sync_errno : close_errno;
        fail("cannot write " + target_ + ": " + describe_errno(code), "writing: " + describe_errno(code));
        discard();
        return false;
    }
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) {
        int code = errno;
        fail("cannot rename " + temporary_ + " to " + target_ + ": " + describe_errno(code),
             "renaming into place: " + describe_errno(code));
        discard();
        return false;
    }
    temporary_.clear();
    return true;
}

// Keeps the description of a failure: the full message and the step with its cause.
void StagedFile::fail(std::string message, std::string reason) {
    error_ = std::move(message);
    reason_ = std::move(reason);
}

// Closes the stream, if still open, and removes the temporary file.
void StagedFile::discard() {
    if (stream_ != nullptr) std::fclose(std::exchange(stream_, nullptr));
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    temporary_.clear();
}

}  // namespace tarno
