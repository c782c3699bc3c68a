// Test support: runs a program to its end and collects what it left behind.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lotpick::test {

struct ProcessResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    int signal = 0;   // the signal that ended it, if one did
    std::string out;  // standard output, byte for byte
    std::string err;
};

struct ProcessOptions {
    std::filesystem::path cwd;
    // Variables to set (a value) or remove (no value) in the child only.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    // Where standard output goes instead of being collected (e.g. "/dev/full").
    std::optional<std::filesystem::path> out_path;
    // The largest file the child may write, in bytes: a write beyond it fails
    // as on a full disk (RLIMIT_FSIZE on POSIX).
    std::optional<std::uint64_t> file_size_limit;
    // When the tests run with administrator rights, the child gives them up
    // (on POSIX it becomes the user nobody, and runs lotpick from a copy that
    // nobody can reach wherever the build tree lives), so that permissions
    // hold for it.
    bool unprivileged = false;
    // A child still running after this many seconds is ended (SIGALRM on
    // POSIX): a run that hangs fails its test instead of stalling the suite.
    std::optional<unsigned> time_limit_seconds;
};

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options);

// Starts one child per command line, lets them all go at the same moment, and
// waits for every one of them. Results come in the order of `argvs`.
std::vector<ProcessResult> run_processes_at_once(const std::vector<std::vector<std::string>>& argvs,
                                                 const ProcessOptions& options);

// Starts the program, polls `ready` with its process id, each time while the
// program is stopped, until it says yes, sends it `signal` and collects the
// result (POSIX only).
ProcessResult run_and_signal(const std::vector<std::string>& argv, const ProcessOptions& options, int signal,
                             const std::function<bool(int pid)>& ready);

// The lotpick binary under test.
std::string lotpick_binary();

}  // namespace lotpick::test
