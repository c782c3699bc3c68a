// The byte scans in portable vectors, sixteen bytes a compare, for any
// processor. Each processor's file (byte_scan_x86.cpp, byte_scan_other.cpp;
// CMake picks one) defines byte_scan.h's scans, with these or with wider
// ones where the running processor has them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lotpick::portable {

std::uint64_t count_line_ends(const unsigned char* bytes, std::size_t at, std::size_t end);
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);

}  // namespace lotpick::portable
