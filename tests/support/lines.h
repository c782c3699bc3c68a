// Test support: the plain readings of a list that the reader in pieces must
// agree with, the whole text in memory and every walk from its start.
#pragma once

#include "line_list.h"
#include "platform/platform.h"
#include "text_source.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace lotpick::test {

// The name that starts at or after `line_start`: any run of CR and LF bytes
// is passed over, then the bytes up to the next CR, LF or zero byte are taken.
inline std::string_view name_at(std::string_view text, std::size_t line_start) {
    std::size_t start = line_start < text.size() ? line_start : text.size();
    while (start < text.size() && is_line_break(text[start])) ++start;
    return text.substr(start, name_end(text, start) - start);
}

// The name pick index k selects: skip k - 1 line ends (0 and 1 both mean the
// first line), then any run of CR and LF bytes, and take the bytes up to the
// next CR, LF or zero byte. The view points into `text`.
inline std::string_view copy_line(std::string_view text, std::int64_t k, ScanPath path = widest_scan_path()) {
    const std::uint64_t skipped = k > 1 ? static_cast<std::uint64_t>(k - 1) : 0;
    return name_at(text, skip_line_ends(text, 0, skipped, path));
}

// A text without the UTF-8 byte order mark that may come first.
inline std::string_view without_byte_order_mark(std::string_view text) {
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

// The 1-based line of `text` on which the byte at `offset` stands.
inline std::uint64_t line_number_at(std::string_view text, std::size_t offset) {
    return count_line_ends(text.substr(0, offset)) + 1;
}

// A whole file, read by its size or, when it claims none, to its end.
struct WholeFile {
    std::optional<std::string> bytes;  // empty on failure
    platform::Failure failure;
};

inline WholeFile load_whole_file(const std::string& path, platform::Reading reading) {
    OpenedSource opened = open_source(path, reading);
    if (!opened.source) return {std::nullopt, std::move(opened.failure)};
    std::string bytes(static_cast<std::size_t>(opened.source->size), '\0');
    if (auto failure = read_bytes(*opened.source, 0, bytes.data(), bytes.size())) return {std::nullopt, *failure};
    return {std::move(bytes), {}};
}

}  // namespace lotpick::test
