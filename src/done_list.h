// The done list: every name earlier runs picked, one entry per line in a file
// of the current directory.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "line_list.h"
#include "halves.h"
#include "platform/platform.h"
#include "text_source.h"

namespace lotpick {

// How the done list is read: in pieces of `piece` bytes (at least
// min_done_piece), in two halves side by side from `halves_from` bytes on,
// its ends of names marked on `scan`.
// Tests choose small sizes. A piece of 64 KiB stays in the fastest caches
// from the system's copy through the lookups (256 KiB took 5 % longer, at
// every list size measured).
inline constexpr std::size_t min_done_piece = max_name_length + 1;

struct DoneReading {
    std::size_t piece = std::size_t{64} << 10;
    std::uint64_t halves_from = two_threads_from;
    ScanPath scan = widest_scan_path();
};

struct DoneList {
    std::optional<TextSource> source;  // while open, no run appends to the list
    std::optional<platform::Failure> failure;  // the list exists but could not be read
    DoneReading reading;
};

// Opens the done list of the current directory. A list that cannot be read
// counts as empty, and says why unless there is none: a first run has none.
DoneList open_done_list(const std::string& path, const DoneReading& reading = {});

// Whether each of `names` is done: empty, or equal to a whole entry, the
// bytes of a line up to its first zero byte. Part of an entry is not enough:
// with "pics/sunset.jpg" recorded, "sunset.jpg" is still new. One pass over
// the list whatever the number of names; names longer than max_name_length,
// which no run asks about, count as new. A list that fails to read counts as
// empty from then on, and says why in `failure`: asked about no name at all,
// the list is read through only to learn whether it can be.
std::vector<bool> is_done(DoneList& done, std::span<const std::string_view> names);

// Lets other runs append again.
void close_done_list(DoneList& done);

}  // namespace lotpick
