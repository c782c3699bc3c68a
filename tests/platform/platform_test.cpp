// The platform layer's promises that the pick relies on: atomic replacement
// of the destination and whole-file reads.

#include "platform/platform.h"

#include "support/lines.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace lotpick::platform {
namespace {

using test::read_file;
using test::write_file;

TEST(CopyFileAtomically, ReplacesTheTargetByteForByte) {
    test::ScratchDir scratch;
    std::string bytes;
    for (int i = 0; i < 3 * 1024 * 1024 + 17; ++i) bytes.push_back(static_cast<char>(i * 7));
    write_file("source.bin", bytes);
    write_file("target.bin", "old and longer than nothing");
    EXPECT_FALSE(copy_file_atomically("source.bin", "target.bin"));
    EXPECT_EQ(read_file("target.bin"), bytes);
    EXPECT_EQ(test::list_dir(scratch.path()), "source.bin\ntarget.bin\n");
}

TEST(CopyFileAtomically, CopiesAnEmptyFile) {
    test::ScratchDir scratch;
    write_file("source", "");
    write_file("target", "old");
    EXPECT_FALSE(copy_file_atomically("source", "target"));
    EXPECT_EQ(read_file("target"), "");
}

TEST(CopyFileAtomically, CopiesAFileThatClaimsNoSizeButHasContent) {
    // Kernel files report size 0; a copy that trusted the size, or the kernel
    // copy's first "nothing more", would leave the target empty.
    const char* source = "/proc/version";
    if (!std::filesystem::exists(source)) GTEST_SKIP() << "no " << source << " here";
    test::ScratchDir scratch;
    EXPECT_FALSE(copy_file_atomically(source, "target"));
    EXPECT_FALSE(read_file("target").empty());
    EXPECT_EQ(read_file("target"), read_file(source));
}

TEST(CopyFileAtomically, LeavesTheOldTargetAndNoTemporaryFileAfterAFailure) {
    struct Case {
        const char* what;
        const char* source;
        const char* target;
    } cases[] = {
        {"missing source", "missing", "dir/target"},
        {"source is a directory", "dir", "dir/target"},
        {"target directory missing", "source", "nowhere/target"},
        {"target is a directory", "source", "dir"},
    };
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        write_file("source", "new");
        write_file("dir/target", "old");
        const auto failure = copy_file_atomically(c.source, c.target);
        ASSERT_TRUE(failure) << c.what;
        EXPECT_FALSE(failure->reason.empty()) << c.what;
        EXPECT_EQ(read_file("dir/target"), "old") << c.what;
        EXPECT_EQ(test::list_dir(scratch.path()), "dir\nsource\n") << c.what;
        EXPECT_EQ(test::list_dir("dir"), "target\n") << c.what;
    }
}

TEST(ReadFile, ReadsTheSameBytesAsAListOrAsTheDoneList) {
    test::ScratchDir scratch;
    write_file("file", std::string("a\0b\r\n", 5));
    for (const Reading reading : {Reading::list, Reading::done_list}) {
        const test::WholeFile loaded = test::load_whole_file("file", reading);
        ASSERT_TRUE(loaded.bytes);
        EXPECT_EQ(*loaded.bytes, std::string("a\0b\r\n", 5));
    }
}

TEST(DoneListPaths, CreatesDoneListWhenNoSpellingExists) {
    test::ScratchDir scratch;
    EXPECT_EQ(done_list_path(), "DoneList");
    EXPECT_FALSE(std::filesystem::exists("DoneList"));
}

}  // namespace
}  // namespace lotpick::platform
