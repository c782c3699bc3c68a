// List files: the line-end rule and the walk from a pick index to a name.
// Lists can hold millions of lines, so the counting runs over whole blocks
// of bytes in byte_scan's vector loop.

#include "line_list.h"

#include "byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lotpick {
namespace {

constexpr unsigned char cr = '\r';
constexpr unsigned char lf = '\n';

// How far skip_line_ends goes at a time before it looks closer: a few lines
// of a list, for a table whose names lie a few dozen lines apart.
constexpr std::size_t skip_run = 16 * scan_block;
constexpr std::uint64_t skip_run_lines = 16;

const unsigned char* bytes_of(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

bool is_line_end_at(std::string_view text, std::size_t i) {
    return text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'));
}

using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Words2 = std::uint64_t __attribute__((vector_size(16)));

// Where the first marked byte of a word of compare results stands in memory.
std::size_t first_marked_byte(std::uint64_t marks) {
    const int bits = std::endian::native == std::endian::little ? std::countr_zero(marks) : std::countl_zero(marks);
    return static_cast<std::size_t>(bits) / 8;
}

}  // namespace

std::uint64_t count_line_ends(std::string_view text, std::size_t from) {
    if (from >= text.size()) return 0;
    // Byte 0 has no byte before it, so the blocks start at byte 1.
    std::uint64_t count = from == 0 && is_line_end_at(text, 0) ? 1 : 0;
    std::size_t at = from == 0 ? 1 : from;
    const std::size_t blocks_end = at + (text.size() - at) / scan_block * scan_block;
    count += count_line_ends_in_blocks(bytes_of(text), at, blocks_end);
    for (at = blocks_end; at < text.size(); ++at) count += is_line_end_at(text, at) ? 1 : 0;
    return count;
}

std::size_t skip_line_ends(std::string_view text, std::size_t from, std::uint64_t count) {
    std::size_t at = from;
    if (at >= text.size()) return text.size();
    if (count == 0) return at;
    if (at == 0) {
        if (is_line_end_at(text, 0) && --count == 0) return 1;
        at = 1;
    }
    // Runs of blocks, while the wanted line end is far, then blocks that end
    // before it are passed by count; only the last block is walked byte by
    // byte.
    for (const std::size_t step : {skip_run, scan_block}) {
        for (; at + step <= text.size() && (step == scan_block || count > skip_run_lines); at += step) {
            const std::uint64_t in_step = count_line_ends_in_blocks(bytes_of(text), at, at + step);
            if (in_step >= count) break;
            count -= in_step;
        }
    }
    for (; at < text.size(); ++at)
        if (is_line_end_at(text, at) && --count == 0) return at + 1;
    return text.size();
}

std::size_t name_end(std::string_view text, std::size_t from) {
    std::size_t at = from;
    for (; at + sizeof(Bytes16) <= text.size(); at += sizeof(Bytes16)) {
        Bytes16 bytes;
        std::memcpy(&bytes, text.data() + at, sizeof(Bytes16));
        const auto ends = reinterpret_cast<Words2>((bytes == cr) | (bytes == lf) | (bytes == 0));
        if (ends[0] != 0) return at + first_marked_byte(ends[0]);
        if (ends[1] != 0) return at + 8 + first_marked_byte(ends[1]);
    }
    while (at < text.size() && !ends_name(text[at])) ++at;
    return at;
}

}  // namespace lotpick
