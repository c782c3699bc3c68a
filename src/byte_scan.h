// The two loops a run spends its time in over the bytes of a list or a done
// list: counting line ends, and marking where names end, each on one of the
// scan paths the running processor has: the widest, unless one is forced.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lotpick {

inline constexpr std::size_t scan_block = 64;

// The ways the scans can run: on 64-bit words, for any processor, and with
// x86-64's vector compares, sixteen, thirty-two and sixty-four bytes at a
// time. Each scan runs on the path it is handed, which the processor must
// have: a run takes the widest unless LOTPICK_FORCE_SCAN names another, and
// the tests try each.
enum class ScanPath { portable, sse2, avx2, avx512 };

// Whether the running processor, and its system, can scan on `path`.
bool has_scan_path(ScanPath path);

// The path a run takes unless one is forced.
ScanPath widest_scan_path();

// Line ends (each CR, and each LF that does not follow a CR) at offsets
// [at, end) of `bytes`, a whole number of scan blocks; bytes[at - 1] must be
// readable.
std::uint64_t count_line_ends_in_blocks(ScanPath path, const char* bytes, std::size_t at, std::size_t end);

// For each of `blocks` scan blocks at `bytes`, a word whose bit i is set when
// byte i of the block is a CR, a LF or a zero byte; a LF right after a CR
// among these bytes is left unmarked, as it ends no line.
void mark_name_ends(ScanPath path, const char* bytes, std::size_t blocks, std::uint64_t* marks);

// The portable scans, eight bytes a step. Each processor's file
// (byte_scan_x86.cpp, byte_scan_other.cpp; CMake picks one) defines the scans
// above with these, or with wider ones.
namespace portable {
std::uint64_t count_line_ends(const char* bytes, std::size_t at, std::size_t end);
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks);
}  // namespace portable

}  // namespace lotpick
