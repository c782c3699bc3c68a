// The Win32 platform layer, the process: the clock, the command line and
// standard output.

#include "platform/platform.h"

#include "command_line.h"
#include "platform/win32/names.h"

#include <cstdint>
#include <cstdio>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform {

std::uint32_t tick_count() { return GetTickCount(); }

// Split as UTF-8, where the blanks, quotes and backslashes the rules look at
// are never part of another character, as they can be in a double-byte ANSI
// code page. The narrow command line is no use: it swaps every character
// the ANSI code page lacks for a look-alike, or for "?".
std::optional<std::vector<std::string>> command_line_arguments() {
    std::vector<std::string> args = split_command_line(win32::utf8_text(GetCommandLineW()));
    for (std::string& arg : args) arg = win32::argument_bytes(arg);
    if (args.size() == 2 && args[1] == "/?") args[1] = "--help";
    return args;
}

// The C runtime treats line buffering as full buffering; the driver flushes
// after each line it finishes, which gives the same output at the same times.
void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOFBF, 256); }

StreamHold::StreamHold(std::FILE* stream) : stream_(stream) { _lock_file(stream_); }

StreamHold::~StreamHold() { _unlock_file(stream_); }

// Windows has no file size limit signal and no SIGPIPE: a write that does
// not fit, or goes to a pipe whose reader has gone, fails and is reported.
void make_failed_writes_reportable() {}

}  // namespace lotpick::platform
