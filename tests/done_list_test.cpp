// The done list: whole-entry matching, loading and the record format.

#include "done_list.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <string_view>

namespace lotpick {
namespace {

using namespace std::string_view_literals;

TEST(IsDone, MatchesWholeEntriesOnlyAndByteForByte) {
    test::ScratchDir scratch;
    test::write_file("DoneList", "pics/sunset.jpg\r\nb.txt\r\nc d\nlast\rz\0ghost\r\nafter\0"sv);
    const DoneList done = load_done_list("DoneList");
    const std::pair<std::string_view, bool> cases[] = {
        {"pics/sunset.jpg", true}, {"sunset.jpg", false}, {"set.jpg", false}, {"b.txt", true},
        {"B.TXT", false},          {"b.tx", false},       {"c d", true},      {"last", true},
        {"z", true},               {"ghost", false},      {"", true},         {"b.txt\r\nc d", false},
        {"after", true},           {"z\0ghost"sv, false},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(is_done(name, done), expected) << name;
}

TEST(IsDone, WithNoDoneListOnlyTheEmptyNameIsDone) {
    test::ScratchDir scratch;
    const DoneList done = load_done_list("DoneList");
    EXPECT_TRUE(is_done("", done));
    EXPECT_FALSE(is_done("a.txt", done));
}

TEST(AppendDone, SeparatesEntriesWithCrLfAndNeverEndsWithOne) {
    test::ScratchDir scratch;
    const std::pair<std::string_view, std::string_view> steps[] = {
        {"", ""}, {"a.jpg", "a.jpg"}, {"b c.png", "a.jpg\r\nb c.png"}, {"", "a.jpg\r\nb c.png\r\n"},
        {"a.jpg", "a.jpg\r\nb c.png\r\n\r\na.jpg"},
    };
    for (const auto& [name, content] : steps) {
        EXPECT_FALSE(append_done("DoneList", name)) << name;
        EXPECT_EQ(test::read_file("DoneList"), content) << "after " << name;
    }
}

TEST(AppendDone, ReportsAFailureWhenTheListCannotBeOpened) {
    test::ScratchDir scratch;
    std::filesystem::create_directory("DoneList");
    const auto failure = append_done("DoneList", "a.jpg");
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reason.empty());
}

}  // namespace
}  // namespace lotpick
