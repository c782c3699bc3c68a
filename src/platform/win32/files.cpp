// The Win32 platform layer, files: reads by offset or to the end, the append
// to the done list, and where the done list lives.

#include "platform/win32/win32.h"

#include <algorithm>
#include <cstring>

namespace lotpick::platform {

Failure win32::failure_from(DWORD error) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, sizeof text, nullptr);
    while (length > 0 && std::strchr("\r\n. ", text[length - 1]) != nullptr) --length;
    if (length == 0) return Failure{"system error " + std::to_string(error)};
    return Failure{std::string(text, length)};
}

struct InputState {
    win32::FileHandle file;
};

namespace {

using namespace win32;

enum class Sharing { fail_at_once, wait };

// CreateFileW on the system_path of `path`.
HANDLE open_file(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD attributes,
                 Sharing sharing) {
    const std::wstring wide = system_path(path);
    for (int attempt = 0;; ++attempt) {
        const HANDLE handle = CreateFileW(wide.c_str(), access, share, nullptr, disposition, attributes, nullptr);
        if (handle != INVALID_HANDLE_VALUE || sharing == Sharing::fail_at_once ||
            GetLastError() != ERROR_SHARING_VIOLATION || attempt == sharing_retries)
            return handle;
        Sleep(sharing_retry_pause_ms);
    }
}

// Reads until `wanted` bytes are in or the data ends, at `offset` when one is
// given (each read then says where it starts, so a list can be read again
// out of order), else where the file stands, and says how many in `done`. A
// pipe whose writer has gone says so with ERROR_BROKEN_PIPE, which is its end.
std::optional<Failure> read_fully(HANDLE file, char* into, std::size_t wanted, std::size_t& done,
                                  std::optional<std::uint64_t> offset = std::nullopt) {
    done = 0;
    while (done < wanted) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wanted - done, std::size_t{1} << 30));
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset.value_or(0) + done);
        at.OffsetHigh = static_cast<DWORD>((offset.value_or(0) + done) >> 32);
        DWORD got = 0;
        if (!ReadFile(file, into + done, chunk, &got, offset ? &at : nullptr)) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) break;
            return failure_from(error);
        }
        if (got == 0) break;
        done += got;
    }
    return std::nullopt;
}

}  // namespace

void InputCloser::operator()(InputState* input) const noexcept { delete input; }

// Others may read alongside a load but not write: it sees whole records only.
Opened open_input(const std::string& path, Reading reading) {
    const bool done_list = reading == Reading::done_list;
    const HANDLE file = open_file(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  done_list ? Sharing::wait : Sharing::fail_at_once);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {Input(), std::nullopt, failure_from(error), missing};
    }
    Input input(new InputState{FileHandle(file)});
    if (GetFileType(file) != FILE_TYPE_DISK) {
        if (done_list) return {Input(), std::nullopt, Failure{"not a regular file"}};
        return {std::move(input), std::nullopt, {}};
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return {Input(), std::nullopt, failure_from()};
    std::optional<std::uint64_t> sized;
    if (size.QuadPart > 0) sized = static_cast<std::uint64_t>(size.QuadPart);
    return {std::move(input), sized, {}};
}

std::optional<Failure> read_at(const InputState& input, std::uint64_t offset, char* into, std::size_t count) {
    std::size_t got = 0;
    if (std::optional<Failure> failure = read_fully(input.file.get(), into, count, got, offset)) return failure;
    std::memset(into + got, 0, count - got);
    return std::nullopt;
}

std::optional<Failure> read_on(const InputState& input, char* into, std::size_t count, std::size_t& got) {
    return read_fully(input.file.get(), into, count, got);
}

// Shares nothing while the record goes in, so no load sees half an entry and
// no other append can slip between the size check and the write. A disk file
// takes a write whole or fails it, and a record is a name of 259 bytes at
// most, so it goes in one write. A list this append created is deleted on
// close when the record fails; as nobody else can have it open meanwhile, no
// other run's record goes with it.
std::optional<Failure> append_record(const std::string& path, std::string_view record) {
    const FileHandle file(
        open_file(path, GENERIC_WRITE | DELETE, 0, OPEN_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, Sharing::wait));
    if (!file.is_open()) return failure_from();
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return Failure{"not a regular file"};
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END)) return failure_from();
    std::string line = end.QuadPart > 0 ? "\r\n" : "";
    line.append(record);
    DWORD put = 0;
    // On the disk before the copy starts, so that after a power cut no copy
    // is there without its record. NTFS commits the file's making with it.
    if (WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &put, nullptr) && put == line.size() &&
        FlushFileBuffers(file.get()))
        return std::nullopt;
    const Failure failure = failure_from();
    // Half an entry would merge with the next one; take it back.
    if (SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) SetEndOfFile(file.get());
    if (created) {
        FILE_DISPOSITION_INFO remove{TRUE};
        SetFileInformationByHandle(file.get(), FileDispositionInfo, &remove, sizeof remove);
    }
    return failure;
}

// One name for loading and appending: where the folder folds case it finds
// the list however it is spelled, and where it does not (a case-sensitive
// folder, or Wine over a Linux file system, where two spellings can stand
// side by side) "DoneList" wins, so loads and appends never part ways.
std::string done_list_path() { return "DoneList"; }

}  // namespace lotpick::platform
