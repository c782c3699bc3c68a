// What the Win32 files of the platform layer share: handles that close
// themselves, how long another run's hold is waited out, the system's wording
// of an error, and the scope a copy's temporary file lives in.
#pragma once

#include "platform/platform.h"
#include "platform/win32/names.h"

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

// While it lives, this thread alone makes, finishes or removes a copy's
// temporary file: a console control event (Ctrl-C, Ctrl-Break, closing the
// console) that comes meanwhile is first told to the copy, which stops, and
// ends the process only once the scope has ended. One at a time; after an
// event no scope starts again.
class TemporaryScope {
public:
    TemporaryScope();
    TemporaryScope(const TemporaryScope&) = delete;
    TemporaryScope& operator=(const TemporaryScope&) = delete;
    ~TemporaryScope();
};

// Whether a console control event has come: a copy that sees it stops, and
// moves nothing into place.
bool control_event_came();

// Leaves the ending to the control handler, which ends the process as soon
// as no temporary scope is left: after an event a run reports nothing more.
[[noreturn]] void await_the_end();

}  // namespace lotpick::platform::win32
