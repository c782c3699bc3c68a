// List files: the line-end rule and the walk from a pick index to a name.
// Lists can hold millions of lines, so the counting runs over whole blocks
// of bytes in byte_scan's loops.

#include "line_list.h"

#include <algorithm>

namespace lotpick {
namespace {

bool is_line_end_at(std::string_view text, std::size_t i) {
    return text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'));
}

}  // namespace

std::uint64_t count_line_ends(std::string_view text, std::size_t from, ScanPath path) {
    if (from >= text.size()) return 0;
    // Byte 0 has no byte before it, so the blocks start at byte 1.
    std::uint64_t count = from == 0 && is_line_end_at(text, 0) ? 1 : 0;
    std::size_t at = from == 0 ? 1 : from;
    const std::size_t blocks_end = at + (text.size() - at) / scan_block * scan_block;
    count += count_line_ends_in_blocks(path, text.data(), at, blocks_end);
    for (at = blocks_end; at < text.size(); ++at) count += is_line_end_at(text, at) ? 1 : 0;
    return count;
}

std::size_t skip_line_ends(std::string_view text, std::size_t from, std::uint64_t count, ScanPath path) {
    std::size_t at = from;
    if (at >= text.size()) return text.size();
    if (count == 0) return at;
    if (at == 0) {
        if (is_line_end_at(text, 0) && --count == 0) return 1;
        at = 1;
    }
    // Runs of sixteen blocks while more than sixteen line ends are wanted (a
    // few lines of a list: the table's names lie a few dozen lines apart),
    // then single blocks, are passed by count; only the last block is
    // walked byte by byte. Block by block alone, a run with every name done
    // took 4 % more instructions.
    for (std::size_t step = 16 * scan_block; step >= scan_block; step /= 16) {
        for (; at + step <= text.size() && (step == scan_block || count > 16); at += step) {
            const std::uint64_t in_step = count_line_ends_in_blocks(path, text.data(), at, at + step);
            if (in_step >= count) break;
            count -= in_step;
        }
    }
    for (; at < text.size(); ++at)
        if (is_line_end_at(text, at) && --count == 0) return at + 1;
    return text.size();
}

std::size_t name_end(std::string_view text, std::size_t from) {
    const auto end = std::find_if(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), ends_name);
    return static_cast<std::size_t>(end - text.begin());
}

}  // namespace lotpick
