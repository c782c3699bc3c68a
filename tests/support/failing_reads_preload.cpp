// Loaded into a run of lotpick with LD_PRELOAD: from the Nth read by offset
// of the file named DoneList on (N in LOTPICK_TEST_FAILING_READ), every such
// read fails with EIO, as a failing disk would fail it. Only this way does
// a done list break in the middle of a run, after it opened and read well.

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

using Pread = ssize_t (*)(int, void*, size_t, off_t);

std::atomic<long> done_list_reads{0};

bool reads_fail_now(int fd) {
    const char* from = std::getenv("LOTPICK_TEST_FAILING_READ");
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (!from || length <= 0) return false;
    const std::string path(target, static_cast<std::size_t>(length));
    if (path.size() < 9 || path.compare(path.size() - 9, 9, "/DoneList") != 0) return false;
    return ++done_list_reads >= std::atol(from);
}

ssize_t read_or_fail(const char* real_name, int fd, void* into, size_t count, off_t offset) {
    if (reads_fail_now(fd)) {
        errno = EIO;
        return -1;
    }
    const auto real = reinterpret_cast<Pread>(::dlsym(RTLD_NEXT, real_name));
    return real(fd, into, count, offset);
}

}  // namespace

extern "C" ssize_t pread(int fd, void* into, size_t count, off_t offset) {
    return read_or_fail("pread", fd, into, count, offset);
}

extern "C" ssize_t pread64(int fd, void* into, size_t count, off_t offset) {
    return read_or_fail("pread64", fd, into, count, offset);
}
