// The done list: loading its entries once per run and recording picks.

#include "done_list.h"

namespace lotpick {
namespace {

// Entries are the runs of bytes between CR and LF bytes, up to the first zero
// byte: the file may end in garbage after a crash, never before the zero.
std::unordered_set<std::string_view> split_entries(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::unordered_set<std::string_view> entries;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find_first_of("\r\n", start);
        entries.insert(text.substr(start, end - start));
        if (end == std::string_view::npos) return entries;
        start = end + 1;
    }
}

}  // namespace

DoneList load_done_list(const std::string& path) {
    platform::Loaded loaded = platform::read_file(path, platform::Lock::shared);
    DoneList done;
    if (loaded.buffer) done.text = std::move(*loaded.buffer);
    done.entries = split_entries(done.text.view());
    return done;
}

bool is_done(std::string_view name, const DoneList& done) {
    return name.empty() || done.entries.contains(name);
}

std::optional<platform::Failure> append_done(const std::string& path, std::string_view name) {
    return platform::append_record(path, name);
}

}  // namespace lotpick
