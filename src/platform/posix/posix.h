// What the POSIX files of the platform layer share: descriptors that close
// themselves, and reads and writes that finish what they start.
#pragma once

#include "platform/platform.h"

#include <cerrno>
#include <cstddef>
#include <utility>

#include <sys/types.h>
#include <unistd.h>

namespace lotpick::platform::posix {

Failure failure_from_errno(int error = errno);

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

// Reads until `wanted` bytes are in or the file ends; returns the count read,
// or -1 with errno set.
ssize_t read_fully(int fd, char* into, std::size_t wanted);

bool write_fully(int fd, const char* from, std::size_t count);

}  // namespace lotpick::platform::posix
