// An output file that appears under its name only once it is complete.
//
// The bytes go to a temporary file ".name.tmp-<pid>-<n>" in the directory of
// the file finally written (the same file system, so the last step is atomic);
// commit() flushes them to disk and puts them in place. A StagedFile that is
// destroyed without a successful commit() removes its temporary file, so a
// full disk or a write error never leaves a half file, and a file that was to
// be replaced stays as it was.
//
//   StagedFile out(path, StagedFile::Mode::create_new);
//   if (!out.is_open()) report(out.error());         // or out.target_exists()
//   out.write("...");                                // or std::fwrite(..., out.stream())
//   if (!out.commit()) report(out.error());
//
// Replacing (Mode::replace) keeps what the user set up around the old file:
//  - a symbolic link stays a link: the file it points to gets the new contents
//    (the temporary file is made in that file's directory);
//  - the mode, owner and group of the old file are kept (the owner only where
//    the process may give files away, i.e. as root);
//  - a file with several hard links is rewritten in place once the complete
//    new contents are safely on disk in the temporary file, so every link
//    sees them (a full disk fails before the old file is touched; this step
//    is not atomic: a crash during the copy leaves the file partly new).
// Mode::create_new holds to the last step: a file that appears under the name
// while the new one is being written is never replaced (commit() fails and
// target_exists() becomes true).
//
// Temporary files do not outlive the program: every live one is removed by a
// normal exit, by SIGINT, SIGTERM and SIGHUP (where those would end the
// program) and by remove_live_temporaries() on a forced exit; those left by a
// killed process are removed by the next StagedFile made in their directory.
#pragma once

#include <cstdio>   // the stream the caller writes to
#include <string>
#include <string_view>

namespace tarno {

class StagedFile {
public:
    enum class Mode {
        create_new,     // refuse when the target exists, at the start and at commit() (target_exists() tells)
        replace,        // create the target or replace it (the user agreed)
    };

    StagedFile(std::string target, Mode mode);   // creates the temporary file; check is_open()
    ~StagedFile();                               // removes the temporary file unless committed
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;

    bool is_open() const { return stream_ != nullptr; }
    bool target_exists() const { return target_exists_; } // create_new was refused for an existing target (at the start or at commit())
    const std::string& error() const { return error_; }   // the failed step, naming the file and the cause
    const std::string& reason() const { return reason_; } // the same without the file names ("writing: No space left on device")
    const std::string& target() const { return target_; }
    std::FILE* stream() { return stream_; }               // buffered binary stream; write errors are caught by commit()
    bool write(std::string_view bytes);                   // appends bytes; false after the first failure (commit() then reports it)
    bool failed() const;                                  // a write has failed: stop writing, commit() will report
    bool commit();                                        // flush, sync, close, put in place; false (with error()) on failure
    void abandon();                                       // gives up: removes the temporary file now; commit() then fails

private:
    void discard();                                       // closes and removes the temporary file
    void fail(std::string message, std::string reason);   // sets error() and reason()
    bool place_as_new();                                  // create_new: rename onto a name that must still be free
    bool place_over_old();                                // replace: rename, or rewrite a hard-linked file in place
    bool rewrite_in_place();                              // copies the temporary file into the target itself
    bool renamed(int code);                               // reports a failed rename (errno `code`) or syncs the directory

    std::string target_;
    std::string written_;                                 // target_ with its symbolic links followed: the file finally written
    std::string temporary_;
    int live_slot_ = -1;                                  // entry of temporary_ in the list of live temporaries
    std::FILE* stream_ = nullptr;
    Mode mode_ = Mode::create_new;
    bool target_exists_ = false;
    int write_errno_ = 0;                                 // cause of the first failed write()
    std::string error_;
    std::string reason_;
};

// Removes the temporary file of every StagedFile of this process not yet
// committed or removed. Safe in a signal handler; for exits that unwind
// nothing (a forced exit). A forked child's exit leaves its parent's alone.
void remove_live_temporaries();

}  // namespace tarno
