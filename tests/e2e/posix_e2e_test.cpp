// End-to-end runs that lean on POSIX shells, file systems and signals: lists
// read from pipes and kernel files, symbolic links as destinations, sparse
// picks, runs interrupted or cut off from their reader, and lists too large
// to draw.

#include "support/process.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
         "Selecting new file 0\nlotpick: name too long in line 3 of 'list.txt': 300 bytes (300 characters), at "
         "most 259 bytes: use a shorter folder\n"},
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

// A relative link is read from the link's own folder, not the current one.
TEST(LotpickOnPosix, ReplacesTheFileALinkedDestinationPointsTo) {
    const struct {
        const char* link;
        const char* target;
        const char* destination;
    } cases[] = {{"wall.txt", "real/wall.txt", "wall.bmp"}, {"links/wall.txt", "../real/wall.txt", "links/wall.bmp"}};
    for (const auto& c : cases) {
        test::ScratchDir scratch;
        write_file("list.txt", "new.txt\n");
        write_file("new.txt", "new content");
        write_file("real/wall.txt", "old content");
        std::filesystem::create_directories("links");
        std::filesystem::create_symlink(c.target, c.link);
        const auto run = test::run_process({test::lotpick_binary(), "list.txt", c.destination}, seeded("1"));
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(std::filesystem::is_symlink(c.link)) << c.link;
        EXPECT_EQ(read_file("real/wall.txt"), "new content") << c.link;
        EXPECT_EQ(test::list_dir("real"), "wall.txt\n") << c.link;
    }
}

TEST(LotpickOnPosix, ReadsAKernelFileThatClaimsNoSizeToItsEnd) {
    if (!std::filesystem::exists("/proc/sys/kernel/ostype")) GTEST_SKIP() << "no Linux /proc here";
    test::ScratchDir scratch;
    write_file("Linux", "picked");
    const auto run = test::run_process({test::lotpick_binary(), "/proc/sys/kernel/ostype", "wall"}, seeded("1"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "1 files picked 0\nLinux\n");
    EXPECT_EQ(read_file("wall"), "picked");
}

// A disk image of 1 GiB with two 4-byte extents: copied with its holes it
// takes a few blocks; written out in full it would take the whole GiB.
TEST(LotpickOnPosix, CopiesASparsePickWithItsHoles) {
    test::ScratchDir scratch;
    constexpr off_t size = off_t{1} << 30;
    {
        const int fd = ::open("disk.img", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "head", 4, 4096), 4);
        ASSERT_EQ(::pwrite(fd, "tail", 4, size - 8192), 4);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
    }
    write_file("list.txt", "disk.img\n");
    const auto run = test::run_process({test::lotpick_binary(), "list.txt", "copy.bin"}, seeded("1"));
    EXPECT_EQ(run.status, 0) << run.err;
    struct stat copy {};
    ASSERT_EQ(::stat("copy.img", &copy), 0);
    EXPECT_EQ(copy.st_size, size);
    EXPECT_LE(copy.st_blocks * 512, 4 << 20) << "holes written out";
    char bytes[9] = {};
    const int fd = ::open("copy.img", O_RDONLY);
    EXPECT_EQ(::pread(fd, bytes, 4, 4096), 4);
    EXPECT_EQ(::pread(fd, bytes + 4, 4, size - 8192), 4);
    ::close(fd);
    EXPECT_STREQ(bytes, "headtail");
}

// The reader goes after the first line, long before the redraws end: the
// run goes on, records and copies, and says that its output was cut off.
TEST(LotpickOnPosix, RecordsAndCopiesWhenTheReaderOfItsOutputHasGone) {
    test::ScratchDir scratch;
    std::string list;
    for (int i = 0; i < 20000; ++i) list += "a.txt\r\n";
    write_file("list.txt", list);
    write_file("DoneList", "a.txt");
    write_file("a.txt", "content of a");
    const std::string command = "'" + test::lotpick_binary() + "' list.txt wall.bmp | head -n 1; exit ${PIPESTATUS[0]}";
    const auto run = test::run_process({"/bin/bash", "-c", command}, seeded("1"));
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out.rfind("Selecting new file ", 0), 0u) << run.out.substr(0, 80);
    EXPECT_EQ(run.err, "lotpick: cannot write 'standard output': Broken pipe\n");
    EXPECT_EQ(read_file("DoneList"), "a.txt\r\na.txt");
    EXPECT_EQ(read_file("wall.txt"), "content of a");
}

// Whether process `pid` holds a file it is writing in `dir`: the copy's
// temporary, named or not (an unnamed one shows as "dir/#inode (deleted)").
bool holds_temporary_in(int pid, const std::filesystem::path& dir) {
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error)) {
        const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
        if (target.rfind((dir / "#").string(), 0) == 0 || target.rfind((dir / ".lotpick-").string(), 0) == 0)
            return true;
    }
    return false;
}

// Whether process `pid` holds `signal` back for now, as a run does for the
// moment of naming and renaming its copy: a signal sent then comes only once
// the copy is in place.
bool holds_back(int pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigBlk:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1) != 0;
    return false;
}

// Whether process `pid` is an emulator running the build for another
// processor (qemu-user), which holds a signal until it chooses to deliver it.
bool is_emulator(int pid) {
    std::error_code error;
    const auto program = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    return program.filename().string().rfind("qemu-", 0) == 0;
}

TEST(LotpickOnPosix, AnInterruptedCopyLeavesTheOldDestinationAndNoTemporaryFile) {
    if (!std::filesystem::exists("/proc/self/fd")) GTEST_SKIP() << "no /proc here to see the copy's temporary in";
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        test::ScratchDir scratch;
        // Written in full, with no holes to skip, so the copy lasts long
        // enough to be caught.
        {
            std::ofstream big("big.bin", std::ios::binary);
            const std::string mebibyte(std::size_t{1} << 20, 'x');
            for (int i = 0; i < 256; ++i) big << mebibyte;
        }
        write_file("list.txt", "big.bin\n");
        write_file("wall.bin", "old wallpaper");
        bool emulated = false;
        const auto run = test::run_and_signal({test::lotpick_binary(), "list.txt", "wall.bin"}, seeded("1"), signal,
                                              [&](int pid) {
                                                  emulated = is_emulator(pid);
                                                  return holds_temporary_in(pid, scratch.path()) &&
                                                         !holds_back(pid, signal);
                                              });
        if (emulated) GTEST_SKIP() << "an emulator passes a signal on when it likes, after the copy is in place too";
        EXPECT_EQ(run.signal, signal);
        EXPECT_EQ(read_file("wall.bin"), "old wallpaper") << signal;
        EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\nbig.bin\nlist.txt\nwall.bin\n") << signal;
    }
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
