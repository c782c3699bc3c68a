// What the POSIX files of the platform layer share: descriptors that close
// themselves, and reads and writes that finish what they start.
#pragma once

#include "platform/platform.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

namespace lotpick::platform::posix {

Failure failure_from_errno(int error = errno);

// What is wrong with a file of this kind where a regular file must be.
Failure not_a_regular_file(mode_t mode);

// Nothing when `path` is a regular file or names no file at all, else what
// is wrong with it: only such a file may be read as a done list or replaced.
std::optional<Failure> check_regular_or_missing(const std::string& path);

// Owns one file descriptor; closing is the destructor's job unless the caller
// needs close's own result (see close_checked).
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    bool is_open() const { return fd_ >= 0; }
    // Some file systems report a failed write only at close.
    bool close_checked() {
        const int fd = std::exchange(fd_, -1);
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// open(2) with O_CLOEXEC, tried again when a signal interrupts it.
int open_retrying(const char* path, int flags, mode_t mode = 0);

// Reads until `wanted` bytes are in or the file ends, at `offset` when one is
// given (threads may read one file at once), else where the file stands;
// returns the count read, or -1 with errno set.
ssize_t read_fully(int fd, char* into, std::size_t wanted, std::optional<std::uint64_t> offset = std::nullopt);

bool write_fully(int fd, const char* from, std::size_t count);

// Puts the names in `directory` ("" for the current one) on the disk, so that
// a file just made or renamed there is still found under its name after a
// power cut. True also where the system offers no way: a folder that may be
// written but not read cannot be opened to be synced, and some file systems
// take no sync of a folder (EINVAL). False with errno set when the sync failed.
bool sync_directory(const std::string& directory);

// While it lives, SIGINT, SIGTERM or SIGHUP first removes the file at `path`
// and then ends the process as the signal would have. A signal the process
// was started ignoring stays ignored. One at a time.
class InterruptCleanup {
public:
    explicit InterruptCleanup(const std::string& path);
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;
    ~InterruptCleanup();
};

// While it lives, SIGINT, SIGTERM and SIGHUP wait, and arrive when it ends.
class SignalsHeld {
public:
    SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld();

private:
    sigset_t previous_;
};

}  // namespace lotpick::platform::posix
