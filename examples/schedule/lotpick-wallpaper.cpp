// lotpick-wallpaper.exe [LIST DESTINATION]: one pick of lotpick, made the
// Windows desktop wallpaper. It lives in one folder with lotpick.exe, the list
// and the done list, and runs there; Task Scheduler runs it at each logon:
//   schtasks /create /tn "lotpick wallpaper" /sc onlogon /tr "\"%USERPROFILE%\lotpick\lotpick-wallpaper.exe\""
// Without arguments it picks from wallpapers.txt for
// %USERPROFILE%\Pictures\wallpaper.jpg. It prints lotpick's output, and after
// a run that ended with status 0 it
//   - works out the file lotpick wrote: the destination with the extension of
//     the picked name (the last line lotpick printed), by lotpick's own rule;
//   - makes that file the wallpaper, or, when LOTPICK_APPLY is set, runs that
//     command with the file's path as its one argument;
//   - removes the file an earlier run wrote when it was another one with the
//     same name up to the extension (lotpick-wallpaper.last keeps the files it
//     wrote, in UTF-8; no other file is ever removed);
//   - once every name of the list is done, moves DoneList to
//     DoneList.previous, so that the next run draws from the whole list again.
// Exit status: lotpick's own; 3 when lotpick's was 0 but the wallpaper could
// not be set, an earlier file not removed or the new round not started.
//
// A program, not a cmd script: cmd reads a list and writes a file only in a
// code page, so names outside it (Łódź on a Western system), a list in UTF-8
// and a "%" in a name all defeated the script. Here every name is UTF-16.

#include <cwctype>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace {

constexpr int setting_failed = 3;
const std::wstring state_file = L"lotpick-wallpaper.last";

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

// A message on standard error: UTF-16 on a console, else UTF-8.
void complain(const std::wstring& what) {
    const std::wstring line = L"lotpick-wallpaper: " + what + L"\r\n";
    const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(err, &mode)) {
        WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    } else {
        const std::string bytes = utf8(line);
        WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
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

// Runs `command_line` and waits for it; its exit status, or -1 when it could
// not start. Standard output goes to `output` when given.
int run(std::wstring command_line, HANDLE output = nullptr) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(status);
}

// No name Windows takes holds a double quote, so quoting is enough.
std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// lotpick's output, passed on as it is and kept to find the pick in; the
// lines it printed in `out`.
int run_lotpick(const std::wstring& list, const std::wstring& destination, std::string& out) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    wchar_t temporary[MAX_PATH + 1];
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    GetTempFileNameW(folder, L"lpw", 0, temporary);
    const HANDLE file = CreateFileW(temporary, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        complain(L"cannot keep lotpick's output in '" + std::wstring(temporary) + L"'");
        return setting_failed;
    }
    const int status = run(L"lotpick.exe " + quoted(list) + L" " + quoted(destination), file);
    LARGE_INTEGER size{};
    GetFileSizeEx(file, &size);
    out.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr);
    out.resize(got);
    CloseHandle(file);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), got, &written, nullptr);
    return status;
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

std::wstring system_reason(DWORD error) {
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, 512, nullptr);
    while (length > 0 && std::wcschr(L"\r\n. ", text[length - 1]) != nullptr) --length;
    return length == 0 ? L"system error " + std::to_wstring(error) : std::wstring(text, length);
}

bool apply(const std::wstring& file) {
    wchar_t command[32768];
    const DWORD length = GetEnvironmentVariableW(L"LOTPICK_APPLY", command, 32768);
    if (length > 0 && length < 32768) {
        const std::wstring line = L"cmd.exe /d /s /c " + quoted(std::wstring(command) + L" " + quoted(file) + L" >nul");
        if (run(line) == 0) return true;
        complain(L"cannot show '" + file + L"': LOTPICK_APPLY failed");
        return false;
    }
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

bool keep_files(const std::vector<std::wstring>& files) {
    std::string text;
    for (const std::wstring& file : files) text += utf8(file) + "\r\n";
    std::ofstream out(state_file.c_str(), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (out) return true;
    complain(L"cannot write '" + state_file + L"'");
    return false;
}

// Removes what earlier runs wrote beside `file`, then keeps `file` and any
// that could not be removed, which the next run tries again.
bool remove_earlier(const std::wstring& file) {
    std::vector<std::wstring> kept{file};
    bool removed_all = true;
    for (const std::wstring& earlier : earlier_files()) {
        if (folded(earlier) == folded(file) || folded(stem(earlier)) != folded(stem(file))) continue;
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

// Runs in its own folder, where lotpick.exe, the list and the done list are.
void enter_own_folder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos) SetCurrentDirectoryW(path.substr(0, slash + 1).c_str());
}

std::wstring default_destination() {
    wchar_t profile[32768];
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, 32768);
    return (length > 0 && length < 32768 ? std::wstring(profile) : L".") + L"\\Pictures\\wallpaper.jpg";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    enter_own_folder();
    const std::wstring list = argc > 1 && argv[1][0] != L'\0' ? argv[1] : L"wallpapers.txt";
    const std::wstring destination = argc > 2 && argv[2][0] != L'\0' ? argv[2] : default_destination();
    std::string out;
    int status = run_lotpick(list, destination, out);
    if (status != 0) return status;
    const std::wstring file = written_file(destination, out);
    if (apply(file)) {
        if (!remove_earlier(file)) status = setting_failed;
    } else {
        keep_for_later(file);
        status = setting_failed;
    }
    if (!new_round_if_done(list)) status = setting_failed;
    return status;
}
