// The random draw. Stored done lists and reproducible seeds depend on every
// bit of this arithmetic, so it must not be "improved".

#include "random_draw.h"

#include <bit>
#include <charconv>

namespace lotpick {
namespace {

// The generator's only state, and the program's only global.
std::uint32_t generator_state = 0;

// The double nearest 1/32767. With 32767 * scale rounding to exactly 1.0, the
// top output reaches index n itself.
const double scale = std::bit_cast<double>(std::uint64_t{0x3F00002000400080});

}  // namespace

void seed_generator(std::uint32_t seed) { generator_state = seed; }

std::uint32_t next_random() {
    generator_state = generator_state * 1103515245u + 12345u;
    return (generator_state >> 16) & 32767u;
}

std::int32_t scale_to_index(std::uint32_t r, std::int32_t n) {
    // Two separately rounded double products, then truncation: the indexes
    // differ from the exact quotient r * n / 32767 for some r and n.
    const double x = static_cast<double>(r) * scale;
    const double y = x * static_cast<double>(n);
    return static_cast<std::int32_t>(y);
}

std::int32_t draw_pick_index(std::int32_t n) { return scale_to_index(next_random(), n); }

std::optional<std::uint32_t> parse_seed(std::string_view text) {
    std::uint32_t value = 0;
    const char* end = text.data() + text.size();
    // Into an unsigned type, from_chars takes digits only: no sign, no blank,
    // no base prefix, and nothing at all from empty text.
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end) return std::nullopt;
    return value;
}

}  // namespace lotpick
