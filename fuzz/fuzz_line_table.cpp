// Fuzz target for where attempts read their names from: for every generator
// output, the table must give the very name a walk from the start of the list
// gives for the index that output scales to, and reading the stretches of a
// list in pieces must give the same names for every index.
//
// Input: the list text.

#include "line_list.h"
#include "line_table.h"
#include "list_file.h"
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

// The first attempts of a run read their names from the stretches of the list
// they land on: the same names, the same lengths and lines. Stretch, piece
// and the split into halves are as small as the input's size makes them.
void check_found_names(std::string_view bytes) {
    lotpick::TextSource source;
    source.whole.bytes = lotpick::platform::allocate_zeroed(bytes.size() + 1);
    if (!source.whole.bytes) return;
    if (!bytes.empty()) std::memcpy(source.whole.bytes.get(), bytes.data(), bytes.size());
    source.whole.size = source.size = bytes.size();
    const std::size_t stretch = 1 + bytes.size() % 13;
    const lotpick::ScannedList scanned =
        lotpick::scan_list(std::move(source), lotpick::ListReading{stretch * (1 + bytes.size() % 5), stretch, 2});
    if (!scanned.list || scanned.list->utf16 != lotpick::is_utf16_text(bytes)) std::abort();
    if (scanned.list->utf16) return;
    // Names come from the text past a byte order mark.
    const std::string_view text = lotpick::without_byte_order_mark(bytes);
    const std::vector<std::size_t> ends = line_end_offsets(text);
    if (scanned.list->line_ends != ends.size()) std::abort();
    std::vector<std::int32_t> indexes;
    for (std::int32_t k = static_cast<std::int32_t>(ends.size()) + 2; k >= 0 && indexes.size() < 300; --k) indexes.push_back(k);
    const lotpick::FoundNames found = lotpick::find_names(*scanned.list, indexes);
    if (found.failure) std::abort();
    for (std::size_t i = 0; i < indexes.size(); ++i) {
        const std::string_view expected = reference_line(text, ends, indexes[i]);
        const lotpick::ListName& name = found.names[i];
        if (name.size != expected.size() || (expected.size() <= lotpick::max_name_length && name.name != expected)) std::abort();
        std::uint64_t line = 1;
        for (const std::size_t end : ends) line += end < static_cast<std::size_t>(expected.data() - text.data());
        if (name.line != line) std::abort();
    }
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
    check_found_names(text);
    return 0;
}
