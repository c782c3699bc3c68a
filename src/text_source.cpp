// Reading a list or a done list by offset, from the file or from memory.

#include "text_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
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
    if (opened.size) source.input = std::move(opened.input);
    else if (std::optional<platform::Failure> failure = read_whole(*opened.input, source.whole))
        return {std::nullopt, std::move(*failure)};
    source.size = opened.size.value_or(source.whole.size());
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

std::optional<platform::Failure> read_text_start(TextSource& source) {
    char bytes[3];
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(3, source.size));
    if (std::optional<platform::Failure> failure = read_bytes(source, 0, bytes, length)) return failure;
    const std::string_view text(bytes, length);
    source.text_start = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    source.utf16 = text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF");
    return std::nullopt;
}

std::optional<platform::Failure> read_piece(const TextSource& source, std::uint64_t at, std::uint64_t end,
                                            std::size_t size, std::string& buffer, std::string_view& piece) {
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(size, end - at));
    // Resized, not refilled: every byte is read over, and a buffer read again
    // and again stays in the cache. The bytes lie where they lie in a 64-byte
    // line of the file: on AMD's Zen processors the system's copy into a
    // buffer 1 to 31 bytes further into its page than the file's bytes are
    // into theirs takes five times as long.
    buffer.resize(length + 65);
    const auto address = reinterpret_cast<std::uintptr_t>(buffer.data()) + 1;
    char* const into = buffer.data() + 1 + static_cast<std::size_t>((at - address) % 64);
    const std::size_t before = at > 0 ? 1 : 0;
    into[-1] = '\0';
    piece = std::string_view(into - 1, length + 1);
    return read_bytes(source, at - before, into - before, length + before);
}

}  // namespace lotpick
