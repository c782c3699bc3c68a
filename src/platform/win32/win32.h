// What the Win32 files of the platform layer share: handles that close
// themselves, opens that wait out another run, and the system's wording of
// an error.
#pragma once

#include "platform/platform.h"
#include "platform/win32/names.h"

#include <string>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform::win32 {

// The system's own wording, without the period and line break it ends with.
Failure failure_from(DWORD error = GetLastError());

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
// and a destination only while one move takes, so a sharing violation is
// waited out, about two seconds at most, rather than reading the list as
// empty, losing the record or failing the copy.
constexpr int sharing_retries = 200;
constexpr DWORD sharing_retry_pause_ms = 10;

enum class Sharing { fail_at_once, wait };

// CreateFileW on the system_path of `path`.
HANDLE open_file(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                 Sharing sharing);

}  // namespace lotpick::platform::win32
