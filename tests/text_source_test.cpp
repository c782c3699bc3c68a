// A source reads the same bytes from the file and from memory, and zero bytes
// past its end.

#include "text_source.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace lotpick {
namespace {

std::string read_range(const TextSource& source, std::uint64_t offset, std::size_t count) {
    std::string bytes(count, 'x');
    EXPECT_FALSE(read_bytes(source, offset, bytes.data(), count));
    return bytes;
}

// The bytes as a source that was read whole at once, as a pipe is.
TextSource in_memory(std::string_view bytes) {
    TextSource source;
    source.whole = bytes;
    source.size = bytes.size();
    return source;
}

TEST(ReadBytes, GivesTheFileAndZeroBytesPastItsEndFromTheFileOrFromMemory) {
    test::ScratchDir scratch;
    test::write_file("list.txt", "abc\r\n");
    OpenedSource opened = open_source("list.txt", platform::Reading::list);
    ASSERT_TRUE(opened.source);
    const TextSource sources[] = {std::move(*opened.source), in_memory("abc\r\n")};
    const struct {
        std::uint64_t offset;
        std::size_t count;
        std::string bytes;
    } cases[] = {{0, 5, "abc\r\n"}, {1, 2, "bc"}, {3, 4, std::string("\r\n\0\0", 4)}, {9, 2, std::string(2, '\0')}};
    for (const TextSource& source : sources)
        for (const auto& c : cases)
            EXPECT_EQ(read_range(source, c.offset, c.count), c.bytes) << c.offset << " in memory " << !source.input;
}

// Placed otherwise, the system's copy into the buffer can take five times as
// long.
TEST(ReadPiece, PutsTheByteBeforeInFrontAndLiesInA64ByteLineAsInTheFile) {
    std::string text;
    for (int i = 0; i < 200; ++i) text += static_cast<char>('a' + i % 26);
    const TextSource source = in_memory(text);
    std::string buffer;
    for (const std::uint64_t at : {0u, 1u, 63u, 64u, 150u}) {
        std::string_view piece;
        ASSERT_FALSE(read_piece(source, at, 180, 50, buffer, piece));
        const std::string before = at == 0 ? std::string(1, '\0') : text.substr(at - 1, 1);
        EXPECT_EQ(piece, before + text.substr(at, std::min<std::uint64_t>(50, 180 - at))) << at;
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece.data() + 1) % 64, at % 64) << at;
    }
}

TEST(OpenSource, TellsAMissingFileFromOneThatCannotBeRead) {
    test::ScratchDir scratch;
    std::filesystem::create_directory("dir");
    const OpenedSource missing = open_source("missing.txt", platform::Reading::list);
    EXPECT_FALSE(missing.source);
    EXPECT_TRUE(missing.missing);
    const OpenedSource dir = open_source("dir", platform::Reading::list);
    EXPECT_FALSE(dir.source);
    EXPECT_FALSE(dir.missing);
}

}  // namespace
}  // namespace lotpick
