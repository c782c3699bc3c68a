// The POSIX platform layer, files: text blocks, whole-file loads, the locked
// append to the done list, and where the done list lives.

#include "platform/posix/posix.h"
#include "platform/posix/system.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lotpick::platform {
namespace posix {

Failure failure_from_errno(int error) { return Failure{std::strerror(error)}; }

Failure not_a_regular_file(mode_t mode) {
    return S_ISDIR(mode) ? failure_from_errno(EISDIR) : Failure{"not a regular file"};
}

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

struct InputState {
    posix::FileDescriptor fd;
};

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

Opened open_failure(Failure failure, bool missing = false) {
    return {Input(), std::nullopt, std::move(failure), missing};
}

Input input_of(int fd) { return Input(new InputState{FileDescriptor(fd)}); }

// A kernel file (procfs, sysfs) claims a size of 0 whatever it holds, so a
// regular file of no size is read to its end like a pipe.
Opened opened_as(Input input) {
    struct stat info {};
    if (::fstat(input->fd.get(), &info) != 0) return open_failure(failure_from_errno());
    if (S_ISDIR(info.st_mode)) return open_failure(failure_from_errno(EISDIR));
    std::optional<std::uint64_t> size;
    if (S_ISREG(info.st_mode) && info.st_size > 0) size = static_cast<std::uint64_t>(info.st_size);
    return {std::move(input), size, {}, false};
}

// Nothing but a regular file, or no file at all, may be the done list: the
// kind is checked before any open, since opening a device or a FIFO can
// block or act on it.
std::optional<Failure> check_regular_or_missing(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? std::nullopt : std::optional(failure_from_errno());
    if (!S_ISREG(info.st_mode)) return not_a_regular_file(info.st_mode);
    return std::nullopt;
}

Opened open_done_list(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return open_failure(failure_from_errno(), errno == ENOENT);
    if (!S_ISREG(info.st_mode)) return open_failure(not_a_regular_file(info.st_mode));
    // Non-blocking all the same: the name may have changed kind since the look.
    const int fd = open_retrying(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) return open_failure(failure_from_errno(), errno == ENOENT);
    Input input = input_of(fd);
    if (!lock_file(fd, LOCK_SH)) return open_failure(failure_from_errno());
    if (::fstat(fd, &info) != 0) return open_failure(failure_from_errno());
    if (!S_ISREG(info.st_mode)) return open_failure(not_a_regular_file(info.st_mode));
    return opened_as(std::move(input));
}

// Opens the done list to append to it, creating it when missing; `created`
// tells whether this run made the file.
int open_for_append(const char* path, bool& created) {
    constexpr int append = O_WRONLY | O_APPEND | O_NONBLOCK;
    for (;;) {
        int fd = open_retrying(path, append);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = open_retrying(path, append | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
        if (fd >= 0 || errno != EEXIST) return fd;
        // Missing, yet there: another run made it just now (open it as theirs),
        // or the name is a link to nowhere, which only a plain create follows.
        struct stat info {};
        if (::stat(path, &info) != 0 && errno == ENOENT) return open_retrying(path, append | O_CREAT, 0666);
    }
}

bool write_record(int fd, off_t size, std::string_view record) {
    std::string line = size > 0 ? "\r\n" : "";
    line.append(record);
    if (write_fully(fd, line.data(), line.size())) return true;
    // Half an entry would merge with the next one; take it back.
    const int error = errno;
    (void)::ftruncate(fd, size);
    errno = error;
    return false;
}

bool is_done_list_spelling(std::string_view name) {
    constexpr std::string_view lower = "donelist";
    if (name.size() != lower.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const char c = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
        if (c != lower[i]) return false;
    }
    return true;
}

// An older list may be spelled in any ASCII case; the first in byte order,
// so that every run settles on the same one.
std::optional<std::string> older_spelling() {
    DIR* dir = ::opendir(".");
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir))
        if (is_done_list_spelling(entry->d_name) && (!found || entry->d_name < *found)) found = entry->d_name;
    ::closedir(dir);
    return found;
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

void InputCloser::operator()(InputState* input) const noexcept { delete input; }

Opened open_input(const std::string& path, Reading reading) {
    if (reading == Reading::done_list) return open_done_list(path);
    const int fd = open_retrying(path.c_str(), O_RDONLY);
    if (fd < 0) return open_failure(failure_from_errno(), errno == ENOENT);
    return opened_as(input_of(fd));
}

std::optional<Failure> read_at(const InputState& input, std::uint64_t offset, char* into, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(input.fd.get(), into + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return failure_from_errno();
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    std::memset(into + done, 0, count - done);
    return std::nullopt;
}

Loaded read_to_end(const InputState& input) { return read_stream(input.fd.get()); }

Loaded read_sized(const InputState& input, std::uint64_t size) {
    if (size >= SIZE_MAX) return {std::nullopt, failure_from_errno(ENOMEM)};
    Block block = allocate_zeroed(static_cast<std::size_t>(size) + 1);
    if (!block) return {std::nullopt, failure_from_errno(ENOMEM)};
    if (std::optional<Failure> failure = read_at(input, 0, block.get(), static_cast<std::size_t>(size)))
        return {std::nullopt, *failure};
    return {Buffer{std::move(block), size}, {}};
}

std::optional<Failure> append_record(const std::string& path, std::string_view record) {
    if (const std::optional<Failure> unfit = check_regular_or_missing(path)) return unfit;
    for (;;) {
        bool created = false;
        FileDescriptor fd(open_for_append(path.c_str(), created));
        if (!fd.is_open()) return failure_from_errno();
        // The size must be read under the lock: another run may append between
        // an unlocked look and our write, and the separator depends on it.
        if (!lock_file(fd.get(), LOCK_EX)) return failure_from_errno();
        struct stat info {};
        if (::fstat(fd.get(), &info) != 0) return failure_from_errno();
        if (!S_ISREG(info.st_mode)) return not_a_regular_file(info.st_mode);
        // A run whose record failed removed the file it had made while this
        // one waited for the lock: a record written now would be lost.
        if (info.st_nlink == 0) continue;
        if (write_record(fd.get(), info.st_size, record)) {
            if (!fd.close_checked()) return failure_from_errno();
            return std::nullopt;
        }
        const Failure failure = failure_from_errno();
        // Still under the lock, so no other run has written to it meanwhile.
        if (created) ::unlink(path.c_str());
        return failure;
    }
}

std::string done_list_path() {
    // The name the done list has always been appended to, then the one it has
    // always been read by.
    for (const char* name : {"DoneList", "donelist"}) {
        struct stat info {};
        if (::lstat(name, &info) == 0) return name;
    }
    return older_spelling().value_or("DoneList");
}

}  // namespace lotpick::platform
