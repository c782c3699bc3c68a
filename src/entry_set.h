// A set of the entries of a text (the runs of bytes between CR and LF bytes,
// each cut short by a zero byte in it),
// for whole-entry lookups in constant expected time: a flat open-addressing
// table of offsets into the text, built once. A run keeps the names it needs
// a verdict on in one, and looks every entry of the done list up in it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace lotpick {

struct EntrySet {
    std::string_view text;          // the entries' bytes; must outlive the set
    platform::Block slots;          // `capacity` words: 0 when free, else hash bits over offset + 1
    std::size_t capacity = 0;       // a power of two, or 0 when there is no table
    std::uint64_t offset_mask = 0;  // the low bits of a word that hold offset + 1
    platform::Block marks;          // 2 * `capacity` bytes of bits, one set for each entry's quick key
    unsigned mark_shift = 64;       // how far a quick key is shifted to number its bit
};

// Every non-empty entry of `text`. Without memory for the table the set still
// answers, by walking the text.
EntrySet index_entries(std::string_view text);

// True when `name` equals one of the entries byte for byte.
bool contains_entry(const EntrySet& set, std::string_view name);

// A key read from a name's end alone, its length and last sixteen bytes, so
// that it costs two loads and two multiplications: in a done list of names
// alike but for their numbers, those bytes tell most of them apart, the
// extension and all.
inline std::uint64_t quick_key(std::string_view name) {
    constexpr std::uint64_t odd = 0x9E3779B97F4A7C15u;
    std::uint64_t last = 0;
    std::uint64_t before = 0;
    if (name.size() >= 8) {
        std::memcpy(&last, name.data() + name.size() - 8, 8);
        std::memcpy(&before, name.data() + (name.size() >= 16 ? name.size() - 16 : 0), 8);
    } else if (!name.empty()) {
        std::memcpy(&last, name.data(), name.size());
    }
    return (std::rotl(last * odd, 29) ^ before ^ name.size()) * odd;
}

// Whether `name` may be an entry: false for most names that are not.
inline bool may_be_entry(const EntrySet& set, std::string_view name) {
    if (set.capacity == 0) return true;
    const std::uint64_t bit = quick_key(name) >> set.mark_shift;
    return ((set.marks[bit / 8] >> (bit % 8)) & 1) != 0;
}

// The offset in the set's text of the entry `name` equals, if any; `name`
// must be non-empty and hold no CR, LF or zero byte.
std::optional<std::size_t> find_marked_entry(const EntrySet& set, std::string_view name);

// The same, but most names that are no entry are told by one bit, without
// hashing them or calling anything.
inline std::optional<std::size_t> find_entry(const EntrySet& set, std::string_view name) {
    if (!may_be_entry(set, name)) return std::nullopt;
    return find_marked_entry(set, name);
}

// The hash behind the table, 64 well-mixed bits.
std::uint64_t hash_bytes(std::string_view bytes);

}  // namespace lotpick
