// The Win32 platform layer, the process: the clock, the command line and
// standard output, its messages shown on a console as the characters they
// stand for and written elsewhere in one encoding, and lines written past
// the stream's buffer.

#include "platform/platform.h"

#include "command_line.h"
#include "platform/win32/names.h"

#include <algorithm>

#include <io.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform {
namespace {

// The console `stream` writes to, or null when it goes to a file or a pipe.
HANDLE console_of(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) ? handle : nullptr;
}

// A console reads bytes in its own code page, the OEM one, in which a name's
// bytes are not what the user typed unless they are ASCII; in UTF-16 they
// are, whatever the code pages. Line ends become CR LF, as the C runtime's
// text mode writes them.
std::wstring console_text(std::span<const MessagePart> parts) {
    std::wstring text;
    for (const MessagePart& part : parts)
        text += part.is_name ? win32::wide_name(part.text) : win32::wide_text(part.text, CP_ACP);
    for (std::size_t at = text.find(L'\n'); at != std::wstring::npos; at = text.find(L'\n', at + 2))
        text.insert(at, 1, L'\r');
    return text;
}

// Into a file or a pipe a name goes in its own bytes, which a script reading
// the output matches, and the rest of its line in the same encoding, so that
// no line mixes two: the system's wording comes in the ANSI code page, and
// beside a UTF-8 name it becomes UTF-8. So does a name in the ANSI code page
// in the rare line that holds one of each.
std::string file_text(std::span<const MessagePart> parts) {
    const auto is_utf8 = [](const MessagePart& part) { return part.is_name && win32::is_utf8_name(part.text); };
    const bool utf8 = std::any_of(parts.begin(), parts.end(), is_utf8);
    std::string message;
    for (const MessagePart& part : parts) {
        if (!utf8 || is_utf8(part)) message.append(part.text);
        else if (part.is_name) message += win32::utf8_text(win32::wide_name(part.text));
        else message += win32::utf8_text(win32::wide_text(part.text, CP_ACP));
    }
    return message;
}

}  // namespace

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

// What the stream holds already goes out first, so that lines keep their order.
// Into a file the C runtime buffers standard error too, and would write a
// diagnostic at the end of the process, after what standard output holds
// then ("File: ... not found", which ends no line): it goes out at once and
// whole, as on a console and on POSIX.
bool write_message(std::FILE* stream, std::span<const MessagePart> parts) {
    const HANDLE console = console_of(stream);
    if (console == nullptr) {
        const std::string message = file_text(parts);
        return std::fwrite(message.data(), 1, message.size(), stream) == message.size() &&
               (stream != stderr || std::fflush(stream) == 0);
    }
    const std::wstring text = console_text(parts);
    DWORD written = 0;
    return std::fflush(stream) == 0 &&
           WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

LineWriter::LineWriter(std::FILE* stream) : fd_(_fileno(stream)) {}

// _write gives each LF its CR where the descriptor is in text mode, as the
// stream would, and says how many of the line's own bytes it wrote.
bool LineWriter::write(std::string_view line) const {
    const auto size = static_cast<unsigned>(line.size());
    return _write(fd_, line.data(), size) == static_cast<int>(size);
}

// Windows has no file size limit signal and no SIGPIPE: a write that does
// not fit, or goes to a pipe whose reader has gone, fails and is reported.
void make_failed_writes_reportable() {}

}  // namespace lotpick::platform
