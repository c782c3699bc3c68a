// List files: the line-end rule and the index-to-name walk.

#include "line_list.h"

#include "support/lines.h"
#include "support/scan_paths.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace lotpick {
namespace {

using namespace std::string_view_literals;

LOTPICK_ON_EACH_SCAN_PATH(CountLineEnds);

TEST_P(CountLineEnds, CountsCrLfLoneCrAndLoneLfOnceEach) {
    const std::pair<std::string_view, std::uint64_t> cases[] = {
        {""sv, 0},
        {"a"sv, 0},
        {"a\r\nb\r\n"sv, 2},
        {"a\nb\n"sv, 2},
        {"a\rb\r"sv, 2},
        {"a\r\n\nb"sv, 2},
        {"\n\r"sv, 2},
        {"\r\n\r\n"sv, 2},
        {"a\n\r\nb"sv, 2},
        {"a\0\r\nb\0\r\n"sv, 2},
        {"\n"sv, 1},
    };
    for (const auto& [text, ends] : cases)
        EXPECT_EQ(count_line_ends(text, 0, GetParam()), ends) << testing::PrintToString(text);
}

struct LineCase {
    std::string_view text;
    std::int64_t k;
    std::string_view name;
};

LOTPICK_ON_EACH_SCAN_PATH(CopyLine);

TEST_P(CopyLine, SelectsTheLineThatThePickIndexNames) {
    const LineCase cases[] = {
        {""sv, 0, ""sv},
        {"a\r\nb\r\nc\r\n"sv, 0, "a"sv},
        {"a\r\nb\r\nc\r\n"sv, 1, "a"sv},
        {"a\r\nb\r\nc\r\n"sv, 2, "b"sv},
        {"a\r\nb\r\nc\r\n"sv, 3, "c"sv},
        {"a\nb\nc\n"sv, 2, "b"sv},
        {"a\nb\nc\n"sv, 3, "c"sv},
        {"a\rb\rc\r"sv, 3, "c"sv},
        {"a\r\nb\nc\r"sv, 3, "c"sv},
        {"only"sv, 0, "only"sv},
        {"a\r\nc"sv, 1, "a"sv},
        {"a\r\n\r\nc"sv, 2, "c"sv},
        {"a\r\n\r\nb\r\n"sv, 2, "b"sv},
        {"a\r\n\r\nb\r\n"sv, 3, "b"sv},
        {"a\n\nb\n"sv, 2, "b"sv},
        {"\r\n\r\nx"sv, 0, "x"sv},
        {"\r\n\r\nx"sv, 2, "x"sv},
        {"  a \t\r\n"sv, 1, "  a \t"sv},
        {"\t\t\r\nb\r\n"sv, 1, "\t\t"sv},
        {"ab\0cd\r\nef\r\n"sv, 1, "ab"sv},
        {"ab\0cd\r\nef\r\n"sv, 2, "ef"sv},
        {"\0x\r\n"sv, 1, ""sv},
        {"a\r\n\r\n"sv, 2, ""sv},
        {"a\r\n"sv, 5, ""sv},
    };
    for (const auto& c : cases)
        EXPECT_EQ(test::copy_line(c.text, c.k, GetParam()), c.name)
            << testing::PrintToString(c.text) << " k=" << c.k;
}

TEST_P(CopyLine, ReturnsAViewIntoTheText) {
    const std::string text = "first\r\nsecond\r\n";
    const std::string_view name = test::copy_line(text, 2, GetParam());
    EXPECT_EQ(name.data(), text.data() + 7);
}

// The plain byte-by-byte walks the block-wise counting must agree with.
bool is_walked_line_end(std::string_view text, std::size_t i) {
    return text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'));
}

std::uint64_t walked_line_ends(std::string_view text) {
    std::uint64_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) count += is_walked_line_end(text, i) ? 1 : 0;
    return count;
}

std::string_view walked_line(std::string_view text, std::int64_t k) {
    std::size_t at = 0;
    for (std::int64_t skipped = 1; skipped < k && at < text.size(); ++skipped) {
        while (at < text.size() && !is_walked_line_end(text, at)) ++at;
        if (at < text.size()) ++at;
    }
    while (at < text.size() && (text[at] == '\r' || text[at] == '\n')) ++at;
    std::size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n' && text[end] != '\0') ++end;
    return text.substr(at, end - at);
}

// Texts long enough to span several 64-byte blocks, dense in line breaks and
// CR LF pairs split across block borders.
std::string random_text(std::mt19937& rng) {
    static constexpr std::string_view alphabet("ab \r\n\r\n\0", 8);
    std::string text(std::uniform_int_distribution<std::size_t>(0, 400)(rng), ' ');
    for (char& byte : text) byte = alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
    return text;
}

TEST_P(CountLineEnds, AgreesWithAByteWalkOnRandomTexts) {
    std::mt19937 rng(1);
    for (int round = 0; round < 3000; ++round) {
        const std::string text = random_text(rng);
        ASSERT_EQ(count_line_ends(text, 0, GetParam()), walked_line_ends(text)) << testing::PrintToString(text);
    }
}

TEST_P(CountLineEnds, CountsAPairSplitAtEveryBlockBorderOnce) {
    for (std::size_t at = 0; at < 200; ++at) {
        std::string text(200, 'x');
        text[at] = '\r';
        if (at + 1 < text.size()) text[at + 1] = '\n';
        EXPECT_EQ(count_line_ends(text, 0, GetParam()), 1u) << "CR at " << at;
    }
}

TEST_P(CopyLine, AgreesWithALineByLineWalkOnRandomTexts) {
    std::mt19937 rng(2);
    for (int round = 0; round < 1000; ++round) {
        const std::string text = random_text(rng);
        const auto n = static_cast<std::int64_t>(walked_line_ends(text));
        for (std::int64_t k = -1; k <= n + 2; ++k)
            ASSERT_EQ(test::copy_line(text, k, GetParam()), walked_line(text, k))
                << testing::PrintToString(text) << " k=" << k;
    }
}

struct SkipCase {
    std::string_view text;
    std::size_t from;
    std::uint64_t count;
    std::size_t after;
};

LOTPICK_ON_EACH_SCAN_PATH(SkipLineEnds);

TEST_P(SkipLineEnds, StopsJustPastTheWantedLineEndOrAtTheEnd) {
    const SkipCase cases[] = {
        {"a\r\nb\r\nc"sv, 0, 0, 0}, {"a\r\nb\r\nc"sv, 0, 1, 2}, {"a\r\nb\r\nc"sv, 0, 2, 5},
        {"a\r\nb\r\nc"sv, 0, 3, 7}, {"a\r\nb\r\nc"sv, 2, 1, 5}, {"a\r\nb"sv, 2, 1, 4},
        {"a\n\nb"sv, 2, 1, 3},        {"\nb"sv, 0, 1, 1},             {"a\r\nb"sv, 9, 1, 4},
        {"a\r\nb"sv, 3, 0, 3},
    };
    for (const SkipCase& c : cases)
        EXPECT_EQ(skip_line_ends(c.text, c.from, c.count, GetParam()), c.after)
            << testing::PrintToString(c.text) << " from " << c.from << " count " << c.count;
}

}  // namespace
}  // namespace lotpick
