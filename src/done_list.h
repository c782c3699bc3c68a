// The done list: every name earlier runs picked, one entry per line in a file
// of the current directory.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "entry_set.h"
#include "platform/platform.h"

namespace lotpick {

struct DoneList {
    platform::Buffer text;  // owns the bytes the entries view
    EntrySet entries;       // the non-empty entries of text
    std::optional<platform::Failure> failure;  // the list exists but could not be read
};

// The done list of the current directory. A list that cannot be read counts
// as empty, and says why unless there is none: a first run has none.
DoneList load_done_list(const std::string& path);

// A name is done when it is empty or equals a whole entry: the bytes of a line
// up to its first zero byte. Part of an entry is not enough: with
// "pics/sunset.jpg" recorded, "sunset.jpg" is still new.
bool is_done(std::string_view name, const DoneList& done);

// Records a pick at the end of the done list file.
std::optional<platform::Failure> append_done(const std::string& path, std::string_view name);

}  // namespace lotpick
