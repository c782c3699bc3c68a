// The done list: loading its entries once per run and recording picks.

#include "done_list.h"

namespace lotpick {

DoneList load_done_list(const std::string& path) {
    platform::Loaded loaded = platform::read_file(path, platform::Lock::shared);
    DoneList done;
    if (loaded.buffer) done.text = std::move(*loaded.buffer);
    // The file may end in garbage after a crash, never before the zero.
    const std::string_view text = done.text.view();
    done.entries = index_entries(text.substr(0, text.find('\0')));
    return done;
}

bool is_done(std::string_view name, const DoneList& done) {
    return name.empty() || contains_entry(done.entries, name);
}

std::optional<platform::Failure> append_done(const std::string& path, std::string_view name) {
    return platform::append_record(path, name);
}

}  // namespace lotpick
