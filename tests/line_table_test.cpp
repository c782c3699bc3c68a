// The table from generator output to name must give exactly what the draw
// and copy_line's rule give, output by output: the name, its length and its
// line.

#include "line_table.h"

#include "line_list.h"
#include "random_draw.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace lotpick {
namespace {

// The list as a run has it from a file, its stretches small enough that
// names straddle their borders.
ListFile list_of(const std::string& text) {
    test::write_file("list.txt", text);
    return std::move(*scan_list("list.txt", ListReading{256, 64, 1 << 30}).list);
}

LineTable table_of(const std::string& text, std::int32_t n) {
    test::ScratchDir scratch;
    const LineTable table = index_drawable_lines(list_of(text), n);
    EXPECT_FALSE(table.failure);
    return table;
}

// The line an offset stands on, from the offsets of all line ends.
std::uint64_t line_at(const std::vector<std::size_t>& ends, std::size_t offset) {
    return static_cast<std::uint64_t>(std::lower_bound(ends.begin(), ends.end(), offset) - ends.begin()) + 1;
}

void expect_every_output_selects_its_line(const std::string& text, std::int32_t n) {
    const LineTable table = table_of(text, n);
    ASSERT_EQ(table.selected.size(), generator_outputs);
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ends.push_back(i);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) {
        // copy_line's rule, from the line ends found once: past the (k-1)th.
        const std::int32_t k = scale_to_index(r, n);
        const auto skipped = static_cast<std::size_t>(k > 1 ? k - 1 : 0);
        const std::size_t start = skipped == 0 ? 0 : skipped <= ends.size() ? ends[skipped - 1] + 1 : text.size();
        const std::string_view walked = name_at(text, start);
        const ListName& name = name_selected(table, r);
        ASSERT_EQ(name.size, walked.size()) << "r=" << r << " n=" << n;
        if (walked.size() <= max_name_length) {
            ASSERT_EQ(text_of(table, name), walked) << "r=" << r << " n=" << n;
        }
        const auto offset = static_cast<std::size_t>(walked.data() - text.data());
        ASSERT_EQ(name.line, line_at(ends, offset)) << "r=" << r << " n=" << n;
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
    const LineTable table = table_of(text, n);
    EXPECT_EQ(text_of(table, name_selected(table, 0)), "first");
    EXPECT_EQ(text_of(table, name_selected(table, 1)), "last");
    EXPECT_EQ(text_of(table, name_selected(table, generator_outputs - 1)), "last");
    // Every output that lands in the blank stretch reads that one name.
    EXPECT_EQ(table.names.size(), 2u);
}

TEST(IndexDrawableLines, GivesTheEmptyNameForAnEmptyText) {
    for (const std::int32_t n : {0, 5}) {
        const LineTable table = table_of("", n);
        for (std::uint32_t r = 0; r < generator_outputs; ++r) ASSERT_EQ(name_selected(table, r).size, 0u);
    }
}

}  // namespace
}  // namespace lotpick
