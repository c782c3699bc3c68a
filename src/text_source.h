// A list or a done list as a run reads it: from the open file at any offset,
// a piece at a time, or from memory when it had to be read whole at once (a
// pipe, a kernel file).
#pragma once

#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lotpick {

struct TextSource {
    platform::Input input;  // the open file, when it has a size
    std::string whole;      // else the bytes, read whole at once
    std::uint64_t size = 0;
    // 3 past a UTF-8 byte order mark, which many Windows tools put first, else 0.
    std::uint64_t text_start = 0;
    // Starts with a UTF-16 byte order mark (either byte order): read byte by
    // byte it holds no names lotpick could use.
    bool utf16 = false;
};

struct OpenedSource {
    std::optional<TextSource> source;  // empty on failure
    platform::Failure failure;
    bool missing = false;  // the failure is that there is no such file
};

OpenedSource open_source(const std::string& path, platform::Reading reading);

// Reads what the first bytes of the text tell into the source: where its
// text starts, and whether it is UTF-16.
std::optional<platform::Failure> read_text_start(TextSource& source);

// A piece of the source read into `buffer`: bytes [at, at + size), or up to
// `end`, with the byte before them in front (a zero byte before the start),
// as the line-end rule wants it: every read of a list in pieces goes here.
std::optional<platform::Failure> read_piece(const TextSource& source, std::uint64_t at, std::uint64_t end,
                                            std::size_t size, std::string& buffer, std::string_view& piece);

// Bytes [offset, offset + count) of the source. Past its end, and where the
// file has shrunk since it was opened, they read as zero bytes.
std::optional<platform::Failure> read_bytes(const TextSource& source, std::uint64_t offset, char* into,
                                            std::size_t count);

}  // namespace lotpick
