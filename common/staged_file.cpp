// Output files written under a temporary name and put in place.
//
// Sections:
//   [SECTION] Constants and file state
//   [SECTION] Live temporaries (a list a signal handler can read)
//   [SECTION] Paths: links, temporary names, stale temporaries
//   [SECTION] StagedFile
//   [SECTION] Putting the file in place
#include "common/staged_file.hpp"

#include <atomic>       // live-temporary slots, distinct temporary names
#include <cerrno>
#include <climits>      // PATH_MAX
#include <csignal>      // sigaction: temporaries removed on SIGINT, SIGTERM, SIGHUP
#include <cstdlib>      // atexit
#include <cstring>      // strerror, memcpy
#include <dirent.h>     // scanning a directory for stale temporaries
#include <fcntl.h>      // open with O_EXCL, fallocate
#include <mutex>        // call_once
#include <optional>
#include <stdio.h>      // renameat2, RENAME_NOREPLACE
#include <sys/stat.h>   // mode, owner and links of a file being replaced
#include <unistd.h>     // fsync, link, unlink, getpid, fchown
#include <utility>
#include <vector>

#include "common/fields.hpp"   // directory_part, name_part

namespace tarno {

// [SECTION] Constants and file state --------------------------------------------

static constexpr size_t STREAM_BUFFER_BYTES = 1 << 20;  // large writes for 10M-point spectra
static constexpr size_t COPY_BUFFER_BYTES = 1 << 20;    // rewriting a hard-linked file in place
static constexpr int MAX_LINK_HOPS = 40;                 // as the kernel's own limit before ELOOP
static constexpr int LIVE_SLOTS = 64;                    // temporaries remembered at once (more are rare: one per output being written)
static constexpr std::string_view TEMPORARY_MARK = ".tmp-";  // ".name.tmp-<pid>-<n>"

enum SlotState : int {
    SlotState_Free,         // unused
    SlotState_Filling,      // its path is being written: not to be read yet
    SlotState_Live,         // path names a temporary file being written
    SlotState_Removing,     // taken by remove_live_temporaries(): never reused
};

// One live temporary. The state is changed only by compare-and-swap, so a
// signal handler never reads a path while it is rewritten.
struct LiveSlot {
    std::atomic<int> state{SlotState_Free};
    pid_t process;          // the process writing it: a forked child's exit leaves its parent's alone
    char path[PATH_MAX];    // written while Filling, read while Live or Removing
};
static_assert(std::atomic<int>::is_always_lock_free, "the slots are read in signal handlers");

static LiveSlot live_slots[LIVE_SLOTS];            // set by the StagedFiles, read at exit and by signal handlers
static std::once_flag exit_cleanup_installed;      // atexit and signal handlers, installed by the first StagedFile
static std::atomic<unsigned> temporary_counter{0}; // distinct temporary names within the process

static std::string describe_errno(int code) { return std::strerror(code); }

// [SECTION] Live temporaries (a list a signal handler can read) ---------------------

// Remembers `path` as a live temporary; returns its slot, -1 when the list is
// full or the path too long (the file is then removed only by its StagedFile).
static int remember_temporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < LIVE_SLOTS; ++i) {
        int expected = SlotState_Free;
        if (!live_slots[i].state.compare_exchange_strong(expected, SlotState_Filling)) continue;
        live_slots[i].process = getpid();
        std::memcpy(live_slots[i].path, path.c_str(), path.size() + 1);
        live_slots[i].state.store(SlotState_Live);
        return i;
    }
    return -1;
}

// Forgets a temporary that was removed or put in place. A slot that the exit
// cleanup has taken stays taken: the process is ending.
static void forget_temporary(int slot) {
    if (slot < 0) return;
    int expected = SlotState_Live;
    live_slots[slot].state.compare_exchange_strong(expected, SlotState_Free);
}

// Removes every live temporary of this process (only atomics, getpid and
// unlink: async-signal-safe).
void remove_live_temporaries() {
    pid_t self = getpid();
    for (LiveSlot& slot : live_slots) {
        int expected = SlotState_Live;
        if (slot.state.load() != SlotState_Live || slot.process != self) continue;
        if (slot.state.compare_exchange_strong(expected, SlotState_Removing)) ::unlink(slot.path);
    }
}

// Signal handler: removes the temporaries, then lets the signal end the
// process as it would have (SA_RESETHAND has restored the default action; the
// raised signal is delivered when the handler returns).
static void remove_temporaries_and_end(int signal_number) {
    int saved_errno = errno;
    remove_live_temporaries();
    raise(signal_number);
    errno = saved_errno;
}

// Makes a normal exit and the signals that would end the program remove the
// live temporaries. A signal that is ignored (nohup) or handled by someone
// else is left alone.
static void install_exit_cleanup() {
    std::atexit(remove_live_temporaries);
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signal_number, nullptr, &current) != 0) continue;
        if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) continue;
        struct sigaction cleanup {};
        cleanup.sa_handler = remove_temporaries_and_end;
        sigemptyset(&cleanup.sa_mask);
        cleanup.sa_flags = SA_RESETHAND;
        sigaction(signal_number, &cleanup, nullptr);
    }
}

// [SECTION] Paths: links, temporary names, stale temporaries -------------------------

// Follows the symbolic links of `path` to the name that a write through it
// reaches (which may not exist yet: a dangling link makes its file). Nothing
// when the links go round in a loop.
static std::optional<std::string> follow_links(std::string path) {
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(PATH_MAX, '\0');
        ssize_t length = readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return path;
        link.resize(static_cast<size_t>(length));
        path = link.starts_with('/') ? link : std::string(directory_part(path)) + link;
    }
    return std::nullopt;
}

// Returns a name beside `path` that no other file uses yet (".name.tmp-pid-n").
static std::string temporary_name_for(const std::string& path) {
    return std::string(directory_part(path)) + "." + std::string(name_part(path)) + std::string(TEMPORARY_MARK) +
           std::to_string(getpid()) + "-" + std::to_string(temporary_counter.fetch_add(1));
}

// Returns true when `text` is a non-empty run of at most `most` digits.
static bool is_digit_run(std::string_view text, size_t most) {
    if (text.empty() || text.size() > most) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

// Returns the process id written in a temporary name of ours
// (".name.tmp-<pid>-<n>"); 0 when `name` is not one.
static pid_t temporary_owner(std::string_view name) {
    size_t mark = name.rfind(TEMPORARY_MARK);
    if (!name.starts_with('.') || mark == std::string_view::npos || mark < 2) return 0;
    std::string_view numbers = name.substr(mark + TEMPORARY_MARK.size());
    size_t dash = numbers.find('-');
    if (dash == std::string_view::npos) return 0;
    std::string_view pid = numbers.substr(0, dash);
    if (!is_digit_run(pid, 9) || !is_digit_run(numbers.substr(dash + 1), 10)) return 0;
    return static_cast<pid_t>(std::stol(std::string(pid)));
}

// Removes the temporaries of ours in `directory` that a process which no
// longer exists left behind (killed while writing). Those of a live process,
// this one included, stay, and so do files of other users.
static void remove_stale_temporaries(const std::string& directory) {
    DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
    if (dir == nullptr) return;
    pid_t self = getpid();
    uid_t user = geteuid();
    while (dirent* entry = readdir(dir)) {
        pid_t owner = temporary_owner(entry->d_name);
        if (owner <= 0 || owner == self) continue;
        if (kill(owner, 0) == 0 || errno != ESRCH) continue;  // alive (EPERM: alive, another user's)
        struct stat info {};
        if (fstatat(dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (!S_ISREG(info.st_mode) || info.st_uid != user) continue;
        unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

// Gives a new file the owner, group and mode of the file it replaces. Only
// root may give a file away, so the owner is kept there; a group the user
// belongs to is kept in any case. The mode comes last: a change of owner
// clears the set-id bits.
static void take_owner_and_mode(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // not a group of ours: the new file keeps the user's group
    }
    fchmod(fd, old.st_mode & 07777);
}

// Writes a change of directory entries (a rename or a link) to disk. A failure
// is not reported: the file is in place by then.
static void sync_directory_of(const std::string& path) {
    std::string directory(directory_part(path));
    int fd = ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

// A file descriptor closed when it goes out of scope.
struct OwnedFd {
    int fd = -1;
    explicit OwnedFd(int descriptor) : fd(descriptor) {}
    ~OwnedFd() {
        if (fd >= 0) ::close(fd);
    }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
};

// [SECTION] StagedFile ----------------------------------------------------------------

// Creates the temporary file; on failure is_open() is false and error() says why.
StagedFile::StagedFile(std::string target, Mode mode) : target_(std::move(target)), mode_(mode) {
    std::call_once(exit_cleanup_installed, install_exit_cleanup);
    struct stat existing {};
    if (lstat(target_.c_str(), &existing) == 0 && mode == Mode::create_new) {
        target_exists_ = true;
        fail(target_ + ": file exists", "file exists");
        return;
    }
    std::optional<std::string> written = follow_links(target_);
    if (!written) {
        fail(target_ + ": " + describe_errno(ELOOP), "following links: " + describe_errno(ELOOP));
        return;
    }
    written_ = std::move(*written);
    bool replacing = lstat(written_.c_str(), &existing) == 0;
    if (replacing && !S_ISREG(existing.st_mode)) {
        fail(target_ + ": not a regular file", "replacing: not a regular file");
        return;
    }
    std::string directory(directory_part(written_));
    remove_stale_temporaries(directory);
    // A new file gets the usual 0666 & ~umask; a replacing one is private until it has the old file's mode.
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary_ = temporary_name_for(written_);
        fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, replacing ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int code = errno;
        fail("cannot create a file in " + (directory.empty() ? std::string(".") : directory) + ": " + describe_errno(code),
             "creating a temporary file: " + describe_errno(code));
        temporary_.clear();
        return;
    }
    live_slot_ = remember_temporary(temporary_);
    if (replacing) take_owner_and_mode(fd, existing);
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
        written_ = std::move(other.written_);
        temporary_ = std::exchange(other.temporary_, std::string());
        live_slot_ = std::exchange(other.live_slot_, -1);
        stream_ = std::exchange(other.stream_, nullptr);
        mode_ = other.mode_;
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

// Flushes the data to disk and puts the file in place. Returns false, with
// error() naming the step, when any of that fails; the temporary file is then
// removed and the target left as it was.
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
    bool placed = mode_ == Mode::create_new ? place_as_new() : place_over_old();
    if (!placed) {
        discard();
        return false;
    }
    forget_temporary(std::exchange(live_slot_, -1));
    temporary_.clear();
    return true;
}

// Gives up the file: closes and removes the temporary file at once.
void StagedFile::abandon() { discard(); }

// Keeps the description of a failure: the full message and the step with its cause.
void StagedFile::fail(std::string message, std::string reason) {
    error_ = std::move(message);
    reason_ = std::move(reason);
}

// Closes the stream, if still open, and removes the temporary file.
void StagedFile::discard() {
    if (stream_ != nullptr) std::fclose(std::exchange(stream_, nullptr));
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    forget_temporary(std::exchange(live_slot_, -1));
    temporary_.clear();
}

// [SECTION] Putting the file in place -------------------------------------------------

// Gives `from` the name `to` when that name is free, through a hard link (which
// refuses an existing name) for file systems without an atomic no-replace
// rename; those without hard links get the name claimed first, then the
// rename. Returns 0 or the errno of the failure (EEXIST: the name is taken).
static int link_into_place(const char* from, const char* to) {
    if (::link(from, to) == 0) {
        ::unlink(from);
        return 0;
    }
    int code = errno;
    if (code != EPERM && code != ENOSYS && code != EOPNOTSUPP) return code;
    int claim = ::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) return errno;
    ::close(claim);
    if (std::rename(from, to) == 0) return 0;
    code = errno;
    ::unlink(to);
    return code;
}

// Gives the temporary file the target's name, which must still be free: a file
// that appeared there meanwhile is never replaced.
bool StagedFile::place_as_new() {
    const char* from = temporary_.c_str();
    const char* to = written_.c_str();
    int code = renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0 ? 0 : errno;
    if (code == EINVAL || code == ENOSYS || code == EOPNOTSUPP) code = link_into_place(from, to);
    if (code == EEXIST) {
        target_exists_ = true;
        fail(target_ + ": file exists (made while this one was written); it is left as it was",
             "file exists: made while this one was written, left as it was");
        return false;
    }
    return renamed(code);
}

// Replaces the file under the target's name (links followed). A file with
// other hard links is rewritten in place, so that all its names see the new
// contents; any other is replaced by a rename.
bool StagedFile::place_over_old() {
    struct stat old {};
    if (lstat(written_.c_str(), &old) == 0 && S_ISREG(old.st_mode) && old.st_nlink > 1) return rewrite_in_place();
    return renamed(std::rename(temporary_.c_str(), written_.c_str()) == 0 ? 0 : errno);
}

// Finishes a rename into place: reports it when it failed (`code` is its
// errno), or writes the new directory entry to disk. True when it was done.
bool StagedFile::renamed(int code) {
    if (code != 0) {
        fail("cannot rename " + temporary_ + " to " + target_ + ": " + describe_errno(code),
             "renaming into place: " + describe_errno(code));
        return false;
    }
    sync_directory_of(written_);
    return true;
}

// Copies the complete temporary file into the target itself and removes the
// temporary. The room is reserved first, so a full disk is found before the
// target is touched; a failure after that (an I/O error) leaves it partly new,
// and the message says so.
bool StagedFile::rewrite_in_place() {
    OwnedFd from(::open(temporary_.c_str(), O_RDONLY | O_CLOEXEC));
    OwnedFd to(from.fd < 0 ? -1 : ::open(written_.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat source {};
    if (from.fd < 0 || to.fd < 0 || fstat(from.fd, &source) != 0) {
        int code = errno;
        fail("cannot write " + target_ + ": " + describe_errno(code), "opening for writing: " + describe_errno(code));
        return false;
    }
    if (source.st_size > 0 && fallocate(to.fd, FALLOC_FL_KEEP_SIZE, 0, source.st_size) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS && errno != EINVAL) {
        int code = errno;
        fail("cannot write " + target_ + ": " + describe_errno(code), "writing: " + describe_errno(code));
        return false;
    }
    std::vector<char> buffer(COPY_BUFFER_BYTES);
    int code = 0;
    for (;;) {
        ssize_t got = ::read(from.fd, buffer.data(), buffer.size());
        if (got <= 0) {
            code = got < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < got && code == 0;) {
            ssize_t put = ::write(to.fd, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) code = errno;
            else done += put;
        }
        if (code != 0) break;
    }
    if (code == 0 && ftruncate(to.fd, source.st_size) != 0) code = errno;
    if (code == 0 && fsync(to.fd) != 0) code = errno;
    if (code == 0 && ::close(std::exchange(to.fd, -1)) != 0) code = errno;
    if (code != 0) {
        fail("cannot write " + target_ + " in place (it may be left partly rewritten): " + describe_errno(code),
             "writing in place: " + describe_errno(code));
        return false;
    }
    ::unlink(temporary_.c_str());
    return true;
}

}  // namespace tarno
