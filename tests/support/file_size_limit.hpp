// A real write error without a full disk: lowers the file-size limit for the
// lifetime of the object, so that writes past `bytes` fail with EFBIG
// ("File too large"); SIGXFSZ is ignored meanwhile.
#pragma once

#include <sys/resource.h>   // RLIMIT_FSIZE

#include <csignal>

namespace tarno::testing {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = nullptr;
};

}  // namespace tarno::testing
