// Test support, Windows: CreateProcessA with the output sent to files, and
// arguments quoted so that lotpick's own splitter gives them back exactly.

#include "support/process.h"

#include "support/scratch.h"

#include <atomic>
#include <cstring>
#include <string_view>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::test {
namespace {

// Inside quotes everything stands for itself but a double quote, written \".
// A backslash right before the closing quote would make that quote literal,
// so trailing backslashes go after it, where only a blank or the end follows.
std::string quote_argument(const std::string& arg) {
    const std::size_t body_end = arg.find_last_not_of('\\') + 1;  // 0 when all backslashes
    std::string quoted = "\"";
    for (std::size_t i = 0; i < body_end; ++i) {
        if (arg[i] == '"') quoted += '\\';
        quoted += arg[i];
    }
    quoted += '"';
    quoted.append(arg, body_end);
    return quoted;
}

std::string command_line(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) line += (line.empty() ? "" : " ") + quote_argument(arg);
    return line;
}

std::string_view variable_name(std::string_view entry) {
    // Entries such as "=C:=C:\dir" keep a drive's current directory; their
    // name starts with the "=".
    return entry.substr(0, entry.find('=', 1));
}

bool is_changed(std::string_view entry, const ProcessOptions& options) {
    for (const auto& [name, value] : options.env)
        if (lstrcmpiA(std::string(variable_name(entry)).c_str(), name.c_str()) == 0) return true;
    return false;
}

// The parent's environment with the options' changes, as the block
// CreateProcessA takes: entries ended by a zero byte, one more at the end.
std::string environment_block(const ProcessOptions& options) {
    std::string block;
    char* const strings = GetEnvironmentStringsA();
    for (const char* entry = strings; *entry != '\0'; entry += std::strlen(entry) + 1)
        if (!is_changed(entry, options)) block.append(entry).push_back('\0');
    FreeEnvironmentStringsA(strings);
    for (const auto& [name, value] : options.env)
        if (value) block.append(name + "=" + *value).push_back('\0');
    block.push_back('\0');
    return block;
}

// Handles the child inherits, closed on this side once it has them.
class InheritedHandle {
public:
    InheritedHandle(const std::string& path, DWORD access, DWORD disposition) {
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        handle_ = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    InheritedHandle(const InheritedHandle&) = delete;
    InheritedHandle& operator=(const InheritedHandle&) = delete;
    ~InheritedHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The exit code, or -1 when the program could not be started.
int run_to_end(const std::vector<std::string>& argv, const ProcessOptions& options, const std::string& out,
               const std::string& err) {
    const InheritedHandle in_handle("NUL", GENERIC_READ, OPEN_EXISTING);
    const InheritedHandle out_handle(out, GENERIC_WRITE, CREATE_ALWAYS);
    const InheritedHandle err_handle(err, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_handle.get();
    startup.hStdOutput = out_handle.get();
    startup.hStdError = err_handle.get();
    std::string line = command_line(argv);
    std::string environment = environment_block(options);
    const std::string cwd = options.cwd.string();
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, environment.data(),
                        cwd.empty() ? nullptr : cwd.c_str(), &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    static std::atomic<unsigned> serial{0};
    const std::string name = "lotpick-capture-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
    const auto capture = std::filesystem::temp_directory_path() / name;
    const std::string out = options.out_path.value_or(capture.string() + ".out").string();
    const std::string err = capture.string() + ".err";
    ProcessResult result;
    result.status = run_to_end(argv, options, out, err);
    if (!options.out_path) result.out = read_file(out);
    result.err = read_file(err);
    std::error_code ignored;
    std::filesystem::remove(capture.string() + ".out", ignored);
    std::filesystem::remove(err, ignored);
    return result;
}

// The tests are built into lotpick.exe's folder.
std::string lotpick_binary() {
    char path[MAX_PATH];
    const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of('\\') + 1) + LOTPICK_BINARY;
}

}  // namespace lotpick::test
