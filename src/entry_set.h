// A set of the entries of a text (the runs of bytes between CR and LF bytes,
// each cut short by a zero byte in it),
// for whole-entry lookups in constant expected time: a flat open-addressing
// table of offsets into the text, built once. A run keeps the names it needs
// a verdict on in one, and looks every entry of the done list up in it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/platform.h"

namespace lotpick {

struct EntrySet {
    std::string_view text;          // the entries' bytes; must outlive the set
    platform::Block slots;          // `capacity` words: 0 when free, else hash bits over offset + 1
    std::size_t capacity = 0;       // a power of two, or 0 when there is no table
    std::uint64_t offset_mask = 0;  // the low bits of a word that hold offset + 1
    platform::Block marks;          // `capacity` bytes of bits, one set for each entry's quick key
    unsigned mark_shift = 64;       // how far a quick key is shifted to number its bit
};

// Every non-empty entry of `text`. Without memory for the table the set still
// answers, by walking the text.
EntrySet index_entries(std::string_view text);

// True when `name` equals one of the entries byte for byte.
bool contains_entry(const EntrySet& set, std::string_view name);

// The offset in the set's text of the entry `name` equals, if any; `name`
// must be non-empty and hold no CR, LF or zero byte. Most names that are no
// entry are told by one bit, without hashing them.
std::optional<std::size_t> find_entry(const EntrySet& set, std::string_view name);

// The hash behind the table, 64 well-mixed bits.
std::uint64_t hash_bytes(std::string_view bytes);

}  // namespace lotpick
