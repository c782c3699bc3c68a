// Fuzz target for destination naming: arbitrary destination and picked name
// pairs against a plain backwards scan for the extension.
//
// Input: the destination, a zero byte, then the picked name.

#include "destination.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

// Scan back from the end: a separator first means no extension; a "." first
// starts one unless it is the first byte of its path component.
std::size_t reference_extension(std::string_view name) {
    for (std::size_t i = name.size(); i > 0; --i) {
        const char c = name[i - 1];
        if (is_separator(c)) return std::string_view::npos;
        if (c == '.') return i - 1 == 0 || is_separator(name[i - 2]) ? std::string_view::npos : i - 1;
    }
    return std::string_view::npos;
}

std::string reference_destination(std::string_view destination, std::string_view picked) {
    const std::size_t extension = reference_extension(picked);
    if (extension == std::string_view::npos) return std::string(destination);
    const std::size_t stem = reference_extension(destination);
    return std::string(destination.substr(0, stem == std::string_view::npos ? destination.size() : stem)) +
           std::string(picked.substr(extension));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    if (split == std::string_view::npos) return 0;
    // Exactly sized copies, so a read past either string is caught.
    const std::vector<char> destination_bytes(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(split));
    const std::vector<char> picked_bytes(input.begin() + static_cast<std::ptrdiff_t>(split) + 1, input.end());
    const std::string_view destination(destination_bytes.data(), destination_bytes.size());
    const std::string_view picked(picked_bytes.data(), picked_bytes.size());

    if (lotpick::extension_start(destination) != reference_extension(destination)) std::abort();
    if (lotpick::extension_start(picked) != reference_extension(picked)) std::abort();
    const std::string derived = lotpick::derive_destination(destination, picked);
    if (derived != reference_destination(destination, picked)) std::abort();
    // Whatever the list holds, the copy stays in the destination's directory.
    if (derived.find_last_of("/\\") != destination.find_last_of("/\\")) std::abort();
    return 0;
}
