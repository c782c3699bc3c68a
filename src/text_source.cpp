// Reading a list or a done list by offset, from the file or from memory.

#include "text_source.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace lotpick {

OpenedSource open_source(const std::string& path, platform::Reading reading) {
    platform::Opened opened = platform::open_input(path, reading);
    if (!opened.input) return {std::nullopt, std::move(opened.failure), opened.missing};
    TextSource source;
    if (opened.size) {
        source.input = std::move(opened.input);
        source.size = *opened.size;
        return {std::move(source), {}};
    }
    platform::Loaded loaded = platform::read_to_end(*opened.input);
    if (!loaded.buffer) return {std::nullopt, std::move(loaded.failure)};
    source.size = loaded.buffer->size;
    source.whole = std::move(*loaded.buffer);
    return {std::move(source), {}};
}

std::optional<platform::Failure> read_bytes(const TextSource& source, std::uint64_t offset, char* into,
                                            std::size_t count) {
    if (!source.whole.bytes) return platform::read_at(*source.input, offset, into, count);
    const std::uint64_t held = offset < source.size ? std::min<std::uint64_t>(count, source.size - offset) : 0;
    if (held > 0) std::memcpy(into, source.whole.bytes.get() + offset, static_cast<std::size_t>(held));
    std::memset(into + held, 0, count - static_cast<std::size_t>(held));
    return std::nullopt;
}

std::optional<platform::Failure> read_text_start(const TextSource& source, TextStart& start) {
    char bytes[3];
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(3, source.size));
    if (std::optional<platform::Failure> failure = read_bytes(source, 0, bytes, length)) return failure;
    const std::string_view text(bytes, length);
    start.offset = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    start.utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    return std::nullopt;
}

std::optional<platform::Failure> read_piece(const TextSource& source, std::uint64_t at, std::uint64_t end,
                                            std::size_t size, std::string& piece) {
    // Resized, not refilled: every byte is read over, and a buffer read
    // again and again stays in the cache.
    piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, end - at)));
    return read_bytes(source, at, piece.data(), piece.size());
}

}  // namespace lotpick
