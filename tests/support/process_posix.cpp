// Test support, POSIX: fork and exec with the output sent to files.

#include "support/process.h"

#include "support/scratch.h"

#include <cstdlib>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lotpick::test {
namespace {

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const ProcessOptions& options,
                             const std::filesystem::path& out, const std::filesystem::path& err) {
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : options.env) {
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    const int in_fd = ::open("/dev/null", O_RDONLY);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0) ::_exit(126);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    const auto capture = std::filesystem::temp_directory_path() /
                         ("lotpick-capture-" + std::to_string(::getpid()) + "-" + std::to_string(std::rand()));
    const auto out = options.out_path.value_or(capture.string() + ".out");
    const auto err = capture.string() + ".err";
    const pid_t child = ::fork();
    if (child == 0) exec_child(argv, options, out, err);
    int wait_status = 0;
    ::waitpid(child, &wait_status, 0);
    ProcessResult result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    if (!options.out_path) result.out = read_file(out);
    result.err = read_file(err);
    std::error_code ignored;
    std::filesystem::remove(capture.string() + ".out", ignored);
    std::filesystem::remove(err, ignored);
    return result;
}

std::string lotpick_binary() { return LOTPICK_BINARY; }

}  // namespace lotpick::test
