// The draw's arithmetic, checked against worked values.

#include "random_draw.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace lotpick {
namespace {

TEST(RandomDraw, GeneratorFromSeedZeroYieldsKnownOutputs) {
    seed_generator(0);
    EXPECT_EQ(next_random(), 0u);
    EXPECT_EQ(next_random(), 21468u);
    EXPECT_EQ(next_random(), 9988u);
}

TEST(RandomDraw, ReseedingRestartsTheSequence) {
    seed_generator(4242);
    const std::vector<std::uint32_t> first{next_random(), next_random(), next_random()};
    seed_generator(4242);
    const std::vector<std::uint32_t> again{next_random(), next_random(), next_random()};
    EXPECT_EQ(first, again);
}

TEST(RandomDraw, GeneratorUsesBitsSixteenToThirtyOfTheFullState) {
    // Seed 0xFFFFFFFF: state = -1 * 1103515245 + 12345 mod 2^32 = 3191464396
    // = 0xBE39E1CC; bits 16..30 drop the top bit: 0x3E39.
    seed_generator(0xFFFFFFFFu);
    EXPECT_EQ(next_random(), 0x3E39u);
}

struct ScaleCase {
    std::uint32_t r;
    std::int32_t n;
    std::int32_t index;
};

TEST(RandomDraw, ScalesOutputsByTwoRoundedProductsThenTruncates) {
    const ScaleCase cases[] = {
        {0, 0, 0},         {32767, 0, 0},       {32766, 1, 0},   {32767, 1, 1},
        {32766, 10, 9},    {32767, 10, 10},     {257, 32767, 256}, {258, 32767, 258},
        {17969, 93, 50},   {3255, 151, 14},     {32767, 2147483647, 2147483647},
        {16838, 3, 1},     {22290, 3, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scale_to_index(c.r, c.n), c.index) << "r=" << c.r << " n=" << c.n;
}

TEST(RandomDraw, LeavesExactly448IndexesUnreachableAtN32767) {
    std::vector<bool> seen(32768, false);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) seen[static_cast<std::size_t>(scale_to_index(r, 32767))] = true;
    EXPECT_FALSE(seen[257]);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 448);
}

TEST(RandomDraw, DrawsAreTheScaledGeneratorOutputs) {
    seed_generator(0);
    EXPECT_EQ(draw_pick_index(4), 0);
    EXPECT_EQ(draw_pick_index(4), 2);
    EXPECT_EQ(draw_pick_index(4), 1);
    EXPECT_EQ(draw_pick_index(4), 2);
}

TEST(RandomDraw, AcceptsOnlyPlainDecimalSeedsThatFitThirtyTwoBits) {
    const std::pair<std::string_view, std::optional<std::uint32_t>> cases[] = {
        {"0", 0u},          {"4294967295", 4294967295u}, {"007", 7u},       {"123456", 123456u},
        {"4294967296", {}}, {"99999999999999999999", {}}, {"-1", {}},       {"+1", {}},
        {" 1", {}},         {"1 ", {}},                   {"0x10", {}},     {"12a", {}},
        {"", {}},           {"1.5", {}},
    };
    for (const auto& [text, seed] : cases) EXPECT_EQ(parse_seed(text), seed) << "'" << text << "'";
}

}  // namespace
}  // namespace lotpick
