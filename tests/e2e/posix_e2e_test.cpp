// End-to-end runs that lean on POSIX shells and file systems: lists read
// from pipes, symbolic links as destinations, and lists too large to draw.

#include "support/process.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lotpick {
namespace {

using test::read_file;
using test::write_file;

test::ProcessOptions seeded(const char* seed) {
    test::ProcessOptions options;
    options.cwd = std::filesystem::current_path();
    options.env.emplace_back("LOTPICK_SEED", seed);
    return options;
}

TEST(LotpickOnPosix, ReadsAListFromAPipeToItsEnd) {
    test::ScratchDir scratch;
    write_file("a.txt", "content of a");
    write_file("b.txt", "content of b");
    write_file("c.txt", "content of c");
    const std::string command = "'" + test::lotpick_binary() + "' <(printf 'a.txt\\nb.txt\\nc.txt\\n') wall";
    const auto run = test::run_process({"/bin/bash", "-c", command}, seeded("13"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "3 files picked 2\nb.txt\n");
    EXPECT_EQ(read_file("wall.txt"), "content of b");
}

// With both streams in one file, a diagnostic lands after the lines printed
// before it only when standard output goes out at each line end.
TEST(LotpickOnPosix, WritesEachOutputLineBeforeTheDiagnosticsThatFollowIt) {
    const struct {
        std::string list;
        const char* done;
        std::string both_streams;
    } cases[] = {
        {"a.txt\r\nb.txt\r\nc.txt\r\n", "a.txt",
         "Selecting new file 0\n3 files picked 2\nb.txt\nlotpick: cannot copy 'b.txt' to 'wall.txt': "},
        {"a.txt\r\n\r\n" + std::string(300, 'n') + "\r\n", "a.txt",
         "Selecting new file 0\nlotpick: name too long in line 3 of 'list.txt': 300 bytes, at most 259\n"},
    };
    for (const auto& c : cases) {
        test::ScratchDir scratch;
        write_file("list.txt", c.list);
        write_file("DoneList", c.done);
        const std::string command = "'" + test::lotpick_binary() + "' list.txt wall.bmp 2>&1";
        const auto run = test::run_process({"/bin/sh", "-c", command}, seeded("2"));
        EXPECT_EQ(run.out.substr(0, c.both_streams.size()), c.both_streams);
    }
}

TEST(LotpickOnPosix, ReplacesTheFileALinkedDestinationPointsTo) {
    test::ScratchDir scratch;
    write_file("list.txt", "new.txt\n");
    write_file("new.txt", "new content");
    write_file("real/wall.txt", "old content");
    std::filesystem::create_symlink("real/wall.txt", "wall.txt");
    const auto run = test::run_process({test::lotpick_binary(), "list.txt", "wall.bmp"}, seeded("1"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_symlink("wall.txt"));
    EXPECT_EQ(read_file("real/wall.txt"), "new content");
    EXPECT_EQ(test::list_dir("real"), "wall.txt\n");
}

// 2^31 line ends need 2 GiB of list; the test runs where memory-backed
// scratch space makes that quick, and is skipped elsewhere.
TEST(LotpickOnPosix, RefusesAListWithMoreThan2147483647LineEnds) {
    const std::filesystem::path shm = "/dev/shm";
    std::error_code error;
    if (!std::filesystem::is_directory(shm) || std::filesystem::space(shm, error).available < (std::uintmax_t{5} << 30))
        GTEST_SKIP() << "needs 5 GiB free in /dev/shm";
    test::ScratchDir scratch;
    const auto list = shm / ("lotpick-huge-list-" + scratch.path().filename().string());
    {
        std::ofstream out(list, std::ios::binary);
        const std::string chunk(1 << 20, '\r');
        for (int i = 0; i < 2048; ++i) out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    }
    const auto run = test::run_process({test::lotpick_binary(), list.string(), "wall"}, seeded("1"));
    std::filesystem::remove(list, error);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "lotpick: list too large '" + list.string() + "': more than 2147483647 line ends\n");
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

}  // namespace
}  // namespace lotpick
