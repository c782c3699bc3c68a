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
// Every signal at its default action and none blocked, as in a program
// started from a terminal, whatever the test runner was started with: a job
// started in the background (with & or nohup) ignores SIGINT or SIGHUP, which
// a run then inherits and keeps, and a run signalled by a test would go on.
void restore_default_signals() {
    for (int signal = 1; signal < NSIG; ++signal)
        if (signal != SIGKILL && signal != SIGSTOP) ::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

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

// A copy of lotpick that the user nobody can run: the build tree may sit in a
// folder only root may enter (/root, a mktemp -d folder). Made once, in the
// temporary folder, and removed when the tests end. Under an emulator the
// binary is a script that runs the target's binary beside it: both go.
class ReachableBinary {
public:
    ReachableBinary() : folder_(std::filesystem::temp_directory_path() / ("lotpick-bin-" + std::to_string(::getpid()))) {
        namespace fs = std::filesystem;
        fs::create_directories(folder_);
        const auto readable = fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec;
        fs::permissions(folder_, readable);
        const fs::path binary = lotpick_binary();
        for (const fs::path& file : {binary, fs::path(binary).replace_filename("lotpick.target")}) {
            if (!fs::exists(file)) continue;
            fs::copy_file(file, folder_ / file.filename(), fs::copy_options::overwrite_existing);
            fs::permissions(folder_ / file.filename(), readable);
        }
    }
    ~ReachableBinary() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string path() const { return (folder_ / "lotpick").string(); }

private:
    std::filesystem::path folder_;
};

// The program a child runs: lotpick from its reachable copy when the child
// gives up root's rights.
std::string program_for(const std::string& program, const ProcessOptions& options) {
    if (!options.unprivileged || ::geteuid() != 0 || program != lotpick_binary()) return program;
    static const ReachableBinary reachable;
    return reachable.path();
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
    restore_default_signals();
    if (options.file_size_limit) limit_file_size(*options.file_size_limit);
    if (options.unprivileged) drop_root_rights();
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    if (gate >= 0) wait_at_gate(gate);
    if (options.time_limit_seconds) ::alarm(*options.time_limit_seconds);
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
    // Worked out before the fork: the child may only exec.
    std::vector<std::string> program = argv;
    if (!program.empty()) program[0] = program_for(program[0], options);
    child.pid = ::fork();
    if (child.pid == 0) {
        if (gate_writer >= 0) ::close(gate_writer);
        exec_child(program, options, child, gate);
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

// `ready` is asked while the child is stopped, so that what it sees still
// holds when the signal comes: a child left running between the look and the
// signal may, on a busy machine, finish what the signal was meant to cut off.
ProcessResult run_and_signal(const std::vector<std::string>& argv, const ProcessOptions& options, int signal,
                             const std::function<bool(int pid)>& ready) {
    const Child child = start_child(argv, options);
    if (child.pid < 0) return {};
    const auto id = static_cast<id_t>(child.pid);
    for (;;) {
        ::kill(child.pid, SIGSTOP);
        // Stopped, or ended first: looked at without reaping an end, which
        // is collected as it ended, unsignalled.
        siginfo_t state{};
        while (::waitid(P_PID, id, &state, WSTOPPED | WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        if (state.si_code != CLD_STOPPED) return collect(child, options);
        while (::waitid(P_PID, id, &state, WSTOPPED) != 0 && errno == EINTR) {
        }
        const bool now = ready(child.pid);
        if (now) ::kill(child.pid, signal);
        ::kill(child.pid, SIGCONT);
        if (now) return collect(child, options);
        ::usleep(200);
    }
}

// The build's lotpick, or the one LOTPICK_TEST_BINARY names: a copy of the
// build tree in another folder (tools/test-unprivileged) runs its own.
std::string lotpick_binary() {
    const char* moved = std::getenv("LOTPICK_TEST_BINARY");
    return moved && *moved ? moved : LOTPICK_BINARY;
}

}  // namespace lotpick::test
