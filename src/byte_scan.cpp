// The portable byte scans: plain C++ on 64-bit words, eight bytes a step,
// for any processor. Each byte of a word is tested on its own (no carry
// crosses from one byte into the next), so every bit is exact.

#include "byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lotpick {
namespace {

constexpr std::uint64_t ones = 0x0101010101010101u;
constexpr std::uint64_t low_bits = 0x7F7F7F7F7F7F7F7Fu;

// Eight bytes as a little-endian word, so that byte i in memory is byte i of
// the word on any processor.
std::uint64_t word_at(const void* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word;
}

// The top bit of each byte of `word` that equals `byte`.
std::uint64_t bytes_equal(std::uint64_t word, unsigned char byte) {
    const std::uint64_t differ = word ^ ones * byte;
    return ~(((differ & low_bits) + low_bits) | differ | low_bits);
}

// The top bit of each byte of `word` that ends a line: each CR, and each LF
// but one right after a CR; `crs_before` holds the CRs of the word before,
// and then those of this one.
std::uint64_t line_ends(std::uint64_t word, std::uint64_t& crs_before) {
    const std::uint64_t crs = bytes_equal(word, '\r');
    const std::uint64_t after_cr = crs << 8 | crs_before >> 56;
    crs_before = crs;
    return crs | (bytes_equal(word, '\n') & ~after_cr);
}

}  // namespace

namespace portable {

// Each byte of `lanes` counts the line ends of its column for up to 255
// words before the lanes are added up. The word before is read again, not
// carried over, so that no step waits for the one before it and compilers
// can turn the loop into vector compares where the processor has them.
std::uint64_t count_line_ends(const char* bytes, std::size_t at, std::size_t end) {
    std::uint64_t count = 0;
    while (at < end) {
        std::uint64_t lanes = 0;
        for (const std::size_t stop = std::min(end, at + 255 * 8); at < stop; at += 8) {
            const std::uint64_t word = word_at(bytes + at);
            const std::uint64_t after_cr = bytes_equal(word_at(bytes + at - 1), '\r');
            lanes += (bytes_equal(word, '\r') | (bytes_equal(word, '\n') & ~after_cr)) >> 7;
        }
        lanes = (lanes & 0x00FF00FF00FF00FFu) + (lanes >> 8 & 0x00FF00FF00FF00FFu);
        count += lanes * 0x0001000100010001u >> 48;
    }
    return count;
}

// The top bits of each word gathered into its low eight by one
// multiplication.
void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    std::uint64_t crs = 0;
    for (std::size_t block = 0; block < blocks; ++block) {
        marks[block] = 0;
        for (std::size_t at = 0; at < scan_block; at += 8) {
            const std::uint64_t word = word_at(bytes + block * scan_block + at);
            const std::uint64_t ends = line_ends(word, crs) | bytes_equal(word, 0);
            marks[block] |= (ends * 0x0002040810204081u >> 56) << at;
        }
    }
}

}  // namespace portable

}  // namespace lotpick
