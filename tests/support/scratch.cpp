// Test support: scratch directories and file helpers.

#include "support/scratch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <vector>

namespace lotpick::test {

ScratchDir::ScratchDir() : previous_(std::filesystem::current_path()) {
    static std::atomic<unsigned> serial{0};
    std::random_device entropy;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::ostringstream name;
    name << "lotpick-test-" << entropy() << '-' << stamp << '-' << serial++;
    path_ = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::create_directories(path_);
    std::filesystem::current_path(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

void write_file(const std::filesystem::path& path, std::string_view bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool file_system_folds_case() {
    write_file("case-probe", "");
    const bool folds = std::filesystem::exists("CASE-PROBE");
    std::filesystem::remove("case-probe");
    return folds;
}

std::vector<std::string> split_on_crlf(std::string_view text) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string_view::npos; start = end + 2)
        parts.emplace_back(text.substr(start, end - start));
    parts.emplace_back(text.substr(start));
    return parts;
}

std::string list_dir(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const auto& name : names) listing += name + "\n";
    return listing;
}

}  // namespace lotpick::test
