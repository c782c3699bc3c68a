// The Win32 platform layer, output: messages, shown on a console as the
// characters they stand for, and holding a stream's lock for a run of lines.

#include "platform/platform.h"

#include "platform/win32/names.h"

#include <cstdio>
#include <string>

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

}  // namespace

// What the stream holds already goes out first, so that lines keep their order.
bool write_message(std::FILE* stream, std::span<const MessagePart> parts) {
    const HANDLE console = console_of(stream);
    if (console == nullptr) {
        std::string message;
        for (const MessagePart& part : parts) message.append(part.text);
        return std::fwrite(message.data(), 1, message.size(), stream) == message.size();
    }
    const std::wstring text = console_text(parts);
    DWORD written = 0;
    return std::fflush(stream) == 0 &&
           WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

StreamHold::StreamHold(std::FILE* stream) : stream_(stream) { _lock_file(stream_); }

StreamHold::~StreamHold() { _unlock_file(stream_); }

}  // namespace lotpick::platform
