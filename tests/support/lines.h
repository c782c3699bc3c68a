// Test support: the plain readings of a list that the reader in pieces must
// agree with, the whole text in memory and every walk from its start.
#pragma once

#include "line_list.h"
#include "platform/platform.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lotpick::test {

// The name pick index k selects: skip k - 1 line ends (0 and 1 both mean the
// first line), then any run of CR and LF bytes, and take the bytes up to the
// next CR, LF or zero byte. The view points into `text`.
inline std::string_view copy_line(std::string_view text, std::int64_t k) {
    const std::uint64_t skipped = k > 1 ? static_cast<std::uint64_t>(k - 1) : 0;
    return name_at(text, skip_line_ends(text, 0, skipped));
}

// A text without the UTF-8 byte order mark that may come first.
inline std::string_view without_byte_order_mark(std::string_view text) {
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

// The 1-based line of `text` on which the byte at `offset` stands.
inline std::uint64_t line_number_at(std::string_view text, std::size_t offset) {
    return count_line_ends(text.substr(0, offset)) + 1;
}

// A whole file in one buffer with a zero byte after it, read by its size or,
// when it claims none, to its end.
inline platform::Loaded load_whole_file(const std::string& path, platform::Reading reading) {
    platform::Opened opened = platform::open_input(path, reading);
    if (!opened.input) return {std::nullopt, std::move(opened.failure), opened.missing};
    if (!opened.size) return platform::read_to_end(*opened.input);
    const auto size = static_cast<std::size_t>(*opened.size);
    platform::Buffer buffer{platform::allocate_zeroed(size + 1), *opened.size};
    if (!buffer.bytes) return {std::nullopt, {"out of memory"}};
    if (auto failure = platform::read_at(*opened.input, 0, buffer.bytes.get(), size)) return {std::nullopt, *failure};
    return {std::move(buffer), {}};
}

}  // namespace lotpick::test
