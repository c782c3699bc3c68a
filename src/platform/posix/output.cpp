// The POSIX platform layer, output: messages, and holding a stream's lock
// for a run of lines.

#include "platform/platform.h"

#include <cstdio>
#include <string>

namespace lotpick::platform {

// A terminal shows a name's bytes in the locale's encoding, as every other
// program's output shows them.
bool write_message(std::FILE* stream, std::span<const MessagePart> parts) {
    std::string message;
    for (const MessagePart& part : parts) message.append(part.text);
    return std::fwrite(message.data(), 1, message.size(), stream) == message.size();
}

StreamHold::StreamHold(std::FILE* stream) : stream_(stream) { ::flockfile(stream_); }

StreamHold::~StreamHold() { ::funlockfile(stream_); }

}  // namespace lotpick::platform
