// The POSIX side of the platform layer: Linux and other Unix systems.
// Every system call lotpick makes on these systems is in this file.

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace lotpick::platform {
namespace {

Failure failure_from_errno(int error = errno) { return Failure{std::strerror(error)}; }

// Large blocks are mappings of their own, aligned to and advised onto 2 MiB
// pages: where every first touch of a 4 KiB page is a fault that costs
// microseconds (as on some virtual machines), loading a list of a million
// names takes a tenth of a second on small pages and a few milliseconds on
// large ones. Small blocks come from calloc, where memory checkers watch
// their ends. A header just before each block says how to release it.
struct BlockHeader {
    void* base;
    std::size_t length;  // of the mapping; 0 for calloc memory
};
constexpr std::size_t block_header_size = 64;
constexpr std::size_t huge_page_size = std::size_t{2} << 20;
constexpr std::size_t large_block_size = std::size_t{1} << 20;

void advise_huge_pages([[maybe_unused]] char* start, [[maybe_unused]] std::size_t length) {
#if defined(MADV_HUGEPAGE)
    // Only advice: without it the block simply stays on small pages.
    (void)::madvise(start, length, MADV_HUGEPAGE);
#endif
}

char* with_header(char* block, void* base, std::size_t length) {
    *reinterpret_cast<BlockHeader*>(block - block_header_size) = {base, length};
    return block;
}

char* allocate_small(std::size_t bytes) {
    auto* base = static_cast<char*>(std::calloc(bytes + block_header_size, 1));
    return base ? with_header(base + block_header_size, base, 0) : nullptr;
}

// The block starts on a 2 MiB boundary and covers whole 2 MiB pages; the
// header sits in the small page before it.
char* allocate_large(std::size_t bytes) {
    const std::size_t pages = (bytes + huge_page_size - 1) / huge_page_size * huge_page_size;
    const std::size_t length = pages + huge_page_size;
    void* base = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    const auto after_header = reinterpret_cast<std::uintptr_t>(base) + block_header_size;
    const std::size_t padding = (huge_page_size - after_header % huge_page_size) % huge_page_size;
    auto* block = static_cast<char*>(base) + block_header_size + padding;
    advise_huge_pages(block, pages);
    return with_header(block, base, length);
}

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

int open_retrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

bool lock_file(int fd, int operation) {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Reads until `wanted` bytes are in or the file ends; returns the count read,
// or -1 with errno set.
ssize_t read_fully(int fd, char* into, std::size_t wanted) {
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = ::read(fd, into + done, wanted - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

bool write_fully(int fd, const char* from, std::size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, from, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        from += put;
        count -= static_cast<std::size_t>(put);
    }
    return true;
}

// A short read leaves the missing tail zero, the size stays what the file
// claimed when it was opened.
Loaded read_sized(int fd, std::uint64_t size) {
    if (size >= SIZE_MAX) return {std::nullopt, failure_from_errno(ENOMEM)};
    Block block = allocate_zeroed(static_cast<std::size_t>(size) + 1);
    if (!block) return {std::nullopt, failure_from_errno(ENOMEM)};
    if (read_fully(fd, block.get(), static_cast<std::size_t>(size)) < 0)
        return {std::nullopt, failure_from_errno()};
    return {Buffer{std::move(block), size}, {}};
}

// A pipe has no size to go by; the block grows by half again each time so the
// copying stays linear in what arrives.
Loaded read_stream(int fd) {
    std::size_t capacity = 64 * 1024;
    std::size_t used = 0;
    Block block = allocate_zeroed(capacity + 1);
    for (;;) {
        if (!block) return {std::nullopt, failure_from_errno(ENOMEM)};
        const ssize_t got = read_fully(fd, block.get() + used, capacity - used);
        if (got < 0) return {std::nullopt, failure_from_errno()};
        used += static_cast<std::size_t>(got);
        if (used < capacity) return {Buffer{std::move(block), used}, {}};
        const std::size_t grown = capacity + capacity / 2;
        Block bigger = allocate_zeroed(grown + 1);
        if (bigger) std::memcpy(bigger.get(), block.get(), used);
        block = std::move(bigger);
        capacity = grown;
    }
}


std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at, which need not exist yet; the
// link itself stays as it is.
std::string resolve_links(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(4096, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<std::size_t>(length) == link.size()) return path;
        link.resize(static_cast<std::size_t>(length));
        path = link.front() == '/' ? link : directory_of(path) + link;
    }
    return path;
}

// A replaced file keeps its permissions; a new one gets the source's, less
// the umask, as cp gives it.
mode_t mode_for(const std::string& target, const struct stat& source) {
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return source.st_mode & 0777 & ~mask;
}

// A copy in progress, beside its target so the final rename never crosses
// file systems. Destruction removes it unless commit renamed it into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : path_(directory_of(target) + ".lotpick-XXXXXX") {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) path_.clear();
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool commit(const std::string& target) {
        const int fd = std::exchange(fd_, -1);
        if (::close(fd) != 0 || ::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
};

// Reads and writes from both files' current offsets until the source ends.
bool copy_by_reading(int from, int to) {
    constexpr std::size_t chunk_size = 1 << 20;
    // Left uninitialised: a copy that has nothing left to do never touches it.
    const auto chunk = std::make_unique_for_overwrite<char[]>(chunk_size);
    for (;;) {
        const ssize_t got = read_fully(from, chunk.get(), chunk_size);
        if (got < 0) return false;
        if (got == 0) return true;
        if (!write_fully(to, chunk.get(), static_cast<std::size_t>(got))) return false;
    }
}

#if defined(__linux__)
// A reflink shares the source's blocks: no data moves at all. Only some file
// systems (Btrfs, XFS) can, and only within one file system.
bool clone_file(int from, int to) { return ::ioctl(to, FICLONE, from) == 0; }

// Copies inside the kernel, from both files' current offsets, as far as the
// kernel gets: it cannot across file systems on older kernels, nor on some
// file systems, and some pseudo file systems stop short of their real end.
// The offsets show how far it got.
void copy_in_kernel(int from, int to) {
    for (;;) {
        const ssize_t copied = ::copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0);
        if (copied < 0 && errno == EINTR) continue;
        if (copied <= 0) return;
    }
}
#else
bool clone_file(int, int) { return false; }
void copy_in_kernel(int, int) {}
#endif

bool copy_bytes(int from, int to) {
    if (clone_file(from, to)) return true;
    copy_in_kernel(from, to);
    // Whatever the kernel left, if anything: at the source's end this is one
    // read that returns nothing.
    return copy_by_reading(from, to);
}

}  // namespace

void BlockDeleter::operator()(char* block) const noexcept {
    const auto* header = reinterpret_cast<const BlockHeader*>(block - block_header_size);
    if (header->length == 0) std::free(header->base);
    else ::munmap(header->base, header->length);
}

Block allocate_zeroed(std::size_t bytes) {
    if (bytes > SIZE_MAX / 2) return Block();
    return Block(bytes < large_block_size ? allocate_small(bytes) : allocate_large(bytes));
}

Loaded read_file(const std::string& path, Lock lock) {
    FileDescriptor fd(open_retrying(path.c_str(), O_RDONLY));
    if (!fd.is_open()) return {std::nullopt, failure_from_errno()};
    if (lock == Lock::shared && !lock_file(fd.get(), LOCK_SH))
        return {std::nullopt, failure_from_errno()};
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return {std::nullopt, failure_from_errno()};
    if (S_ISDIR(info.st_mode)) return {std::nullopt, failure_from_errno(EISDIR)};
    if (S_ISREG(info.st_mode)) return read_sized(fd.get(), static_cast<std::uint64_t>(info.st_size));
    return read_stream(fd.get());
}

std::optional<Failure> append_record(const std::string& path, std::string_view record) {
    FileDescriptor fd(open_retrying(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0666));
    if (!fd.is_open()) return failure_from_errno();
    // The size must be read under the lock: another run may append between an
    // unlocked look and our write, and the separator depends on it.
    if (!lock_file(fd.get(), LOCK_EX)) return failure_from_errno();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) return failure_from_errno();
    std::string line = info.st_size > 0 ? "\r\n" : "";
    line.append(record);
    if (!write_fully(fd.get(), line.data(), line.size())) {
        const Failure failure = failure_from_errno();
        // Half an entry would merge with the next one; take it back.
        (void)::ftruncate(fd.get(), info.st_size);
        return failure;
    }
    if (!fd.close_checked()) return failure_from_errno();
    return std::nullopt;
}

std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target) {
    // Non-blocking, so a FIFO among the names cannot hang the run at open.
    FileDescriptor from(open_retrying(source.c_str(), O_RDONLY | O_NONBLOCK));
    if (!from.is_open()) return failure_from_errno();
    struct stat info {};
    if (::fstat(from.get(), &info) != 0) return failure_from_errno();
    if (S_ISDIR(info.st_mode)) return failure_from_errno(EISDIR);
    if (!S_ISREG(info.st_mode)) return Failure{"not a regular file"};

    const std::string final_target = resolve_links(target);
    TemporaryFile copy(final_target);
    if (!copy.is_open()) return failure_from_errno();
    if (!copy_bytes(from.get(), copy.fd())) return failure_from_errno();
    if (::fchmod(copy.fd(), mode_for(final_target, info)) != 0) return failure_from_errno();
    if (!copy.commit(final_target)) return failure_from_errno();
    return std::nullopt;
}

DoneListPaths done_list_paths() {
    struct stat info {};
    std::string name = "DoneList";
    if (::lstat(name.c_str(), &info) != 0) {
        // An older list may be spelled in any case; take the first in byte
        // order so every run settles on the same one.
        if (DIR* dir = ::opendir(".")) {
            std::string found;
            while (const dirent* entry = ::readdir(dir)) {
                if (::strcasecmp(entry->d_name, "donelist") == 0 && (found.empty() || entry->d_name < found))
                    found = entry->d_name;
            }
            ::closedir(dir);
            if (!found.empty()) name = found;
        }
    }
    return {name, name};
}

std::uint32_t tick_count() {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

std::optional<std::string> raw_command_line() { return std::nullopt; }

void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOLBF, 256); }

// SIGXFSZ would kill the run in the middle of the copy, before it could say
// so; ignored, the write fails with EFBIG and the copy is reported.
void make_oversized_writes_fail() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace lotpick::platform
