// The plan of a run must stop where a draw-by-draw walk stops: the same
// redraws, the same standing attempt, the same verdict on a too long name.

#include "draw_plan.h"

#include "line_list.h"
#include "random_draw.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

namespace lotpick {
namespace {

// Each attempt walks from the start of the list and tests its name alone.
using Names = std::set<std::string, std::less<>>;

DrawPlan walked(std::string_view text, std::int32_t n, std::uint32_t seed, const Names& done) {
    seed_generator(seed);
    DrawPlan plan;
    for (std::int32_t attempts = 1;; ++attempts) {
        plan.index = draw_pick_index(n);
        const std::string_view name = copy_line(text, plan.index);
        plan.name = name.size() <= max_name_length ? std::string(name) : "";
        plan.size = name.size();
        plan.line = line_number_at(text, static_cast<std::size_t>(name.data() - text.data()));
        plan.redraws = attempts - 1;
        if (name.size() > max_name_length || !(name.empty() || done.contains(name))) return plan;
        if (attempts >= std::max(n, 1)) break;
    }
    ++plan.redraws;
    return plan;
}

void expect_plan_as_walked(const std::string& list_text, const Names& done_names,
                           std::uint32_t seed, const std::string& what) {
    test::write_file("list.txt", list_text);
    std::string done_text;
    for (const std::string& name : done_names) done_text += name + "\r\n";
    test::write_file("DoneList", done_text);
    ScannedList scanned = scan_list("list.txt", ListReading{64, 16, 1 << 30});
    ASSERT_TRUE(scanned.list);
    const auto n = static_cast<std::int32_t>(scanned.list->line_ends);
    DoneList done = open_done_list("DoneList");
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

TEST(PlanDraws, StopsWhereADrawByDrawWalkStops) {
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
            expect_plan_as_walked(list, done, static_cast<std::uint32_t>(rng()), c.what);
    }
}

TEST(PlanDraws, AnEmptyListStandsOnItsOneAttempt) {
    test::ScratchDir scratch;
    expect_plan_as_walked("", {}, 3, "empty list");
    expect_plan_as_walked("\r\n\r\n", {}, 3, "only line ends");
}

}  // namespace
}  // namespace lotpick
