// The list read in pieces: the counting pass over the whole file, and the
// reads of the stretches that drawn names lie in. Offsets are the file's;
// the bytes of a byte order mark hold no line end, so counting over the file
// counts the text.

#include "list_file.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace lotpick {
namespace {

using platform::Failure;

// File bytes [from, to) with the byte before them in front, as read_piece
// reads them and line_list's functions want a piece.
struct Window {
    std::uint64_t from = 0;
    std::string buffer;
    std::string_view bytes;

    std::uint64_t to() const { return from + bytes.size() - 1; }
    std::size_t at(std::uint64_t offset) const { return static_cast<std::size_t>(offset - from + 1); }
    std::uint64_t offset(std::size_t at) const { return from + at - 1; }
};

std::optional<Failure> read_window(const ListFile& list, std::uint64_t from, std::uint64_t to, Window& window) {
    window.from = from;
    return read_piece(list.source, from, to, static_cast<std::size_t>(to - from), window.buffer, window.bytes);
}

// Line ends in each stretch of file bytes [from, to), into the list's
// ends_before from that of the stretch at `from` on; `from` on a stretch
// border, pieces one after the other into one buffer that stays in the cache.
std::optional<Failure> count_stretches(ListFile& list, std::uint64_t from, std::uint64_t to, std::size_t piece) {
    Window window;
    std::uint64_t* in_stretch = list.ends_before.data() + 1 + from / list.stretch;
    for (std::uint64_t at = from; at < to; at += piece) {
        const std::uint64_t end = std::min<std::uint64_t>(to, at + piece);
        if (std::optional<Failure> failure = read_window(list, at, end, window)) return failure;
        for (std::size_t start = 1; start < window.bytes.size(); start += list.stretch) {
            const std::size_t stop = std::min(window.bytes.size(), start + list.stretch);
            *in_stretch++ = count_line_ends(window.bytes.substr(0, stop), start, list.scan);
        }
    }
    return std::nullopt;
}

// Both halves at once on a long list, each counting its own stretches; the
// second starts on a stretch border.
std::optional<Failure> count_list(ListFile& list, const ListReading& reading) {
    list.ends_before.assign(1 + (list.source.size + list.stretch - 1) / list.stretch, 0);
    std::optional<Failure> failures[2];
    if (!worth_halves(list.source.size, reading.halves_from)) {
        failures[0] = count_stretches(list, 0, list.source.size, reading.piece);
    } else {
        const std::uint64_t middle = (list.source.size + list.stretch - 1) / list.stretch / 2 * list.stretch;
        run_halves([&](int half) {
            failures[half] = half == 0 ? count_stretches(list, 0, middle, reading.piece)
                                       : count_stretches(list, middle, list.source.size, reading.piece);
        });
    }
    std::partial_sum(list.ends_before.begin(), list.ends_before.end(), list.ends_before.begin());
    list.line_ends = list.ends_before.back();
    return failures[0] ? failures[0] : failures[1];
}

// A window reaches this far past where a name is looked for: far enough for
// any name that fits, and the line breaks usually before it.
constexpr std::uint64_t name_reach = 1024;

// A line start in the window, and the line ends before it: where the walk
// to the next wanted line goes on from, when that line is further on in the
// same stretch.
struct Cursor {
    std::uint64_t line_start = 0;
    std::uint64_t passed = 0;
};

// The walk forward over a list that finds the names of indexes in order: the
// window it read last, where in it the last wanted line started, and where
// the last name found starts.
struct Walk {
    const ListFile& list;
    Window window;
    Cursor cursor;
    std::uint64_t name_start = 0;
};

// The file offset where the line after the `wanted`-th line end (from 1)
// starts, or the end of the list when it has fewer. The stretch counts say
// which stretch to read; the window keeps it for the next name, and the
// cursor where in it the last one started.
std::optional<Failure> line_start_after(Walk& walk, std::uint64_t wanted, std::uint64_t& line_start) {
    const ListFile& list = walk.list;
    const auto found = std::lower_bound(list.ends_before.begin(), list.ends_before.end(), wanted);
    line_start = list.source.size;
    if (found == list.ends_before.end()) return std::nullopt;
    const auto stretch = static_cast<std::size_t>(found - list.ends_before.begin()) - 1;
    const std::uint64_t from = std::uint64_t{stretch} * list.stretch;
    const std::uint64_t to = std::min(list.source.size, from + list.stretch + name_reach);
    Window& window = walk.window;
    const bool read_again = window.bytes.empty() || window.from != from || window.to() < to;
    if (read_again)
        if (std::optional<Failure> failure = read_window(list, from, to, window)) return failure;
    // The indexes come in order, so a cursor in this window lies before the
    // wanted line.
    if (read_again || walk.cursor.line_start < from) walk.cursor = {from, list.ends_before[stretch]};
    const std::size_t start = window.at(walk.cursor.line_start);
    line_start = window.offset(skip_line_ends(window.bytes, start, wanted - walk.cursor.passed, list.scan));
    walk.cursor = {line_start, wanted};
    return std::nullopt;
}

// The window that holds `at`: the one read last, or one read from `at` on.
// Each read reaches twice as far as the one before, up to a piece, so that a
// long run of line breaks or a long line costs few reads and never more
// memory than a piece.
std::optional<Failure> window_at(Walk& walk, std::uint64_t at, std::uint64_t& reach) {
    Window& window = walk.window;
    if (!window.bytes.empty() && at >= window.from && at < window.to()) return std::nullopt;
    reach = std::min<std::uint64_t>(reach * 2, list_piece);
    return read_window(walk.list, at, std::min(walk.list.source.size, at + reach), window);
}

// The name at or after `at` by name_at's rule, `passed` line ends lying
// before it, added to `found`: the line breaks before it are passed over
// window by window, their line ends counted, and the name is measured the
// same way; only a name of at most `keep` bytes is kept.
std::optional<Failure> name_from(Walk& walk, std::uint64_t at, std::uint64_t passed, FoundNames& found,
                                 std::uint64_t keep) {
    const std::uint64_t size = walk.list.source.size;
    const Window& window = walk.window;
    std::uint64_t reach = name_reach / 2;
    while (at < size) {
        if (std::optional<Failure> failure = window_at(walk, at, reach)) return failure;
        const std::size_t from = window.at(at);
        std::size_t start = from;
        while (start < window.bytes.size() && is_line_break(window.bytes[start])) ++start;
        passed += count_line_ends(window.bytes.substr(0, start), from, walk.list.scan);
        at = window.offset(start);
        if (start < window.bytes.size()) break;
    }
    walk.name_start = at;
    ListName& name = found.names.emplace_back(ListName{found.bytes.size(), 0, passed + 1});
    while (at < size) {
        if (std::optional<Failure> failure = window_at(walk, at, reach)) return failure;
        const std::size_t from = window.at(at);
        const std::size_t end = name_end(window.bytes, from);
        if (name.size <= keep) found.bytes.append(window.bytes.substr(from, end - from));
        name.size += end - from;
        at = window.offset(end);
        if (end < window.bytes.size()) break;
    }
    if (name.size > keep) found.bytes.resize(name.at);
    return std::nullopt;
}

// The positions of the indexes from the smallest index up, so that one walk
// forward finds all their names; the table's come in that order already.
std::vector<std::uint32_t> in_order(std::span<const std::int32_t> indexes) {
    std::vector<std::uint32_t> order(indexes.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    const auto by_index = [&](std::uint32_t a, std::uint32_t b) { return indexes[a] < indexes[b]; };
    if (!std::is_sorted(indexes.begin(), indexes.end())) std::stable_sort(order.begin(), order.end(), by_index);
    return order;
}

// copy_line, keeping the bytes of names of at most `keep` bytes.
FoundNames find_names(const ListFile& list, std::span<const std::int32_t> indexes, std::uint64_t keep) {
    FoundNames found;
    found.selected.resize(indexes.size());
    Walk walk{list, {}, {}, 0};
    for (const std::uint32_t i : in_order(indexes)) {
        const std::uint64_t wanted = indexes[i] > 1 ? static_cast<std::uint64_t>(indexes[i]) - 1 : 0;
        std::uint64_t line_start = list.source.text_start;
        if (wanted > 0 && (found.failure = line_start_after(walk, wanted, line_start))) return found;
        // A line start in the run of line breaks before the last name slides
        // onto that same name.
        if (found.names.empty() || line_start > walk.name_start) {
            const std::uint64_t passed = std::min(wanted, list.line_ends);
            if ((found.failure = name_from(walk, line_start, passed, found, keep))) return found;
        }
        found.selected[i] = static_cast<std::uint32_t>(found.names.size() - 1);
    }
    return found;
}

}  // namespace

FoundNames copy_line(const ListFile& list, std::span<const std::int32_t> indexes) {
    return find_names(list, indexes, max_name_length);
}

std::optional<std::string> whole_name(const ListFile& list, std::int32_t index) {
    const std::int32_t indexes[] = {index};
    const FoundNames found = find_names(list, indexes, longest_whole_name);
    if (found.failure || found.names.front().size > longest_whole_name) return std::nullopt;
    return found.bytes.substr(found.names.front().at);
}

ScannedList load_text_file(const std::string& path, const ListReading& reading) {
    OpenedSource opened = open_source(path, platform::Reading::list);
    if (!opened.source) return {std::nullopt, std::move(opened.failure)};
    return load_text_file(std::move(*opened.source), reading);
}

ScannedList load_text_file(TextSource source, const ListReading& reading) {
    ScannedList scanned{ListFile{.source = std::move(source), .stretch = reading.stretch, .scan = reading.scan}, {}};
    ListFile& list = *scanned.list;
    std::optional<Failure> failure = read_text_start(list.source);
    if (!failure && !list.source.utf16) failure = count_list(list, reading);
    if (failure) return {std::nullopt, std::move(*failure)};
    return scanned;
}

}  // namespace lotpick
