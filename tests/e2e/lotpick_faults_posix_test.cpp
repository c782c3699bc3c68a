// Fault injection on whole runs of the real binary: files that are missing,
// unreadable or of the wrong kind, a full disk, lists that are not lists, and
// output that goes nowhere. Every run must say what failed, end with the
// right status, keep every record and never leave a half-written file.

#include "support/process.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lotpick {
namespace {

// The device number a device file stands for, without makedev, whose header
// differs from system to system.
dev_t device_of(const char* device) {
    struct stat info {};
    return ::stat(device, &info) == 0 ? info.st_rdev : dev_t{};
}

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

// What kind of file `entry` is, as ls -F marks it: a run that puts a plain
// file where a FIFO or a link was changes this.
std::string kind_mark(const fs::directory_entry& entry) {
    if (entry.is_symlink()) return "@";
    if (entry.is_directory()) return "/";
    if (entry.is_fifo()) return "|";
    if (entry.is_socket()) return "=";
    if (entry.is_character_file()) return "%";
    return "";
}

// Everything under `dir`, recursively, by relative path and kind: a run that
// leaves a temporary file, creates one it should not or replaces a file of
// another kind changes this.
std::string tree(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.push_back(entry.path().lexically_relative(dir).string() + kind_mark(entry));
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const auto& name : names) listing += name + "\n";
    return listing;
}

struct Fault {
    const char* what;
    std::string list;                          // bytes of list.txt
    std::function<void()> arrange;             // besides the common files
    std::vector<std::string> args;             // after the command name
    const char* seed = "1";
    bool unprivileged = false;
    std::optional<std::uint64_t> file_size_limit;
    int status = 0;
    std::string out;
    std::string err;
    std::optional<std::string> done_after;     // empty: DoneList is not a regular file
    std::string destination = "wall.txt";
    std::string destination_after = "old wallpaper";
    const char* out_path = nullptr;            // standard output goes there, uncollected
    bool as_root_only = false;                 // the arrangement needs root (mknod)
};

const std::string old_done = "old.txt";

// A scratch directory that the user nobody may write in, holding a done list
// with one entry, an old destination and a picked file.
void write_common_files(const fs::path& dir) {
    fs::permissions(dir, fs::perms::all);
    write_file("DoneList", old_done);
    write_file("wall.txt", "old wallpaper");
    write_file("a.txt", "content of a");
    for (const char* name : {"DoneList", "wall.txt", "a.txt"})
        fs::permissions(name, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                  fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
}

// Undoes what an arrangement took away, so the scratch directory can go.
void restore_permissions(const fs::path& dir) {
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (!entry.is_symlink()) fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
}

void check_fault(const Fault& f) {
    if (f.as_root_only && ::geteuid() != 0) return;
    test::ScratchDir scratch;
    write_common_files(scratch.path());
    write_file("list.txt", f.list);
    if (f.arrange) f.arrange();
    const std::string before = tree(scratch.path());

    std::vector<std::string> argv{test::lotpick_binary()};
    argv.insert(argv.end(), f.args.begin(), f.args.end());
    test::ProcessOptions options;
    options.cwd = scratch.path();
    options.env.emplace_back("LOTPICK_SEED", f.seed);
    options.unprivileged = f.unprivileged;
    options.file_size_limit = f.file_size_limit;
    // Only for a run that hangs (on a FIFO, say): no run comes near it, not
    // under valgrind on the busiest machine.
    options.time_limit_seconds = 600;
    if (f.out_path) options.out_path = f.out_path;
    const test::ProcessResult run = test::run_process(argv, options);

    EXPECT_EQ(run.signal, 0) << f.what;
    EXPECT_EQ(run.status, f.status) << f.what;
    EXPECT_EQ(run.out, f.out) << f.what;
    EXPECT_EQ(run.err, f.err) << f.what;
    // Root reads a file whatever its mode; anyone else reads back a done list
    // the arrangement made write-only only once its rights are restored.
    restore_permissions(scratch.path());
    if (f.done_after) EXPECT_EQ(read_file("DoneList"), *f.done_after) << f.what;
    else EXPECT_FALSE(fs::is_regular_file("DoneList")) << f.what;
    EXPECT_EQ(read_file(f.destination), f.destination_after) << f.what;
    EXPECT_EQ(tree(scratch.path()), before) << f.what;
}

void make_fifo(const char* path) { ASSERT_EQ(::mkfifo(path, 0666), 0) << path; }

// A socket file stays behind when its socket is closed without unlinking it.
void make_socket(const char* path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
    ::close(fd);
}

std::string bytes_from(unsigned first, unsigned last) {
    std::string bytes;
    for (unsigned b = first; b <= last; ++b) bytes += static_cast<char>(b);
    return bytes;
}

TEST(Faults, AFailedCopyIsReportedAfterTheRecordAndLeavesTheOldDestination) {
    const std::string big(1024 * 1024 + 5, 'b');
    const Fault faults[] = {
        {"picked file missing", "gone.txt\r\n", nullptr, {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2,
         "1 files picked 0\ngone.txt\n", "lotpick: cannot copy 'gone.txt' to 'wall.txt': No such file or directory\n",
         old_done + "\r\ngone.txt"},
        {"picked file unreadable", "secret.txt\r\n",
         [] {
             write_file("secret.txt", "secret");
             fs::permissions("secret.txt", fs::perms::none);
         },
         {"list.txt", "wall.bmp"}, "1", true, std::nullopt, 2, "1 files picked 0\nsecret.txt\n",
         "lotpick: cannot copy 'secret.txt' to 'wall.txt': Permission denied\n", old_done + "\r\nsecret.txt"},
        {"picked file is a directory", "folder.txt\r\n", [] { fs::create_directory("folder.txt"); },
         {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2, "1 files picked 0\nfolder.txt\n",
         "lotpick: cannot copy 'folder.txt' to 'wall.txt': Is a directory\n", old_done + "\r\nfolder.txt"},
        // A FIFO without a writer reads as empty: copied, it would leave an
        // empty wallpaper.
        {"picked file a FIFO", "pipe.txt\r\n", [] { make_fifo("pipe.txt"); }, {"list.txt", "wall.bmp"}, "1", false,
         std::nullopt, 2, "1 files picked 0\npipe.txt\n",
         "lotpick: cannot copy 'pipe.txt' to 'wall.txt': not a regular file\n", old_done + "\r\npipe.txt"},
        {"destination directory missing", "a.txt\r\n", nullptr, {"list.txt", "nowhere/wall.bmp"}, "1", false,
         std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'nowhere/wall.txt': No such file or directory\n", old_done + "\r\na.txt"},
        {"destination directory read-only", "a.txt\r\n",
         [] {
             write_file("locked/wall.txt", "old wallpaper");
             fs::permissions("locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
         },
         {"list.txt", "locked/wall.bmp"}, "1", true, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'locked/wall.txt': Permission denied\n", old_done + "\r\na.txt",
         "locked/wall.txt"},
        {"disk fills up during the copy", "big.txt\r\n", [big] { write_file("big.txt", big); },
         {"list.txt", "wall.bmp"}, "1", false, 64 * 1024, 2, "1 files picked 0\nbig.txt\n",
         "lotpick: cannot copy 'big.txt' to 'wall.txt': File too large\n", old_done + "\r\nbig.txt"},
        // Neither replaced nor written, nor waited on: a FIFO without a
        // reader would hang a copy that opened it.
        {"destination a FIFO", "a.txt\r\n", [] { make_fifo("pipe.txt"); }, {"list.txt", "pipe.bmp"}, "1", false,
         std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'pipe.txt': not a regular file\n", old_done + "\r\na.txt"},
        {"destination a link to a FIFO", "a.txt\r\n",
         [] {
             make_fifo("pipe");
             fs::create_symlink("pipe", "link.txt");
         },
         {"list.txt", "link.bmp"}, "1", false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'link.txt': not a regular file\n", old_done + "\r\na.txt"},
        {"destination a socket", "a.txt\r\n", [] { make_socket("socket.txt"); }, {"list.txt", "socket.bmp"}, "1",
         false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'socket.txt': not a regular file\n", old_done + "\r\na.txt"},
        {"destination a character device", "a.txt\r\n",
         [] { ASSERT_EQ(::mknod("null.txt", S_IFCHR | 0666, device_of("/dev/null")), 0); }, {"list.txt", "null.bmp"}, "1",
         false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'null.txt': not a regular file\n", old_done + "\r\na.txt", "wall.txt",
         "old wallpaper", nullptr, true},
        {"destination a directory", "a.txt\r\n", [] { fs::create_directory("folder.txt"); },
         {"list.txt", "folder.bmp"}, "1", false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot copy 'a.txt' to 'folder.txt': Is a directory\n", old_done + "\r\na.txt"},
        {"destination links in a loop", "a.txt\r\n",
         [] {
             fs::create_symlink("loop-b.txt", "loop.txt");
             fs::create_symlink("loop.txt", "loop-b.txt");
         },
         {"list.txt", "loop.bmp"}, "1", false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         // The C library's own words: glibc and musl say it differently.
         "lotpick: cannot copy 'a.txt' to 'loop.txt': " + std::string(std::strerror(ELOOP)) + "\n",
         old_done + "\r\na.txt"},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

// A done list big enough that the output files stay under the same limit.
std::string long_done_list() {
    std::string done = "old-0.txt";
    for (int i = 1; i < 2000; ++i) done += "\r\nold-" + std::to_string(i) + ".txt";
    return done;
}

TEST(Faults, AFailedRecordIsReportedAndLeavesTheDoneListAsItWas) {
    const std::string long_done = long_done_list();
    const Fault faults[] = {
        {"done list is a directory", "a.txt\r\n",
         [] {
             fs::remove("DoneList");
             fs::create_directory("DoneList");
         },
         {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot read done list 'DoneList': Is a directory\n"
         "lotpick: cannot record pick in 'DoneList': Is a directory\n",
         std::nullopt, "wall.txt", "content of a"},
        {"done list read-only", "a.txt\r\n",
         [] {
             fs::permissions("DoneList", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         },
         {"list.txt", "wall.bmp"}, "1", true, std::nullopt, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot record pick in 'DoneList': Permission denied\n", old_done, "wall.txt", "content of a"},
        // The limit falls three bytes into the new entry: the part that got
        // written must be taken back, or the next entry would merge with it.
        {"disk fills up in the middle of the record", "a.txt\r\n", [long_done] { write_file("DoneList", long_done); },
         {"list.txt", "wall.bmp"}, "1", false, long_done.size() + 3, 2, "1 files picked 0\na.txt\n",
         "lotpick: cannot record pick in 'DoneList': File too large\n", long_done, "wall.txt", "content of a"},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

TEST(Faults, ADoneListThatCannotBeReadIsToldAndNeverBlocksTheRun) {
    const std::string picked = "1 files picked 0\na.txt\n";
    const Fault faults[] = {
        {"done list only writable", "a.txt\r\n",
         [] { fs::permissions("DoneList", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write); },
         {"list.txt", "wall.bmp"}, "1", true, std::nullopt, 2, picked,
         "lotpick: cannot read done list 'DoneList': Permission denied\n", old_done + "\r\na.txt", "wall.txt",
         "content of a"},
        {"done list a FIFO", "a.txt\r\n",
         [] {
             fs::remove("DoneList");
             make_fifo("DoneList");
         },
         {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2, picked,
         "lotpick: cannot read done list 'DoneList': not a regular file\n"
         "lotpick: cannot record pick in 'DoneList': not a regular file\n",
         std::nullopt, "wall.txt", "content of a"},
        {"done list a socket", "a.txt\r\n",
         [] {
             fs::remove("DoneList");
             make_socket("DoneList");
         },
         {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2, picked,
         "lotpick: cannot read done list 'DoneList': not a regular file\n"
         "lotpick: cannot record pick in 'DoneList': not a regular file\n",
         std::nullopt, "wall.txt", "content of a"},
        // A missing list still gets its not-found message: both are told.
        {"done list unreadable and the list missing", "",
         [] { fs::permissions("DoneList", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write); },
         {"missing.txt", "wall.bmp"}, "1", true, std::nullopt, 1, "File: missing.txt not found",
         "lotpick: cannot read done list 'DoneList': Permission denied\n"
         "lotpick: cannot read list 'missing.txt': No such file or directory\n",
         old_done},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

// The library that fails a run's reads or logs its calls, beside the tests;
// empty where a build loads none.
std::string preloaded_faults() {
    const std::string library = LOTPICK_FAILING_READS;
    return library.empty() ? library : (fs::read_symlink("/proc/self/exe").parent_path() / library).string();
}

// Every name of the list is done, so the run redraws; the done list fails on
// the read that checks the later draws. It then counts as empty from the
// start: the run picks what a run without a done list picks, with no
// redraws, and records it. (None of the names is there to be copied.)
TEST(Faults, ADoneListThatFailsInTheMiddleOfTheRunCountsAsEmptyFromTheStart) {
    const std::string preload = preloaded_faults();
    if (preload.empty()) GTEST_SKIP() << "a library loaded into the run makes the read fail; this build loads none";
    test::ScratchDir scratch;
    std::string list;
    std::string done;
    for (int i = 0; i < 100; ++i) {
        list += "n" + std::to_string(i) + ".txt\r\n";
        done += (i ? "\r\n" : "") + ("n" + std::to_string(i) + ".txt");
    }
    write_file("list.txt", list);
    test::ProcessOptions options;
    options.cwd = scratch.path();
    options.env.emplace_back("LOTPICK_SEED", "1");
    const auto fresh = test::run_process({test::lotpick_binary(), "list.txt", "wall"}, options);
    const std::string picked = read_file("DoneList");
    write_file("DoneList", done);
    options.env.emplace_back("LD_PRELOAD", preload);
    options.env.emplace_back("LOTPICK_TEST_FAILING_READ", "3");
    const auto broken = test::run_process({test::lotpick_binary(), "list.txt", "wall"}, options);
    EXPECT_EQ(broken.status, 2);
    EXPECT_EQ(broken.out, fresh.out);
    EXPECT_EQ(broken.err, "lotpick: cannot read done list 'DoneList': Input/output error\n" + fresh.err);
    EXPECT_EQ(read_file("DoneList"), done + "\r\n" + picked);
}

// After a power cut a file holds what was synced and a folder the names
// that were synced: the record is synced before the copy starts, the copy
// before it takes a name, and the folder once the copy has its final name
// (and once a new done list has its own). On each road the copy can take:
// an unnamed temporary linked into place or a named one, filled by the
// kernel or by reading and writing.
TEST(Faults, EachWriteIsOnTheDiskBeforeWhatComesAfterIt) {
    const std::string preload = preloaded_faults();
    if (preload.empty()) GTEST_SKIP() << "a library loaded into the run logs its calls; this build loads none";
    const struct {
        const char* what;
        bool done_list_there;
        const char* fault;
        const char* calls;  // LINK: "link\n" where the copy was unnamed
    } roads[] = {
        {"the first road the system offers", true, nullptr,
         "write DoneList\nsync DoneList\nwrite copy\nsync copy\nLINKrename\nsync folder\n"},
        {"a copy by reading and writing", true, "LOTPICK_TEST_NO_KERNEL_COPY",
         "write DoneList\nsync DoneList\nwrite copy\nsync copy\nLINKrename\nsync folder\n"},
        {"a named temporary", true, "LOTPICK_TEST_NO_TMPFILE",
         "write DoneList\nsync DoneList\nwrite copy\nsync copy\nrename\nsync folder\n"},
        {"a new done list", false, nullptr,
         "write DoneList\nsync DoneList\nsync folder\nwrite copy\nsync copy\nLINKrename\nsync folder\n"},
    };
    for (const auto& road : roads) {
        test::ScratchDir scratch;
        write_file("list.txt", "a.txt\r\n");
        write_file("a.txt", "content of a");
        if (road.done_list_there) write_file("DoneList", old_done);
        test::ProcessOptions options;
        options.cwd = scratch.path();
        options.env = {{"LD_PRELOAD", preload}, {"LOTPICK_TEST_CALL_LOG", (scratch.path() / "calls").string()}};
        if (road.fault) options.env.emplace_back(road.fault, "1");
        const auto run = test::run_process({test::lotpick_binary(), "list.txt", "wall.bmp"}, options);
        EXPECT_EQ(run.status, 0) << road.what << ": " << run.err;
        const std::string calls = read_file("calls");
        // A build or a file system without unnamed temporaries names the
        // copy from the start, and links nothing.
        std::string expected = road.calls;
        const std::size_t link = expected.find("LINK");
        if (link != std::string::npos) expected.replace(link, 4, calls.find("link\n") != calls.npos ? "link\n" : "");
        EXPECT_EQ(calls, expected) << road.what;
        EXPECT_EQ(read_file("wall.txt"), "content of a") << road.what;
    }
}

TEST(Faults, AListThatCannotBeUsedIsRefusedBeforeAnythingIsWritten) {
    const std::string long_line(300, 'n');
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>(0x80 | (i * 37 % 128));
    const Fault faults[] = {
        {"list is a directory", "", [] { fs::create_directory("lists"); }, {"lists", "wall.bmp"}, "1", false,
         std::nullopt, 1, "File: lists not found", "lotpick: cannot read list 'lists': Is a directory\n", old_done},
        {"list unreadable", "a.txt\r\n", [] { fs::permissions("list.txt", fs::perms::none); }, {"list.txt", "wall.bmp"},
         "1", true, std::nullopt, 1, "File: list.txt not found",
         "lotpick: cannot read list 'list.txt': Permission denied\n", old_done},
        {"a 300-byte line", long_line + "\r\n", nullptr, {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 1, "",
         "lotpick: name too long in line 1 of 'list.txt': 300 bytes (300 characters), at most 259 bytes: use a "
         "shorter folder\n",
         old_done},
        {"garbage without a line end", garbage, nullptr, {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 1, "",
         "lotpick: name too long in line 1 of 'list.txt': 4096 bytes (4096 characters), at most 259 bytes: use a "
         "shorter folder\n",
         old_done},
        {"a file name longer than the file system takes", "a.txt\r\n", nullptr,
         {"list.txt", std::string(252, 'w') + ".bmp"}, "1", false, std::nullopt, 1, "",
         "lotpick: destination too long '" + std::string(252, 'w') +
             ".txt': a file name of 256 bytes, at most 255\n",
         old_done},
        // With no file name the copy would be a hidden "pics/.txt".
        {"a destination that ends in a slash", "a.txt\r\n", [] { fs::create_directory("pics"); }, {"list.txt", "pics/"},
         "1", false, std::nullopt, 1, "",
         "lotpick: destination names no file 'pics/': add a file name, as in 'pics/wallpaper'\n", old_done},
        {"a destination that ends in a backslash", "a.txt\r\n", nullptr, {"list.txt", "pics\\"}, "1", false,
         std::nullopt, 1, "", "lotpick: destination names no file 'pics\\': add a file name, as in 'pics\\wallpaper'\n",
         old_done},
        {"an empty destination", "a.txt\r\n", nullptr, {"list.txt", ""}, "1", false, std::nullopt, 1, "",
         "lotpick: destination names no file '': add a file name, as in 'wallpaper'\n", old_done},
        // Else the copy would be a hidden "..txt" in the folder these name.
        {"the current folder", "a.txt\r\n", nullptr, {"list.txt", "."}, "1", false, std::nullopt, 1, "",
         "lotpick: destination names no file '.': add a file name, as in './wallpaper'\n", old_done},
        {"the parent folder", "a.txt\r\n", nullptr, {"list.txt", ".."}, "1", false, std::nullopt, 1, "",
         "lotpick: destination names no file '..': add a file name, as in '../wallpaper'\n", old_done},
        {"a folder's parent", "a.txt\r\n", [] { fs::create_directory("pics"); }, {"list.txt", "pics/.."}, "1", false,
         std::nullopt, 1, "",
         "lotpick: destination names no file 'pics/..': add a file name, as in 'pics/../wallpaper'\n", old_done},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

TEST(Faults, OddListsArePickedByteForByteAndTheFailedCopyReported) {
    // Every byte value in order, 16 times: line ends at each LF (after a tab)
    // and each CR, so 32; line 1 starts with a zero byte (an empty name), even
    // lines are "\x0b\x0c", odd ones every byte from 0x0e to 0xff.
    std::string every_byte;
    for (int i = 0; i < 16; ++i) every_byte += bytes_from(0, 255);
    const std::string short_name = bytes_from(0x0b, 0x0c);
    const std::string long_name = bytes_from(0x0e, 0xff);  // has '.', '/' and '\' in it: no extension
    const Fault faults[] = {
        {"empty list", "", nullptr, {"list.txt", "wall.bmp"}, "1", false, std::nullopt, 2,
         "Selecting new file 0\n0 files picked 0\n\n",
         "lotpick: cannot copy '' to 'wall.bmp': No such file or directory\n", old_done + "\r\n"},
        {"binary garbage, the empty name redrawn", every_byte, nullptr, {"list.txt", "wall.bmp"}, "2", false,
         std::nullopt, 2, "Selecting new file 0\n32 files picked 22\n" + short_name + "\n",
         "lotpick: cannot copy '" + short_name + "' to 'wall.bmp': No such file or directory\n",
         old_done + "\r\n" + short_name},
        {"binary garbage, a name of every other byte", every_byte, nullptr, {"list.txt", "wall.bmp"}, "3", false,
         std::nullopt, 2, "32 files picked 17\n" + long_name + "\n",
         "lotpick: cannot copy '" + long_name + "' to 'wall.bmp': No such file or directory\n",
         old_done + "\r\n" + long_name},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

TEST(Faults, OutputThatCannotBeWrittenTurnsSuccessIntoStatusTwo) {
    const std::string full = "lotpick: cannot write 'standard output': No space left on device\n";
    const Fault faults[] = {
        {"a pick that did everything else", "a.txt\r\n", nullptr, {"list.txt", "wall.bmp"}, "1", false,
         std::nullopt, 2, "", full, old_done + "\r\na.txt", "wall.txt", "content of a", "/dev/full"},
        // Each redraw line fails on its own write: the run records and copies all the same.
        {"a pick after a redraw", "old.txt\r\na.txt\r\na.txt\r\n", nullptr, {"list.txt", "wall.bmp"}, "2", false,
         std::nullopt, 2, "", full, old_done + "\r\na.txt", "wall.txt", "content of a", "/dev/full"},
        {"a pick whose copy failed as well", "gone.txt\r\n", nullptr, {"list.txt", "wall.bmp"}, "1", false,
         std::nullopt, 2, "", "lotpick: cannot copy 'gone.txt' to 'wall.txt': No such file or directory\n" + full,
         old_done + "\r\ngone.txt", "wall.txt", "old wallpaper", "/dev/full"},
        {"the answer to --help", "", nullptr, {"--help"}, "1", false, std::nullopt, 2, "", full, old_done,
         "wall.txt", "old wallpaper", "/dev/full"},
        {"the answer to --version", "", nullptr, {"--version"}, "1", false, std::nullopt, 2, "", full, old_done,
         "wall.txt", "old wallpaper", "/dev/full"},
        {"the usage text", "", nullptr, {}, "1", false, std::nullopt, 1, "", full, old_done, "wall.txt",
         "old wallpaper", "/dev/full"},
        {"the not-found message", "", nullptr, {"missing.txt", "wall.bmp"}, "1", false, std::nullopt, 1, "",
         "lotpick: cannot read list 'missing.txt': No such file or directory\n" + full, old_done, "wall.txt",
         "old wallpaper", "/dev/full"},
    };
    for (const Fault& fault : faults) check_fault(fault);
}

// Names of a fixed width up to `bytes`, the rest one unended line of 'z'.
std::string list_of_size(std::size_t bytes) {
    std::string list;
    for (int i = 0;; ++i) {
        const std::string line = "f" + std::to_string(100000 + i) + ".txt\r\n";
        if (list.size() + line.size() > bytes) break;
        list += line;
    }
    return list + std::string(bytes - list.size(), 'z');
}

test::ProcessResult run_in(const fs::path& dir, const std::vector<std::string>& argv) {
    test::ProcessOptions options;
    options.cwd = dir;
    options.env.emplace_back("LOTPICK_SEED", "7");
    return test::run_process(argv, options);
}

TEST(Faults, AListReadThroughAPipePicksWhatTheSameFileWouldPick) {
    // A pipe is read in blocks that grow from 64 KiB by half again: sizes on
    // and around those edges, and a small list whose pick exists.
    const std::string small = "a.txt\r\nb.txt\r\nc.txt\r\n";
    for (const std::string& list : {small, list_of_size(65535), list_of_size(65536), list_of_size(65537),
                                    list_of_size(98304), list_of_size(250000)}) {
        test::ScratchDir scratch;
        write_file("list.txt", list);
        for (const char* name : {"a.txt", "b.txt", "c.txt"}) write_file(name, std::string("content of ") + name);
        const auto from_file = run_in(scratch.path(), {test::lotpick_binary(), "list.txt", "wall.bmp"});
        const std::string done_from_file = read_file("DoneList");
        fs::remove("DoneList");
        fs::remove("wall.txt");
        const auto from_pipe = run_in(scratch.path(), {"/bin/bash", "-c", "exec \"$0\" <(cat list.txt) wall.bmp",
                                                       test::lotpick_binary()});
        EXPECT_EQ(from_pipe.status, from_file.status) << list.size();
        EXPECT_EQ(from_pipe.out, from_file.out) << list.size();
        EXPECT_EQ(from_pipe.err, from_file.err) << list.size();
        EXPECT_EQ(read_file("DoneList"), done_from_file) << list.size();
        if (list == small) {
            EXPECT_EQ(from_pipe.status, 0) << from_pipe.err;
            EXPECT_EQ(read_file("wall.txt"), "content of a.txt");
        }
    }
}

}  // namespace
}  // namespace lotpick
