// What only the POSIX platform layer does: a named temporary file removed by
// the signal that ends the run, and a done list removed again by the run that
// made it when its first record fails.

#include "platform/posix/posix.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <optional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace lotpick::platform {
namespace {

// The wait status of a child that ran `body` and then exited with 0.
int run_in_child(const std::function<void()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(InterruptCleanup, RemovesTheFileAndEndsAsTheSignalWouldUnlessItWasIgnored) {
    const struct {
        int signal;
        bool ignored_before;
    } cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
    for (const auto& c : cases) {
        test::ScratchDir scratch;
        test::write_file(".lotpick-test", "half a copy");
        const int status = run_in_child([&c] {
            std::signal(c.signal, c.ignored_before ? SIG_IGN : SIG_DFL);
            const posix::InterruptCleanup cleanup(".lotpick-test");
            ::raise(c.signal);
        });
        if (c.ignored_before) {
            EXPECT_TRUE(WIFEXITED(status)) << c.signal;
            EXPECT_TRUE(std::filesystem::exists(".lotpick-test")) << c.signal;
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << c.signal;
            EXPECT_FALSE(std::filesystem::exists(".lotpick-test")) << c.signal;
        }
    }
}

// The output files of a whole run would hit the same size limit, so this is
// a run of the append alone.
TEST(AppendRecord, RemovesTheDoneListItCreatedWhenTheRecordFails) {
    test::ScratchDir scratch;
    const int status = run_in_child([] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{3, 3};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (!append_record("DoneList", "a.txt")) ::_exit(1);
    });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed record was not reported";
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

// The wallpaper a display manager or another user reads must stay readable:
// a new copy gets the picked file's mode less the umask, as cp gives it, and
// a replaced one keeps the mode it had.
TEST(CopyFileAtomically, GivesANewCopyThePicksModeLessTheUmaskAndKeepsAReplacedOnesMode) {
    const struct {
        mode_t source, umask;
        std::optional<mode_t> target_before;
        mode_t expected;
    } cases[] = {{0644, 022, std::nullopt, 0644}, {0755, 027, std::nullopt, 0750}, {0600, 022, 0664, 0664}};
    for (const auto& c : cases) {
        test::ScratchDir scratch;
        test::write_file("source", "picked");
        ::chmod("source", c.source);
        if (c.target_before) {
            test::write_file("target", "old");
            ::chmod("target", *c.target_before);
        }
        const mode_t umask_before = ::umask(c.umask);
        EXPECT_FALSE(copy_file_atomically("source", "target")) << std::oct << c.source;
        ::umask(umask_before);
        struct stat info {};
        ASSERT_EQ(::stat("target", &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.expected) << std::oct << c.source << " umask " << c.umask;
    }
}

}  // namespace
}  // namespace lotpick::platform
