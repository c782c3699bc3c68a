// Loaded into a run of lotpick with LD_PRELOAD, it does what only a disk or a
// kernel could do to a run, each when a variable asks for it:
// - LOTPICK_TEST_FAILING_READ=N: from the Nth read by offset of the file
//   named DoneList on, every such read fails with EIO, as a failing disk
//   would fail it. Only this way does a done list break in the middle of a
//   run, after it opened and read well.
// - LOTPICK_TEST_CALL_LOG=FILE: the writes, syncs, links and renames of the
//   done list, the copy and their folder go to FILE, one line each in the
//   order the run made them ("write copy", "sync DoneList", "rename", "sync
//   folder"), a line that repeats the one before left out. Only this way can
//   a test see what reaches the disk before what: a sync that is left out
//   shows nowhere else, short of a power cut.
// - LOTPICK_TEST_NO_TMPFILE: an unnamed temporary file (O_TMPFILE) is refused,
//   as on a file system that cannot make one.
// - LOTPICK_TEST_NO_KERNEL_COPY: copy_file_range is refused, as by a kernel
//   that lacks it.

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

std::string path_of(int fd) {
    char target[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

bool ends_with(const std::string& text, const char* end) {
    const std::size_t size = std::strlen(end);
    return text.size() >= size && text.compare(text.size() - size, size, end) == 0;
}

std::atomic<long> done_list_reads{0};

bool reads_fail_now(int fd) {
    const char* from = std::getenv("LOTPICK_TEST_FAILING_READ");
    if (!from || !ends_with(path_of(fd), "/DoneList")) return false;
    return ++done_list_reads >= std::atol(from);
}

using Pread = ssize_t (*)(int, void*, size_t, off_t);

ssize_t read_or_fail(const char* real_name, int fd, void* into, size_t count, off_t offset) {
    if (reads_fail_now(fd)) {
        errno = EIO;
        return -1;
    }
    return real<Pread>(real_name)(fd, into, count, offset);
}

// What the run's descriptor is: the done list, the copy (unnamed, or named
// .lotpick-*), a folder, or something the log leaves out (empty).
std::string kind_of(int fd) {
    const std::string path = path_of(fd);
    struct stat info {};
    if (ends_with(path, "/DoneList")) return "DoneList";
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return "folder";
    if (path.find("/.lotpick-") != std::string::npos || ends_with(path, " (deleted)")) return "copy";
    return "";
}

// Appends "CALL KIND" to the log, for a descriptor of a kind the log keeps
// (or none at all), unless it repeats the line before; errno is left as the
// call being logged set it.
void log_call(const char* call, int fd = -1) {
    static std::string last;
    const char* log = std::getenv("LOTPICK_TEST_CALL_LOG");
    if (!log) return;
    const int error = errno;
    const std::string kind = fd < 0 ? "" : kind_of(fd);
    const std::string event = kind.empty() ? call : std::string(call) + " " + kind;
    if ((fd >= 0 && kind.empty()) || event == last) return;
    last = event;
    const int out = real<int (*)(const char*, int, ...)>("open")(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    const std::string line = event + "\n";
    if (out >= 0) {
        static_cast<void>(real<ssize_t (*)(int, const void*, size_t)>("write")(out, line.data(), line.size()));
        ::close(out);
    }
    errno = error;
}

}  // namespace

extern "C" ssize_t pread(int fd, void* into, size_t count, off_t offset) {
    return read_or_fail("pread", fd, into, count, offset);
}

extern "C" ssize_t pread64(int fd, void* into, size_t count, off_t offset) {
    return read_or_fail("pread64", fd, into, count, offset);
}

extern "C" ssize_t write(int fd, const void* from, size_t count) {
    log_call("write", fd);
    return real<ssize_t (*)(int, const void*, size_t)>("write")(fd, from, count);
}

extern "C" ssize_t copy_file_range(int from, off_t* from_offset, int to, off_t* to_offset, size_t count,
                                   unsigned flags) {
    if (std::getenv("LOTPICK_TEST_NO_KERNEL_COPY")) {
        errno = ENOSYS;
        return -1;
    }
    log_call("write", to);
    using CopyFileRange = ssize_t (*)(int, off_t*, int, off_t*, size_t, unsigned);
    return real<CopyFileRange>("copy_file_range")(from, from_offset, to, to_offset, count, flags);
}

extern "C" int fsync(int fd) {
    log_call("sync", fd);
    return real<int (*)(int)>("fsync")(fd);
}

extern "C" int fdatasync(int fd) {
    log_call("sync", fd);
    return real<int (*)(int)>("fdatasync")(fd);
}

extern "C" int linkat(int from_dir, const char* from, int to_dir, const char* to, int flags) {
    log_call("link");
    return real<int (*)(int, const char*, int, const char*, int)>("linkat")(from_dir, from, to_dir, to, flags);
}

extern "C" int rename(const char* from, const char* to) {
    log_call("rename");
    return real<int (*)(const char*, const char*)>("rename")(from, to);
}

// open and open64 are one function on 64-bit glibc, under two names.
static int open_or_refuse(const char* real_name, const char* path, int flags, va_list rest) {
    const bool unnamed = (flags & O_TMPFILE) == O_TMPFILE;
    const auto mode = (flags & O_CREAT) != 0 || unnamed ? static_cast<mode_t>(va_arg(rest, int)) : mode_t{0};
    if (unnamed && std::getenv("LOTPICK_TEST_NO_TMPFILE")) {
        errno = EOPNOTSUPP;
        return -1;
    }
    return real<int (*)(const char*, int, ...)>(real_name)(path, flags, mode);
}

extern "C" int open(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int fd = open_or_refuse("open", path, flags, rest);
    va_end(rest);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...) {
    va_list rest;
    va_start(rest, flags);
    const int fd = open_or_refuse("open64", path, flags, rest);
    va_end(rest);
    return fd;
}
