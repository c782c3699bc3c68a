// The POSIX platform layer, the process: the clock, the command line,
// standard output, messages and the signals that would end a run
// unannounced.

#include "platform/posix/posix.h"
#include "platform/posix/system.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <iterator>

namespace lotpick::platform {
namespace {

constexpr int interrupting_signals[] = {SIGINT, SIGTERM, SIGHUP};

// The interrupt cleanup's state: a handler can only reach globals, and may
// only call what is safe in a signal handler (unlink, sigaction, raise).
char cleanup_path[PATH_MAX];
volatile sig_atomic_t cleanup_armed = 0;
struct sigaction previous_actions[std::size(interrupting_signals)];

extern "C" void remove_and_end(int signal) {
    if (cleanup_armed) ::unlink(cleanup_path);
    // SA_RESETHAND restored the default action and SA_NODEFER lets the
    // signal through at once: the process ends as the signal ends it.
    ::raise(signal);
}

}  // namespace

namespace posix {

InterruptCleanup::InterruptCleanup(const std::string& path) {
    if (path.size() >= sizeof cleanup_path) return;
    std::memcpy(cleanup_path, path.c_str(), path.size() + 1);
    cleanup_armed = 1;
    struct sigaction action {};
    action.sa_handler = remove_and_end;
    // The flags' type differs between systems, and glibc's SA_RESETHAND is unsigned.
    action.sa_flags = static_cast<decltype(action.sa_flags)>(SA_RESETHAND | SA_NODEFER);
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(interrupting_signals); ++i) {
        ::sigaction(interrupting_signals[i], nullptr, &previous_actions[i]);
        if (previous_actions[i].sa_handler != SIG_IGN) ::sigaction(interrupting_signals[i], &action, nullptr);
    }
}

InterruptCleanup::~InterruptCleanup() {
    if (!cleanup_armed) return;
    for (std::size_t i = 0; i < std::size(interrupting_signals); ++i)
        ::sigaction(interrupting_signals[i], &previous_actions[i], nullptr);
    cleanup_armed = 0;
}

SignalsHeld::SignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : interrupting_signals) sigaddset(&set, signal);
    ::sigprocmask(SIG_BLOCK, &set, &previous_);
}

SignalsHeld::~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }

}  // namespace posix

std::uint32_t tick_count() {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::optional<std::vector<std::string>> command_line_arguments() { return std::nullopt; }

void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOLBF, 256); }

// A terminal shows a name's bytes in the locale's encoding, as every other
// program's output shows them.
bool write_message(std::FILE* stream, std::span<const MessagePart> parts) {
    std::string message;
    for (const MessagePart& part : parts) message.append(part.text);
    return std::fwrite(message.data(), 1, message.size(), stream) == message.size();
}

LineWriter::LineWriter(std::FILE* stream) : fd_(::fileno(stream)) {}

// A line goes out whole in one write, but for a signal or a full pipe; the
// rest of it then follows.
bool LineWriter::write(std::string_view line) const {
    const long put = posix::write_once(fd_, line.data(), line.size());
    if (put == static_cast<long>(line.size())) return true;
    if (put < 0 && errno != EINTR) return false;
    const auto done = static_cast<std::size_t>(put < 0 ? 0 : put);
    return posix::write_fully(fd_, line.data() + done, line.size() - done);
}

// SIGXFSZ would kill the run in the middle of the copy, and SIGPIPE in the
// middle of its redraws when standard output is a pipe whose reader has gone
// (`lotpick LIST DEST | head -n 1`), before it could record, copy or say so.
// Ignored, the write fails with EFBIG or EPIPE and the run reports it.
void make_failed_writes_reportable() {
    ::signal(SIGXFSZ, SIG_IGN);
    ::signal(SIGPIPE, SIG_IGN);
}

}  // namespace lotpick::platform
