// Destination naming: the destination takes the picked file's extension.
#pragma once

#include "platform/platform.h"

#include <string>
#include <string_view>

namespace lotpick {

// Where the last path component of `name` starts: after its last '/' or '\',
// which separate components on every system. The size of `name` when it ends
// in a separator, so names no file.
std::size_t last_component_start(std::string_view name);

// Whether `destination` names a file a copy can be written to: not when its
// last component is empty, "." or "..", which name a folder or nothing, nor
// when it is a drive alone ("C:", "C:." on Windows).
bool names_a_file(std::string_view destination);

// Where the extension of `name` starts: the last "." of its last path
// component, unless that "." is the component's first byte. npos when there
// is none. Characters are told apart in `reading`.
std::size_t extension_start(std::string_view name, platform::NameReading reading);
std::size_t extension_start(std::string_view name);

// The destination with its extension replaced by the picked name's, or with
// it appended when the destination has none. A picked name without an
// extension leaves the destination as it is. The picked name is read as the
// copy reads it, so its extension is the one of the file that is copied.
std::string derive_destination(std::string_view destination, std::string_view picked);

}  // namespace lotpick
