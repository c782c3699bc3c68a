// The byte scans in the compiler's portable vector types, sixteen bytes a
// compare, for any processor.

#include "byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lotpick {
namespace {

using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Words2 = std::uint64_t __attribute__((vector_size(16)));

std::uint64_t sum_of_lanes(const Bytes16& lanes) {
    unsigned char each[sizeof(Bytes16)];
    std::memcpy(each, &lanes, sizeof(Bytes16));
    std::uint64_t sum = 0;
    for (const unsigned char lane : each) sum += lane;
    return sum;
}

// The top bit of each byte of a word of compare results, gathered into its
// low eight bits in memory order: one multiplication instead of a loop. On a
// big-endian processor the first byte in memory is the word's top byte.
std::uint64_t gathered_marks(std::uint64_t compares) {
    if constexpr (std::endian::native == std::endian::big) compares = __builtin_bswap64(compares);
    return ((compares & 0x8080808080808080u) * 0x0002040810204081u) >> 56;
}

std::uint64_t block_marks(const char* bytes) {
    std::uint64_t marks = 0;
    for (std::size_t at = 0; at < scan_block; at += sizeof(Bytes16)) {
        Bytes16 chunk;
        std::memcpy(&chunk, bytes + at, sizeof(Bytes16));
        const auto ends = reinterpret_cast<Words2>((chunk == '\r') | (chunk == '\n') | (chunk == 0));
        marks |= (gathered_marks(ends[0]) | gathered_marks(ends[1]) << 8) << at;
    }
    return marks;
}

}  // namespace

namespace portable {

// Each byte lane counts the line ends of its column for up to 255 vectors
// before the lanes are added up.
std::uint64_t count_line_ends(const unsigned char* bytes, std::size_t at, std::size_t end) {
    std::uint64_t count = 0;
    while (at < end) {
        Bytes16 lanes{};
        const std::size_t stop = std::min(end, at + 255 * sizeof(Bytes16));
        for (; at < stop; at += sizeof(Bytes16)) {
            Bytes16 chunk;
            Bytes16 before;
            std::memcpy(&chunk, bytes + at, sizeof(Bytes16));
            std::memcpy(&before, bytes + at - 1, sizeof(Bytes16));
            lanes -= reinterpret_cast<Bytes16>((chunk == '\r') | ((chunk == '\n') & (before != '\r')));
        }
        count += sum_of_lanes(lanes);
    }
    return count;
}

void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    for (std::size_t block = 0; block < blocks; ++block) marks[block] = block_marks(bytes + block * scan_block);
}

}  // namespace portable

}  // namespace lotpick
