// The POSIX platform layer's Linux paths: unnamed temporary files (O_TMPFILE)
// named through /proc once complete, copies inside the kernel, and syncs that
// reach the disk. Each falls back to the plain POSIX road where the kernel or
// the file system cannot take it.

#include "platform/posix/system.h"

#include "platform/posix/posix.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lotpick::platform::posix {

// The headers that declare copy_file_range (glibc 2.27, musl 1.1.20) all
// know O_TMPFILE and AT_EMPTY_PATH; only the running kernel may not.
int open_unnamed(const std::string& directory) {
    const int fd = open_retrying(directory.empty() ? "." : directory.c_str(), O_TMPFILE | O_WRONLY, 0600);
    // Kernels without O_TMPFILE read it as O_DIRECTORY and say EISDIR.
    if (fd < 0 && (errno == EISDIR || errno == EINVAL)) errno = EOPNOTSUPP;
    return fd;
}

// Through /proc, which needs no privilege, else by the descriptor itself,
// which needs CAP_DAC_READ_SEARCH.
bool link_unnamed(int fd, const std::string& path) {
    const std::string proc_path = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, proc_path.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno == EEXIST) return false;
    return ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

// Where the file system can (Btrfs, XFS), the kernel shares the blocks
// instead of copying them, a reflink. It cannot copy across file systems on
// older kernels, nor on some file systems, and some pseudo file systems stop
// short of their real end.
std::uint64_t copy_in_kernel(int from, int to, std::uint64_t most) {
    std::uint64_t done = 0;
    while (done < most) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(most - done, std::uint64_t{1} << 30));
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, wanted, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied <= 0) break;
        done += static_cast<std::uint64_t>(copied);
    }
    return done;
}

// glibc's write, in a process that has started a thread (the halves of a
// long list), turns thread cancellation on and off around the call: 29
// instructions, more than the rest of the wrapper, for a feature lotpick
// never uses. The bare system call skips them.
long write_once(int fd, const char* from, std::size_t count) { return ::syscall(SYS_write, fd, from, count); }

// Linux's fsync and fdatasync also empty the drive's write cache.
bool sync_data(int fd) {
    int rc;
    do rc = ::fdatasync(fd);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

bool sync_all(int fd) {
    int rc;
    do rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace lotpick::platform::posix
