// The POSIX platform layer, the copy: the picked file goes to a temporary
// file beside the destination, which is synced and then renamed over it.
// Where the system can (Linux), the temporary has no name until it is
// complete, so that a run ended at any moment, by any signal or a crash,
// leaves nothing behind.

#include "platform/posix/posix.h"
#include "platform/posix/system.h"

#include <algorithm>
#include <climits>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace lotpick::platform {
namespace {

using namespace posix;

// The most links a chain may have, as Linux follows them.
constexpr int max_link_hops = 40;

std::string directory_of(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at, which need not exist yet; the
// links themselves stay as they are. Empty, with errno set, when the chain
// loops or is longer than the system would follow.
std::optional<std::string> resolve_links(std::string path) {
    for (int hops = 0; hops <= max_link_hops; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0) return std::nullopt;
        if (length == 0 || static_cast<std::size_t>(length) == link.size()) {
            errno = ENAMETOOLONG;
            return std::nullopt;
        }
        link.resize(static_cast<std::size_t>(length));
        path = link.front() == '/' ? link : directory_of(path) + link;
    }
    errno = ELOOP;
    return std::nullopt;
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

// A name for the finished copy, free at the moment of the link; the process
// id keeps runs at once apart, the counter a name left by a crashed run.
bool link_with_fresh_name(int fd, const std::string& directory, std::string& path) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        path = directory + ".lotpick-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (link_unnamed(fd, path)) return true;
        if (errno != EEXIST) break;
    }
    path.clear();
    return false;
}

// A copy in progress, beside its target so the final rename never crosses
// file systems. Unnamed where the file system allows; otherwise named, and
// removed by the interrupt cleanup should a signal end the run. Destruction
// removes it unless commit renamed it into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : directory_(directory_of(target)) {
        fd_ = open_unnamed(directory_);
        if (fd_ >= 0 || errno != EOPNOTSUPP) return;
        path_ = directory_ + ".lotpick-XXXXXX";
        // A signal between the file's making and the cleanup's arming would
        // leave the file behind: it waits until the cleanup is armed.
        const SignalsHeld held;
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        if (fd_ < 0) path_.clear();
        else cleanup_.emplace(path_);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    bool is_open() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // Between naming and renaming, the interrupting signals wait: the name
    // exists only for the moment of this call, and a run ended in it either
    // replaced the target or left it alone, with no temporary either way.
    bool commit(const std::string& target) {
        const SignalsHeld held;
        if (path_.empty() && !link_with_fresh_name(fd_, directory_, path_)) return false;
        if (::close(std::exchange(fd_, -1)) != 0 || ::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::string directory_;
    std::string path_;  // empty while the file has no name
    int fd_ = -1;
    std::optional<InterruptCleanup> cleanup_;
};

// Copies up to `most` bytes from both files' current offsets, or until the
// source ends: the kernel copies part, all or none of it, and the rest goes
// by reading and writing.
bool copy_range(int from, int to, std::uint64_t most) {
    most -= copy_in_kernel(from, to, most);
    constexpr std::size_t chunk_size = 1 << 20, page = 4096;
    // Left uninitialised: a copy that has nothing left to do never touches it.
    const std::unique_ptr<char[]> block(new char[chunk_size + page]);
    // On a page border, as the file's extents start: on AMD's Zen processors
    // the system's copy into a buffer 1 to 31 bytes further into its page
    // than the file's bytes are into theirs takes five times as long.
    char* const chunk = block.get() + (page - reinterpret_cast<std::uintptr_t>(block.get()) % page) % page;
    while (most > 0) {
        const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(most, chunk_size));
        const ssize_t got = read_fully(from, chunk, wanted);
        if (got <= 0) return got == 0;
        if (!write_fully(to, chunk, static_cast<std::size_t>(got))) return false;
        most -= static_cast<std::uint64_t>(got);
    }
    return true;
}

// Fewer blocks than the size needs: the file has holes.
bool has_holes(const struct stat& info) { return info.st_blocks < (info.st_size + 511) / 512; }

// Copies only the data of a file with holes, as cp does, so that the holes
// stay holes: a disk image of a few extents copies in no time and no space.
// Empty when the file system cannot tell where the data lies.
std::optional<bool> copy_data_only(int from, int to, off_t size) {
#if defined(SEEK_DATA) && defined(SEEK_HOLE)
    // ENXIO: no data from there on, only a hole up to the end.
    off_t data = ::lseek(from, 0, SEEK_DATA);
    if (data < 0 && errno != ENXIO) return errno == EINVAL ? std::nullopt : std::optional(false);
    while (data >= 0 && data < size) {
        const off_t hole = ::lseek(from, data, SEEK_HOLE);
        // The extent goes to the same offset of the copy.
        if (hole < 0 || ::lseek(from, data, SEEK_SET) < 0 || ::lseek(to, data, SEEK_SET) < 0) return false;
        if (!copy_range(from, to, static_cast<std::uint64_t>(hole - data))) return false;
        data = ::lseek(from, hole, SEEK_DATA);
        if (data < 0 && errno != ENXIO) return false;
    }
    return ::ftruncate(to, size) == 0;
#else
    return std::nullopt;
#endif
}

bool copy_bytes(int from, int to, const struct stat& info) {
    if (has_holes(info))
        if (const std::optional<bool> copied = copy_data_only(from, to, info.st_size)) return *copied;
    // To the source's end: where the kernel copied it all, one read that
    // returns nothing.
    return copy_range(from, to, UINT64_MAX);
}

}  // namespace

std::optional<Failure> exceeds_path_limit(const std::string& target) {
    const std::string directory = directory_of(target);
    const std::size_t name_length = target.size() - directory.size();
    long limit = ::pathconf(directory.empty() ? "." : directory.c_str(), _PC_NAME_MAX);
    if (limit <= 0) limit = NAME_MAX;
    if (name_length <= static_cast<std::size_t>(limit)) return std::nullopt;
    return Failure{"a file name of " + std::to_string(name_length) + " bytes, at most " + std::to_string(limit)};
}

std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target) {
    // Non-blocking, so a FIFO among the names cannot hang the run at open.
    FileDescriptor from(open_retrying(source.c_str(), O_RDONLY | O_NONBLOCK));
    if (!from.is_open()) return failure_from_errno();
    struct stat info {};
    if (::fstat(from.get(), &info) != 0) return failure_from_errno();
    if (!S_ISREG(info.st_mode)) return not_a_regular_file(info.st_mode);

    const std::optional<std::string> final_target = resolve_links(target);
    if (!final_target) return failure_from_errno();
    // Renaming over a device, a FIFO or a socket would put a plain file where
    // it was (run as root, /dev/null would become a copy of the pick), and a
    // directory cannot take a file's place. A target that changes kind
    // between this look and the rename is not caught; nothing short of the
    // rename itself could catch it.
    if (const std::optional<Failure> unfit = check_regular_or_missing(*final_target)) return unfit;
    TemporaryFile copy(*final_target);
    if (!copy.is_open()) return failure_from_errno();
    if (!copy_bytes(from.get(), copy.fd(), info)) return failure_from_errno();
    if (::fchmod(copy.fd(), mode_for(*final_target, info)) != 0) return failure_from_errno();
    // The bytes reach the disk before the name does: a rename that a power
    // cut keeps over a copy it loses would leave an empty destination.
    if (!sync_all(copy.fd())) return failure_from_errno();
    if (!copy.commit(*final_target)) return failure_from_errno();
    // Until its folder is synced, a power cut can undo the rename.
    if (!sync_directory(directory_of(*final_target))) return failure_from_errno();
    return std::nullopt;
}

}  // namespace lotpick::platform
