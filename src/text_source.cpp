// Reading a list or a done list by offset, from the file or from memory.

#include "text_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

namespace lotpick {
namespace {

// A pipe has no size to go by: the buffer grows by half again each time, so
// that the copying stays linear in what arrives.
std::optional<platform::Failure> read_whole(const platform::InputState& input, std::string& bytes) {
    std::size_t used = 0;
    try {
        for (std::size_t got = 0; used == bytes.size(); used += got) {
            bytes.resize(std::max<std::size_t>(std::size_t{64} << 10, used + used / 2));
            if (auto failure = platform::read_on(input, bytes.data() + used, bytes.size() - used, got)) return failure;
        }
    } catch (const std::bad_alloc&) {
        return platform::Failure{std::strerror(ENOMEM)};
    }
    bytes.resize(used);
    return std::nullopt;
}

}  // namespace

OpenedSource open_source(const std::string& path, platform::Reading reading) {
    platform::Opened opened = platform::open_input(path, reading);
    if (!opened.input) return {std::nullopt, std::move(opened.failure), opened.missing};
    TextSource source;
    if (opened.size) {
        source.input = std::move(opened.input);
        source.size = *opened.size;
        return {std::move(source), {}};
    }
    if (std::optional<platform::Failure> failure = read_whole(*opened.input, source.whole))
        return {std::nullopt, std::move(*failure)};
    source.size = source.whole.size();
    return {std::move(source), {}};
}

std::optional<platform::Failure> read_bytes(const TextSource& source, std::uint64_t offset, char* into,
                                            std::size_t count) {
    if (source.input) return platform::read_at(*source.input, offset, into, count);
    const std::uint64_t held = offset < source.size ? std::min<std::uint64_t>(count, source.size - offset) : 0;
    if (held > 0) std::memcpy(into, source.whole.data() + offset, static_cast<std::size_t>(held));
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
