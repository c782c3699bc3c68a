// Fuzz target for where attempts read their names from: for every generator
// output, the table must give the very name a walk from the start of the list
// gives for the index that output scales to, and the first attempts' names,
// read from their stretches, must be the walk's for every index.
//
// Input: the list text.

#include "line_list.h"
#include "draw_plan.h"
#include "list_file.h"
#include "platform/platform.h"
#include "random_draw.h"
#include "scan_paths.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

namespace {

// The text past a UTF-8 byte order mark, and whether a UTF-16 one starts it.
std::string_view past_utf8_mark(std::string_view text) {
    return text.starts_with("\xEF\xBB\xBF") ? text.substr(3) : text;
}

bool starts_utf16(std::string_view text) { return text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"); }

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

// A name as the list reads it must be the reference's: the same length, the
// same bytes when it fits, the same line.
void check_name(std::string_view text, const std::vector<std::size_t>& ends, const lotpick::FoundNames& found,
                const lotpick::ListName& name, std::int64_t k) {
    const std::string_view expected = reference_line(text, ends, k);
    if (name.size != expected.size()) std::abort();
    if (expected.size() <= lotpick::max_name_length && lotpick::text_of(found, name) != expected) std::abort();
    // Line ends before the name's offset, found by halving: the ends are in order.
    const auto offset = static_cast<std::size_t>(expected.data() - text.data());
    const auto line = static_cast<std::uint64_t>(std::lower_bound(ends.begin(), ends.end(), offset) - ends.begin()) + 1;
    if (name.line != line) std::abort();
}

// The list as a run has it, read from memory: stretch, piece and the split
// into halves are as small as the input's size makes them.
lotpick::ScannedList scanned_from(std::string_view bytes, lotpick::ScanPath path) {
    lotpick::TextSource source;
    source.whole = bytes;
    source.size = bytes.size();
    const std::size_t stretch = 1 + bytes.size() % 13;
    return lotpick::load_text_file(std::move(source),
                                   lotpick::ListReading{stretch * (1 + bytes.size() % 5), stretch, 2, path});
}

// The list's count, its table and its first attempts' names.
void check_list(std::string_view bytes, lotpick::ScanPath path) {
    const lotpick::ScannedList scanned = scanned_from(bytes, path);
    if (!scanned.list || scanned.list->source.utf16 != starts_utf16(bytes)) std::abort();
    if (scanned.list->source.utf16) return;
    // Names come from the text past one UTF-8 byte order mark, told here
    // without the program's own tests, so that a slip there shows.
    const std::string_view text = past_utf8_mark(bytes);
    const std::vector<std::size_t> ends = line_end_offsets(text);
    if (scanned.list->line_ends != ends.size()) std::abort();
    const auto n = static_cast<std::int32_t>(ends.size());

    const lotpick::FoundNames table = lotpick::index_drawable_lines(*scanned.list, n);
    if (table.failure || table.selected.size() != lotpick::generator_outputs) std::abort();
    for (std::uint32_t r = 0; r < lotpick::generator_outputs; ++r)
        check_name(text, ends, table, lotpick::name_selected(table, r), lotpick::scale_to_index(r, n));

    // And the first attempts' names for indexes from the last down.
    std::vector<std::int32_t> indexes;
    for (std::int32_t k = n + 2; k >= 0 && indexes.size() < 300; --k) indexes.push_back(k);
    const lotpick::FoundNames found = lotpick::copy_line(*scanned.list, indexes);
    if (found.failure) std::abort();
    for (std::size_t i = 0; i < indexes.size(); ++i)
        check_name(text, ends, found, lotpick::name_selected(found, i), indexes[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    on_each_scan_path([&](lotpick::ScanPath path) { check_list(bytes, path); });
    return 0;
}
