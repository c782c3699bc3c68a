// A list or a done list as a run reads it: from the open file at any offset,
// a piece at a time, or from memory when it had to be read whole at once (a
// pipe, a kernel file).
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>

namespace lotpick {

struct TextSource {
    platform::Input input;   // the open file, when it has a size
    platform::Buffer whole;  // else the bytes, read whole at once
    std::uint64_t size = 0;
};

struct OpenedSource {
    std::optional<TextSource> source;  // empty on failure
    platform::Failure failure;
    bool missing = false;  // the failure is that there is no such file
};

OpenedSource open_source(const std::string& path, platform::Reading reading);

// Bytes [offset, offset + count) of the source. Past its end, and where the
// file has shrunk since it was opened, they read as zero bytes.
std::optional<platform::Failure> read_bytes(const TextSource& source, std::uint64_t offset, char* into,
                                            std::size_t count);

}  // namespace lotpick
