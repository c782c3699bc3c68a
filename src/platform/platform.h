// The one interface between lotpick and the operating system: file loads, the
// locked append, the atomic copy, the clock and the command line.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lotpick::platform {

// An operation that could not be done, with the platform's reason in words.
struct Failure {
    std::string reason;
};

// What a read may open. A list may be anything that can be read to its end,
// a pipe included. The done list must be a regular file, since anything else
// could hold up this run, and every run after it, for good; it is read under
// the lock that append_record takes.
enum class Reading { list, done_list };

// A file open for reading in pieces, so that a run never holds more of a long
// list in memory than it needs. An open done list keeps other runs from
// appending to it until it is closed.
struct InputState;
struct InputCloser {
    void operator()(InputState* input) const noexcept;
};
using Input = std::unique_ptr<InputState, InputCloser>;

struct Opened {
    Input input;  // null on failure
    // A regular file's size, which read_at reads by; none for a file that
    // must be read to its end with read_to_end (a pipe, a kernel file).
    std::optional<std::uint64_t> size;
    Failure failure;
    bool missing = false;  // the failure is that there is no such file
};

// Opens a file. A list may be a regular file, a pipe or a character device,
// or a file that claims no size (as kernel files do), which has to be read to
// its end at once. A done list is opened only once no run is appending to it
// (on Windows, waiting for a bounded time).
Opened open_input(const std::string& path, Reading reading);

// Reads the `count` bytes at `offset` into `into`. Bytes the file no longer
// holds (it shrank since it was opened) read as zero bytes, so a file always
// reads as the size it had when it was opened.
std::optional<Failure> read_at(const InputState& input, std::uint64_t offset, char* into, std::size_t count);

// Reads up to `count` bytes of an input without a size from where it
// stands, fewer only at its end, and says how many in `got`.
std::optional<Failure> read_on(const InputState& input, char* into, std::size_t count, std::size_t& got);

// Appends `record` to the done list at `path`, creating it when missing,
// preceded by CR LF when the file is not empty. Runs under an exclusive lock
// that waits for other readers and writers (on Windows for a bounded time),
// and writes separator and record at once so a concurrent run never sees
// half an entry. Anything but a regular file is left alone. A record that
// fails is taken back, and a done list this append created is removed again.
std::optional<Failure> append_record(const std::string& path, std::string_view record);

// Why no copy to `target` could ever be made, whatever the files hold: a path
// longer than the system takes, counting the temporary file beside the
// target. Asked before anything is recorded.
std::optional<Failure> exceeds_path_limit(const std::string& target);

// Replaces `target` with a byte-for-byte copy of `source`: the copy goes to a
// temporary file beside the target and is renamed over it, so the old target
// survives any failure, an interrupted run included. A symbolic link target
// has the file it names replaced. A target that is not a regular file once
// its links are followed (a directory, a device, a FIFO), or whose links loop,
// is never written. The source name is read by source_reading.
std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target);

// How a name's bytes stand for characters: on Windows the code page they are
// read in; elsewhere a name is its bytes, and a reading says nothing.
struct NameReading {
    unsigned code_page = 0;
};

// The reading every name lotpick is handed gets: on Windows UTF-8 for a name
// of well-formed UTF-8 beyond ASCII, else the ANSI code page.
NameReading name_reading(std::string_view name);

// The reading of a name the copy reads from, which copy_file_atomically
// reads it by: where name_reading's names no file and another reading names
// one (on Windows the ANSI code page after UTF-8, the OEM one after ANSI).
NameReading source_reading(std::string_view name);

// Where the last of the ASCII `characters` stands in `name` as a character
// of its own, never as the second byte of another; npos when none does. On
// Windows a name is read a character at a time in the code page its reading
// names, name_reading's when none is given.
std::size_t find_last_character(std::string_view name, std::string_view characters);
std::size_t find_last_character(std::string_view name, std::string_view characters, NameReading reading);

// The name made of the characters of `stem`, read by `stem_reading`, and
// then those of `extension`, read by `extension_reading`, in bytes that
// name_reading reads back as those characters. Two names in one encoding,
// and every pair on POSIX, join byte for byte.
std::string join_name(std::string_view stem, NameReading stem_reading, std::string_view extension,
                      NameReading extension_reading);

// How many of the bytes `name` begins with name a drive and nothing more:
// 2 for "C:" on Windows, where "C:wall" is wall in the current folder of
// drive C; 0 elsewhere, where "C:" is a name like any other.
std::size_t drive_length(std::string_view name);

// How many characters `name` holds read by name_reading: code points, where
// a byte is one only in ASCII and in a single-byte code page.
std::size_t count_characters(std::string_view name);

// The bytes `name`, read as UTF-8, takes in the ANSI code page on Windows,
// when that code page holds every character of it; none elsewhere, and none
// for a name in the ANSI code page already.
std::optional<std::size_t> ansi_length(std::string_view name);

// The done list of the current directory, the one name both loading and
// appending use: "DoneList", or an older list spelled in another case.
std::string done_list_path();

// Milliseconds from some fixed point, wrapping at 2^32.
std::uint32_t tick_count();

// The arguments, the command name first, where the platform hands the
// process one command line (Windows): split by lotpick's own rules, each in
// the bytes that name its file, and a sole "/?" taken as "--help", as the
// platform's programs take it. Nullopt where the process receives an
// argument vector ready made.
std::optional<std::vector<std::string>> command_line_arguments();

// Gives standard output a 256-byte buffer, the same whether it is a terminal,
// a file or a pipe. Where the C runtime cannot buffer by lines, the driver's
// flush after each finished line does that part.
void buffer_standard_output();

// A part of a message: the program's own text or the system's wording of a
// failure, or a name, in the bytes that name its file.
struct MessagePart {
    std::string_view text;
    bool is_name = false;
};

// Writes a message's parts to `stream` in one write. Into a file or a pipe
// names go in their bytes, and a message is in one encoding: on Windows the
// system's wording beside a UTF-8 name is made UTF-8, and a message to
// standard error goes out at once, before what standard output still holds.
// A Windows console, which would read them in its own code page, is shown
// the characters they stand for: a name read as its file is named, other
// text in the ANSI code page the system's wording comes in. False when the
// write failed.
bool write_message(std::FILE* stream, std::span<const MessagePart> parts);

// Lines that each reach the file under `stream` at once, in a write of their
// own that passes by the stream's buffer: a long run of them costs its writes
// and little else, where the C runtime's locking, flushing and error state
// would cost three times as much again. Made once the stream holds nothing
// more to write; nothing else may write to the stream while it is in use. On
// Windows a stream in text mode gets a CR before each LF, as the C runtime
// writes it. A stream with no file under it fails every write.
class LineWriter {
public:
    explicit LineWriter(std::FILE* stream);
    // False, errno set, when the write failed.
    bool write(std::string_view line) const;

private:
    int fd_;
};

// A write that fails, past the process's file size limit or into a pipe
// whose reader has gone, is an error the run reports, instead of a signal
// that ends the process unannounced halfway through.
void make_failed_writes_reportable();

}  // namespace lotpick::platform
