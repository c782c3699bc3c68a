// List files: the line-end rule, the index-to-name walk and whole-file loads.

#include "line_list.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lotpick {
namespace {

using namespace std::string_view_literals;

TEST(CountLineEnds, CountsCrLfLoneCrAndLoneLfOnceEach) {
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
    for (const auto& [text, ends] : cases) EXPECT_EQ(count_line_ends(text), ends) << testing::PrintToString(text);
}

struct LineCase {
    std::string_view text;
    std::int64_t k;
    std::string_view name;
};

TEST(CopyLine, SelectsTheLineThatThePickIndexNames) {
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
        EXPECT_EQ(copy_line(c.text, c.k), c.name) << testing::PrintToString(c.text) << " k=" << c.k;
}

TEST(CopyLine, ReturnsAViewIntoTheText) {
    const std::string text = "first\r\nsecond\r\n";
    const std::string_view name = copy_line(text, 2);
    EXPECT_EQ(name.data(), text.data() + 7);
}

TEST(LineNumberAt, CountsLineEndsBeforeTheOffset) {
    EXPECT_EQ(line_number_at("a\r\nb\r\nc", 0), 1u);
    EXPECT_EQ(line_number_at("a\r\nb\r\nc", 3), 2u);
    EXPECT_EQ(line_number_at("a\nb\n\nc", 5), 4u);
}

TEST(LoadTextFile, LoadsEveryByteFollowedByAZero) {
    test::ScratchDir scratch;
    const std::string bytes("x\0y\r\n\xff", 6);
    test::write_file("list.txt", bytes);
    const platform::Loaded loaded = load_text_file("list.txt");
    ASSERT_TRUE(loaded.buffer);
    EXPECT_EQ(loaded.buffer->view(), bytes);
    EXPECT_EQ(loaded.buffer->bytes[6], '\0');
}

TEST(LoadTextFile, LoadsAnEmptyFileAsAnEmptyText) {
    test::ScratchDir scratch;
    test::write_file("empty.txt", "");
    const platform::Loaded loaded = load_text_file("empty.txt");
    ASSERT_TRUE(loaded.buffer);
    EXPECT_EQ(loaded.buffer->size, 0u);
    EXPECT_EQ(loaded.buffer->bytes[0], '\0');
}

TEST(LoadTextFile, FailsWithAReasonForMissingFilesAndDirectories) {
    test::ScratchDir scratch;
    std::filesystem::create_directory("folder");
    for (const char* path : {"missing.txt", "folder"}) {
        const platform::Loaded loaded = load_text_file(path);
        EXPECT_FALSE(loaded.buffer) << path;
        EXPECT_FALSE(loaded.failure.reason.empty()) << path;
    }
}

}  // namespace
}  // namespace lotpick
