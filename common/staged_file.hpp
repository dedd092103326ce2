// An output file that appears under its name only once it is complete.
//
// The bytes go to a temporary file in the target's own directory (the same
// file system, so the final rename is atomic); commit() flushes them to disk
// and renames the temporary file onto the target. A StagedFile that is
// destroyed without a successful commit() removes its temporary file, so a
// full disk or a write error never leaves a half file, and a file that was to
// be replaced stays as it was.
//
//   StagedFile out(path, StagedFile::Mode::create_new);
//   if (!out.is_open()) report(out.error());         // or out.target_exists()
//   out.write("...");                                // or std::fwrite(..., out.stream())
//   if (!out.commit()) report(out.error());
#pragma once

#include <cstdio>   // the stream the caller writes to
#include <string>
#include <string_view>

namespace tarno {

class StagedFile {
public:
    enum class Mode {
        create_new,     // refuse when the target exists (target_exists() tells)
        replace,        // create the target or replace it
    };

    StagedFile(std::string target, Mode mode);   // creates the temporary file; check is_open()
    ~StagedFile();                               // removes the temporary file unless committed
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;
    StagedFile(StagedFile&& other) noexcept;
    StagedFile& operator=(StagedFile&& other) noexcept;

    bool is_open() const { return stream_ != nullptr; }
    bool target_exists() const { return target_exists_; } // create_new was refused for an existing target
    const std::string& error() const { return error_; }   // the failed step, naming the file and the cause
    const std::string& reason() const { return reason_; } // the same without the file names ("writing: No space left on device")
    const std::string& target() const { return target_; }
    std::FILE* stream() { return stream_; }               // buffered binary stream; write errors are caught by commit()
    bool write(std::string_view bytes);                   // appends bytes; false after the first failure (commit() then reports it)
    bool failed() const;                                  // a write has failed: stop writing, commit() will report
    bool commit();                                        // flush, sync, close, rename; false (with error()) on failure

private:
    void discard();                                       // closes and removes the temporary file
    void fail(std::string message, std::string reason);   // sets error() and reason()

    std::string target_;
    std::string temporary_;
    std::FILE* stream_ = nullptr;
    bool target_exists_ = false;
    int write_errno_ = 0;                                 // cause of the first failed write()
    std::string error_;
    std::string reason_;
};

}  // namespace tarno
