// How the Win32 platform layer turns the byte strings it is handed into the
// UTF-16 paths the wide Win32 calls take. Internal to the Windows layer: the
// rest of lotpick never learns which code page a name was in.
#pragma once

#include <string>
#include <string_view>

namespace lotpick::platform::win32 {

// Whether `name` is read as UTF-8: its bytes form valid UTF-8 (no overlong
// forms, no surrogates, nothing past U+10FFFF) and at least one of them is
// above 127. Every other name is in the ANSI code page.
bool is_utf8_name(std::string_view name);

// The code page `name` is read in by the rule above: CP_UTF8 or the ANSI one.
unsigned name_code_page(std::string_view name);

// `text` in `code_page` in UTF-16.
std::wstring wide_text(std::string_view text, unsigned code_page);

// `name` in UTF-16, read as UTF-8 or in the ANSI code page as is_utf8_name
// decides. Like the narrow calls, it stops at a zero byte.
std::wstring wide_name(std::string_view name);

// The path every wide call is handed for `name`: made absolute against the
// current directory, normalised the way the system normalises a path, and
// given the \\?\ prefix (\\?\UNC\ for a share) so that no MAX_PATH limit
// applies. Device paths (\\.\NUL, which is also what "NUL" or "CON" become)
// and paths that already carry a prefix stay as they are, but for a drive
// path behind the device prefix (\\.\C:\pics\a.jpg), which is a file like any
// other and gets \\?\ instead; an empty name stays empty, so that the call
// fails as it always did.
std::wstring system_path(std::string_view name);

// The code page a name the copy reads from is read in: name_code_page's,
// unless that names no file and the next one does: after UTF-8 the ANSI code
// page, after the ANSI code page the OEM one (the console's, which
// `dir /b > list.txt` writes in).
unsigned source_code_page(std::string_view name);

// The system_path of a name the copy reads from, read in source_code_page.
std::wstring source_path(std::string_view name);

// Text from a wide call in UTF-8. A lone surrogate, which no Unicode text
// holds, becomes U+FFFD.
std::string utf8_text(std::wstring_view wide);

// The bytes an argument of the command line, given in UTF-8, is used as:
// its bytes in the ANSI code page when that code page holds every character
// of it and wide_name reads them back as the same text, as a console would
// have delivered them; else the UTF-8 bytes, which wide_name reads as UTF-8.
// Never a best-fit look-alike of it.
std::string argument_bytes(std::string_view utf8);

// Whether `path`, as system_path gives it, names a device (\\.\NUL, \\.\COM1,
// \\.\pipe\...) rather than a file in a directory.
bool is_device_path(std::wstring_view path);

}  // namespace lotpick::platform::win32
