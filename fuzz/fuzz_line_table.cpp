// Fuzz target for the table that later attempts read their names from: for
// every generator output, the table must give the very name a walk from the
// start of the list gives for the index that output scales to.
//
// Input: the list text.

#include "line_list.h"
#include "line_table.h"
#include "platform/platform.h"
#include "random_draw.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

bool is_break(char c) { return c == '\r' || c == '\n'; }

// Offsets of every byte that ends a line: a CR LF pair ends one, at its CR.
std::vector<std::size_t> line_end_offsets(std::string_view text) {
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ends.push_back(i);
    return ends;
}

std::string_view reference_line(std::string_view text, const std::vector<std::size_t>& ends, std::int64_t k) {
    std::size_t start = 0;
    if (k > 1) start = static_cast<std::size_t>(k - 1) <= ends.size() ? ends[static_cast<std::size_t>(k - 2)] + 1
                                                                       : text.size();
    while (start < text.size() && is_break(text[start])) ++start;
    std::size_t end = start;
    while (end < text.size() && !is_break(text[end]) && text[end] != '\0') ++end;
    return text.substr(start, end - start);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The text as the loader hands it over: exactly sized, one zero byte after.
    const lotpick::platform::Block block = lotpick::platform::allocate_zeroed(size + 1);
    if (!block) return 0;
    if (size > 0) std::memcpy(block.get(), data, size);
    const std::string_view text(block.get(), size);

    const std::vector<std::size_t> ends = line_end_offsets(text);
    const auto n = static_cast<std::int32_t>(ends.size());
    const lotpick::LineTable table = lotpick::index_drawable_lines(text, n);
    if (table.names.size() != lotpick::generator_outputs) std::abort();
    for (std::uint32_t r = 0; r < lotpick::generator_outputs; ++r) {
        const std::string_view expected = reference_line(text, ends, lotpick::scale_to_index(r, n));
        // Same bytes at the same place: the name must point into the text.
        if (table.names[r].data() != expected.data() || table.names[r].size() != expected.size()) std::abort();
    }
    return 0;
}
