// The Win32 platform layer, names: which names are UTF-8, and the UTF-16
// paths the wide calls are handed.

#include "platform/win32/names.h"

#include <array>
#include <cstddef>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform::win32 {
namespace {

// The well-formed UTF-8 sequences by lead byte, after the Unicode standard's
// table of them: the second byte's range is what rules out overlong forms
// (E0, F0), surrogates (ED) and code points past U+10FFFF (F4).
struct Sequence {
    unsigned char first_lead, last_lead;
    std::size_t length;
    unsigned char second_low, second_high;
};

constexpr std::array<Sequence, 8> sequences{{
    {0xC2, 0xDF, 2, 0x80, 0xBF},
    {0xE0, 0xE0, 3, 0xA0, 0xBF},
    {0xE1, 0xEC, 3, 0x80, 0xBF},
    {0xED, 0xED, 3, 0x80, 0x9F},
    {0xEE, 0xEF, 3, 0x80, 0xBF},
    {0xF0, 0xF0, 4, 0x90, 0xBF},
    {0xF1, 0xF3, 4, 0x80, 0xBF},
    {0xF4, 0xF4, 4, 0x80, 0x8F},
}};

unsigned char byte_at(std::string_view text, std::size_t i) { return static_cast<unsigned char>(text[i]); }

// The length of the well-formed sequence at `i`, or 0 when there is none.
std::size_t sequence_length(std::string_view text, std::size_t i) {
    const unsigned char lead = byte_at(text, i);
    for (const Sequence& form : sequences) {
        if (lead < form.first_lead || lead > form.last_lead) continue;
        if (text.size() - i < form.length) return 0;
        const unsigned char second = byte_at(text, i + 1);
        if (second < form.second_low || second > form.second_high) return 0;
        for (std::size_t k = 2; k < form.length; ++k)
            if ((byte_at(text, i + k) & 0xC0) != 0x80) return 0;
        return form.length;
    }
    return 0;
}

// The code page the narrow file calls read names in, which is what a name
// that is not UTF-8 keeps meaning.
UINT narrow_code_page() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::wstring to_wide(std::string_view bytes, UINT code_page) {
    if (bytes.empty()) return {};
    const auto size = static_cast<int>(bytes.size());
    const int length = MultiByteToWideChar(code_page, 0, bytes.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), size, wide.data(), length);
    return wide;
}

// GetFullPathNameW normalises exactly as the system does for a path without
// a prefix (slashes, "." and "..", trailing dots and blanks, device names),
// so the prefixed path names the same file the plain one would have.
std::wstring full_path(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    while (size > 0) {
        std::wstring full(size, L'\0');
        const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
        if (length < size) {
            full.resize(length);
            return full;
        }
        size = length;  // the current directory changed between the calls
    }
    return {};
}

bool has_prefix(std::wstring_view path) {
    return path.starts_with(LR"(\\?\)") || path.starts_with(LR"(\\.\)") || path.starts_with(LR"(\??\)");
}

}  // namespace

bool is_utf8_name(std::string_view name) {
    bool beyond_ascii = false;
    for (std::size_t i = 0; i < name.size();) {
        if (byte_at(name, i) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = sequence_length(name, i);
        if (length == 0) return false;
        beyond_ascii = true;
        i += length;
    }
    return beyond_ascii;
}

std::wstring wide_name(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    return to_wide(name, is_utf8_name(name) ? CP_UTF8 : narrow_code_page());
}

// Why the prefix: a name may hold 259 bytes, and so may the destination, but
// the temporary file beside it, the current directory in front of a relative
// name, or a link's target can take the whole path past MAX_PATH, where a
// plain path fails on Windows unless long paths are switched on for the
// machine. A prefixed path may be about 32767 characters long.
std::wstring system_path(std::string_view name) {
    const std::wstring wide = wide_name(name);
    if (wide.empty() || has_prefix(wide)) return wide;
    const std::wstring full = full_path(wide);
    if (full.empty()) return wide;
    if (is_device_path(full)) return full;
    if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

bool is_device_path(std::wstring_view path) { return path.starts_with(LR"(\\.\)"); }

}  // namespace lotpick::platform::win32
