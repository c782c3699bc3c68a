// The Win32 platform layer, the copy: the picked file goes to a temporary
// file beside the destination, which is flushed to the disk and then moved
// over it. Devices and directories are never copied from or replaced, and a
// console control event leaves the old destination and no temporary file.

#include "platform/win32/win32.h"

#include <algorithm>

namespace lotpick::platform {
namespace {

using namespace win32;

// A path of the \\?\ kind may hold 32767 characters, its terminating zero
// included.
constexpr std::size_t longest_path = 32766;
// What NTFS, ReFS, exFAT and FAT with long names all take in one file name.
// Not asked of the volume: under Wine, asking about the drive mapped to "/"
// writes a complaint to standard error on every run.
constexpr std::size_t longest_file_name = 255;

// Only the attributes a file's owner sets are carried from the picked file to
// the copy, read-only aside: Windows refuses to replace a read-only file, so
// a later pick could not land.
constexpr DWORD carried_attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                     FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_ATTRIBUTE_OFFLINE |
                                     FILE_ATTRIBUTE_TEMPORARY;

Failure not_a_regular_file() { return Failure{"not a regular file"}; }

std::wstring directory_of(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// No dot in front: Wine shows a name that starts with one as hidden, and the
// attribute would stay with the finished copy.
std::wstring temporary_name() { return L"lotpick-" + std::to_wstring(GetCurrentProcessId()) + L".tmp"; }

// The attributes of a file on disk that is no directory; none for anything else.
std::optional<DWORD> disk_file_attributes(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return std::nullopt;
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return info.dwFileAttributes;
}

// The file at the end of a link destination's chain, which is what the copy
// replaces, leaving the link.
std::wstring final_path(HANDLE file, const std::wstring& otherwise) {
    std::wstring path(32768, L'\0');
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size()) return otherwise;
    path.resize(length);
    return path;
}

// What the copy replaces: `target` itself, or the file it links to. Only a
// regular file, or none, may be replaced; a missing or dangling target is
// its own, and a target that cannot be opened is left for the move to tell
// about. Devices are never opened, since opening some has effects.
std::optional<Failure> find_final_target(const std::wstring& target, std::wstring& final_target) {
    final_target = target;
    if (is_device_path(target)) return not_a_regular_file();
    const FileHandle file(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file.is_open()) {
        const DWORD error = GetLastError();
        return error == ERROR_CANT_RESOLVE_FILENAME ? std::optional(failure_from(error)) : std::nullopt;
    }
    if (!disk_file_attributes(file.get())) return not_a_regular_file();
    const DWORD own = GetFileAttributesW(target.c_str());
    if (own != INVALID_FILE_ATTRIBUTES && (own & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        final_target = final_path(file.get(), target);
    return std::nullopt;
}

DWORD CALLBACK stop_after_control_event(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD,
                                        HANDLE, HANDLE, LPVOID) {
    return control_event_came() ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// A copy in progress, beside its target so the final move stays on one
// volume. Destruction deletes it unless commit moved it into place.
class TemporaryFile {
public:
    // The name holds the process id, so no other live run can be using it;
    // a file of that name is left over from a crashed run and fair to reuse.
    explicit TemporaryFile(const std::wstring& target) : path_(directory_of(target) + temporary_name()) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path_.empty()) return;
        // A read-only file cannot be deleted.
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
    }

    bool fill(const std::wstring& source, DWORD source_attributes) const {
        if (!CopyFileExW(source.c_str(), path_.c_str(), stop_after_control_event, nullptr, nullptr, 0)) return false;
        const DWORD kept = source_attributes & carried_attributes;
        return SetFileAttributesW(path_.c_str(), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL) != 0 && flush();
    }

    // The bytes reach the disk before the name does: a move that a power cut
    // keeps over a copy it loses would leave an empty destination. The
    // system's cache of a file is one for all its handles, so a handle of
    // its own flushes what the copy wrote.
    bool flush() const {
        const FileHandle file(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.is_open() && FlushFileBuffers(file.get());
    }

    // Another run's move onto the same target, or a program that has it open
    // for a moment, makes the move fail; that is waited out.
    bool commit(const std::wstring& target) {
        for (int attempt = 0;; ++attempt) {
            if (control_event_came()) {
                SetLastError(ERROR_OPERATION_ABORTED);
                return false;
            }
            // Write-through: the move is on the disk, its folder's names
            // with it, before the run says it copied.
            if (MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) break;
            const DWORD error = GetLastError();
            if ((error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) || attempt == sharing_retries)
                return false;
            Sleep(sharing_retry_pause_ms);
        }
        path_.clear();
        return true;
    }

private:
    TemporaryScope scope_;  // first in, last out: the file's whole life falls inside it
    std::wstring path_;
};

// The source stays open while it is copied, so that the file found to be a
// disk file is the one copied: a device or a pipe could hold the copy up for
// good. It is closed again before the move, which may replace it.
std::optional<Failure> fill_from(const std::wstring& source, const TemporaryFile& copy) {
    if (is_device_path(source)) return not_a_regular_file();
    const FileHandle from(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!from.is_open()) return failure_from();
    const std::optional<DWORD> attributes = disk_file_attributes(from.get());
    if (!attributes) return not_a_regular_file();
    if (control_event_came() || !copy.fill(source, *attributes)) return failure_from();
    return std::nullopt;
}

std::optional<Failure> copy_disk_file(const std::wstring& source, const std::wstring& target) {
    std::wstring final_target;
    if (const std::optional<Failure> unfit = find_final_target(target, final_target)) return unfit;
    TemporaryFile copy(final_target);
    if (const std::optional<Failure> failure = fill_from(source, copy)) return failure;
    if (!copy.commit(final_target)) return failure_from();
    return std::nullopt;
}

}  // namespace

// Counted in UTF-16 units, as the file system counts. With \\?\ paths only
// the file name's own length can be in the way: the temporary's path is at
// most a few characters longer than the destination's, far inside the limit.
std::optional<Failure> exceeds_path_limit(const std::string& target) {
    const std::wstring path = system_path(target);
    if (path.empty() || is_device_path(path)) return std::nullopt;  // the copy says what is wrong
    const std::wstring directory = directory_of(path);
    const std::size_t name_length = path.size() - directory.size();
    if (name_length > longest_file_name)
        return Failure{"a file name of " + std::to_string(name_length) + " characters, at most " +
                       std::to_string(longest_file_name)};
    const std::size_t longest = std::max(path.size(), directory.size() + temporary_name().size());
    if (longest > longest_path)
        return Failure{"a path of " + std::to_string(longest) + " characters, at most " +
                       std::to_string(longest_path)};
    return std::nullopt;
}

std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target) {
    const std::optional<Failure> failure = copy_disk_file(source_path(source), system_path(target));
    // The control handler ends the process now; a failure the event caused
    // is no failure to report.
    if (control_event_came()) await_the_end();
    return failure;
}

}  // namespace lotpick::platform
