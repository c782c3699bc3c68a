// Test support, Windows: CreateProcessW with the output sent to files, and
// arguments quoted so that lotpick's own splitter gives them back exactly;
// children started suspended are let go together.

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

// A test writes an argument in UTF-8 when it must reach lotpick as what the
// ANSI code page cannot hold, and in the ANSI code page when it stands for
// what a console delivers; only the wide command line carries both.
std::wstring wide_argument(const std::string& arg) {
    std::wstring wide;
    for (const UINT code_page : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
        const DWORD flags = code_page == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const auto size = static_cast<int>(arg.size());
        const int length = MultiByteToWideChar(code_page, flags, arg.data(), size, nullptr, 0);
        if (length <= 0) continue;
        wide.resize(static_cast<std::size_t>(length));
        MultiByteToWideChar(code_page, flags, arg.data(), size, wide.data(), length);
        break;
    }
    return wide;
}

std::wstring command_line(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& arg : argv) line += (line.empty() ? L"" : L" ") + wide_argument(quote_argument(arg));
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
// CreateProcessW takes without CREATE_UNICODE_ENVIRONMENT: entries ended by a zero byte, one more at the end.
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

// A started child and the files its output goes to.
struct Child {
    PROCESS_INFORMATION process{};
    bool started = false;
    std::string out;
    std::string err;
};

// `flags` may hold CREATE_SUSPENDED, for children let go all at once.
Child start_child(const std::vector<std::string>& argv, const ProcessOptions& options, DWORD flags) {
    static std::atomic<unsigned> serial{0};
    const std::string name = "lotpick-capture-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(serial++);
    const auto capture = std::filesystem::temp_directory_path() / name;
    Child child{{}, false, options.out_path.value_or(capture.string() + ".out").string(), capture.string() + ".err"};
    const InheritedHandle in_handle("NUL", GENERIC_READ, OPEN_EXISTING);
    const InheritedHandle out_handle(child.out, GENERIC_WRITE, CREATE_ALWAYS);
    const InheritedHandle err_handle(child.err, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_handle.get();
    startup.hStdOutput = out_handle.get();
    startup.hStdError = err_handle.get();
    std::wstring line = command_line(argv);
    std::string environment = environment_block(options);
    const std::wstring cwd = options.cwd.wstring();
    // Wine under load now and then fails to start a process at all
    // (ERROR_INTERNAL_ERROR); a child that never started never ran, so it is
    // safe to try again, and a program that cannot start fails every time.
    for (int attempt = 0; attempt < 5 && !child.started; ++attempt) {
        if (attempt > 0) Sleep(50);
        child.started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, environment.data(),
                                       cwd.empty() ? nullptr : cwd.c_str(), &startup, &child.process) != 0;
    }
    return child;
}

// Waits for the child's end; the status is -1 when it could not be started.
ProcessResult collect(const Child& child, const ProcessOptions& options) {
    ProcessResult result;
    if (child.started) {
        CloseHandle(child.process.hThread);
        WaitForSingleObject(child.process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(child.process.hProcess, &code);
        CloseHandle(child.process.hProcess);
        result.status = static_cast<int>(code);
    }
    if (!options.out_path) result.out = read_file(child.out);
    result.err = read_file(child.err);
    std::error_code ignored;
    if (!options.out_path) std::filesystem::remove(child.out, ignored);
    std::filesystem::remove(child.err, ignored);
    return result;
}

}  // namespace

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
    return collect(start_child(argv, options, 0), options);
}

// Each child is made suspended, so none starts before the last is made.
std::vector<ProcessResult> run_processes_at_once(const std::vector<std::vector<std::string>>& argvs,
                                                 const ProcessOptions& options) {
    std::vector<Child> children;
    for (const auto& argv : argvs) children.push_back(start_child(argv, options, CREATE_SUSPENDED));
    for (const Child& child : children)
        if (child.started) ResumeThread(child.process.hThread);
    std::vector<ProcessResult> results;
    for (const Child& child : children) results.push_back(collect(child, options));
    return results;
}

// The tests are built into lotpick.exe's folder.
std::string lotpick_binary() {
    char path[MAX_PATH];
    const std::string self(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
    return self.substr(0, self.find_last_of('\\') + 1) + LOTPICK_BINARY;
}

}  // namespace lotpick::test
