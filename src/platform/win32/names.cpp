// The Win32 platform layer, names: which names are UTF-8, the UTF-16 paths
// the wide calls are handed, the bytes the wide command line's arguments
// become, and which of a name's bytes are characters of their own.

#include "platform/win32/names.h"

#include "platform/platform.h"

#include <algorithm>
#include <cstddef>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::platform::win32 {
namespace {

// The code page the narrow file calls read names in, which is what a name
// that is not UTF-8 keeps meaning.
UINT narrow_code_page() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

// GetFullPathNameW normalises exactly as the system does for a path without
// a prefix (slashes, "." and "..", trailing dots and blanks, device names),
// so the prefixed path names the same file the plain one would have. A
// buffer too small gets back the size the path needs, its zero included, and
// the call is made again at that size, as often as the current directory
// changes between the calls; a failure gives nothing.
std::wstring full_path(const std::wstring& path) {
    std::wstring full;
    DWORD length = 0;
    do {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    } while (length > full.size());
    full.resize(length);
    return full;
}

// `wide` in `code_page`, empty when the call fails. A character the code
// page lacks becomes a best-fit look-alike (Ł as L) or the default character,
// so argument_bytes, which must take neither, reads the bytes back.
std::string to_narrow(std::wstring_view wide, UINT code_page) {
    if (wide.empty()) return {};
    const auto size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(code_page, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string narrow(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(code_page, 0, wide.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

bool is_ascii_letter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool is_beyond_ascii(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
}

// The bytes of `wide` that wide_name reads back as it: in the ANSI code page
// when that holds it exactly, as a console would have delivered it; else in
// UTF-8. Never a best-fit look-alike of it.
std::string name_bytes(const std::wstring& wide) {
    const std::string narrow = to_narrow(wide, narrow_code_page());
    if (wide_name(narrow) == wide) return narrow;
    return to_narrow(wide, CP_UTF8);
}

// \\.\C:\pics\a.jpg is a file on drive C written with the device prefix;
// \\.\C: alone is the volume itself, which stays a device.
bool is_drive_path_behind_device_prefix(std::wstring_view path) {
    return path.size() > 6 && path.starts_with(LR"(\\.\)") && is_ascii_letter(path[4]) && path[5] == L':' &&
           (path[6] == L'\\' || path[6] == L'/');
}

// The \\?\ form of a name already in UTF-16, as system_path describes it.
std::wstring prefixed_path(const std::wstring& wide) {
    const bool prefixed = wide.starts_with(LR"(\\?\)") || wide.starts_with(LR"(\??\)") || is_device_path(wide);
    if (wide.empty() || (prefixed && !is_drive_path_behind_device_prefix(wide))) return wide;
    const std::wstring full = full_path(wide);
    if (full.empty()) return wide;
    if (is_drive_path_behind_device_prefix(full)) return LR"(\\?\)" + full.substr(4);
    if (is_device_path(full)) return full;
    if (full.starts_with(LR"(\\)")) return LR"(\\?\UNC\)" + full.substr(2);
    return LR"(\\?\)" + full;
}

// Only a plain "no such file" counts: a file that is there but cannot be
// looked at (no right to, held by another program) is still the one named.
bool is_missing(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

// The system's own UTF-8 decoder, told to fail where a sequence is not well
// formed, rules out what the Unicode standard does: overlong forms,
// surrogates and code points past U+10FFFF.
bool is_utf8_name(std::string_view name) {
    return is_beyond_ascii(name) && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(),
                                               static_cast<int>(name.size()), nullptr, 0) > 0;
}

std::wstring wide_text(std::string_view text, unsigned code_page) {
    if (text.empty()) return {};
    const auto size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(code_page, 0, text.data(), size, nullptr, 0);
    if (length <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, text.data(), size, wide.data(), length);
    return wide;
}

unsigned name_code_page(std::string_view name) { return is_utf8_name(name) ? CP_UTF8 : narrow_code_page(); }

std::wstring wide_name(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    return wide_text(name, name_code_page(name));
}

// Why the prefix: a name may hold 259 bytes, and so may the destination, but
// the temporary file beside it, the current directory in front of a relative
// name, or a link's target can take the whole path past MAX_PATH, where a
// plain path fails on Windows unless long paths are switched on for the
// machine. A prefixed path may be about 32767 characters long.
std::wstring system_path(std::string_view name) { return prefixed_path(wide_name(name)); }

// cmd writes `dir /b > list.txt` in the console's OEM code page, so a list
// made that way spells café.jpg as caf\x82.jpg, which the ANSI code page
// reads as "caf‚.jpg". And a name in the ANSI code page can be well-formed
// UTF-8 by chance: Shift-JIS ﾐｸ.jpg is D0 B8 2E..., UTF-8 и.jpg. The name
// rule's reading comes first, and stays whenever its file is there, so no
// list that works today picks another file; ASCII reads alike in all. One
// step back only: a UTF-8 name is never read in the OEM code page.
unsigned source_code_page(std::string_view name) {
    name = name.substr(0, name.find('\0'));
    const UINT named = name_code_page(name);
    if (!is_beyond_ascii(name)) return named;
    const std::wstring first = prefixed_path(wide_text(name, named));
    if (first.empty() || is_device_path(first) || !is_missing(first)) return named;
    const UINT other = named == CP_UTF8 ? narrow_code_page() : CP_OEMCP;
    const std::wstring path = prefixed_path(wide_text(name, other));
    return !path.empty() && path != first && !is_missing(path) ? other : named;
}

std::wstring source_path(std::string_view name) {
    return prefixed_path(wide_text(name.substr(0, name.find('\0')), source_code_page(name)));
}

std::string utf8_text(std::wstring_view wide) { return to_narrow(wide, CP_UTF8); }

// The ANSI bytes are taken only when they read back as the same text under
// the name rule, which no look-alike or default character does, nor any
// character of a double-byte code page that reads back as another; nor does
// "Ã©", which in Windows-1252 is the bytes of "é" in UTF-8, so an argument
// "Ã©.bmp" keeps its UTF-8 bytes, which name its own file. Where the ANSI
// code page is UTF-8 itself, the bytes read back are the UTF-8 ones.
std::string argument_bytes(std::string_view utf8) { return name_bytes(wide_text(utf8, CP_UTF8)); }

bool is_device_path(std::wstring_view path) { return path.starts_with(LR"(\\.\)"); }

}  // namespace lotpick::platform::win32

namespace lotpick::platform {

// In a double-byte code page (932, 936, 949, 950) the second byte of a
// character can be 0x5C, the byte of '\': 表 is 95 5C in code page 932. So a
// name read in the ANSI code page is walked a character at a time, as
// CharNextExA walks it; every lead byte is above 0x7F, so ASCII bytes cost no
// call. A UTF-8 name needs no walk: none of its multi-byte characters holds a
// byte below 0x80.
NameReading name_reading(std::string_view name) { return {win32::name_code_page(name)}; }

NameReading source_reading(std::string_view name) { return {win32::source_code_page(name)}; }

std::size_t find_last_character(std::string_view name, std::string_view characters) {
    return find_last_character(name, characters, name_reading(name));
}

std::size_t find_last_character(std::string_view name, std::string_view characters, NameReading reading) {
    if (reading.code_page == CP_UTF8) return name.find_last_of(characters);
    const UINT code_page = reading.code_page;
    std::size_t found = std::string_view::npos;
    for (std::size_t at = 0; at < name.size(); ++at) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (characters.find(static_cast<char>(byte)) != std::string_view::npos) found = at;
        else if (byte > 0x7F && IsDBCSLeadByteEx(code_page, byte)) ++at;
    }
    return found;
}

// Each part in the code page it was read in, joined as UTF-16: UTF-8 bytes
// after ANSI ones would read as neither. Two ASCII parts, the usual case,
// need no reading.
std::string join_name(std::string_view stem, NameReading stem_reading, std::string_view extension,
                      NameReading extension_reading) {
    if (win32::is_beyond_ascii(stem) || win32::is_beyond_ascii(extension))
        return win32::name_bytes(win32::wide_text(stem, stem_reading.code_page) +
                                 win32::wide_text(extension, extension_reading.code_page));
    std::string joined(stem);
    joined.append(extension);
    return joined;
}

std::size_t drive_length(std::string_view name) {
    return name.size() >= 2 && win32::is_ascii_letter(name[0]) && name[1] == ':' ? 2 : 0;
}

// A character beyond the basic plane is two UTF-16 units, one code point.
std::size_t count_characters(std::string_view name) {
    const std::wstring wide = win32::wide_name(name);
    return static_cast<std::size_t>(
        std::count_if(wide.begin(), wide.end(), [](wchar_t unit) { return unit < 0xDC00 || unit > 0xDFFF; }));
}

// Only an exact round trip counts: a look-alike names another file.
std::optional<std::size_t> ansi_length(std::string_view name) {
    if (!win32::is_utf8_name(name)) return std::nullopt;
    const std::wstring wide = win32::wide_name(name);
    const std::string narrow = win32::to_narrow(wide, win32::narrow_code_page());
    if (narrow.empty() || win32::wide_text(narrow, win32::narrow_code_page()) != wide) return std::nullopt;
    return narrow.size();
}

}  // namespace lotpick::platform
