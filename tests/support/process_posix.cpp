// Test support, POSIX: fork and exec with the output sent to files, optional
// limits and lowered rights in the child, and a gate to start many at once.

#include "support/process.h"

#include "support/scratch.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lotpick::test {
namespace {

struct Child {
    pid_t pid = -1;
    std::filesystem::path out;
    std::filesystem::path err;
};

void redirect_standard_streams(const std::filesystem::path& out, const std::filesystem::path& err) {
    const int in_fd = ::open("/dev/null", O_RDONLY);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0) ::_exit(126);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
}

// The limit alone is the test: the signal it raises keeps its default action
// unless the program under test changes that itself.
void limit_file_size(std::uint64_t bytes) {
    const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(126);
    std::signal(SIGXFSZ, SIG_DFL);
}

void drop_root_rights() {
    if (::geteuid() != 0) return;
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
        ::_exit(126);
}

// Blocks until the parent closes the gate's other end.
void wait_at_gate(int gate) {
    char byte;
    while (::read(gate, &byte, 1) < 0 && errno == EINTR) {
    }
    ::close(gate);
}

[[noreturn]] void exec_child(const std::vector<std::string>& argv, const ProcessOptions& options, const Child& child,
                             int gate) {
    if (!options.cwd.empty() && ::chdir(options.cwd.c_str()) != 0) ::_exit(126);
    for (const auto& [name, value] : options.env) {
        if (value) ::setenv(name.c_str(), value->c_str(), 1);
        else ::unsetenv(name.c_str());
    }
    redirect_standard_streams(child.out, child.err);
    if (options.file_size_limit) limit_file_size(*options.file_size_limit);
    if (options.unprivileged) drop_root_rights();
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (gate >= 0) wait_at_gate(gate);
    ::execv(args[0], args.data());
    ::_exit(127);
}

// `gate` is the read end the child waits on, `gate_writer` the parent's end,
// which the child must not hold or the gate would never open.
Child start_child(const std::vector<std::string>& argv, const ProcessOptions& options, int gate = -1,
                  int gate_writer = -1) {
    static std::atomic<unsigned> serial{0};
    const auto capture = std::filesystem::temp_directory_path() /
                         ("lotpick-capture-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    Child child{-1, options.out_path.value_or(capture.string() + ".out"), capture.string() + ".err"};
    child.pid = ::fork();
    if (child.pid == 0) {
        if (gate_writer >= 0) ::close(gate_writer);
        exec_child(argv, options, child, gate);
    }
    return child;
}

ProcessResult collect(const Child& child, const ProcessOptions& options) {
    if (child.pid < 0) return {};
    int wait_status = 0;
    while (::waitpid(child.pid, &wait_status, 0) < 0 && errno == EINTR) {
    }
    ProcessResult result;
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    result.signal = WIFSIGNALED(wait_status) ? WTERMSIG(wait_status) : 0;
    if (!options.out_path) result.out = read_file(child.out);
    result.err = read_file(child.err);
    std::error_code ignored;
    if (!options.out_path) std::filesystem::remove(child.out, ignored);
    std::filesystem::remove(child.err, ignored);
    return result;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    return collect(start_child(argv, options), options);
}

std::vector<ProcessResult> run_processes_at_once(const std::vector<std::vector<std::string>>& argvs,
                                                 const ProcessOptions& options) {
    int gate[2];
    if (::pipe(gate) != 0) return {};
    std::vector<Child> children;
    for (const auto& argv : argvs) children.push_back(start_child(argv, options, gate[0], gate[1]));
    ::close(gate[0]);
    ::close(gate[1]);
    std::vector<ProcessResult> results;
    for (const Child& child : children) results.push_back(collect(child, options));
    return results;
}

std::string lotpick_binary() { return LOTPICK_BINARY; }

}  // namespace lotpick::test
