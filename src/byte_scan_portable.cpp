// The byte scans for any processor, in the compiler's portable vector types.

#include "byte_scan.h"

#include "byte_vectors.h"

#include <bit>
#include <cstring>

namespace lotpick {
namespace {

using vectors::Bytes16;
using Words2 = std::uint64_t __attribute__((vector_size(16)));

// The top bit of each byte of a word of compare results, gathered into its
// low eight bits in memory order: one multiplication instead of a loop.
std::uint64_t gathered_marks(std::uint64_t compares) {
    return ((compares & 0x8080808080808080u) * 0x0002040810204081u) >> 56;
}

std::uint64_t block_marks(const char* bytes) {
    std::uint64_t marks = 0;
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < scan_block; ++i)
            marks |= std::uint64_t{bytes[i] == '\r' || bytes[i] == '\n' || bytes[i] == '\0'} << i;
        return marks;
    }
    for (std::size_t at = 0; at < scan_block; at += sizeof(Bytes16)) {
        Bytes16 chunk;
        std::memcpy(&chunk, bytes + at, sizeof(Bytes16));
        const auto ends = reinterpret_cast<Words2>((chunk == '\r') | (chunk == '\n') | (chunk == 0));
        marks |= (gathered_marks(ends[0]) | gathered_marks(ends[1]) << 8) << at;
    }
    return marks;
}

}  // namespace

std::uint64_t count_line_ends_in_blocks(const unsigned char* bytes, std::size_t at, std::size_t end) {
    return vectors::count_line_ends<Bytes16>(bytes, at, end);
}

void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    for (std::size_t block = 0; block < blocks; ++block) marks[block] = block_marks(bytes + block * scan_block);
}

}  // namespace lotpick
