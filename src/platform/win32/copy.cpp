// The Win32 platform layer, the copy: the picked file goes to a temporary
// file beside the destination, which is then moved over it.

#include "platform/win32/win32.h"

#include <string>

namespace lotpick::platform {
namespace {

using namespace win32;

std::wstring directory_of(const std::wstring& path) {
    const std::size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
}

// The file a symbolic link destination names: the copy replaces that file
// and leaves the link. Anything else, a dangling link included, is its own
// target.
std::wstring resolve_links(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) return target;
    const FileHandle file(CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.is_open()) return target;
    std::wstring final_path(32768, L'\0');
    const DWORD length = GetFinalPathNameByHandleW(file.get(), final_path.data(),
                                                   static_cast<DWORD>(final_path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= final_path.size()) return target;
    final_path.resize(length);
    return final_path;
}

// A copy in progress, beside its target so the final move stays on one
// volume. Destruction deletes it unless commit moved it into place.
class TemporaryFile {
public:
    // The name holds the process id, so no other live run can be using it;
    // a file of that name is left over from a crashed run and fair to reuse.
    explicit TemporaryFile(const std::wstring& target)
        : path_(directory_of(target) + L".lotpick-" + std::to_wstring(GetCurrentProcessId()) + L".tmp") {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        if (path_.empty()) return;
        // A copy of a read-only source is read-only until make_writable, and
        // a read-only file cannot be deleted.
        SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path_.c_str());
    }
    const std::wstring& path() const { return path_; }

    // CopyFileW carries a read-only source's attribute over, and Windows
    // refuses to replace a read-only file: the next pick could not land.
    bool make_writable() const {
        const DWORD attributes = GetFileAttributesW(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
               SetFileAttributesW(path_.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }

    bool commit(const std::wstring& target) {
        if (!MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
        path_.clear();
        return true;
    }

private:
    std::wstring path_;
};

}  // namespace

std::optional<Failure> exceeds_path_limit(const std::string&) { return std::nullopt; }

std::optional<Failure> copy_file_atomically(const std::string& source, const std::string& target) {
    const std::wstring final_target = resolve_links(system_path(target));
    TemporaryFile copy(final_target);
    if (!CopyFileW(system_path(source).c_str(), copy.path().c_str(), FALSE)) return failure_from();
    if (!copy.make_writable() || !copy.commit(final_target)) return failure_from();
    return std::nullopt;
}

}  // namespace lotpick::platform
