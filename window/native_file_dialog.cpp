// Native file dialogs through zenity or kdialog.
#include "window/native_file_dialog.hpp"

#include "window/file_chooser.hpp"  // parse_filter_list

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>      // open /dev/null for the helper's stdin and stderr
#include <signal.h>     // kill
#include <spawn.h>      // posix_spawnp: no shell, so captions need no quoting
#include <sys/wait.h>   // waitpid
#include <unistd.h>     // pipe, read, access

extern char** environ;

namespace tarno::window_internal {

static std::atomic<pid_t> RUNNING_DIALOG{0};  // pid of an open helper, 0 = none

std::string find_on_path(std::string_view program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string_view rest(path);
    while (true) {
        size_t colon = rest.find(':');
        std::string directory(rest.substr(0, colon));
        if (directory.empty()) directory = ".";
        std::string candidate = directory + "/" + std::string(program);
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        rest = rest.substr(colon + 1);
    }
}

std::vector<std::string> desktop_patterns(std::string_view pattern) {
    std::vector<std::string> plain;
    if (pattern == "*.*" || pattern == "*") {
        plain.emplace_back("*");
    } else if (pattern.size() > 2 && pattern.substr(pattern.size() - 2) == ".*") {
        // "run*.*" also lists "run5" without an extension; "run*" covers both.
        std::string stem(pattern.substr(0, pattern.size() - 2));
        if (stem.back() != '*') plain.push_back(std::string(pattern));
        plain.push_back(stem);
    } else {
        plain.emplace_back(pattern);
    }
    std::vector<std::string> patterns;
    for (const std::string& p : plain) {
        std::string folded;
        for (char ch : p) {
            unsigned char u = static_cast<unsigned char>(ch);
            if (std::isalpha(u)) {
                folded += '[';
                folded += static_cast<char>(std::tolower(u));
                folded += static_cast<char>(std::toupper(u));
                folded += ']';
            } else {
                folded += ch;
            }
        }
        patterns.push_back(folded);
    }
    return patterns;
}

// The patterns of one filter, blank-separated, for the helper's filter syntax.
static std::string joined_patterns(const FileFilter& filter) {
    std::string joined;
    for (const std::string& pattern : filter.patterns)
        for (const std::string& p : desktop_patterns(pattern)) joined += (joined.empty() ? "" : " ") + p;
    return joined;
}

std::optional<std::vector<std::string>> native_dialog_command(std::string_view tool, std::string_view caption,
                                                              std::string_view filter_list, const std::string& directory) {
    std::vector<FileFilter> filters = parse_filter_list(filter_list);
    std::string folder = directory.empty() || directory.back() == '/' ? directory : directory + "/";
    if (tool == "zenity") {
        std::vector<std::string> command = {"zenity", "--file-selection", "--title=" + std::string(caption),
                                            "--filename=" + folder};
        for (const FileFilter& f : filters) {
            std::string name = f.description;
            for (char& ch : name) if (ch == '|') ch = '/';  // '|' separates name and patterns
            command.push_back("--file-filter=" + name + " | " + joined_patterns(f));
        }
        return command;
    }
    if (tool == "kdialog") {
        std::string filter_lines;
        for (const FileFilter& f : filters) {
            std::string name = f.description;
            for (char& ch : name) if (ch == '\n') ch = ' ';
            filter_lines += (filter_lines.empty() ? "" : "\n") + joined_patterns(f) + "|" + name;
        }
        return std::vector<std::string>{"kdialog", "--title", std::string(caption), "--getopenfilename", folder, filter_lines};
    }
    return std::nullopt;
}

// KDE users get their own dialog first, everybody else zenity's.
static std::string pick_tool() {
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    bool kde = desktop != nullptr && std::string_view(desktop).find("KDE") != std::string_view::npos;
    const char* order[2] = {kde ? "kdialog" : "zenity", kde ? "zenity" : "kdialog"};
    for (const char* tool : order)
        if (!find_on_path(tool).empty()) return tool;
    return {};
}

// Starts `command` with its stdout on a pipe; the pid, or 0 when it could not start.
static pid_t spawn_helper(const std::vector<std::string>& command, int& out_read_end) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);  // toolkit chatter
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_ends[1]);
    if (failed != 0) {
        close(pipe_ends[0]);
        return 0;
    }
    out_read_end = pipe_ends[0];
    return pid;
}

NativeDialogResult run_native_file_dialog(std::string_view caption, std::string_view filter_list,
                                          const std::string& directory) {
    std::string tool = pick_tool();
    if (tool.empty()) return {NativeDialogOutcome::unavailable, {}};
    std::vector<std::string> command = *native_dialog_command(tool, caption, filter_list, directory);
    int output = -1;
    pid_t pid = spawn_helper(command, output);
    if (pid == 0) return {NativeDialogOutcome::unavailable, {}};
    RUNNING_DIALOG = pid;

    std::string path;
    char buffer[4096];
    for (ssize_t got; (got = read(output, buffer, sizeof buffer)) != 0;) {
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        path.append(buffer, static_cast<size_t>(got));
    }
    close(output);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    RUNNING_DIALOG = 0;

    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    if (!WIFEXITED(status)) return {NativeDialogOutcome::cancelled, {}};  // killed: the window is closing
    int code = WEXITSTATUS(status);
    if (code == 0) return {path.empty() ? NativeDialogOutcome::cancelled : NativeDialogOutcome::chosen, path};
    if (code == 1) return {NativeDialogOutcome::cancelled, {}};
    return {NativeDialogOutcome::unavailable, {}};  // the helper could not show itself (no display, broken install)
}

void cancel_native_file_dialog() {
    pid_t pid = RUNNING_DIALOG.load();
    if (pid > 0) kill(pid, SIGTERM);
}

}  // namespace tarno::window_internal
