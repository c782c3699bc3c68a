// Destination naming. Only the last path component is searched for a ".":
// a list line must never move the copy into another directory.

#include "destination.h"

#include "platform/platform.h"

#include <algorithm>

namespace lotpick {

std::size_t last_component_start(std::string_view name) {
    const std::size_t slash = platform::find_last_character(name, "/\\");
    return slash == std::string_view::npos ? 0 : slash + 1;
}

// The drive counts as a component of its own, so "C:." is "." on drive C.
bool names_a_file(std::string_view destination) {
    const std::size_t start = std::max(last_component_start(destination), platform::drive_length(destination));
    const std::string_view last = destination.substr(start);
    return !last.empty() && last != "." && last != "..";
}

std::size_t extension_start(std::string_view name) {
    const std::size_t component = last_component_start(name);
    const std::size_t dot = platform::find_last_character(name, ".");
    if (dot == std::string_view::npos || dot <= component) return std::string_view::npos;
    return dot;
}

std::string derive_destination(std::string_view destination, std::string_view picked) {
    const std::size_t extension = extension_start(picked);
    if (extension == std::string_view::npos) return std::string(destination);
    std::string derived(destination.substr(0, extension_start(destination)));
    derived.append(picked.substr(extension));
    return derived;
}

}  // namespace lotpick
