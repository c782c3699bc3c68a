// Which names the Windows platform layer reads as UTF-8, the paths it hands
// the wide calls, and where it finds a separator or a dot. The rows that read
// a name in the ANSI code page assume Windows-1252, which is what Wine gives
// an English or C locale, or say what they expect under 932 and 950 too;
// under another code page they are skipped and say so.

#include "platform/win32/names.h"

#include "platform/platform.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace lotpick::platform::win32 {
namespace {

TEST(Win32Names, ReadsANameAsUtf8OnlyWhenItIsWellFormedUtf8BeyondAscii) {
    struct Case {
        const char* what;
        std::string name;
        bool utf8;
    } cases[] = {
        {"empty", "", false},
        {"ASCII only", "pics/wall.jpg", false},
        {"two-byte form", "caf\xC3\xA9.png", true},
        {"three-byte forms outside cp1252", "\xE5\x86\x99\xE7\x9C\x9F.jpg", true},
        {"four-byte form", "\xF0\x9F\x98\x80.png", true},
        {"last before the surrogates, U+D7FF", "\xED\x9F\xBF", true},
        {"last code point, U+10FFFF", "\xF4\x8F\xBF\xBF", true},
        // Windows-1252 "Ã©": no real name spells it, and as UTF-8 it is "é".
        {"cp1252 bytes that spell UTF-8", "\xC3\xA9.jpg", true},
        {"cp1252 e acute", "caf\xE9.jpg", false},
        {"cp1252 euro sign", "\x80.txt", false},
        {"continuation byte alone", "\xA9.jpg", false},
        {"lead byte at the end", "caf\xC3", false},
        {"three-byte form cut short", "\xE5\x86.jpg", false},
        {"well-formed, then a cp1252 byte", "caf\xC3\xA9\xE9", false},
        {"overlong two-byte slash", "\xC0\xAF", false},
        {"overlong two-byte, C1 lead", "\xC1\xBF", false},
        {"overlong three-byte", "\xE0\x80\xAF", false},
        {"overlong four-byte", "\xF0\x80\x80\xAF", false},
        {"surrogate U+D800", "\xED\xA0\x80", false},
        {"surrogate U+DFFF", "\xED\xBF\xBF", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"F5 lead", "\xF5\x80\x80\x80", false},
        {"FF byte", "\xFF", false},
    };
    for (const Case& c : cases) EXPECT_EQ(is_utf8_name(c.name), c.utf8) << c.what;
}

TEST(Win32Names, ConvertsUtf8NamesAsUtf8AndTheRestInTheAnsiCodePage) {
    struct Case {
        std::string name;
        std::wstring wide;
        UINT code_page = 0;  // the ANSI code page the row is written for, if any
    } cases[] = {
        {"wall.jpg", L"wall.jpg"},
        {"caf\xC3\xA9.png", L"caf\u00e9.png"},
        {"\xE5\x86\x99\xE7\x9C\x9F.jpg", L"\u5199\u771f.jpg"},
        {"caf\xE9.jpg", L"caf\u00e9.jpg", 1252},
        {"\x80.txt", L"\u20ac.txt", 1252},
        {"\x97\x5C\x92\xE8\x95\x5C.jpg", L"\u4e88\u5b9a\u8868.jpg", 932},
        {"\xA6\xA8\xA5\x5C.jpg", L"\u6210\u529f.jpg", 950},
        {std::string("a\0\xE9", 3), L"a"},
    };
    bool skipped = false;
    for (const Case& c : cases) {
        if (c.code_page != 0 && GetACP() != c.code_page) skipped = true;
        else EXPECT_EQ(wide_name(c.name), c.wide) << c.name;
    }
    if (skipped) GTEST_SKIP() << "rows in other code pages skipped: the ANSI code page is " << GetACP();
}

// 97 5C 92 E8 95 5C is "予定表" in code page 932, and three other double-byte
// characters in 950; A6 A8 A5 5C is "成功" in 950, and four single-byte
// katakana and a '\' in 932.
TEST(Win32Names, FindsASeparatorOrADotOnlyWhereItIsACharacterOfItsOwn) {
    constexpr std::size_t none = std::string::npos;
    struct Case {
        std::string name;
        std::string_view characters;
        std::size_t in_1252, in_932, in_950;
    } cases[] = {
        {"\x97\x5C\x92\xE8\x95\x5C.bmp", "/\\", 5, none, none},
        {"\x97\x5C\x92\xE8\x95\x5C.bmp", ".", 6, 6, 6},
        {"pics\\\x97\x5C\x92\xE8\x95\x5C", "/\\", 10, 4, 4},
        {"\xA6\xA8\xA5\x5C.bmp", "/\\", 3, 3, none},
        {"d/\xE5\x86\x99\xE7\x9C\x9F\\a.jpg", "/\\", 8, 8, 8},
        {"a/b\\c.d", "/\\", 3, 3, 3},
        {"a\\\x97", "/\\", 1, 1, 1},
        {"", ".", none, none, none},
    };
    const UINT code_page = GetACP();
    if (code_page != 1252 && code_page != 932 && code_page != 950)
        GTEST_SKIP() << "written for code pages 1252, 932 and 950, not " << code_page;
    for (const Case& c : cases) {
        const std::size_t expected = code_page == 1252 ? c.in_1252 : code_page == 932 ? c.in_932 : c.in_950;
        EXPECT_EQ(find_last_character(c.name, c.characters), expected) << c.name << " in " << code_page;
    }
}

// What a message says of a name too long to be one: its characters, and
// the bytes it would take in a list in the ANSI code page. E8 A1 A8 is
// "\u8868" in UTF-8, and 97 5C 92 E8 95 5C "\u4e88\u5b9a\u8868" in 932.
TEST(Win32Names, CountsANamesCharactersAndTheBytesItTakesInTheAnsiCodePage) {
    constexpr std::optional<std::size_t> none;
    struct Case {
        std::string name;
        std::size_t characters_in_1252, characters_in_932, characters_in_950;
        std::optional<std::size_t> ansi_in_1252, ansi_in_932, ansi_in_950;
    } cases[] = {
        {"caf\xC3\xA9.png", 8, 8, 8, 8, none, none},
        {"\xE8\xA1\xA8\xE8\xA1\xA8.jpg", 6, 6, 6, none, 8, 8},
        {"\x97\x5C\x92\xE8\x95\x5C", 6, 3, 3, none, none, none},
        {"\xF0\x9F\x98\x80.png", 5, 5, 5, none, none, none},
    };
    const UINT code_page = GetACP();
    if (code_page != 1252 && code_page != 932 && code_page != 950)
        GTEST_SKIP() << "written for code pages 1252, 932 and 950, not " << code_page;
    for (const Case& c : cases) {
        const bool is_1252 = code_page == 1252;
        const bool is_932 = code_page == 932;
        EXPECT_EQ(count_characters(c.name),
                  is_1252 ? c.characters_in_1252 : is_932 ? c.characters_in_932 : c.characters_in_950)
            << c.name;
        EXPECT_EQ(ansi_length(c.name), is_1252 ? c.ansi_in_1252 : is_932 ? c.ansi_in_932 : c.ansi_in_950) << c.name;
    }
}

std::wstring current_directory() {
    std::wstring directory(GetCurrentDirectoryW(0, nullptr), L'\0');
    directory.resize(GetCurrentDirectoryW(static_cast<DWORD>(directory.size()), directory.data()));
    return directory;
}

TEST(Win32Names, HandsTheSystemAbsolutePrefixedPathsButLeavesDevicesAlone) {
    const std::wstring here = LR"(\\?\)" + current_directory();
    struct Case {
        std::string name;
        std::wstring path;
    } cases[] = {
        {"", L""},
        {"a.txt", here + LR"(\a.txt)"},
        {"sub/../caf\xC3\xA9.png. ", here + L"\\caf\u00e9.png"},
        {R"(\\server\share\a.txt)", LR"(\\?\UNC\server\share\a.txt)"},
        {R"(\\?\C:\a.txt)", LR"(\\?\C:\a.txt)"},
        {"NUL", LR"(\\.\NUL)"},
        {R"(\\.\pipe\p)", LR"(\\.\pipe\p)"},
        {R"(\\.\C:\pics\a.jpg)", LR"(\\?\C:\pics\a.jpg)"},
        {R"(//./c:/pics/../a.jpg)", LR"(\\?\c:\a.jpg)"},
        {R"(\\.\C:)", LR"(\\.\C:)"},
    };
    for (const Case& c : cases) EXPECT_EQ(system_path(c.name), c.path) << c.name;
    EXPECT_TRUE(is_device_path(system_path("CON")));
    EXPECT_FALSE(is_device_path(system_path("a.txt")));
}

// caf\x82.jpg is what cmd's `dir /b` writes in code page 850 or 437 for
// caf\u00e9.jpg, and Windows-1252 reads as caf\u201a.jpg. That the OEM reading
// is taken when the ANSI one names no file, the end-to-end runs show; so
// they do that the ANSI reading is taken when the UTF-8 one names no file.
TEST(Win32Names, ReadsAListNameInTheOemCodePageOnlyWhenTheAnsiReadingNamesNoFile) {
    if (GetACP() != 1252 || (GetOEMCP() != 850 && GetOEMCP() != 437))
        GTEST_SKIP() << "written for Windows-1252 and OEM 850 or 437, not " << GetACP() << " and " << GetOEMCP();
    std::wstring oem_reading_of_utf8(2, L'\0');
    MultiByteToWideChar(CP_OEMCP, 0, "\xC3\xA9", 2, oem_reading_of_utf8.data(), 2);
    struct Case {
        std::string name;
        std::vector<std::wstring> files;
        std::wstring named;
    } cases[] = {
        {"caf\x82.jpg", {L"caf\u201a.jpg", L"caf\u00e9.jpg"}, L"caf\u201a.jpg"},
        {"caf\xC3\xA9.jpg", {L"caf" + oem_reading_of_utf8 + L".jpg"}, L"caf\u00e9.jpg"},
        {"caf\xC3\xA9.jpg", {L"caf\u00c3\u00a9.jpg", L"caf" + oem_reading_of_utf8 + L".jpg"}, L"caf\u00c3\u00a9.jpg"},
    };
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        for (const std::wstring& file : c.files) test::write_file(file, "picture");
        EXPECT_EQ(source_path(c.name), LR"(\\?\)" + current_directory() + L"\\" + c.named) << c.name;
    }
}

}  // namespace
}  // namespace lotpick::platform::win32
