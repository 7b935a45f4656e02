#pragma once
// Running the built id-reader-cli as a whole process from a test: its
// standard output and error captured in files, its standard input from a
// text, its exit status or the signal that ended it.

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace idr::test {

namespace fs = std::filesystem;

struct CliRun {
    int status = -1;  // exit status, or -1 when killed by a signal
    int signal = 0;
    std::string out, err;
};

inline std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Files the tests write, removed when the tests end.
struct ScratchDir {
    fs::path path = fs::path(IDR_BINARY_DIR) / "tests" / ("cli-scratch-" + std::to_string(getpid()));
    ScratchDir() { fs::create_directories(path); }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
};

inline const fs::path& scratch_dir() {
    static const ScratchDir dir;
    return dir.path;
}

inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Where the program's standard output goes: a file the test reads back, a
// full disk, or nowhere (closed).
enum class Stdout { File, Full, Closed };

// A started program; finish() waits for it and collects what it wrote.
class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, Stdout stdout_to = Stdout::File,
               const std::optional<std::string>& stdin_text = std::nullopt)
        : stdout_to_(stdout_to) {
        const fs::path in = scratch_dir() / "stdin";
        if (stdin_text) std::ofstream(in, std::ios::binary) << *stdin_text;
        std::vector<std::string> argv_strings = {IDR_CLI_PATH};
        argv_strings.insert(argv_strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : argv_strings) argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, stdin_text ? in.c_str() : "/dev/null", O_RDONLY, 0);
        if (stdout_to == Stdout::Closed) {
            posix_spawn_file_actions_addclose(&actions, 1);
        } else {
            posix_spawn_file_actions_addopen(&actions, 1, stdout_to == Stdout::Full ? "/dev/full" : out_.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        }
        posix_spawn_file_actions_addopen(&actions, 2, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0) {
            ADD_FAILURE() << "cannot start " << argv[0];
            pid_ = 0;
        }
    }
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;
    ~CliProcess() {
        if (pid_ > 0) finish();
    }

    pid_t pid() const { return pid_; }
    // What it has written to stdout so far.
    std::string out_so_far() const { return slurp(out_); }

    CliRun finish() {
        CliRun run;
        if (pid_ <= 0) return run;
        int wstatus = 0;
        waitpid(pid_, &wstatus, 0);
        pid_ = 0;
        if (WIFEXITED(wstatus)) run.status = WEXITSTATUS(wstatus);
        if (WIFSIGNALED(wstatus)) run.signal = WTERMSIG(wstatus);
        run.out = stdout_to_ == Stdout::File ? slurp(out_) : "";
        run.err = slurp(err_);
        return run;
    }

private:
    Stdout stdout_to_;
    fs::path out_ = scratch_dir() / "stdout", err_ = scratch_dir() / "stderr";
    pid_t pid_ = 0;
};

inline CliRun run_cli(const std::vector<std::string>& args, Stdout stdout_to = Stdout::File,
                      const std::optional<std::string>& stdin_text = std::nullopt) {
    return CliProcess(args, stdout_to, stdin_text).finish();
}

}  // namespace idr::test
