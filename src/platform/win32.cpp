// The Win32 side of the platform layer: the Windows console build. Every
// Windows call lotpick makes is in this file.

#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform {
namespace {

// The system's own wording, without the period and line break it ends with.
Failure failure_from(DWORD error = GetLastError()) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && std::strchr("\r\n. ", text[length - 1]) != nullptr) --length;
    if (length == 0) return Failure{"system error " + std::to_string(error)};
    return Failure{std::string(text, length)};
}

// Owns one file handle for the length of one operation.
class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        if (is_open()) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }
    bool is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// Another run holds the done list only while one load or one append takes,
// so a sharing violation is waited out, about two seconds at most, rather
// than reading the list as empty or losing the record.
constexpr int sharing_retries = 200;
constexpr DWORD sharing_retry_pause_ms = 10;

enum class Sharing { fail_at_once, wait };

HANDLE open_file(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                 Sharing sharing) {
    for (int attempt = 0;; ++attempt) {
        const HANDLE handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, attributes, nullptr);
        if (handle != INVALID_HANDLE_VALUE || sharing == Sharing::fail_at_once ||
            GetLastError() != ERROR_SHARING_VIOLATION || attempt == sharing_retries)
            return handle;
        Sleep(sharing_retry_pause_ms);
    }
}

// Reads until `wanted` bytes are in or the data ends; the count read, or
// nullopt after a read error (its code left for GetLastError). A pipe whose
// writer has gone says so with ERROR_BROKEN_PIPE, which is its end.
std::optional<std::size_t> read_fully(HANDLE file, char* into, std::size_t wanted) {
    std::size_t done = 0;
    while (done < wanted) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wanted - done, std::size_t{1} << 30));
        DWORD got = 0;
        if (!ReadFile(file, into + done, chunk, &got, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) break;
            return std::nullopt;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool write_fully(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
        DWORD put = 0;
        if (!WriteFile(file, bytes.data(), chunk, &put, nullptr) || put == 0) return false;
        bytes.remove_prefix(put);
    }
    return true;
}

// A short read leaves the missing tail zero; the size stays what the file
// claimed when it was opened.
Loaded read_sized(HANDLE file, std::uint64_t size) {
    if (size >= SIZE_MAX) return {std::nullopt, failure_from(ERROR_NOT_ENOUGH_MEMORY)};
    Block block = allocate_zeroed(static_cast<std::size_t>(size) + 1);
    if (!block) return {std::nullopt, failure_from(ERROR_NOT_ENOUGH_MEMORY)};
    if (!read_fully(file, block.get(), static_cast<std::size_t>(size))) return {std::nullopt, failure_from()};
    return {Buffer{std::move(block), size}, {}};
}

// A pipe has no size to go by; the block grows by half again each time so the
// copying stays linear in what arrives.
Loaded read_stream(HANDLE file) {
    std::size_t capacity = 64 * 1024;
    std::size_t used = 0;
    Block block = allocate_zeroed(capacity + 1);
    for (;;) {
        if (!block) return {std::nullopt, failure_from(ERROR_NOT_ENOUGH_MEMORY)};
        const std::optional<std::size_t> got = read_fully(file, block.get() + used, capacity - used);
        if (!got) return {std::nullopt, failure_from()};
        used += *got;
        if (used < capacity) return {Buffer{std::move(block), used}, {}};
        const std::size_t grown = capacity + capacity / 2;
        Block bigger = allocate_zeroed(grown + 1);
        if (bigger) std::memcpy(bigger.get(), block.get(), used);
        block = std::move(bigger);
        capacity = grown;
    }
}

std::string directory_of(const std::string& path) {
    const std::size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The file a symbolic link destination names: the copy replaces that file
// and leaves the link. Anything else, a dangling link included, is its own
// target.
std::string resolve_links(const std::string& target) {
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return target;
    const FileHandle file(CreateFileA(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_open()) return target;
    char final_path[32768];
    const DWORD length = GetFinalPathNameByHandleA(file.get(), final_path, sizeof final_path, FILE_NAME_NORMALIZED);
    if (length == 0 || length >= sizeof final_path) return target;
    return std::string(final_path, length);
}

// A copy in progress, beside its target so the final move stays on one
// volume. Destruction deletes it unless commit moved it into place.
class TemporaryFile {
public:
    // The name holds the process id, so no other live run can be using it;
    // a file of that name is left over from a crashed run and fair to reuse.
    explicit TemporaryFile(const std::string& target)
        : path_(directory_of(target) + ".lotpick-" + std::to_string(GetCurrentProcessId()) + ".tmp") {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path_.empty()) return;
        // A copy of a read-only source is read-only until make_writable, and
        // a read-only file cannot be deleted.
        SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path_.c_str());
    }
    const std::string& path() const { return path_; }

    // CopyFileA carries a read-only source's attribute over, and Windows
    // refuses to replace a read-only file: the next pick could not land.
    bool make_writable() const {
        const DWORD attributes = GetFileAttributesA(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               SetFileAttributesA(path_.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }

    bool commit(const std::string& target) {
        if (!MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
};

}  // namespace

void BlockDeleter::operator()(char* block) const noexcept { GlobalFree(block); }

// With GMEM_FIXED the handle GlobalAlloc returns is the block's address.
Block allocate_zeroed(std::size_t bytes) {
    return Block(static_cast<char*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes)));
}

// Others may read alongside a load but not write: it sees whole records only.
Loaded read_file(const std::string& path, Lock lock) {
    const Sharing sharing = lock == Lock::shared ? Sharing::wait : Sharing::fail_at_once;
    const FileHandle file(
        open_file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, sharing));
    if (!file.is_open()) return {std::nullopt, failure_from()};
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return read_stream(file.get());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) return {std::nullopt, failure_from()};
    return read_sized(file.get(), static_cast<std::uint64_t>(size.QuadPart));
}

// Shares nothing while the record goes in, so no load sees half an entry and
// no other append can slip between the size check and the write.
std::optional<Failure> append_record(const std::string& path, std::string_view record) {
    const FileHandle file(open_file(path, GENERIC_WRITE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, Sharing::wait));
    if (!file.is_open()) return failure_from();
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END)) return failure_from();
    std::string line = end.QuadPart > 0 ? "\r\n" : "";
    line.append(record);
    if (!write_fully(file.get(), line)) {
        const Failure failure = failure_from();
        // Half an entry would merge with the next one; take it back.
        if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
        return failure;
    }
    return std::nullopt;
}

std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target) {
    const std::string final_target = resolve_links(target);
    TemporaryFile copy(final_target);
    if (!CopyFileA(source.c_str(), copy.path().c_str(), FALSE)) return failure_from();
    if (!copy.make_writable() || !copy.commit(final_target)) return failure_from();
    return std::nullopt;
}

// The file system folds case, so the two spellings name one file.
DoneListPaths done_list_paths() { return {"donelist", "DoneList"}; }

std::uint32_t tick_count() { return GetTickCount(); }

std::optional<std::string> raw_command_line() { return std::string(GetCommandLineA()); }

// The C runtime treats line buffering as full buffering; the driver flushes
// after each line it finishes, which gives the same output at the same times.
void buffer_standard_output() { std::setvbuf(stdout, nullptr, _IOFBF, 256); }

// Windows has no file size limit signal: a write that does not fit fails.
void make_oversized_writes_fail() {}

}  // namespace lotpick::platform
