// The POSIX platform layer, files: text blocks, whole-file loads, the locked
// append to the done list, and where the done list lives.

#include "platform/posix/posix.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lotpick::platform {
namespace posix {

Failure failure_from_errno(int error) { return Failure{std::strerror(error)}; }

int open_retrying(const char* path, int flags, mode_t mode) {
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

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

}  // namespace posix

namespace {

using namespace posix;

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

bool lock_file(int fd, int operation) {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
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

}  // namespace lotpick::platform
