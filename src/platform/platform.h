// The one interface between lotpick and the operating system: file loads, the
// locked append, the atomic copy, the clock and the command line.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace lotpick::platform {

// Zero-filled memory from the platform's allocator, released by the same.
struct BlockDeleter {
    void operator()(char* block) const noexcept;
};
using Block = std::unique_ptr<char[], BlockDeleter>;

// A null block means the allocator refused.
Block allocate_zeroed(std::size_t bytes);

// A whole file's bytes. One zero byte always follows the data, so the bytes
// can be scanned as a C string as well as a sized range.
struct Buffer {
    Block bytes;
    std::uint64_t size = 0;

    std::string_view view() const { return {bytes.get(), static_cast<std::size_t>(size)}; }
};

// An operation that could not be done, with the platform's reason in words.
struct Failure {
    std::string reason;
};

struct Loaded {
    std::optional<Buffer> buffer;  // empty on failure
    Failure failure;
};

enum class Lock { none, shared };

// Reads a whole file. A regular file is read by its size; anything else (a
// pipe, a character device) is read until it ends. With Lock::shared the read
// waits for any run that is appending with append_record (on Windows for a
// bounded time).
Loaded read_file(const std::string& path, Lock lock);

// Appends `record` to the file at `path`, creating it when missing, preceded by
// CR LF when the file is not empty. Runs under an exclusive lock that waits
// for other readers and writers (on Windows for a bounded time), and writes
// separator and record at once so a concurrent run never sees half an entry.
std::optional<Failure> append_record(const std::string& path, std::string_view record);

// Replaces `target` with a byte-for-byte copy of `source`: the copy goes to a
// temporary file beside the target and is renamed over it, so the old target
// survives any failure. A symbolic link target has the file it names replaced.
std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target);

// Where the done list lives in the current directory. Loading and appending
// name one file, whatever case the file system folds.
struct DoneListPaths {
    std::string load;
    std::string append;
};
DoneListPaths done_list_paths();

// Milliseconds from some fixed point, wrapping at 2^32.
std::uint32_t tick_count();

// The whole command line as the process received it, where the platform
// hands over one string (Windows) for lotpick to split by its own rules;
// nullopt where the process receives an argument vector ready made.
std::optional<std::string> raw_command_line();

// Gives standard output a 256-byte buffer, the same whether it is a terminal,
// a file or a pipe. Where the C runtime cannot buffer by lines, the driver's
// flush after each finished line does that part.
void buffer_standard_output();

// A write past the process's file size limit fails with an error the run
// reports, like a full disk, instead of ending the process unannounced.
void make_oversized_writes_fail();

}  // namespace lotpick::platform
