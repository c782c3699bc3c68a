// lotpick-wallpaper.exe [LIST DESTINATION]: one pick of lotpick, made the
// Windows desktop wallpaper. It lives in one folder with lotpick.exe, the list
// and the done list, and runs there; Task Scheduler runs it at each logon:
//   schtasks /create /tn "lotpick wallpaper" /sc onlogon /tr "\"%USERPROFILE%\lotpick\lotpick-wallpaper.exe\""
// Without arguments it picks from wallpapers.txt for wallpaper.jpg in the
// user's Pictures folder, wherever that has been moved. It prints lotpick's
// output, and after a run that ended with status 0 it
//   - works out the file lotpick wrote: the destination with the extension of
//     the picked name (the last line lotpick printed), by lotpick's own rule;
//   - makes that file the wallpaper, or, when LOTPICK_APPLY is set, starts
//     that command line (a program and its first arguments, without cmd)
//     with the file's full path in double quotes as its last argument;
//   - removes the file an earlier run wrote when it was another one with the
//     same name up to the extension (lotpick-wallpaper.last keeps the files
//     its jobs wrote, in UTF-8; no other file is ever removed);
//   - once every name of the list is done, moves DoneList to
//     DoneList.previous, so that the next run draws from the whole list again.
// Exit status: lotpick's own; 3 when lotpick could not be started, or its
// status was 0 but the wallpaper could not be set, an earlier file not
// removed or the new round not started. Each is told on standard error.
//
// A program, not a cmd script: cmd reads a list and writes a file only in a
// code page, and reads a double-byte code page's bytes as its own syntax, so
// names outside the code page (Łódź on a Western system), a list in UTF-8, a
// "%" in a name and whole code pages (936, 949, 950) defeated the script.
// Here every name is UTF-16.

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

namespace {

constexpr int setting_failed = 3;
const std::wstring state_file = L"lotpick-wallpaper.last";
// The state's next version, written whole before it replaces the state.
const std::wstring state_draft = L"lotpick-wallpaper.last.new";

// Owns one handle: a file, a pipe's end or a process.
struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

Handle owned(HANDLE handle) { return Handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle); }

std::wstring from_code_page(const std::string& bytes, UINT code_page, DWORD flags = 0) {
    const int size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(code_page, flags, bytes.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, flags, bytes.data(), size, wide.data(), length);
    return wide;
}

std::string utf8(const std::wstring& wide) {
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, bytes.data(), length, nullptr, nullptr);
    return bytes;
}

// A name lotpick printed, read as lotpick reads it: UTF-8 when its bytes are
// well-formed UTF-8 beyond ASCII, else in the ANSI code page.
std::wstring name_text(const std::string& name) {
    const std::wstring as_utf8 = from_code_page(name, CP_UTF8, MB_ERR_INVALID_CHARS);
    return !as_utf8.empty() && as_utf8.size() != name.size() ? as_utf8 : from_code_page(name, CP_ACP);
}

// The console a standard handle writes to, or null for a file or a pipe.
HANDLE console(DWORD which) {
    const HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    return GetConsoleMode(handle, &mode) ? handle : nullptr;
}

void write_console(HANDLE to, const std::wstring& text) {
    DWORD written = 0;
    WriteConsoleW(to, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// A message on standard error: UTF-16 on a console, else UTF-8.
void complain(const std::wstring& what) {
    const std::wstring line = L"lotpick-wallpaper: " + what + L"\r\n";
    if (const HANDLE to = console(STD_ERROR_HANDLE)) return write_console(to, line);
    const std::string bytes = utf8(line);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::wstring system_reason(DWORD error) {
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, 512, nullptr);
    while (length > 0 && std::wcschr(L"\r\n. ", text[length - 1]) != nullptr) --length;
    return length == 0 ? L"system error " + std::to_wstring(error) : std::wstring(text, length);
}

// Where the extension of `name` starts by lotpick's rule: the last "." of its
// last path component (after the last \ or /), unless that "." starts the
// component; npos when there is none.
std::size_t extension_start(const std::wstring& name) {
    const std::size_t slash = name.find_last_of(L"\\/");
    const std::size_t component = slash == std::wstring::npos ? 0 : slash + 1;
    const std::size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos || dot <= component ? std::wstring::npos : dot;
}

std::wstring stem(const std::wstring& name) { return name.substr(0, extension_start(name)); }

std::wstring folded(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring full_path(const std::wstring& name) {
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(name.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return name;
    full.resize(length);
    return full;
}

std::string read_bytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Starts `program` with `command_line`, its standard output going to
// `output`, and waits for it to end: its exit status, or none with the
// system's error in `error`. `while_running` is called once it runs, with
// the parent's end of its output closed.
template <typename WhileRunning>
std::optional<DWORD> run(const std::wstring& program, std::wstring command_line, Handle output, DWORD& error,
                         WhileRunning while_running) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.empty() ? nullptr : program.c_str(), command_line.data(), nullptr,
                                        nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    error = GetLastError();
    output.reset();
    if (!started) return std::nullopt;
    const Handle thread(process.hThread);
    const Handle running(process.hProcess);
    while_running();
    WaitForSingleObject(running.get(), INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(running.get(), &status);
    return status;
}

// No name Windows takes holds a double quote, and a file's path never ends in
// a backslash, so a program's C runtime reads a quoted name back exactly.
std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Everything the pipe brings until its writer has gone.
std::string read_all(HANDLE pipe) {
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(pipe, chunk, sizeof chunk, &got, nullptr) && got > 0) bytes.append(chunk, got);
    return bytes;
}

// lotpick's output as the user reads it: on a console the characters it
// stands for, each line read as lotpick reads a name (the console would read
// the bytes in its own code page); into a file or a pipe the bytes as they are.
void pass_on(const std::string& out) {
    const HANDLE to = console(STD_OUTPUT_HANDLE);
    if (to == nullptr) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        return;
    }
    std::wstring text;
    for (std::size_t at = 0; at < out.size();) {
        const std::size_t end = std::min(out.find_first_of("\r\n", at), out.size());
        text += name_text(out.substr(at, end - at));
        const std::size_t next = std::min(out.find_first_not_of("\r\n", end), out.size());
        text += from_code_page(out.substr(end, next - end), CP_ACP);
        at = next;
    }
    write_console(to, text);
}

// Runs lotpick.exe of `folder` and passes its output on, once it has ended;
// the bytes it printed in `out`. A pipe brings them: no temporary file, which
// a missing or unusable TEMP folder could deny.
int run_lotpick(const std::wstring& folder, const std::wstring& list, const std::wstring& destination,
                std::string& out) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE reading = nullptr;
    HANDLE writing = nullptr;
    if (!CreatePipe(&reading, &writing, &inherit, 0)) {
        complain(L"cannot take lotpick's output: " + system_reason(GetLastError()));
        return setting_failed;
    }
    const Handle pipe(reading);
    // lotpick must hold the only writing end, or the pipe never ends.
    SetHandleInformation(reading, HANDLE_FLAG_INHERIT, 0);
    const std::wstring program = folder + L"lotpick.exe";
    DWORD error = 0;
    const std::optional<DWORD> status =
        run(program, quoted(program) + L" " + quoted(list) + L" " + quoted(destination), Handle(writing), error,
            [&] { out = read_all(reading); });
    if (!status) {
        complain(L"cannot start '" + program + L"': " + system_reason(error));
        return setting_failed;
    }
    pass_on(out);
    return static_cast<int>(*status);
}

// The lines of `text` as lotpick reads them: ended by CR, LF or CR LF, each
// up to its first zero byte, a UTF-8 byte order mark before the first no part
// of it.
std::vector<std::string> lines_of(std::string text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.erase(0, 3);
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t at = 0; at <= text.size(); ++at) {
        if (at == text.size() || text[at] == '\r' || text[at] == '\n') {
            lines.push_back(line.substr(0, line.find('\0')));
            line.clear();
            if (at + 1 < text.size() && text[at] == '\r' && text[at + 1] == '\n') ++at;
        } else {
            line += text[at];
        }
    }
    return lines;
}

// The file lotpick wrote: the destination with the picked name's extension.
std::wstring written_file(const std::wstring& destination, const std::string& out) {
    std::vector<std::string> lines = lines_of(out);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    const std::wstring picked = lines.empty() ? std::wstring() : name_text(lines.back());
    const std::size_t extension = extension_start(picked);
    if (extension == std::wstring::npos) return full_path(destination);
    return full_path(stem(destination) + picked.substr(extension));
}

// LOTPICK_APPLY is started as it is, without cmd, which would read the
// file's name as its own syntax: "%OS%" expanded, "^" dropped, "&" ending the
// command. Its output is not lotpick's, so it goes nowhere.
bool apply_command(const std::wstring& command, const std::wstring& file) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    Handle nowhere = owned(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                       OPEN_EXISTING, 0, nullptr));
    DWORD error = 0;
    const std::optional<DWORD> status = run(L"", command + L" " + quoted(file), std::move(nowhere), error, [] {});
    if (status == 0u) return true;
    if (!status) complain(L"cannot show '" + file + L"': cannot start LOTPICK_APPLY: " + system_reason(error));
    else complain(L"cannot show '" + file + L"': LOTPICK_APPLY failed");
    return false;
}

bool apply(const std::wstring& file) {
    wchar_t command[32768];
    const DWORD length = GetEnvironmentVariableW(L"LOTPICK_APPLY", command, 32768);
    if (length > 0 && length < 32768) return apply_command(std::wstring(command, length), file);
    std::wstring path = file;
    if (SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_UPDATEINIFILE | SPIF_SENDCHANGE))
        return true;
    complain(L"cannot make '" + file + L"' the wallpaper: " + system_reason(GetLastError()));
    return false;
}

std::vector<std::wstring> earlier_files() {
    std::vector<std::wstring> files;
    for (const std::string& line : lines_of(read_bytes(state_file)))
        if (!line.empty()) files.push_back(from_code_page(line, CP_UTF8));
    return files;
}

// The draft is written to the disk before it replaces the state: a crash
// leaves the old state or the new one, never an empty one that would forget
// the files to remove.
bool write_state(const std::string& text) {
    const Handle draft = owned(CreateFileW(state_draft.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return draft && WriteFile(draft.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(draft.get());
}

bool keep_files(const std::vector<std::wstring>& files) {
    std::string text;
    for (const std::wstring& file : files) text += utf8(file) + "\r\n";
    if (write_state(text) &&
        MoveFileExW(state_draft.c_str(), state_file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    complain(L"cannot write '" + state_file + L"': " + system_reason(GetLastError()));
    DeleteFileW(state_draft.c_str());
    return false;
}

// Removes what earlier runs of this job wrote beside `file`, then keeps
// `file`, any that could not be removed, which the next run tries again, and
// what other jobs in this folder wrote under other names, which their own
// runs remove.
bool remove_earlier(const std::wstring& file) {
    std::vector<std::wstring> kept{file};
    bool removed_all = true;
    for (const std::wstring& earlier : earlier_files()) {
        if (folded(earlier) == folded(file)) continue;
        if (folded(stem(earlier)) != folded(stem(file))) {
            kept.push_back(earlier);
            continue;
        }
        if (DeleteFileW(earlier.c_str()) || GetFileAttributesW(earlier.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        complain(L"cannot remove '" + earlier + L"': " + system_reason(GetLastError()));
        kept.push_back(earlier);
        removed_all = false;
    }
    return keep_files(kept) && removed_all;
}

// After a failed wallpaper the desktop still shows an earlier file: it stays
// until a later file is shown.
bool keep_for_later(const std::wstring& file) {
    std::vector<std::wstring> files = earlier_files();
    for (const std::wstring& earlier : files)
        if (folded(earlier) == folded(file)) return true;
    files.push_back(file);
    return keep_files(files);
}

// Once every name of the list is an entry of the done list (blank lines and
// lines too long to pick are no names), the done list moves aside.
bool new_round_if_done(const std::wstring& list) {
    if (GetFileAttributesW(L"DoneList") == INVALID_FILE_ATTRIBUTES) return true;
    if (GetFileAttributesW(list.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    const std::vector<std::string> entries = lines_of(read_bytes(L"DoneList"));
    const std::set<std::string> done(entries.begin(), entries.end());
    for (const std::string& name : lines_of(read_bytes(list)))
        if (!name.empty() && name.size() <= 259 && !done.contains(name)) return true;
    if (MoveFileExW(L"DoneList", L"DoneList.previous", MOVEFILE_REPLACE_EXISTING)) return true;
    complain(L"cannot move 'DoneList' to 'DoneList.previous': " + system_reason(GetLastError()));
    return false;
}

// Runs in its own folder, where lotpick.exe, the list and the done list are;
// its path with a final backslash, or none when it cannot go there (a path
// longer than a current folder may have, 259 characters): a run elsewhere
// would keep its done list in another folder.
std::optional<std::wstring> enter_own_folder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length < path.size() ? length : 0);
    const std::wstring folder = path.substr(0, path.find_last_of(L"\\/") + 1);
    if (!folder.empty() && SetCurrentDirectoryW(folder.c_str())) return folder;
    complain(L"cannot enter its folder '" + folder + L"': " + system_reason(GetLastError()));
    return std::nullopt;
}

struct TaskMemoryFree {
    void operator()(wchar_t* text) const noexcept { CoTaskMemFree(text); }
};

// The Pictures folder where the user has put it (OneDrive, another disk),
// not where it first was.
std::optional<std::wstring> default_destination() {
    wchar_t* found = nullptr;
    const HRESULT result = SHGetKnownFolderPath(FOLDERID_Pictures, KF_FLAG_DEFAULT, nullptr, &found);
    const std::unique_ptr<wchar_t, TaskMemoryFree> folder(found);
    if (SUCCEEDED(result)) return std::wstring(folder.get()) + L"\\wallpaper.jpg";
    complain(L"cannot find the Pictures folder: " + system_reason(static_cast<DWORD>(HRESULT_CODE(result))));
    return std::nullopt;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::optional<std::wstring> folder = enter_own_folder();
    if (!folder) return setting_failed;
    const std::wstring list = argc > 1 && argv[1][0] != L'\0' ? argv[1] : L"wallpapers.txt";
    const std::optional<std::wstring> destination =
        argc > 2 && argv[2][0] != L'\0' ? std::optional<std::wstring>(argv[2]) : default_destination();
    if (!destination) return setting_failed;
    std::string out;
    int status = run_lotpick(*folder, list, *destination, out);
    if (status != 0) return status;
    const std::wstring file = written_file(*destination, out);
    if (apply(file)) {
        if (!remove_earlier(file)) status = setting_failed;
    } else {
        keep_for_later(file);
        status = setting_failed;
    }
    if (!new_round_if_done(list)) status = setting_failed;
    return status;
}
