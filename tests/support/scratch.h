// Test support: a fresh working directory per test, and whole-file helpers.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lotpick::test {

// Creates an empty directory, makes it the current one, and on destruction
// goes back and removes it with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    ~ScratchDir();

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

void write_file(const std::filesystem::path& path, std::string_view bytes);
std::string read_file(const std::filesystem::path& path);

// Whether the current directory's file system takes names that differ only
// in case for one file, as Windows does.
bool file_system_folds_case();

// The records of a done list: the pieces between CR LF pairs, so a stray
// lone CR or LF stays inside a record where a check can see it.
std::vector<std::string> split_on_crlf(std::string_view text);

// Every entry of `dir` by name, sorted, one per line: a check for stray files.
std::string list_dir(const std::filesystem::path& dir);

}  // namespace lotpick::test
