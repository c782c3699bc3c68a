// The byte scans of a processor with none wider than the portable ones.

#include "byte_scan.h"

namespace lotpick {

bool has_scan_path(ScanPath path) { return path == ScanPath::portable; }

ScanPath widest_scan_path() { return ScanPath::portable; }

// The only path there is.
std::uint64_t count_line_ends_in_blocks(ScanPath, const char* bytes, std::size_t at, std::size_t end) {
    return portable::count_line_ends(bytes, at, end);
}

void mark_name_ends(ScanPath, const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    portable::mark_name_ends(bytes, blocks, marks);
}

}  // namespace lotpick
