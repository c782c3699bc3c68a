// The plan of a run must stop where a draw-by-draw walk stops: the same
// redraws, the same standing attempt, the same verdict on a too long name.
// The table from generator output to name must give exactly what the draw
// and copy_line's rule give, output by output: the name, its length and its
// line.

#include "draw_plan.h"

#include "line_list.h"
#include "random_draw.h"
#include "support/lines.h"
#include "support/scan_paths.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace lotpick {
namespace {

// Each attempt walks from the start of the list and tests its name alone.
using Names = std::set<std::string, std::less<>>;

DrawPlan walked(std::string_view text, std::int32_t n, std::uint32_t seed, const Names& done) {
    seed_generator(seed);
    DrawPlan plan;
    for (std::int32_t attempts = 1;; ++attempts) {
        plan.index = draw_pick_index(n);
        const std::string_view name = test::copy_line(text, plan.index);
        plan.name = name.size() <= max_name_length ? std::string(name) : "";
        plan.size = name.size();
        plan.line = test::line_number_at(text, static_cast<std::size_t>(name.data() - text.data()));
        plan.redraws = attempts - 1;
        if (name.size() > max_name_length || !(name.empty() || done.contains(name))) return plan;
        if (attempts >= std::max(n, 1)) break;
    }
    ++plan.redraws;
    return plan;
}

void expect_plan_as_walked(const std::string& list_text, const Names& done_names, std::uint32_t seed,
                           const std::string& what, ScanPath path) {
    test::write_file("list.txt", list_text);
    std::string done_text;
    for (const std::string& name : done_names) done_text += name + "\r\n";
    test::write_file("DoneList", done_text);
    ScannedList scanned = load_text_file("list.txt", ListReading{64, 16, 1 << 30, path});
    ASSERT_TRUE(scanned.list);
    const auto n = static_cast<std::int32_t>(scanned.list->line_ends);
    DoneList done = open_done_list("DoneList", DoneReading{.scan = path});
    const DrawPlan plan = plan_draws(*scanned.list, n, seed, done);
    const DrawPlan expected = walked(list_text, n, seed, done_names);
    ASSERT_FALSE(plan.list_failure) << what;
    EXPECT_EQ(plan.redraws, expected.redraws) << what;
    EXPECT_EQ(plan.index, expected.index) << what;
    EXPECT_EQ(plan.name, expected.name) << what;
    EXPECT_EQ(plan.size, expected.size) << what;
    if (expected.size > max_name_length) {
        EXPECT_EQ(plan.line, expected.line) << what;
    }
}

LOTPICK_ON_EACH_SCAN_PATH(PlanDraws);

TEST_P(PlanDraws, StopsWhereADrawByDrawWalkStops) {
    test::ScratchDir scratch;
    std::mt19937 rng(9);
    struct Case {
        const char* what;
        int lines;
        int done_one_in;  // of every this many names, all but one are done; 0: all
        int long_line;    // a line of 300 bytes here, or -1
    } cases[] = {
        {"short list, none done", 5, 1, -1},   {"short list, all done", 40, 0, -1},
        {"all but a few done", 3000, 500, -1}, {"every name done", 3000, 0, -1},
        {"a long line among done names", 200, 0, 120}, {"half done", 1000, 2, 7},
    };
    for (const Case& c : cases) {
        std::string list;
        Names done;
        for (int i = 0; i < c.lines; ++i) {
            const std::string name = i == c.long_line ? std::string(300, 'l') : "n" + std::to_string(i);
            list += name + (i % 4 == 0 ? "\n" : "\r\n");
            if (c.done_one_in == 0 || i % c.done_one_in != 0) done.insert(name);
        }
        for (int round = 0; round < 4; ++round)
            expect_plan_as_walked(list, done, static_cast<std::uint32_t>(rng()), c.what, GetParam());
    }
}

TEST_P(PlanDraws, AnEmptyListStandsOnItsOneAttempt) {
    test::ScratchDir scratch;
    expect_plan_as_walked("", {}, 3, "empty list", GetParam());
    expect_plan_as_walked("\r\n\r\n", {}, 3, "only line ends", GetParam());
}

// The list as a run has it from a file, its stretches small enough that
// names straddle their borders.
ListFile list_of(const std::string& text, ScanPath path) {
    test::write_file("list.txt", text);
    return std::move(*load_text_file("list.txt", ListReading{256, 64, 1 << 30, path}).list);
}

FoundNames table_of(const std::string& text, std::int32_t n, ScanPath path) {
    test::ScratchDir scratch;
    const FoundNames table = index_drawable_lines(list_of(text, path), n);
    EXPECT_FALSE(table.failure);
    return table;
}

// The line an offset stands on, from the offsets of all line ends.
std::uint64_t line_at(const std::vector<std::size_t>& ends, std::size_t offset) {
    return static_cast<std::uint64_t>(std::lower_bound(ends.begin(), ends.end(), offset) - ends.begin()) + 1;
}

void expect_every_output_selects_its_line(const std::string& text, std::int32_t n, ScanPath path) {
    const FoundNames table = table_of(text, n, path);
    ASSERT_EQ(table.selected.size(), generator_outputs);
    std::vector<std::size_t> ends;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))) ends.push_back(i);
    for (std::uint32_t r = 0; r < generator_outputs; ++r) {
        // copy_line's rule, from the line ends found once: past the (k-1)th.
        const std::int32_t k = scale_to_index(r, n);
        const auto skipped = static_cast<std::size_t>(k > 1 ? k - 1 : 0);
        const std::size_t start = skipped == 0 ? 0 : skipped <= ends.size() ? ends[skipped - 1] + 1 : text.size();
        const std::string_view walked = test::name_at(text, start);
        const ListName& name = name_selected(table, r);
        ASSERT_EQ(name.size, walked.size()) << "r=" << r << " n=" << n;
        if (walked.size() <= max_name_length) {
            ASSERT_EQ(text_of(table, name), walked) << "r=" << r << " n=" << n;
        }
        const auto offset = static_cast<std::size_t>(walked.data() - text.data());
        ASSERT_EQ(name.line, line_at(ends, offset)) << "r=" << r << " n=" << n;
    }
}

LOTPICK_ON_EACH_SCAN_PATH(IndexDrawableLines);

TEST_P(IndexDrawableLines, GivesEveryOutputTheNameCopyLineGivesOnRandomTexts) {
    std::mt19937 rng(3);
    static constexpr std::string_view alphabet("ab\r\n\r\n\0", 7);
    for (int round = 0; round < 40; ++round) {
        std::string text(std::uniform_int_distribution<std::size_t>(0, 300)(rng), ' ');
        for (char& byte : text) byte = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
        const auto n = static_cast<std::int32_t>(count_line_ends(text));
        expect_every_output_selects_its_line(text, n, GetParam());
    }
}

TEST_P(IndexDrawableLines, ReachesTheRightLinesOfAListLongerThanTheDrawCanCover) {
    std::string text;
    for (int i = 0; i < 40000; ++i) text += "name" + std::to_string(i) + (i % 3 == 0 ? "\n" : "\r\n");
    expect_every_output_selects_its_line(text, static_cast<std::int32_t>(count_line_ends(text)), GetParam());
}

TEST_P(IndexDrawableLines, SlidesOverLongBlankStretchesToTheNextName) {
    const std::string text = "first\r\n" + std::string(200000, '\n') + "last";
    const auto n = static_cast<std::int32_t>(count_line_ends(text));
    const FoundNames table = table_of(text, n, GetParam());
    EXPECT_EQ(text_of(table, name_selected(table, 0)), "first");
    EXPECT_EQ(text_of(table, name_selected(table, 1)), "last");
    EXPECT_EQ(text_of(table, name_selected(table, generator_outputs - 1)), "last");
    // Every output that lands in the blank stretch reads that one name.
    EXPECT_EQ(table.names.size(), 2u);
}

TEST_P(IndexDrawableLines, GivesTheEmptyNameForAnEmptyText) {
    for (const std::int32_t n : {0, 5}) {
        const FoundNames table = table_of("", n, GetParam());
        for (std::uint32_t r = 0; r < generator_outputs; ++r) ASSERT_EQ(name_selected(table, r).size, 0u);
    }
}

}  // namespace
}  // namespace lotpick
