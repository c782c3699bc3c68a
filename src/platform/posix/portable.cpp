// The POSIX platform layer on a system with nothing better than POSIX itself
// (macOS, the BSDs): no unnamed files, no copy in the kernel, so
// the callers make a named temporary and copy by reading and writing; and a
// sync is fsync, or on macOS F_FULLFSYNC.

#include "platform/posix/system.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace lotpick::platform::posix {

int open_unnamed(const std::string&) {
    errno = EOPNOTSUPP;
    return -1;
}

bool link_unnamed(int, const std::string&) {
    errno = EOPNOTSUPP;
    return false;
}

std::uint64_t copy_in_kernel(int, int, std::uint64_t) { return 0; }

long write_once(int fd, const char* from, std::size_t count) { return ::write(fd, from, count); }

// macOS's fsync leaves the data in the drive's cache, where a power cut
// loses it; F_FULLFSYNC empties the cache too, where the file system
// takes it, and plain fsync is the next best where it does not.
bool sync_all(int fd) {
#ifdef F_FULLFSYNC
    if (::fcntl(fd, F_FULLFSYNC) == 0) return true;
#endif
    int rc;
    do rc = ::fsync(fd);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Not every system of this road has fdatasync.
bool sync_data(int fd) { return sync_all(fd); }

}  // namespace lotpick::platform::posix
