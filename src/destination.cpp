// Destination naming. Only the last path component is searched for a ".":
// a list line must never move the copy into another directory.

#include "destination.h"

#include <algorithm>

namespace lotpick {
namespace {

std::size_t last_component_start(std::string_view name, platform::NameReading reading) {
    const std::size_t slash = platform::find_last_character(name, "/\\", reading);
    return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::size_t last_component_start(std::string_view name) {
    return last_component_start(name, platform::name_reading(name));
}

// The drive counts as a component of its own, so "C:." is "." on drive C.
// A name that ends in none of the bytes these end in names a file at once.
bool names_a_file(std::string_view destination) {
    constexpr std::string_view folder_ends = "./\\:";
    if (!destination.empty() && folder_ends.find(destination.back()) == std::string_view::npos) return true;
    const std::size_t start = std::max(last_component_start(destination), platform::drive_length(destination));
    const std::string_view last = destination.substr(start);
    return !last.empty() && last != "." && last != "..";
}

std::size_t extension_start(std::string_view name, platform::NameReading reading) {
    const std::size_t component = last_component_start(name, reading);
    const std::size_t dot = platform::find_last_character(name, ".", reading);
    if (dot == std::string_view::npos || dot <= component) return std::string_view::npos;
    return dot;
}

std::size_t extension_start(std::string_view name) { return extension_start(name, platform::name_reading(name)); }

// Each name is read as itself, the destination as the name rule reads it and
// the pick as its file is found, and the two parts join as characters: a
// destination and a list in two encodings never make a name of neither.
std::string derive_destination(std::string_view destination, std::string_view picked) {
    const platform::NameReading picked_reading = platform::source_reading(picked);
    const std::size_t extension = extension_start(picked, picked_reading);
    if (extension == std::string_view::npos) return std::string(destination);
    const platform::NameReading reading = platform::name_reading(destination);
    return platform::join_name(destination.substr(0, extension_start(destination, reading)), reading,
                               picked.substr(extension), picked_reading);
}

}  // namespace lotpick
