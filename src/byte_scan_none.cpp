// A processor with no scans wider than the portable ones.

#include "byte_scan_wide.h"

namespace lotpick::wide {

bool count_line_ends(const unsigned char*, std::size_t, std::size_t, std::uint64_t&) { return false; }

bool mark_name_ends(const char*, std::size_t, std::uint64_t*) { return false; }

}  // namespace lotpick::wide
