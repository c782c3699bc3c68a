// The random draw: a 32-bit linear congruential generator, seeded once per
// run, and the scaling of its 15-bit output to a pick index.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lotpick {

inline constexpr std::uint32_t generator_outputs = 32768;

void seed_generator(std::uint32_t seed);

// Advances the generator once and returns its output, 0..32767.
std::uint32_t next_random();

// Scales a generator output to an index in 0..n (n only when r is 32767).
std::int32_t scale_to_index(std::uint32_t r, std::int32_t n);

// One attempt's pick index over n line ends.
std::int32_t draw_pick_index(std::int32_t n);

// A seed given as text: a decimal whole number from 0 to 4294967295, digits
// only.
std::optional<std::uint32_t> parse_seed(std::string_view text);

}  // namespace lotpick
