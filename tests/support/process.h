// Test support: runs a program to its end and collects what it left behind.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lotpick::test {

struct ProcessResult {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;  // standard output, byte for byte
    std::string err;
};

struct ProcessOptions {
    std::filesystem::path cwd;
    // Variables to set (a value) or remove (no value) in the child only.
    std::vector<std::pair<std::string, std::optional<std::string>>> env;
    // Where standard output goes instead of being collected (e.g. "/dev/full").
    std::optional<std::filesystem::path> out_path;
};

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options);

// The lotpick binary under test.
std::string lotpick_binary();

}  // namespace lotpick::test
