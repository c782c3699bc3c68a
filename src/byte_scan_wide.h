// The byte scans two ways: in portable vectors, sixteen bytes a compare, for
// any processor (byte_scan.cpp); and the widest the running processor has,
// where they beat those (byte_scan_x86.cpp with AVX-512 on x86-64;
// byte_scan_none.cpp elsewhere). CMake picks the file. Each wide scan says
// false when the processor has none, and the portable one runs instead.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lotpick {

namespace portable {
std::uint64_t count_line_ends(const unsigned char* bytes, std::size_t at, std::size_t end);
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);
}  // namespace portable

namespace wide {
bool count_line_ends(const unsigned char* bytes, std::size_t at, std::size_t end, std::uint64_t& count);
bool mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);
}  // namespace wide

}  // namespace lotpick
