// A list file read in pieces. One pass counts its line ends and notes how
// many come before each stretch of it; the names a draw lands on are then
// read again from their stretches alone, a few or one for each generator
// output. A run keeps the whole list in memory only when it came through a
// pipe and cannot be read twice.
#pragma once

#include "line_list.h"
#include "halves.h"
#include "platform/platform.h"
#include "text_source.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lotpick {

// A run's pieces of a list, and the most that a window read for a name
// reaches.
inline constexpr std::size_t list_piece = std::size_t{256} << 10;

// How the list is read: in pieces of `piece` bytes (a multiple of `stretch`),
// line ends noted per `stretch` bytes, and the counting split into two halves
// read side by side from `halves_from` bytes on. Tests choose small sizes.
// A piece stays in the processor's cache between the system's copy into it
// and the count over it.
struct ListReading {
    std::size_t piece = list_piece;
    std::size_t stretch = std::size_t{16} << 10;
    std::uint64_t halves_from = two_threads_from;
    ScanPath scan = widest_scan_path();
};

struct ListFile {
    TextSource source;             // read again where names lie, or whole
    std::uint64_t line_ends = 0;
    std::size_t stretch = 0;
    ScanPath scan = ScanPath::portable;  // the path its scans run on
    std::vector<std::uint64_t> ends_before{};  // before each stretch, and all of them last
};

struct ScannedList {
    std::optional<ListFile> list;  // empty when the list cannot be read
    platform::Failure failure;
};

// Opens the list and counts its line ends.
ScannedList load_text_file(const std::string& path, const ListReading& reading = {});
ScannedList load_text_file(TextSource source, const ListReading& reading = {});

// A name as a pick index selects it.
struct ListName {
    std::size_t at = 0;      // where its bytes start in FoundNames::bytes, when it fits max_name_length
    std::uint64_t size = 0;  // its length in bytes
    std::uint64_t line = 0;  // the line of the list it stands on, from 1
};

struct FoundNames {
    std::vector<ListName> names;          // each name found once, in the order of the list
    std::vector<std::uint32_t> selected;  // for each index asked about, the one of `names` it selects
    std::string bytes;                    // the names that fit, one after another
    std::optional<platform::Failure> failure;
};

// The names that pick indexes select, by copy_line's rule, each read from the
// stretch it lies in. Indexes that select one name, because they stand for one
// line or land in the run of line breaks before it, share it.
FoundNames copy_line(const ListFile& list, std::span<const std::int32_t> indexes);

// Longer than any path a system takes (32767 UTF-16 units, 3 bytes each at
// most in UTF-8): no name past it is a name.
inline constexpr std::uint64_t longest_whole_name = std::uint64_t{3} * 32767;

// The whole of the name that pick index `index` selects, however much longer
// than a name it is, for what a message says of it; none when it is longer
// than longest_whole_name, or cannot be read again.
std::optional<std::string> whole_name(const ListFile& list, std::int32_t index);

// The name index `i` of those asked about selects.
inline const ListName& name_selected(const FoundNames& found, std::size_t i) {
    return found.names[found.selected[i]];
}

// A name's bytes; none for a name too long to be one.
inline std::string_view text_of(const FoundNames& found, const ListName& name) {
    if (name.size > max_name_length) return {};
    return std::string_view(found.bytes).substr(name.at, static_cast<std::size_t>(name.size));
}

}  // namespace lotpick
