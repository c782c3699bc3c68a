// The POSIX platform layer, the process: the clock, the command line,
// standard output and the signals that would end a run unannounced.

#include "platform/platform.h"

#include <cstdint>
#include <cstdio>
#include <ctime>

#include <signal.h>

namespace lotpick::platform {

std::uint32_t tick_count() {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::optional<std::string> raw_command_line() { return std::nullopt; }

void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOLBF, 256); }

// SIGXFSZ would kill the run in the middle of the copy, before it could say
// so; ignored, the write fails with EFBIG and the copy is reported.
void make_oversized_writes_fail() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace lotpick::platform
