// The POSIX platform layer, files: reads by offset or to the end, the locked
// append to the done list, and where the done list lives.

#include "platform/posix/posix.h"
#include "platform/posix/system.h"

#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace lotpick::platform {
namespace posix {

Failure failure_from_errno(int error) { return Failure{std::strerror(error)}; }

Failure not_a_regular_file(mode_t mode) {
    return S_ISDIR(mode) ? failure_from_errno(EISDIR) : Failure{"not a regular file"};
}

std::optional<Failure> check_regular_or_missing(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? std::nullopt : std::optional(failure_from_errno());
    if (!S_ISREG(info.st_mode)) return not_a_regular_file(info.st_mode);
    return std::nullopt;
}

int open_retrying(const char* path, int flags, mode_t mode) {
    int fd;
    do fd = ::open(path, flags | O_CLOEXEC, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t read_fully(int fd, char* into, std::size_t wanted, std::optional<std::uint64_t> offset) {
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = offset ? ::pread(fd, into + done, wanted - done, static_cast<off_t>(*offset + done))
                                   : ::read(fd, into + done, wanted - done);
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

bool sync_directory(const std::string& directory) {
    const FileDescriptor fd(open_retrying(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY));
    if (!fd.is_open()) return errno == EACCES;
    return sync_all(fd.get()) || errno == EINVAL;
}

}  // namespace posix

struct InputState {
    posix::FileDescriptor fd;
};

namespace {

using namespace posix;

bool lock_file(int fd, int operation) {
    int rc;
    do rc = ::flock(fd, operation);
    while (rc != 0 && errno == EINTR);
    return rc == 0;
}

Opened open_failure(Failure failure, bool missing = false) {
    return {Input(), std::nullopt, std::move(failure), missing};
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
    // On the disk before the copy starts, so that after a power cut no copy
    // is there without its record.
    if (write_fully(fd, line.data(), line.size()) && sync_data(fd)) return true;
    // Half an entry would merge with the next one; take it back.
    const int error = errno;
    static_cast<void>(::ftruncate(fd, size) == 0);
    errno = error;
    return false;
}

// An older list may be spelled in any ASCII case (strcasecmp folds ASCII
// only in the C locale, which lotpick never leaves); the first in byte
// order, so that every run settles on the same one.
std::optional<std::string> older_spelling() {
    DIR* dir = ::opendir(".");
    if (!dir) return std::nullopt;
    std::optional<std::string> found;
    while (const dirent* entry = ::readdir(dir))
        if (::strcasecmp(entry->d_name, "donelist") == 0 && (!found || entry->d_name < *found)) found = entry->d_name;
    ::closedir(dir);
    return found;
}

}  // namespace

void InputCloser::operator()(InputState* input) const noexcept { delete input; }

// Nothing but a regular file, or no file at all, may be the done list: the
// kind is checked before any open, since opening a device or a FIFO can
// block or act on it.
Opened open_input(const std::string& path, Reading reading) {
    const bool done_list = reading == Reading::done_list;
    if (done_list)
        if (std::optional<Failure> unfit = check_regular_or_missing(path)) return open_failure(std::move(*unfit));
    // The done list non-blocking all the same: the name may have changed kind since the look.
    const int fd = open_retrying(path.c_str(), done_list ? O_RDONLY | O_NONBLOCK : O_RDONLY);
    if (fd < 0) return open_failure(failure_from_errno(), errno == ENOENT);
    Input input(new InputState{FileDescriptor(fd)});
    if (done_list && !lock_file(fd, LOCK_SH)) return open_failure(failure_from_errno());
    struct stat info {};
    if (::fstat(fd, &info) != 0) return open_failure(failure_from_errno());
    if (S_ISDIR(info.st_mode) || (done_list && !S_ISREG(info.st_mode)))
        return open_failure(not_a_regular_file(info.st_mode));
    // A kernel file (procfs, sysfs) claims a size of 0 whatever it holds, so a
    // regular file of no size is read to its end like a pipe.
    std::optional<std::uint64_t> size;
    if (S_ISREG(info.st_mode) && info.st_size > 0) size = static_cast<std::uint64_t>(info.st_size);
    return {std::move(input), size, {}, false};
}

std::optional<Failure> read_at(const InputState& input, std::uint64_t offset, char* into, std::size_t count) {
    const ssize_t got = read_fully(input.fd.get(), into, count, offset);
    if (got < 0) return failure_from_errno();
    std::memset(into + got, 0, count - static_cast<std::size_t>(got));
    return std::nullopt;
}

std::optional<Failure> read_on(const InputState& input, char* into, std::size_t count, std::size_t& got) {
    const ssize_t read = read_fully(input.fd.get(), into, count);
    if (read < 0) return failure_from_errno();
    got = static_cast<std::size_t>(read);
    return std::nullopt;
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
            // A done list this run made is found after a power cut only once
            // its name is on the disk too.
            if (!fd.close_checked() || (created && !sync_directory(""))) return failure_from_errno();
            return std::nullopt;
        }
        const Failure failure = failure_from_errno();
        // Still under the lock, so no other run has written to it meanwhile.
        if (created) ::unlink(path.c_str());
        return failure;
    }
}

// A name is its bytes here: the kernel reads no encoding into it, so no
// reading changes where a character stands or how two names join.
NameReading name_reading(std::string_view) { return {}; }

NameReading source_reading(std::string_view) { return {}; }

std::size_t find_last_character(std::string_view name, std::string_view characters) {
    return name.find_last_of(characters);
}

std::size_t find_last_character(std::string_view name, std::string_view characters, NameReading) {
    return name.find_last_of(characters);
}

std::string join_name(std::string_view stem, NameReading, std::string_view extension, NameReading) {
    std::string joined(stem);
    joined.append(extension);
    return joined;
}

std::size_t drive_length(std::string_view) { return 0; }

// What a terminal shows: a name that reads as UTF-8, as names here almost
// always are, is counted in code points; any other (Latin-1, say) is one
// character a byte.
std::size_t count_characters(std::string_view name) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < name.size(); ++characters) {
        const auto lead = static_cast<unsigned char>(name[at]);
        const std::size_t length = lead < 0x80                  ? 1
                                   : lead < 0xC2 || lead > 0xF4 ? 0
                                   : lead < 0xE0                ? 2
                                   : lead < 0xF0                ? 3
                                                                : 4;
        if (length == 0 || length > name.size() - at) return name.size();
        for (std::size_t next = at + 1; next < at + length; ++next)
            if ((static_cast<unsigned char>(name[next]) & 0xC0) != 0x80) return name.size();
        at += length;
    }
    return characters;
}

std::optional<std::size_t> ansi_length(std::string_view) { return std::nullopt; }

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
