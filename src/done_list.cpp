// The done list: loading its entries once per run and recording picks.

#include "done_list.h"

#include "line_list.h"

namespace lotpick {

DoneList load_done_list(const std::string& path) {
    platform::Loaded loaded = platform::read_file(path, platform::Reading::done_list);
    DoneList done;
    if (loaded.buffer) done.text = std::move(*loaded.buffer);
    else if (!loaded.missing) done.failure = std::move(loaded.failure);
    done.entries = index_entries(without_byte_order_mark(done.text.view()));
    return done;
}

bool is_done(std::string_view name, const DoneList& done) {
    return name.empty() || contains_entry(done.entries, name);
}

std::optional<platform::Failure> append_done(const std::string& path, std::string_view name) {
    return platform::append_record(path, name);
}

}  // namespace lotpick
