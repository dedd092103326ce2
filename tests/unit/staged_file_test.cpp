// Staged output files: nothing appears under the target name until commit(),
// an existing file is never replaced unless asked, and a failed write leaves
// neither a half file nor a temporary file behind.
#include "common/staged_file.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>   // RLIMIT_FSIZE: a real write error without a full disk
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

using testing::FixtureDir;

// Names of the files in the fixture directory, in sorted order.
std::vector<std::string> files_in(const FixtureDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// Lowers the file-size limit for the lifetime of the object, so that writes
// past `bytes` fail with EFBIG (SIGXFSZ ignored meanwhile).
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

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = nullptr;
};

TEST(staged_file, appears_only_at_commit) {
    FixtureDir dir;
    StagedFile out(dir.file("out.spe"), StagedFile::Mode::create_new);
    ASSERT_TRUE(out.is_open()) << out.error();
    EXPECT_TRUE(out.write("first "));
    std::fputs("second", out.stream());
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.spe")));
    ASSERT_TRUE(out.commit()) << out.error();
    EXPECT_EQ(dir.read("out.spe"), "first second");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.spe"});
}

TEST(staged_file, abandoned_leaves_nothing) {
    FixtureDir dir;
    {
        StagedFile out(dir.file("out.spe"), StagedFile::Mode::create_new);
        ASSERT_TRUE(out.is_open());
        out.write("never committed");
    }
    EXPECT_TRUE(files_in(dir).empty());
}

TEST(staged_file, create_new_refuses_existing_target) {
    FixtureDir dir;
    dir.write("out.spe", "old");
    StagedFile out(dir.file("out.spe"), StagedFile::Mode::create_new);
    EXPECT_FALSE(out.is_open());
    EXPECT_TRUE(out.target_exists());
    EXPECT_EQ(dir.read("out.spe"), "old");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.spe"});
}

TEST(staged_file, replace_keeps_permissions_of_replaced_file) {
    FixtureDir dir;
    std::string path = dir.write("out.spe", "old contents");
    chmod(path.c_str(), 0640);
    StagedFile out(path, StagedFile::Mode::replace);
    ASSERT_TRUE(out.is_open()) << out.error();
    out.write("new");
    ASSERT_TRUE(out.commit()) << out.error();
    EXPECT_EQ(dir.read("out.spe"), "new");
    struct stat info {};
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(staged_file, missing_directory_is_an_open_failure) {
    FixtureDir dir;
    StagedFile out(dir.file("no-such-dir/out.spe"), StagedFile::Mode::create_new);
    EXPECT_FALSE(out.is_open());
    EXPECT_FALSE(out.target_exists());
    EXPECT_NE(out.error().find("no-such-dir"), std::string::npos) << out.error();
    EXPECT_NE(out.error().find("No such file"), std::string::npos) << out.error();
}

TEST(staged_file, write_error_leaves_old_file_and_no_temporary) {
    FixtureDir dir;
    dir.write("out.spe", "old contents");
    std::string block(256 * 1024, 'x');
    bool committed = true;
    std::string error, reason;
    {
        FileSizeLimit limit(100 * 1024);
        StagedFile out(dir.file("out.spe"), StagedFile::Mode::replace);
        ASSERT_TRUE(out.is_open()) << out.error();
        for (int i = 0; i < 8 && !out.failed(); ++i) out.write(block);
        EXPECT_TRUE(out.failed());
        committed = out.commit();
        error = out.error();
        reason = out.reason();
    }
    EXPECT_FALSE(committed);
    EXPECT_NE(error.find("out.spe"), std::string::npos) << error;
    EXPECT_NE(error.find("File too large"), std::string::npos) << error;
    EXPECT_EQ(reason, "writing: File too large");
    EXPECT_EQ(dir.read("out.spe"), "old contents");
    EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.spe"});
}

TEST(staged_file, write_error_through_stream_is_caught_at_commit) {
    FixtureDir dir;
    std::string block(256 * 1024, 'x');
    FileSizeLimit limit(100 * 1024);
    StagedFile out(dir.file("out.spe"), StagedFile::Mode::create_new);
    ASSERT_TRUE(out.is_open());
    for (int i = 0; i < 8; ++i) std::fwrite(block.data(), 1, block.size(), out.stream());
    EXPECT_FALSE(out.commit());
    EXPECT_NE(out.error().find("cannot write"), std::string::npos) << out.error();
    EXPECT_TRUE(files_in(dir).empty());
}

}  // namespace
}  // namespace tarno
