// The entry set. A slot is one 64-bit word: the entry's offset + 1 in the low
// bits and the top bits of its hash above them, so a probe rarely has to look
// at the text itself, and a table of a million entries stays 16 MiB.

#include "entry_set.h"

#include "line_list.h"

#include <bit>
#include <cstring>
#include <utility>

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

// Sixteen bytes at a time up to the name's end, and byte by byte only past a
// zero byte in it.
std::size_t line_end(std::string_view text, std::size_t start) {
    std::size_t end = name_end(text, start);
    while (end < text.size() && !is_line_break(text[end])) ++end;
    return end;
}

// The entry of the line from `start` to `end`: a zero byte ends it early, and
// what follows the zero up to the line break is no part of any entry.
std::string_view entry_of(std::string_view text, std::size_t start, std::size_t end) {
    const std::string_view line = text.substr(start, end - start);
    return line.substr(0, line.find('\0'));
}

// Room for `entries` at a load of at most two thirds: linear probing stays
// short, and the table stays a small multiple of the text.
std::size_t capacity_for(std::size_t entries) { return std::bit_ceil(entries + entries / 2 + 16); }

std::uint64_t* words(const EntrySet& set) { return reinterpret_cast<std::uint64_t*>(set.slots.get()); }

void mark(EntrySet& set, std::string_view entry) {
    const std::uint64_t bit = quick_key(entry) >> set.mark_shift;
    set.marks[bit / 8] = static_cast<char>(set.marks[bit / 8] | (1 << (bit % 8)));
}


// The entry at `offset` equals `name`: the text has no line break or zero
// byte inside a name that has none, so a match up to the name's length that
// ends at one (or at the text's end) is a whole entry.
bool entry_equals(std::string_view text, std::size_t offset, std::string_view name) {
    if (text.size() - offset < name.size()) return false;
    if (std::memcmp(text.data() + offset, name.data(), name.size()) != 0) return false;
    return offset + name.size() == text.size() || ends_name(text[offset + name.size()]);
}

// The slot that holds `name`, or the free slot where it belongs.
std::uint64_t& find_slot(const EntrySet& set, std::string_view name, std::uint64_t hash) {
    const std::size_t mask = set.capacity - 1;
    const std::uint64_t tag = hash & ~set.offset_mask;
    for (std::size_t i = static_cast<std::size_t>(hash) & mask;; i = (i + 1) & mask) {
        std::uint64_t& slot = words(set)[i];
        if (slot == 0) return slot;
        if ((slot & ~set.offset_mask) == tag && entry_equals(set.text, (slot & set.offset_mask) - 1, name)) return slot;
    }
}

struct Pending {
    std::size_t offset;
    std::string_view entry;
    std::uint64_t hash;
    std::uint64_t home;  // the entry's first slot as it was before the batch
};

void insert_entry(EntrySet& set, const Pending& pending) {
    std::uint64_t& home = words(set)[pending.hash & (set.capacity - 1)];
    // A free home slot, seen free twice, needs no probing.
    std::uint64_t& slot = pending.home == 0 && home == 0 ? home : find_slot(set, pending.entry, pending.hash);
    if (slot == 0) slot = (pending.hash & ~set.offset_mask) | (pending.offset + 1);
}

// A table much larger than the caches makes every insert wait for memory.
// Reading the home slots of a batch of entries before inserting any lets the
// processor fetch them all at once instead of one after another.
void insert_batch(EntrySet& set, Pending* batch, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) batch[i].home = words(set)[batch[i].hash & (set.capacity - 1)];
    for (std::size_t i = 0; i < count; ++i) insert_entry(set, batch[i]);
}

void insert_entries(EntrySet& set) {
    constexpr std::size_t batch_size = 16;
    Pending batch[batch_size];
    std::size_t count = 0;
    const std::string_view text = set.text;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = line_end(text, start);
        const std::string_view entry = entry_of(text, start, end);
        if (!entry.empty()) {
            batch[count++] = {start, entry, hash_bytes(entry), 0};
            mark(set, entry);
        }
        if (count == batch_size) insert_batch(set, batch, std::exchange(count, 0));
        start = end + 1;
    }
    insert_batch(set, batch, count);
}

// The answer without a table, for when there was no memory for one.
std::optional<std::size_t> walk_find(std::string_view text, std::string_view name) {
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = line_end(text, start);
        if (entry_of(text, start, end) == name) return start;
        start = end + 1;
    }
    return std::nullopt;
}

// The bytes from `at` to the end, fewer than eight: past eight bytes read as
// the last word with the bytes already hashed shifted out, so that no copy of
// a varying length is called for.
std::uint64_t tail_word(std::string_view bytes, std::size_t at) {
    const std::size_t rest = bytes.size() - at;
    std::uint64_t tail = 0;
    if (rest == 0) return 0;
    if (bytes.size() < 8) {
        std::memcpy(&tail, bytes.data() + at, rest);
        return tail;
    }
    std::memcpy(&tail, bytes.data() + bytes.size() - 8, 8);
    return std::endian::native == std::endian::little ? tail >> (8 * (8 - rest)) : tail << (8 * (8 - rest));
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
    return mix(h ^ tail_word(bytes, at));
}

EntrySet index_entries(std::string_view text) {
    EntrySet set;
    set.text = text;
    const auto offset_bits = static_cast<unsigned>(std::bit_width(text.size()));
    set.offset_mask = offset_bits >= 64u ? ~std::uint64_t{0} : (std::uint64_t{1} << offset_bits) - 1;
    // Every entry but the first follows at least one line end.
    const std::size_t capacity = capacity_for(static_cast<std::size_t>(count_line_ends(text)) + 1);
    set.slots = platform::allocate_zeroed(capacity * sizeof(std::uint64_t));
    set.marks = platform::allocate_zeroed(capacity * 2);
    if (!set.slots || !set.marks) return set;
    set.capacity = capacity;
    // Sixteen bits for each slot, and at least one and a half slots for each
    // entry: a name that is no entry hits a set bit one time in 24 at most.
    set.mark_shift = 64u - static_cast<unsigned>(std::countr_zero(capacity * 16));
    insert_entries(set);
    return set;
}

bool contains_entry(const EntrySet& set, std::string_view name) {
    if (name.empty()) return false;
    for (const char byte : name)
        if (ends_name(byte)) return false;
    return find_entry(set, name).has_value();
}

std::optional<std::size_t> find_marked_entry(const EntrySet& set, std::string_view name) {
    if (set.capacity == 0) return walk_find(set.text, name);
    const std::uint64_t slot = find_slot(set, name, hash_bytes(name));
    if (slot == 0) return std::nullopt;
    return static_cast<std::size_t>((slot & set.offset_mask) - 1);
}

}  // namespace lotpick
