// List files: loading a whole file, counting its line ends, and finding the
// name a pick index selects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace lotpick {

// A name, its terminating zero byte included, fits 260 bytes.
inline constexpr std::size_t max_name_length = 259;

platform::Loaded load_text_file(const std::string& path);

// A text without the UTF-8 byte order mark that many Windows tools put first:
// the mark is no part of the first name, and holds no line end.
std::string_view without_byte_order_mark(std::string_view text);

// Whether a text starts with a UTF-16 byte order mark, in either byte order:
// read byte by byte, such a text has no names lotpick could use.
bool is_utf16_text(std::string_view text);

// CR and LF both break lines; how many line ends a run of them makes is
// count_line_ends's business.
inline bool is_line_break(char byte) { return byte == '\r' || byte == '\n'; }

// A name ends at a line break or at a zero byte.
inline bool ends_name(char byte) { return is_line_break(byte) || byte == '\0'; }

// A line end is a CR byte, or a LF byte that does not directly follow a CR:
// CR LF, lone CR and lone LF each end one line.
std::uint64_t count_line_ends(std::string_view text);

// The line ends at offsets `from` and after: a piece of a list read with the
// byte before it at offset 0 is counted from offset 1.
std::uint64_t count_line_ends(std::string_view text, std::size_t from);

// The offset just past the `count`-th line end at or after `from` (counting
// from 1), or text.size() when there are fewer. `from` itself may hold the LF
// of a CR LF pair; it is then not a line end.
std::size_t skip_line_ends(std::string_view text, std::size_t from, std::uint64_t count);

// The offset of the first CR, LF or zero byte at or after `from`, or
// text.size() when there is none: where a name or a done-list entry ends.
std::size_t name_end(std::string_view text, std::size_t from);

// The name that starts at or after `line_start`: any run of CR and LF bytes
// is passed over, then the bytes up to the next CR, LF or zero byte are taken.
std::string_view name_at(std::string_view text, std::size_t line_start);

// The name pick index k selects: skip k - 1 line ends (0 and 1 both mean the
// first line), then any run of CR and LF bytes, and take the bytes up to the
// next CR, LF or zero byte. The view points into `text`.
std::string_view copy_line(std::string_view text, std::int64_t k);

// The 1-based line of `text` on which the byte at `offset` stands.
std::uint64_t line_number_at(std::string_view text, std::size_t offset);

}  // namespace lotpick
