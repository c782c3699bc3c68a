// The POSIX platform layer, the copy: the picked file goes to a temporary
// file beside the destination, which is then renamed over it.

#include "platform/posix/posix.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/fs.h>
#include <sys/ioctl.h>
#endif

namespace lotpick::platform {
namespace {

using namespace posix;

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

}  // namespace lotpick::platform
