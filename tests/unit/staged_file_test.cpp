// Staged output files: nothing appears under the target name until commit(),
// an existing file is never replaced unless asked (not even one that appears
// while the new one is written), a replaced file keeps its links, mode and
// owner, and no temporary file outlives a failure, the program, or a killed
// process.
#include "common/staged_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>       // children that end while writing
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/file_size_limit.hpp"
#include "tests/support/fixture_dir.hpp"

namespace tarno {
namespace {

using testing::FileSizeLimit;
using testing::FixtureDir;
using testing::files_in;

// Names of the files in the fixture directory, in sorted order.
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

// Writes `contents` to `path` through a StagedFile and commits it.
void write_staged(const std::string& path, StagedFile::Mode mode, std::string_view contents) {
    StagedFile out(path, mode);
    ASSERT_TRUE(out.is_open()) << out.error();
    out.write(contents);
    ASSERT_TRUE(out.commit()) << out.error();
}

struct stat status_of(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(lstat(path.c_str(), &info), 0) << path;
    return info;
}

TEST(staged_file, replace_keeps_mode_owner_and_group) {
    FixtureDir dir;
    std::string path = dir.write("out.spe", "old contents");
    // Only root may give a file away; anyone may keep a group of their own.
    uid_t owner = geteuid() == 0 ? 1234 : geteuid();
    gid_t group = getegid();
    if (geteuid() == 0) {
        group = 5678;
    } else {
        std::vector<gid_t> groups(static_cast<size_t>(getgroups(0, nullptr)));
        getgroups(static_cast<int>(groups.size()), groups.data());
        for (gid_t g : groups)
            if (g != getegid()) group = g;
    }
    ASSERT_EQ(chown(path.c_str(), owner, group), 0);
    ASSERT_EQ(chmod(path.c_str(), 02640), 0);
    write_staged(path, StagedFile::Mode::replace, "new");
    EXPECT_EQ(dir.read("out.spe"), "new");
    struct stat info = status_of(path);
    EXPECT_EQ(info.st_mode & 07777, 02640u);
    EXPECT_EQ(info.st_uid, owner);
    EXPECT_EQ(info.st_gid, group);
}

TEST(staged_file, replace_through_a_symbolic_link_keeps_the_link) {
    struct Case {
        const char* name;
        const char* link_to;        // as stored in the link
        const char* file;           // the file the link leads to, in the fixture directory
        bool file_exists;
    };
    const Case cases[] = {
        {"beside", "real.spe", "real.spe", true},
        {"other directory", "data/real.spe", "data/real.spe", true},
        {"chain of links", "hop.spe", "data/real.spe", true},
        {"dangling", "data/new.spe", "data/new.spe", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDir dir;
        std::filesystem::create_directory(dir.file("data"));
        if (c.file_exists) dir.write(c.file, "old contents");
        std::filesystem::create_symlink("data/real.spe", dir.file("hop.spe"));
        std::string link = dir.file("link.spe");
        std::filesystem::create_symlink(c.link_to, link);

        StagedFile out(link, StagedFile::Mode::replace);
        ASSERT_TRUE(out.is_open()) << out.error();
        out.write("new contents");
        // The temporary file sits beside the file written, so the rename stays in its directory.
        std::string directory = std::filesystem::path(dir.file(c.file)).parent_path();
        size_t temporaries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            temporaries += entry.path().filename().string().find(".tmp-") != std::string::npos;
        EXPECT_EQ(temporaries, 1u);
        ASSERT_TRUE(out.commit()) << out.error();

        EXPECT_TRUE(std::filesystem::is_symlink(link));
        EXPECT_EQ(std::filesystem::read_symlink(link), c.link_to);
        EXPECT_EQ(dir.read(c.file), "new contents");
        EXPECT_EQ(dir.read("link.spe"), "new contents");
    }
}

TEST(staged_file, links_that_loop_are_an_open_failure) {
    FixtureDir dir;
    std::filesystem::create_symlink("b.spe", dir.file("a.spe"));
    std::filesystem::create_symlink("a.spe", dir.file("b.spe"));
    StagedFile out(dir.file("a.spe"), StagedFile::Mode::replace);
    EXPECT_FALSE(out.is_open());
    EXPECT_NE(out.error().find("symbolic links"), std::string::npos) << out.error();
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("a.spe")));
}

TEST(staged_file, replace_rewrites_a_hard_linked_file_for_all_its_names) {
    for (std::string contents : {std::string("short"), std::string(300 * 1024, 'L')}) {
        SCOPED_TRACE(contents.size());
        FixtureDir dir;
        std::string path = dir.write("a.spe", std::string(1000, 'o'));
        std::filesystem::create_hard_link(path, dir.file("b.spe"));
        ino_t inode = status_of(path).st_ino;
        write_staged(dir.file("a.spe"), StagedFile::Mode::replace, contents);
        EXPECT_EQ(dir.read("a.spe"), contents);
        EXPECT_EQ(dir.read("b.spe"), contents);
        EXPECT_EQ(status_of(path).st_ino, inode);
        EXPECT_EQ(status_of(path).st_nlink, 2u);
        EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.spe", "b.spe"}));
    }
}

TEST(staged_file, full_disk_leaves_a_hard_linked_file_untouched) {
    FixtureDir dir;
    std::string path = dir.write("a.spe", "old contents");
    std::filesystem::create_hard_link(path, dir.file("b.spe"));
    std::string block(256 * 1024, 'x');
    {
        FileSizeLimit limit(100 * 1024);
        StagedFile out(path, StagedFile::Mode::replace);
        ASSERT_TRUE(out.is_open()) << out.error();
        for (int i = 0; i < 4; ++i) out.write(block);
        EXPECT_FALSE(out.commit());
    }
    EXPECT_EQ(dir.read("a.spe"), "old contents");
    EXPECT_EQ(dir.read("b.spe"), "old contents");
    EXPECT_EQ(files_in(dir), (std::vector<std::string>{"a.spe", "b.spe"}));
}

TEST(staged_file, a_file_made_while_writing_is_replaced_only_when_agreed) {
    struct Case {
        StagedFile::Mode mode;
        bool committed;
        const char* contents_after;
    };
    const Case cases[] = {
        {StagedFile::Mode::create_new, false, "made meanwhile"},
        {StagedFile::Mode::replace, true, "staged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.committed ? "replace" : "create_new");
        FixtureDir dir;
        StagedFile out(dir.file("out.spe"), c.mode);
        ASSERT_TRUE(out.is_open()) << out.error();
        out.write("staged");
        dir.write("out.spe", "made meanwhile");     // another program, between the check and the commit
        EXPECT_EQ(out.commit(), c.committed) << out.error();
        EXPECT_EQ(out.target_exists(), !c.committed);
        EXPECT_EQ(dir.read("out.spe"), c.contents_after);
        EXPECT_EQ(files_in(dir), std::vector<std::string>{"out.spe"});
    }
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

TEST(staged_file, abandon_removes_the_temporary_at_once) {
    FixtureDir dir;
    StagedFile out(dir.file("out.spe"), StagedFile::Mode::create_new);
    ASSERT_TRUE(out.is_open());
    out.write("given up");
    EXPECT_EQ(files_in(dir).size(), 1u);
    out.abandon();
    EXPECT_TRUE(files_in(dir).empty());
    EXPECT_FALSE(out.commit());
    EXPECT_TRUE(files_in(dir).empty());
}

// Returns the id of a process that has ended (a child, started and reaped).
pid_t ended_process() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST(staged_file, stale_temporaries_of_ended_processes_are_removed) {
    FixtureDir dir;
    std::string dead = std::to_string(ended_process());
    std::string alive = std::to_string(getppid());
    std::string self = std::to_string(getpid());
    dir.write(".old.spe.tmp-" + dead + "-0", "left by a killed save");
    dir.write(".other.txt.tmp-" + dead + "-17", "left by a killed save");
    dir.write(".busy.spe.tmp-" + alive + "-3", "being written by a live process");
    dir.write(".mine.spe.tmp-" + self + "-99", "being written by this process");
    dir.write(".notes.tmp-" + dead, "not of our pattern");
    dir.write("data.tmp-" + dead + "-1", "not hidden: not ours");
    FixtureDir elsewhere;
    elsewhere.write(".old.spe.tmp-" + dead + "-0", "another directory");

    write_staged(dir.file("new.spe"), StagedFile::Mode::create_new, "new");
    std::vector<std::string> expected{".busy.spe.tmp-" + alive + "-3", ".mine.spe.tmp-" + self + "-99",
                                      ".notes.tmp-" + dead, "data.tmp-" + dead + "-1", "new.spe"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files_in(dir), expected);
    EXPECT_EQ(files_in(elsewhere).size(), 1u);
}

// Runs `end` in a child process that is writing a staged file in `dir`;
// returns the child's wait status.
int status_of_child_ending_while_writing(const FixtureDir& dir, const std::function<void()>& end) {
    pid_t child = fork();
    if (child == 0) {
        auto* out = new StagedFile(dir.file("out.spe"), StagedFile::Mode::create_new);  // never destroyed
        if (!out->is_open()) _exit(100);
        out->write("partial");
        std::fflush(out->stream());
        end();
        _exit(101);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

TEST(staged_file, temporaries_are_removed_on_every_way_out) {
    struct Case {
        const char* name;
        std::function<void()> end;
        int signal;         // the signal that ends the child, 0 for an exit
    };
    const Case cases[] = {
        {"SIGTERM", [] { raise(SIGTERM); }, SIGTERM},
        {"SIGINT", [] { raise(SIGINT); }, SIGINT},
        {"SIGHUP", [] { raise(SIGHUP); }, SIGHUP},
        {"exit", [] { std::exit(3); }, 0},
        {"forced exit", [] { remove_live_temporaries(); std::_Exit(3); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FixtureDir dir;
        StagedFile held(dir.file("held.spe"), StagedFile::Mode::create_new);  // this process's: a child's end leaves it
        ASSERT_TRUE(held.is_open());
        int status = status_of_child_ending_while_writing(dir, c.end);
        if (c.signal != 0) {
            ASSERT_TRUE(WIFSIGNALED(status)) << status;
            EXPECT_EQ(WTERMSIG(status), c.signal);   // the signal still ends the process
        } else {
            ASSERT_TRUE(WIFEXITED(status)) << status;
            EXPECT_EQ(WEXITSTATUS(status), 3);
        }
        std::vector<std::string> left = files_in(dir);
        ASSERT_EQ(left.size(), 1u);
        EXPECT_TRUE(left[0].starts_with(".held.spe.tmp-")) << left[0];
    }
}

}  // namespace
}  // namespace tarno
