// Fuzz target for the done test: a done list file of arbitrary bytes, read
// the way a run reads it, and names tested against a plain scan of its entries.
//
// Input: the name to test, a zero byte, then the done list file's bytes.

#include "done_list.h"
#include "scan_paths.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Entries are what lies between CR and LF bytes, each up to its first zero
// byte; a UTF-8 byte order mark at the very start is no part of the first.
std::vector<std::string> reference_entries(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string> entries(1);
    bool cut = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            entries.emplace_back();
            cut = false;
        } else if (c == '\0' || cut) {
            cut = true;
        } else {
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

// The names to ask about, each in an exactly sized copy of its own, so that
// a read past a name is caught.
struct Names {
    std::vector<std::vector<char>> copies;
    std::vector<std::string> originals;

    void add(const std::string& name) {
        copies.emplace_back(name.begin(), name.end());
        originals.push_back(name);
    }
};

// All names in one pass, and the first few alone.
void check_names(const std::filesystem::path& path, const Names& names, const std::vector<std::string>& entries,
                 const lotpick::DoneReading& reading) {
    std::vector<std::string_view> views;
    for (const std::vector<char>& copy : names.copies) views.emplace_back(copy.data(), copy.size());
    lotpick::DoneList done = lotpick::open_done_list(path.string(), reading);
    const std::vector<bool> verdicts = lotpick::is_done(done, views);
    for (std::size_t i = 0; i < views.size(); ++i)
        if (verdicts[i] != reference_is_done(names.originals[i], entries)) std::abort();
    for (std::size_t i = 0; i < views.size() && i < 3; ++i)
        if (lotpick::is_done(done, std::span(&views[i], 1))[0] != verdicts[i]) std::abort();
}

std::filesystem::path scratch_file() {
    std::random_device entropy;
    return std::filesystem::temp_directory_path() / ("fuzz_done_list-" + std::to_string(entropy()));
}

void write_bytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path path = scratch_file();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos) return 0;
    const std::string_view text = input.substr(split + 1);
    write_bytes(path, text);
    const std::vector<std::string> entries = reference_entries(text);

    Names names;
    names.add(as_list_name(input.substr(0, split)));
    // Every entry, and the near misses a faster test could get wrong.
    for (std::size_t i = 0; i < entries.size() && i < 64; ++i) {
        const std::string entry = as_list_name(entries[i]);
        names.add(entry);
        // Still a name a list line can yield: at most 259 bytes.
        names.add(as_list_name(entry + 'x'));
        if (!entry.empty()) names.add(entry.substr(1));
        if (!entry.empty()) names.add(entry.substr(0, entry.size() - 1));
    }
    // Pieces as small as they come and halves on the shortest lists, so that
    // lines straddle every border; then the sizes a run uses.
    on_each_scan_path([&](lotpick::ScanPath scan) {
        check_names(path, names, entries, lotpick::DoneReading{size % 97, 2, scan});
        check_names(path, names, entries, lotpick::DoneReading{.scan = scan});
    });
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return 0;
}
