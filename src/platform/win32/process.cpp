// The Win32 platform layer, the process: the clock, the command line and
// standard output.

#include "platform/platform.h"

#include <cstdint>
#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform {

std::uint32_t tick_count() { return GetTickCount(); }

std::optional<std::string> raw_command_line() { return std::string(GetCommandLineA()); }

// The C runtime treats line buffering as full buffering; the driver flushes
// after each line it finishes, which gives the same output at the same times.
void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOFBF, 256); }

// Windows has no file size limit signal and no SIGPIPE: a write that does
// not fit, or goes to a pipe whose reader has gone, fails and is reported.
void make_failed_writes_reportable() {}

}  // namespace lotpick::platform
