// Fuzz target for the done test: a done list file of arbitrary bytes, loaded
// the way a run loads it, and names tested against a plain scan of its entries.
//
// Input: the name to test, a zero byte, then the done list file's bytes.

#include "done_list.h"
#include "line_list.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Entries are what lies between CR and LF bytes, each up to the first zero
// byte in it: what follows a zero byte up to the line break is no entry, and
// the next line is one again.
std::vector<std::string> reference_entries(std::string_view text) {
    std::vector<std::string> entries(1);
    bool cut = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            entries.emplace_back();
            cut = false;
        } else if (c == '\0') {
            cut = true;
        } else if (!cut) {
            entries.back() += c;
        }
    }
    return entries;
}

bool reference_is_done(std::string_view name, const std::vector<std::string>& entries) {
    if (name.empty()) return true;
    for (const std::string& entry : entries)
        if (entry == name) return true;
    return false;
}

// The driver only asks about names a list line can yield: no CR, LF or zero
// byte, at most 259 bytes.
std::string as_list_name(std::string_view bytes) {
    bytes = bytes.substr(0, bytes.find_first_of(std::string_view("\r\n\0", 3)));
    return std::string(bytes.substr(0, 259));
}

// Tested on an exactly sized copy, so a read past the name is caught.
void check_name(const std::string& name, const lotpick::DoneList& done, const std::vector<std::string>& entries) {
    const std::vector<char> exact(name.begin(), name.end());
    if (lotpick::is_done({exact.data(), exact.size()}, done) != reference_is_done(name, entries)) std::abort();
}

std::filesystem::path scratch_file() {
    std::random_device entropy;
    return std::filesystem::temp_directory_path() / ("fuzz_done_list-" + std::to_string(entropy()));
}

lotpick::DoneList load_from_bytes(const std::filesystem::path& path, std::string_view bytes) {
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    lotpick::DoneList done = lotpick::load_done_list(path.string());
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path path = scratch_file();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos) return 0;
    const std::string_view text = input.substr(split + 1);
    const lotpick::DoneList done = load_from_bytes(path, text);
    const std::vector<std::string> entries = reference_entries(lotpick::without_byte_order_mark(text));

    check_name(as_list_name(input.substr(0, split)), done, entries);
    // Every entry, and the near misses a faster test could get wrong.
    for (std::size_t i = 0; i < entries.size() && i < 64; ++i) {
        const std::string entry = as_list_name(entries[i]);
        check_name(entry, done, entries);
        check_name(entry + 'x', done, entries);
        if (!entry.empty()) check_name(entry.substr(1), done, entries);
        if (!entry.empty()) check_name(entry.substr(0, entry.size() - 1), done, entries);
    }
    return 0;
}
