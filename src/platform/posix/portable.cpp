// The POSIX platform layer on a system with nothing better than POSIX itself
// (macOS, the BSDs): no unnamed files, no copy in the kernel, so
// the callers make a named temporary and copy by reading and writing.

#include "platform/posix/system.h"

#include <cerrno>

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

}  // namespace lotpick::platform::posix
