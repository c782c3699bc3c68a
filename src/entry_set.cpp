// The entry set. A slot is one 64-bit word: the entry's offset + 1 in the low
// bits and the top bits of its hash above them, so a probe rarely has to look
// at the text itself, and a table of a million entries stays 16 MiB.

#include "entry_set.h"

#include "line_list.h"

#include <bit>
#include <cstring>

namespace lotpick {
namespace {

constexpr std::uint64_t multiplier = 0x9E3779B97F4A7C15u;

// The finaliser of MurmurHash3: every input bit reaches every output bit.
std::uint64_t mix(std::uint64_t h) {
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDu;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53u;
    return h ^ (h >> 33);
}

bool is_line_break(char byte) { return byte == '\r' || byte == '\n'; }

std::size_t entry_end(std::string_view text, std::size_t start) {
    std::size_t end = start;
    while (end < text.size() && !is_line_break(text[end])) ++end;
    return end;
}

// Room for `entries` at a load of at most two thirds: linear probing stays
// short, and the table stays a small multiple of the text.
std::size_t capacity_for(std::size_t entries) {
    return std::bit_ceil(entries + entries / 2 + 16);
}

// The entry at `offset` equals `name`: the text has no line break inside a
// name that has none, so a match up to the name's length that ends at a break
// (or the text's end) is a whole entry.
bool entry_equals(std::string_view text, std::size_t offset, std::string_view name) {
    if (text.size() - offset < name.size()) return false;
    if (std::memcmp(text.data() + offset, name.data(), name.size()) != 0) return false;
    return offset + name.size() == text.size() || is_line_break(text[offset + name.size()]);
}

// The slot that holds `name`, or the free slot where it belongs.
std::size_t find_slot(const EntrySet& set, std::string_view name, std::uint64_t hash) {
    const std::size_t mask = set.slots.size() - 1;
    const std::uint64_t tag = hash & ~set.offset_mask;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        const std::uint64_t slot = set.slots[i];
        if (slot == 0) return i;
        if ((slot & ~set.offset_mask) == tag && entry_equals(set.text, (slot & set.offset_mask) - 1, name)) return i;
    }
}

void insert_entry(EntrySet& set, std::size_t offset, std::string_view entry) {
    const std::uint64_t hash = hash_bytes(entry);
    std::uint64_t& slot = set.slots[find_slot(set, entry, hash)];
    if (slot == 0) slot = (hash & ~set.offset_mask) | (offset + 1);
}

}  // namespace

std::uint64_t hash_bytes(std::string_view bytes) {
    std::uint64_t h = multiplier ^ bytes.size();
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + at, 8);
        h = std::rotl((h ^ word) * multiplier, 29);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + at, bytes.size() - at);
    return mix(h ^ tail);
}

EntrySet index_entries(std::string_view text) {
    EntrySet set;
    set.text = text;
    set.offset_mask = std::bit_width(text.size()) >= 64 ? ~std::uint64_t{0}
                                                        : (std::uint64_t{1} << std::bit_width(text.size())) - 1;
    // Every entry but the first follows at least one line end.
    set.slots.assign(capacity_for(static_cast<std::size_t>(count_line_ends(text)) + 1), 0);
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = entry_end(text, start);
        if (end > start) insert_entry(set, start, text.substr(start, end - start));
        start = end + 1;
    }
    return set;
}

bool contains_entry(const EntrySet& set, std::string_view name) {
    if (name.empty() || set.slots.empty()) return false;
    for (const char byte : name)
        if (is_line_break(byte)) return false;
    const std::uint64_t hash = hash_bytes(name);
    return set.slots[find_slot(set, name, hash)] != 0;
}

}  // namespace lotpick
