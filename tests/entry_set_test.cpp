// The entry set must answer exactly as a set of the text's lines would.

#include "entry_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <string_view>

namespace lotpick {
namespace {

// The non-empty lines of a text, each up to its first zero byte.
std::set<std::string, std::less<>> split_lines(std::string_view text) {
    std::set<std::string, std::less<>> lines;
    std::string line;
    bool cut = false;  // a zero byte ended this line's entry
    for (const char byte : text) {
        if (byte == '\r' || byte == '\n') {
            if (!line.empty()) lines.insert(line);
            line.clear();
            cut = false;
        } else if (byte == '\0' || cut) {
            cut = true;
        } else {
            line += byte;
        }
    }
    if (!line.empty()) lines.insert(line);
    return lines;
}

std::string random_bytes(std::mt19937& rng, std::string_view alphabet, std::size_t longest) {
    std::string bytes(std::uniform_int_distribution<std::size_t>(0, longest)(rng), ' ');
    for (char& byte : bytes) byte = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    return bytes;
}

TEST(ContainsEntry, AgreesWithASetOfLinesOnRandomTexts) {
    std::mt19937 rng(4);
    for (int round = 0; round < 500; ++round) {
        const std::string text = random_bytes(rng, std::string_view("ab\r\n\0", 5), 60);
        const auto lines = split_lines(text);
        const EntrySet set = index_entries(text);
        for (int probe = 0; probe < 50; ++probe) {
            const std::string name = random_bytes(rng, "ab\r\n", 5);
            ASSERT_EQ(contains_entry(set, name), !name.empty() && lines.contains(name))
                << testing::PrintToString(text) << " name " << testing::PrintToString(name);
        }
        for (const std::string& line : lines) ASSERT_TRUE(contains_entry(set, line)) << line;
    }
}

TEST(ContainsEntry, MatchesWholeEntriesNotPartsOrRunsOfThem) {
    const EntrySet set = index_entries("pics/sunset.jpg\r\nb.txt\r\n\r\nc d\nb.txt");
    const std::pair<std::string_view, bool> cases[] = {
        {"pics/sunset.jpg", true}, {"b.txt", true},  {"c d", true},       {"sunset.jpg", false},
        {"pics", false},           {"b.txt\r", false}, {"b.txt\r\nc d", false}, {"", false},
        {"B.TXT", false},          {"c d\n", false},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(contains_entry(set, name), expected) << name;
}

TEST(ContainsEntry, FindsEveryEntryOfALargeListAndNothingElse) {
    std::string text;
    for (int i = 0; i < 200000; ++i) text += (i > 0 ? "\r\n" : "") + std::string("pics/") + std::to_string(i) + ".jpg";
    const EntrySet set = index_entries(text);
    for (int i = 0; i < 200000; ++i) {
        const std::string name = "pics/" + std::to_string(i) + ".jpg";
        ASSERT_TRUE(contains_entry(set, name)) << name;
        ASSERT_FALSE(contains_entry(set, name + "x")) << name;
        ASSERT_FALSE(contains_entry(set, "pics/" + std::to_string(i + 200000) + ".jpg")) << name;
    }
}

TEST(ContainsEntry, AnswersByWalkingTheTextWhenThereIsNoTable) {
    EntrySet set;
    set.text = "a.jpg\r\nb.jpg\nc";
    for (const std::string_view name : {"a.jpg", "b.jpg", "c"}) EXPECT_TRUE(contains_entry(set, name)) << name;
    for (const std::string_view name : {"a", "b.jpg\nc", "", "d"}) EXPECT_FALSE(contains_entry(set, name)) << name;
}

TEST(ContainsEntry, FindsNothingInAnEmptyOrDefaultSet) {
    EXPECT_FALSE(contains_entry(index_entries(""), "a"));
    EXPECT_FALSE(contains_entry(EntrySet{}, "a"));
}

}  // namespace
}  // namespace lotpick
