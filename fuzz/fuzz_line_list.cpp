// Fuzz target for list files: line-end counting, the walk from a pick index
// to a name, and line numbers, checked against a plain model of the lines.
//
// Input: two bytes of pick index (little-endian, signed), then the list text.

#include "line_list.h"
#include "platform/platform.h"
#include "scan_paths.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <vector>

namespace {

// Offsets of every byte that ends a line. A CR LF pair ends one line, at its
// CR; a lone CR or a lone LF ends one line each.
std::vector<std::size_t> line_end_offsets(std::string_view text) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lf_of_pair = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
        if ((text[i] == '\r' || text[i] == '\n') && !lf_of_pair) ends.push_back(i);
    }
    return ends;
}

// Every CR and every LF, less one for each CR LF pair.
std::uint64_t reference_count(std::string_view text) {
    std::uint64_t crs = 0, lfs = 0, pairs = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        crs += text[i] == '\r';
        lfs += text[i] == '\n';
        pairs += text[i] == '\n' && i > 0 && text[i - 1] == '\r';
    }
    return crs + lfs - pairs;
}

bool is_break(char c) { return c == '\r' || c == '\n'; }

// Start after the (k-1)th line end (at 0 for k of 1 or less, at the end when
// there are fewer), step over line breaks, take up to a break or zero byte.
std::string_view reference_line(std::string_view text, const std::vector<std::size_t>& ends, std::int64_t k) {
    std::size_t start = 0;
    if (k > 1) {
        const auto skipped = static_cast<std::uint64_t>(k - 1);
        start = skipped <= ends.size() ? ends[static_cast<std::size_t>(skipped - 1)] + 1 : text.size();
    }
    while (start < text.size() && is_break(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !is_break(text[end]) && text[end] != '\0') ++end;
    return text.substr(start, end - start);
}

std::uint64_t reference_line_number(const std::vector<std::size_t>& ends, std::size_t offset) {
    std::uint64_t line = 1;
    for (const std::size_t end : ends) line += end < offset;
    return line;
}

void check_line(std::string_view text, const std::vector<std::size_t>& ends, std::int64_t k, lotpick::ScanPath path) {
    const std::string_view expected = reference_line(text, ends, k);
    // The walk the list reader makes inside a piece: past k - 1 line ends, then to the name.
    const std::uint64_t skipped = k > 1 ? static_cast<std::uint64_t>(k - 1) : 0;
    std::size_t start = lotpick::skip_line_ends(text, 0, skipped, path);
    while (start < text.size() && lotpick::is_line_break(text[start])) ++start;
    const std::string_view got = text.substr(start, lotpick::name_end(text, start) - start);
    // Same bytes at the same place: the name must point into the text.
    if (got.data() != expected.data() || got.size() != expected.size()) std::abort();
    const auto offset = static_cast<std::size_t>(got.data() - text.data());
    if (lotpick::count_line_ends(text.substr(0, offset), 0, path) + 1 != reference_line_number(ends, offset)) std::abort();
}

// Counts, walks and line numbers of the text, checked against the model.
void check_text(std::string_view text, const std::vector<std::size_t>& ends, std::int16_t k, lotpick::ScanPath path) {
    const std::size_t length = text.size();
    const std::uint64_t count = lotpick::count_line_ends(text, 0, path);
    if (count != ends.size() || count != reference_count(text)) std::abort();
    // A piece counted past the byte before it, as the list is read.
    const std::size_t from = length > 0 ? static_cast<std::uint16_t>(k) % length : 0;
    std::uint64_t after = 0;
    for (const std::size_t end : ends) after += end >= from;
    if (lotpick::count_line_ends(text, from, path) != after) std::abort();

    const auto n = static_cast<std::int64_t>(count);
    for (const std::int64_t index : {std::int64_t{k}, n, n + 1, std::numeric_limits<std::int64_t>::max(),
                                     std::numeric_limits<std::int64_t>::min()})
        check_line(text, ends, index, path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const auto k = static_cast<std::int16_t>(static_cast<std::uint16_t>(data[0] | data[1] << 8));
    // The text in a buffer of its own size, so that a read past its end is seen.
    const std::size_t length = size - 2;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, length);
    const std::string_view text(bytes);

    const std::vector<std::size_t> ends = line_end_offsets(text);
    on_each_scan_path([&](lotpick::ScanPath path) { check_text(text, ends, k, path); });
    return 0;
}
