// The two loops a run spends its time in over the bytes of a list or a done
// list: counting line ends, and marking where names end, each with the
// widest vector compares the running processor has.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lotpick {

inline constexpr std::size_t scan_block = 64;

// Line ends (each CR, and each LF that does not follow a CR) at offsets
// [at, end) of `bytes`, a whole number of scan blocks; bytes[at - 1] must be
// readable.
std::uint64_t count_line_ends_in_blocks(const unsigned char* bytes, std::size_t at, std::size_t end);

// For each of `blocks` scan blocks at `bytes`, a word whose bit i is set when
// byte i of the block is a CR, a LF or a zero byte; a LF right after a CR
// among these bytes may be left unmarked, as it ends no line.
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);

// The same scans in portable vectors, sixteen bytes a compare, for any
// processor. Each processor's file (byte_scan_x86.cpp, byte_scan_other.cpp;
// CMake picks one) defines the scans above with these, or with wider ones
// where the running processor has them.
namespace portable {
std::uint64_t count_line_ends(const unsigned char* bytes, std::size_t at, std::size_t end);
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);
}  // namespace portable

}  // namespace lotpick
