// List files: counting their line ends, and the walk from a line start to
// the name a pick index selects.
#pragma once

#include "byte_scan.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lotpick {

// A name, its terminating zero byte included, fits 260 bytes.
inline constexpr std::size_t max_name_length = 259;

// CR and LF both break lines; how many line ends a run of them makes is
// count_line_ends's business.
inline bool is_line_break(char byte) { return byte == '\r' || byte == '\n'; }

// A name ends at a line break or at a zero byte.
inline bool ends_name(char byte) { return is_line_break(byte) || byte == '\0'; }

// The line ends at offsets `from` and after: a piece of a list read with the
// byte before it at offset 0 is counted from offset 1. A line end is a CR
// byte, or a LF byte that does not directly follow a CR: CR LF, lone CR and
// lone LF each end one line. Runs on `path`, as do the scans below.
std::uint64_t count_line_ends(std::string_view text, std::size_t from = 0, ScanPath path = widest_scan_path());

// The offset just past the `count`-th line end at or after `from` (counting
// from 1), or text.size() when there are fewer. `from` itself may hold the LF
// of a CR LF pair; it is then not a line end.
std::size_t skip_line_ends(std::string_view text, std::size_t from, std::uint64_t count,
                           ScanPath path = widest_scan_path());

// The offset of the first CR, LF or zero byte at or after `from`, or
// text.size() when there is none: where a name or a done-list entry ends.
std::size_t name_end(std::string_view text, std::size_t from);

}  // namespace lotpick
