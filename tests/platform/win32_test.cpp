// What only the Windows platform layer does: give up on a done list that
// another program keeps, wait out a destination held for a moment, never
// copy from or onto a device, keep the attributes of the picked file, and
// take paths longer than MAX_PATH.

#include "platform/platform.h"

#include "support/file_hold.h"
#include "support/lines.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include <windows.h>

namespace lotpick::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A wait that gives up at last, not one that waits for good: its 200 pauses
// of 10 ms take far longer than two seconds on a busy machine under Wine,
// but nowhere near this.
constexpr auto gives_up_within = 60s;

TEST(Win32DoneList, GivesUpOnAListThatStaysHeldAfterAboutTwoSeconds) {
    test::ScratchDir scratch;
    test::write_file("DoneList", "a.txt");
    {
        const test::ExclusiveHold other("DoneList");
        ASSERT_TRUE(other.is_held());
        auto started = Clock::now();
        const auto failure = append_record("DoneList", "b.txt");
        ASSERT_TRUE(failure);
        EXPECT_FALSE(failure->reason.empty());
        EXPECT_GE(Clock::now() - started, 1500ms);
        EXPECT_LE(Clock::now() - started, gives_up_within);

        started = Clock::now();
        EXPECT_FALSE(test::load_whole_file("DoneList", Reading::done_list).bytes);
        EXPECT_GE(Clock::now() - started, 1500ms);
    }
    EXPECT_EQ(test::read_file("DoneList"), "a.txt");
}

// A target another program holds for a moment is replaced once it lets go;
// one held for good stays as it was, and the copy gives up after about two
// seconds, leaving no temporary file.
TEST(Win32CopyFileAtomically, WaitsAboutTwoSecondsForAHeldTargetThenLeavesIt) {
    struct Case {
        std::optional<std::chrono::milliseconds> held_for;  // empty: for good
        const char* target;
    } cases[] = {{300ms, "new"}, {std::nullopt, "old"}};
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        test::write_file("source", "new");
        test::write_file("target", "old");
        auto other = std::make_unique<test::ExclusiveHold>("target");
        ASSERT_TRUE(other->is_held());
        std::thread release([&] {
            if (!c.held_for) return;
            std::this_thread::sleep_for(*c.held_for);
            other.reset();
        });
        const auto started = Clock::now();
        const auto failure = copy_file_atomically("source", "target");
        const auto took = Clock::now() - started;
        release.join();
        other.reset();
        EXPECT_EQ(failure.has_value(), !c.held_for);
        EXPECT_GE(took, c.held_for.value_or(1500ms));
        EXPECT_LE(took, gives_up_within);
        EXPECT_EQ(test::read_file("target"), c.target);
        EXPECT_EQ(test::list_dir(scratch.path()), "source\ntarget\n");
    }
}

// A device or a directory is never read from or written over; copying from
// CON would wait for the keyboard, and a copy onto NUL, as Windows lets an
// administrator, would leave nothing.
TEST(Win32CopyFileAtomically, NeverCopiesFromOrOntoADeviceOrADirectory) {
    const std::pair<const char*, const char*> cases[] = {
        {"NUL", "target"}, {"CON", "target"}, {"source", "NUL"}, {"source", "COM1"}, {"source", "dir"},
    };
    for (const auto& [source, target] : cases) {
        test::ScratchDir scratch;
        test::write_file("source", "new");
        test::write_file("target", "old");
        test::write_file("dir/inside", "");
        const auto failure = copy_file_atomically(source, target);
        ASSERT_TRUE(failure) << source << " to " << target;
        EXPECT_EQ(failure->reason, "not a regular file") << source << " to " << target;
        EXPECT_EQ(test::read_file("target"), "old");
        EXPECT_EQ(test::list_dir(scratch.path()), "dir\nsource\ntarget\n") << source << " to " << target;
        EXPECT_EQ(test::list_dir("dir"), "inside\n");
    }
}

// The copy has the picked file's attributes but read-only; Wine made every
// copy hidden once, through the temporary file's name.
TEST(Win32CopyFileAtomically, GivesTheCopyThePickedFilesAttributesButReadOnly) {
    constexpr DWORD watched = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY;
    const std::pair<DWORD, DWORD> cases[] = {
        {FILE_ATTRIBUTE_NORMAL, 0},
        {FILE_ATTRIBUTE_READONLY, 0},
        {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_HIDDEN},
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN},
    };
    for (const auto& [source, copy] : cases) {
        test::ScratchDir scratch;
        test::write_file("source", "new");
        test::write_file("target", "old");
        ASSERT_TRUE(SetFileAttributesW(L"source", source));
        ASSERT_EQ(GetFileAttributesW(L"source") & watched, source & watched) << "attributes not kept here";
        EXPECT_FALSE(copy_file_atomically("source", "target")) << source;
        EXPECT_EQ(GetFileAttributesW(L"target") & watched, copy) << source;
        EXPECT_EQ(test::read_file("target"), "new");
        SetFileAttributesW(L"source", FILE_ATTRIBUTE_NORMAL);
    }
}

// The names in a folder whose path is too long for the C runtime's listing.
std::string long_folder_listing(const std::filesystem::path& folder) {
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = LR"(\\?\)" + std::filesystem::absolute(folder).wstring() + L"\\*";
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return "(cannot list)";
    std::string names;
    do {
        const std::filesystem::path name(found.cFileName);
        if (name != "." && name != "..") names += name.string() + "\n";
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

// The temporary file's path is longer than the destination's: with a short
// file name at the end of 259 bytes it went past what the narrow calls take.
TEST(Win32CopyFileAtomically, CopiesToADestinationOf259BytesWithAShortFileName) {
    test::ScratchDir scratch;
    test::write_file("source", "new");
    const std::string directory(253, 'd');
    std::filesystem::create_directory(directory);
    const std::string target = directory + "\\a.txt";
    ASSERT_EQ(target.size(), 259u);
    EXPECT_FALSE(exceeds_path_limit(target));
    EXPECT_FALSE(copy_file_atomically("source", target));
    EXPECT_EQ(test::read_file(target), "new");
    EXPECT_EQ(long_folder_listing(directory), "a.txt\n");
}

// A file name is counted in characters, as the file system counts: 86
// Chinese ones are 258 bytes in UTF-8 and fit.
TEST(Win32PathLimit, RefusesOnlyAFileNameOfMoreThan255Characters) {
    test::ScratchDir scratch;
    std::string chinese;
    for (int i = 0; i < 86; ++i) chinese += "\xE5\x86\x99";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {std::string(255, 'w'), std::nullopt},
        {"sub\\" + std::string(255, 'w'), std::nullopt},
        {chinese, std::nullopt},
        {std::string(256, 'w'), "a file name of 256 characters, at most 255"},
        {"sub/" + std::string(253, 'w') + ".jpg", "a file name of 257 characters, at most 255"},
    };
    for (const auto& [target, reason] : cases) {
        const std::optional<Failure> failure = exceeds_path_limit(target);
        EXPECT_EQ(failure ? std::optional(failure->reason) : std::nullopt, reason) << target;
    }
}

// Windows refuses to replace a read-only file, so a read-only copy could never
// be replaced by a later pick.
TEST(Win32CopyFileAtomically, CopiesAReadOnlySourceToATargetThatStaysReplaceable) {
    test::ScratchDir scratch;
    test::write_file("read-only", "first");
    test::write_file("writable", "second");
    std::filesystem::permissions("read-only", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_FALSE(copy_file_atomically("read-only", "target"));
    EXPECT_EQ(test::read_file("target"), "first");
    EXPECT_NE(std::filesystem::status("target").permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::none);
    EXPECT_FALSE(copy_file_atomically("writable", "target"));
    EXPECT_EQ(test::read_file("target"), "second");
    EXPECT_EQ(test::list_dir(scratch.path()), "read-only\ntarget\nwritable\n");
}

TEST(Win32CopyFileAtomically, ReplacesTheFileALinkedTargetPointsTo) {
    test::ScratchDir scratch;
    test::write_file("source", "new");
    test::write_file("real\\target", "old");
    // Wine reports success without making the link.
    if (!CreateSymbolicLinkA("link", "real\\target", 0) || GetFileAttributesA("link") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no symbolic links here";
    EXPECT_FALSE(copy_file_atomically("source", "link"));
    EXPECT_EQ(test::read_file("real/target"), "new");
    EXPECT_NE(GetFileAttributesA("link") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(test::list_dir("real"), "target\n");
}

}  // namespace
}  // namespace lotpick::platform
