// The done list: its entries read in pieces and looked up among the names a
// run asks about, and the record of picks. A long done list is never held in
// memory, and never indexed: the names asked about are, a few of them or at
// most one for each generator output.

#include "done_list.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <unordered_map>
#include <utility>

namespace lotpick {
namespace {

using platform::Failure;

// A whole name's hash, from every byte of it: names alike but for a number
// anywhere in them still hash apart. Sixteen bytes at a time, each pair of
// words multiplied together on its own, so that the multiplications of one
// name overlap; a name's last pair is read to its end, over bytes already
// taken, so that no copy of a varying length is made.
[[gnu::always_inline]] inline std::uint64_t hash_name(std::string_view name) {
    constexpr std::uint64_t odd = 0x9E3779B97F4A7C15u;
    constexpr std::uint64_t other = 0xC2B2AE3D27D4EB4Fu;
    const char* bytes = name.data();
    const std::size_t size = name.size();
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t h = size * odd;
    if (size < 8) {
        for (std::size_t at = 0; at < size; ++at) first = first << 8 | static_cast<unsigned char>(bytes[at]);
    } else {
        for (std::size_t at = 0; at + 16 < size; at += 16) {
            std::memcpy(&first, bytes + at, 8);
            std::memcpy(&last, bytes + at + 8, 8);
            h += (first ^ (odd + at)) * (last ^ other);
        }
        std::memcpy(&first, bytes + (size < 16 ? 0 : size - 16), 8);
        std::memcpy(&last, bytes + size - 8, 8);
    }
    return h + (first ^ odd) * (last ^ other);
}

struct NameHash {
    std::size_t operator()(std::string_view name) const { return static_cast<std::size_t>(hash_name(name)); }
};

// The names asked about, each once, numbered in the order they came, and one
// bit for each among sixty-four per name: most entries of a done list are
// told to be no asked name by that bit alone.
struct Asked {
    std::unordered_map<std::string_view, std::size_t, NameHash> number;
    std::vector<std::uint64_t> bits;
    unsigned shift = 64;  // a hash shifted this far numbers its bit
};

bool has_bit(const Asked& asked, std::uint64_t hash) {
    const std::uint64_t bit = hash >> asked.shift;
    return (asked.bits[bit / 64] >> (bit % 64) & 1) != 0;
}

// Names too long to be recorded are never asked about, and the empty name is
// done without asking.
Asked ask_about(std::span<const std::string_view> names) {
    Asked asked;
    const std::size_t bits = std::bit_ceil(names.size() * 64 + 64);
    asked.bits.assign(bits / 64, 0);
    asked.shift = 64u - static_cast<unsigned>(std::countr_zero(bits));
    for (const std::string_view name : names) {
        if (name.empty() || name.size() > max_name_length) continue;
        asked.number.emplace(name, asked.number.size());
        const std::uint64_t bit = hash_name(name) >> asked.shift;
        asked.bits[bit / 64] |= std::uint64_t{1} << (bit % 64);
    }
    return asked;
}

// The lines of one half of the list, and what their entries hit. The first
// half starts at a line start; the second inside the line that holds the
// middle, which the first half reads to its end.
struct Half {
    std::uint64_t from = 0;
    std::uint64_t to = 0;  // lines that start from here on are the next half's
    bool at_line_start = true;
    std::vector<bool> hit;  // by number of the asked name
    std::optional<Failure> failure;
};

// Where the lines of a piece stand while its CR, LF and zero bytes are
// taken in order.
struct LineScan {
    std::size_t start = 0;  // of the line being read, whose entry is not yet cut
    bool in_line = true;    // false from a zero byte, or from inside a line, up to the line's break
};

// The byte at `end` ends a name: the line's entry, when it has not been cut
// already, is the bytes before it; a line break starts the next line, past
// the LF of a CR LF pair, which the marks may leave out.
template <class Visit>
void end_entry(std::string_view piece, std::size_t end, LineScan& scan, Visit& visit) {
    // An empty entry wraps round to the largest length, and is passed over
    // with the ones too long. No substr: its bounds check cost 6 % of a
    // half-done run's instructions.
    const std::size_t length = end - scan.start;
    if (scan.in_line && length - 1 < max_name_length) visit(std::string_view(piece.data() + scan.start, length));
    const char byte = piece[end];
    scan.in_line = byte != '\0';
    if (scan.in_line) scan.start = end + 1 + (byte == '\r' && end + 1 < piece.size() && piece[end + 1] == '\n');
}

// The entries of the whole lines in `piece`, each cut at its first zero
// byte; empty ones and ones too long to be asked about are passed over. The
// ends of names are marked a piece at a time, and only there is the piece
// looked at byte by byte. Returns where the next piece starts, and in `scan`
// whether that is a line start: the rest of a line past its zero byte, or
// of one longer than any entry, is only read over to its break.
template <class Visit>
std::size_t visit_lines(std::string_view piece, bool piece_ends_list, ScanPath path, std::vector<std::uint64_t>& marks,
                        Visit& visit, LineScan& scan) {
    const std::size_t blocks = piece.size() / scan_block;
    marks.resize(blocks);
    mark_name_ends(path, piece.data(), blocks, marks.data());
    for (std::size_t block = 0; block < blocks; ++block)
        for (std::uint64_t word = marks[block]; word != 0; word &= word - 1)
            end_entry(piece, block * scan_block + static_cast<std::size_t>(std::countr_zero(word)), scan, visit);
    for (std::size_t at = blocks * scan_block; at < piece.size(); ++at)
        if (ends_name(piece[at])) end_entry(piece, at, scan, visit);
    const bool fits = scan.in_line && piece.size() - scan.start <= max_name_length;
    if (piece_ends_list && fits && piece.size() > scan.start) visit(piece.substr(scan.start));
    if (fits && !piece_ends_list) return scan.start;
    scan.in_line = false;
    return piece.size();
}

// Looks up every entry of the half's lines among the asked names.
void search_half(const DoneList& done, const Asked& asked, Half& half) {
    const std::uint64_t size = done.source->size;
    std::string piece;
    std::vector<std::uint64_t> marks;
    // The bit is tested before anything else: most entries are told by it
    // alone, and for them no optional result is made.
    auto visit = [&](std::string_view entry) {
        if (!has_bit(asked, hash_name(entry))) return;
        if (const auto found = asked.number.find(entry); found != asked.number.end()) half.hit[found->second] = true;
    };
    LineScan scan{0, half.at_line_start};
    for (std::uint64_t at = half.from; at < half.to && at < size;) {
        // Resized, not refilled: every byte is read over. A piece starts where
        // a line does, anywhere in a page, so unlike a list's it needs no
        // placing in its buffer; placed, it cost 3 instructions more an entry.
        piece.resize(std::min<std::uint64_t>(done.reading.piece, size - at));
        if ((half.failure = read_bytes(*done.source, at, piece.data(), piece.size()))) return;
        scan.start = 0;
        at += visit_lines(piece, at + piece.size() >= size, done.reading.scan, marks, visit, scan);
    }
}

// Every entry of the list looked up among the asked names, in two halves at
// once when the list is long. Names that are all empty or too long need no
// reading; no names at all ask for the list to be read through.
std::optional<Failure> search(const DoneList& done, const Asked& asked, bool read_through, Half (&halves)[2]) {
    for (Half& half : halves) half.hit.assign(asked.number.size(), false);
    if (!done.source || (asked.number.empty() && !read_through)) return std::nullopt;
    const std::uint64_t size = done.source->size;
    halves[0].from = done.source->text_start;
    halves[0].to = size;
    if (!worth_halves(size - done.source->text_start, done.reading.halves_from)) {
        search_half(done, asked, halves[0]);
        return halves[0].failure;
    }
    // The second half reads from the byte before the middle: a line break
    // there starts a line at the middle, which is the second half's.
    halves[0].to = done.source->text_start + (size - done.source->text_start) / 2;
    halves[1].from = halves[0].to - 1;
    halves[1].to = size;
    halves[1].at_line_start = false;
    run_halves([&](int half) { search_half(done, asked, halves[half]); });
    return halves[0].failure ? halves[0].failure : halves[1].failure;
}

}  // namespace

DoneList open_done_list(const std::string& path, const DoneReading& reading) {
    DoneList done;
    done.reading = reading;
    // Room for a whole line that could be an entry: a line that does not end
    // inside a piece is too long to be one.
    done.reading.piece = std::max(reading.piece, min_done_piece);
    OpenedSource opened = open_source(path, platform::Reading::done_list);
    if (!opened.source) {
        if (!opened.missing) done.failure = std::move(opened.failure);
        return done;
    }
    done.source = std::move(opened.source);
    if (std::optional<Failure> failure = read_text_start(*done.source)) {
        done.failure = std::move(failure);
        done.source.reset();
    }
    return done;
}

std::vector<bool> is_done(DoneList& done, std::span<const std::string_view> names) {
    const Asked asked = ask_about(names);
    Half halves[2];
    std::optional<Failure> failure = search(done, asked, names.empty(), halves);
    if (failure) {
        done.failure = std::move(failure);
        close_done_list(done);
    }
    std::vector<bool> verdicts;
    for (const std::string_view name : names) {
        const auto found = asked.number.find(name);
        const bool hit = !failure && found != asked.number.end() &&
                         (halves[0].hit[found->second] || halves[1].hit[found->second]);
        verdicts.push_back(name.empty() || hit);
    }
    return verdicts;
}

void close_done_list(DoneList& done) { done.source.reset(); }

}  // namespace lotpick
