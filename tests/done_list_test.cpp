// The done list: whole-entry matching, loading and the record format.

#include "done_list.h"

#include "support/lines.h"
#include "support/scan_paths.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace lotpick {
namespace {

using namespace std::string_view_literals;
using namespace std::string_literals;

// Each name on its own, and all of them in one pass.
void expect_verdicts(const std::vector<std::pair<std::string_view, bool>>& cases, ScanPath path) {
    std::vector<std::string_view> names;
    for (const auto& [name, expected] : cases) {
        DoneList done = open_done_list("DoneList", DoneReading{.scan = path});
        EXPECT_EQ(is_done(done, std::span(&name, 1)), std::vector<bool>{expected}) << name;
        names.push_back(name);
    }
    DoneList done = open_done_list("DoneList", DoneReading{.scan = path});
    const std::vector<bool> verdicts = is_done(done, names);
    ASSERT_EQ(verdicts.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(verdicts[i], cases[i].second) << cases[i].first;
}

LOTPICK_ON_EACH_SCAN_PATH(IsDone);

TEST_P(IsDone, MatchesWholeEntriesOnlyAndByteForByte) {
    test::ScratchDir scratch;
    // The longest names there are, one inside the list and one at its end.
    const std::string longest(259, 'L'), longest_last(259, 'M');
    test::write_file("DoneList", "pics/sunset.jpg\r\nb.txt\r\nc d\nlast\rz\0ghost\r\nafter\0\r\n"s + longest + "\r\n" +
                                     longest_last);
    expect_verdicts({
        {"pics/sunset.jpg", true}, {"sunset.jpg", false}, {"set.jpg", false}, {"b.txt", true},
        {"B.TXT", false},          {"b.tx", false},       {"c d", true},      {"last", true},
        {"z", true},               {"ghost", false},      {"", true},         {"b.txt\r\nc d", false},
        {"after", true},           {"z\0ghost"sv, false}, {longest, true},    {longest_last, true},
    }, GetParam());
}

TEST_P(IsDone, WithNoDoneListOnlyTheEmptyNameIsDone) {
    test::ScratchDir scratch;
    expect_verdicts({{"", true}, {"a.txt", false}}, GetParam());
}

// Entries are what lies between CR and LF bytes, up to the first zero byte.
std::vector<std::string> plain_entries(std::string_view text) {
    std::vector<std::string> entries(1);
    bool cut = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            entries.emplace_back();
            cut = false;
        } else if (c == '\0') {
            cut = true;
        } else if (!cut) {
            entries.back() += c;
        }
    }
    return entries;
}

TEST_P(IsDone, AgreesWithAPlainScanWhateverThePiecesAndHalves) {
    std::mt19937 rng(8);
    static constexpr std::string_view alphabet("ab\r\n\0", 5);
    test::ScratchDir scratch;
    for (int round = 0; round < 60; ++round) {
        // Lines long and short, some just too long to be an entry.
        std::string text;
        while (text.size() < 3000) {
            const std::size_t length = rng() % 4 == 0 ? 255 + rng() % 8 : rng() % 6;
            for (std::size_t i = 0; i < length; ++i) text += alphabet[rng() % (i < 250 ? 2 : alphabet.size())];
            text += alphabet[2 + rng() % 3];
        }
        if (round % 5 == 0) text.insert(0, "\xEF\xBB\xBF");
        test::write_file("DoneList", text);
        const std::vector<std::string> entries = plain_entries(test::without_byte_order_mark(text));
        std::vector<std::string> asked(entries.begin(), entries.end());
        for (const std::string& entry : entries) asked.push_back(entry + "a");
        asked.push_back(std::string(259, 'a'));
        const std::vector<std::string_view> names(asked.begin(), asked.end());
        for (const DoneReading reading : {DoneReading{1, 2, GetParam()}, DoneReading{300, 1000, GetParam()},
                                          DoneReading{.scan = GetParam()}}) {
            DoneList done = open_done_list("DoneList", reading);
            const std::vector<bool> verdicts = is_done(done, names);
            ASSERT_FALSE(done.failure);
            for (std::size_t i = 0; i < names.size(); ++i) {
                const bool expected = names[i].empty() ||
                                      (names[i].size() <= max_name_length &&
                                       std::find(entries.begin(), entries.end(), names[i]) != entries.end());
                ASSERT_EQ(verdicts[i], expected)
                    << testing::PrintToString(names[i]) << " in " << testing::PrintToString(text);
            }
        }
    }
}

// In pieces of the smallest size and in two halves, the second of which
// reads from the byte before the middle (here byte 258 or 260).
TEST_P(IsDone, HalvesMeetAtTheLineThatHoldsTheMiddle) {
    test::ScratchDir scratch;
    const std::string first(258, 'a');
    const struct {
        std::string text;
        std::string_view name;
        bool done;
    } cases[] = {
        // The first half's last piece ends inside the line that starts at the
        // middle: only the second half reads it.
        {first + "\ntarget\n" + std::string(252, 'b'), "target", true},
        // The middle lies inside a line the first half reads: no tail of it
        // is an entry.
        {first + "\nxxsunset.jpg\n" + std::string(250, 'b'), "xsunset.jpg", false},
    };
    for (const auto& c : cases) {
        test::write_file("DoneList", c.text);
        DoneList done = open_done_list("DoneList", DoneReading{min_done_piece, 2, GetParam()});
        EXPECT_EQ(is_done(done, std::span(&c.name, 1)), std::vector<bool>{c.done}) << c.name;
    }
}

TEST_P(IsDone, ReadsAsManyTimesAsAsked) {
    test::ScratchDir scratch;
    test::write_file("DoneList", "a\r\nb");
    DoneList done = open_done_list("DoneList", DoneReading{.scan = GetParam()});
    const std::string_view names[] = {"a", "c"};
    EXPECT_EQ(is_done(done, names), (std::vector<bool>{true, false}));
    EXPECT_EQ(is_done(done, names), (std::vector<bool>{true, false}));
    close_done_list(done);
    EXPECT_EQ(is_done(done, names), (std::vector<bool>{false, false}));
}

TEST(AppendDone, SeparatesEntriesWithCrLfAndNeverEndsWithOne) {
    test::ScratchDir scratch;
    const std::pair<std::string_view, std::string_view> steps[] = {
        {"", ""}, {"a", "a"}, {"b c.png", "a\r\nb c.png"}, {"", "a\r\nb c.png\r\n"},
        {"a", "a\r\nb c.png\r\n\r\na"},
    };
    for (const auto& [name, content] : steps) {
        EXPECT_FALSE(platform::append_record("DoneList", name)) << name;
        EXPECT_EQ(test::read_file("DoneList"), content) << "after " << name;
    }
}

TEST(AppendDone, ReportsAFailureWhenTheListCannotBeOpened) {
    test::ScratchDir scratch;
    std::filesystem::create_directory("DoneList");
    const auto failure = platform::append_record("DoneList", "a.jpg");
    ASSERT_TRUE(failure);
    EXPECT_FALSE(failure->reason.empty());
}

}  // namespace
}  // namespace lotpick
