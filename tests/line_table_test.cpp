// The table from generator output to name must give exactly what the draw
// and a walk from the start give, output by output.

#include "line_table.h"

#include "line_list.h"
#include "random_draw.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace lotpick {
namespace {

void expect_every_output_selects_its_line(const std::string& text, std::int32_t n) {
    const LineTable table = index_drawable_lines(text, n);
    ASSERT_EQ(table.names.size(), generator_outputs);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) {
        const std::string_view walked = copy_line(text, scale_to_index(r, n));
        ASSERT_EQ(table.names[r], walked) << "r=" << r << " n=" << n;
        ASSERT_EQ(table.names[r].data(), walked.data()) << "r=" << r << " n=" << n;
    }
}

TEST(IndexDrawableLines, GivesEveryOutputTheNameCopyLineGivesOnRandomTexts) {
    std::mt19937 rng(3);
    static constexpr std::string_view alphabet("ab\r\n\r\n\0", 7);
    for (int round = 0; round < 40; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, 300)(rng), ' ');
        for (char& byte : text) byte = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        const auto n = static_cast<std::int32_t>(count_line_ends(text));
        expect_every_output_selects_its_line(text, n);
    }
}

TEST(IndexDrawableLines, ReachesTheRightLinesOfAListLongerThanTheDrawCanCover) {
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "name" + std::to_string(i) + (i % 3 == 0 ? "\n" : "\r\n");
    expect_every_output_selects_its_line(text, static_cast<std::int32_t>(count_line_ends(text)));
}

TEST(IndexDrawableLines, SlidesOverLongBlankStretchesToTheNextName) {
    const std::string text = "first\r\n" + std::string(200000, '\n') + "last";
    const auto n = static_cast<std::int32_t>(count_line_ends(text));
    const LineTable table = index_drawable_lines(text, n);
    EXPECT_EQ(table.names[0], "first");
    EXPECT_EQ(table.names[1], "last");
    EXPECT_EQ(table.names[generator_outputs - 1], "last");
}

TEST(IndexDrawableLines, GivesTheEmptyNameForAnEmptyText) {
    for (const std::int32_t n : {0, 5}) {
        const LineTable table = index_drawable_lines("", n);
        for (const std::string_view name : table.names) ASSERT_EQ(name, "");
    }
}

}  // namespace
}  // namespace lotpick
