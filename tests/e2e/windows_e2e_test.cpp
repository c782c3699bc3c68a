// End-to-end runs of lotpick.exe that only Windows makes: names in UTF-8, in
// the ANSI and in the OEM code page, destinations that are devices or
// directories, runs at once onto one destination, a log of both outputs, and
// Ctrl-C in the middle of a copy. The rows in Windows-1252 assume that ANSI
// code page, Wine's for an English or C locale, those in 932 and 950 a
// Japanese or Taiwanese one, and the OEM rows code page 437 or 850; under
// others they are skipped and say so.

#include "support/file_hold.h"
#include "support/process.h"
#include "support/scratch.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>

namespace lotpick {
namespace {

namespace fs = std::filesystem;
using test::console_text;
using test::read_file;
using test::write_file;

test::ProcessResult lotpick(const std::vector<std::string>& args) {
    std::vector<std::string> argv{test::lotpick_binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    test::ProcessOptions options;
    options.cwd = fs::current_path();
    options.env.emplace_back("LOTPICK_SEED", "1");
    return test::run_process(argv, options);
}

// Each run's files by name, to check that nothing else was made or replaced.
std::set<fs::path> files_in(const fs::path& dir) {
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
}

fs::path utf8_path(const std::string& name) { return fs::path(std::u8string(name.begin(), name.end())); }

// Which code pages a row's bytes are written for; it is skipped under others.
enum class Needs { any, ansi_1252, ansi_932, ansi_950, oem_latin };

bool holds(Needs needs) {
    if (needs == Needs::ansi_1252) return GetACP() == 1252;
    if (needs == Needs::ansi_932) return GetACP() == 932;
    if (needs == Needs::ansi_950) return GetACP() == 950;
    if (needs == Needs::oem_latin) return GetOEMCP() == 850 || GetOEMCP() == 437;
    return true;
}

// Arguments reach lotpick as the wide command line carries them: those in
// Windows-1252 as a console delivers what was typed, those in UTF-8 as what
// that code page cannot hold. A look-alike the code page would have swapped
// in for an argument is never touched.
TEST(LotpickOnWindows, PicksRecordsAndCopiesNamesInUtf8TheAnsiAndTheOemCodePage) {
    const std::string cafe_utf8 = "caf\xC3\xA9.png";
    const std::string photo_utf8 = "\xE5\x86\x99\xE7\x9C\x9F.jpg";  // outside Windows-1252
    struct Case {
        std::string list_path;
        std::string bom;
        std::string name;  // as the list spells it
        fs::path file;
        std::string destination;
        fs::path copy;
        fs::path look_alike;  // must stay as it was, when there is one
        Needs needs = Needs::any;
        bool behind_device_prefix = false;  // the name is written \\.\C:\...\name
    } cases[] = {
        {"list.txt", "", cafe_utf8, u8"caf\u00e9.png", "wall.bmp", "wall.png", {}},
        {"list.txt", "\xEF\xBB\xBF", photo_utf8, u8"\u5199\u771f.jpg", "wall.bmp", "wall.jpg", {}},
        {"list.txt", "", photo_utf8, u8"\u5199\u771f.jpg", "\xE9" "cran.bmp", u8"\u00e9cran.jpg", {}, Needs::ansi_1252},
        {"list.txt", "", "caf\xE9.jpg", u8"caf\u00e9.jpg", "wall.bmp", "wall.jpg", {}, Needs::ansi_1252},
        {"list.txt", "", "a.jpg", "a.jpg", "\xC5\x81\xC3\xB3" "d\xC5\xBA.bmp", u8"\u0141\u00f3d\u017a.jpg",
         u8"L\u00f3dz.jpg"},
        {"list.txt", "", "a.jpg", "a.jpg", "\xE5\xA3\x81\xE7\xB4\x99.bmp", u8"\u58c1\u7d19.jpg", {}},
        // \u00c3\u00a9 in Windows-1252 is C3 A9, which would read back as UTF-8 \u00e9.
        {"list.txt", "", "a.jpg", "a.jpg", "\xC3\x83\xC2\xA9.bmp", u8"\u00c3\u00a9.jpg", u8"\u00e9.jpg",
         Needs::ansi_1252},
        {"\xC5\x81ista.txt", "", "a.jpg", "a.jpg", "wall.bmp", "wall.jpg", "Lista.txt"},
        {"list.txt", "", "caf\x82.jpg", u8"caf\u00e9.jpg", "wall.bmp", "wall.jpg", {}, Needs::oem_latin},
        {"list.txt", "", "a.jpg", "a.jpg", "wall.bmp", "wall.jpg", {}, Needs::any, true},
        {"list.txt", "", "a.txt", "a.txt", "list.bmp", "list.txt", {}},
        // Double-byte characters whose second byte is that of '\': \u4e88\u5b9a\u8868
        // in code page 932, \u6210\u529f in 950, as a console delivers them and
        // as `dir /b` writes them.
        {"list.txt", "", "a.jpg", "a.jpg", "\x97\x5C\x92\xE8\x95\x5C.bmp", u8"\u4e88\u5b9a\u8868.jpg", {},
         Needs::ansi_932},
        {"list.txt", "", "\x97\x5C\x92\xE8\x95\x5C.jpg", u8"\u4e88\u5b9a\u8868.jpg", "wall.bmp", "wall.jpg", {},
         Needs::ansi_932},
        {"list.txt", "", "a.jpg", "a.jpg", "\xA6\xA8\xA5\x5C.bmp", u8"\u6210\u529f.jpg", {}, Needs::ansi_950},
        {"list.txt", "", "\xA6\xA8\xA5\x5C.jpg", u8"\u6210\u529f.jpg", "wall.bmp", "wall.jpg", {}, Needs::ansi_950},
        // A destination and a pick in two encodings join as characters: the
        // extension \u00f1 in UTF-8 and in 1252, \u8868 in UTF-8 and in 932.
        {"list.txt", "", "x.p\xC3\xB1g", u8"x.p\u00f1g", "caf\xE9.bmp", u8"caf\u00e9.p\u00f1g", {}, Needs::ansi_1252},
        {"list.txt", "", "x.p\xF1g", u8"x.p\u00f1g", "\xE5\xA3\x81\xE7\xB4\x99.bmp", u8"\u58c1\u7d19.p\u00f1g", {},
         Needs::ansi_1252},
        {"list.txt", "", "x.\xE8\xA1\xA8", u8"x.\u8868", "\x97\x5C\x92\xE8\x95\x5C.bmp", u8"\u4e88\u5b9a\u8868.\u8868",
         {}, Needs::ansi_932},
        {"list.txt", "", "x.\x95\x5C", u8"x.\u8868", "\xC5\x81\xC3\xB3" "d\xC5\xBA.bmp", u8"\u0141\u00f3d\u017a.\u8868",
         {}, Needs::ansi_932},
        // A name in 932 whose bytes are well-formed UTF-8 too, which read so
        // names no file: \uff83\u30bd, whose 5C is no '\', is UTF-8 \u00c3 and '\'.
        {"list.txt", "", "\xC3\x83\x5C.jpg", u8"\uff83\u30bd.jpg", "wall.bmp", "wall.jpg", {}, Needs::ansi_932},
    };
    bool skipped = false;
    for (Case& c : cases) {
        if (!holds(c.needs)) {
            skipped = true;
            continue;
        }
        test::ScratchDir scratch;
        if (c.behind_device_prefix) c.name = R"(\\.\)" + scratch.path().string() + "\\" + c.name;
        write_file(utf8_path(c.list_path), c.bom + c.name + "\r\n");
        write_file(c.file, "picture");
        if (!c.look_alike.empty()) write_file(c.look_alike, "look-alike");
        const auto run = lotpick({c.list_path, c.destination});
        EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
        EXPECT_EQ(run.out, console_text("1 files picked 0\n" + c.name + "\n")) << c.name;
        EXPECT_EQ(read_file("DoneList"), c.name);
        EXPECT_EQ(read_file(c.copy), "picture") << c.name;
        std::set<fs::path> left{"DoneList", utf8_path(c.list_path), c.file, c.copy};
        if (!c.look_alike.empty()) {
            EXPECT_EQ(read_file(c.look_alike), "look-alike") << c.name;
            left.insert(c.look_alike);
        }
        EXPECT_EQ(files_in(scratch.path()), left) << c.name;
    }
    if (skipped)
        GTEST_SKIP() << "rows for other code pages skipped: ANSI " << GetACP() << ", OEM " << GetOEMCP();
}

// A sole /? asks for help, as it does of every Windows program; beside a
// destination it is the name of a list, as --help is.
TEST(LotpickOnWindows, AnswersASoleSlashQuestionMarkWithTheHelp) {
    test::ScratchDir scratch;
    const auto asked = lotpick({"/?"});
    EXPECT_EQ(asked.status, 0);
    EXPECT_EQ(asked.out, lotpick({"--help"}).out);
    EXPECT_EQ(asked.err, "");
    const auto listed = lotpick({"/?", "wall.bmp"});
    EXPECT_EQ(listed.status, 1);
    EXPECT_EQ(listed.out, "File: /? not found");
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

// Refused before the record when the volume could never take the name or the
// destination names no file; after it, with the summary, when the destination
// is a device or a directory.
TEST(LotpickOnWindows, NeverReplacesADeviceOrADirectoryNorRecordsACopyThatCannotFit) {
    const std::string long_stem(252, 'w');
    std::string long_utf8 = "dir\\";
    for (int i = 0; i < 126; ++i) long_utf8 += "\xC3\xA9";
    long_utf8 += ".txt";
    struct Case {
        std::string name;
        std::string destination;
        int status;
        std::string out;
        std::string err;
        std::string files;
        Needs needs = Needs::any;
    } cases[] = {
        {"a", "NUL", 2, "1 files picked 0\na\n", "lotpick: cannot copy 'a' to 'NUL': not a regular file\n",
         "DoneList\na\ndir\nlist.txt\n"},
        {"a", "dir", 2, "1 files picked 0\na\n", "lotpick: cannot copy 'a' to 'dir': not a regular file\n",
         "DoneList\na\ndir\nlist.txt\n"},
        {"a.txt", long_stem, 1, "",
         "lotpick: destination too long '" + long_stem + ".txt': a file name of 256 characters, at most 255\n",
         "a.txt\ndir\nlist.txt\n"},
        {"a.txt", "dir\\", 1, "", "lotpick: destination names no file 'dir\\': add a file name, as in 'dir\\wallpaper'\n",
         "a.txt\ndir\nlist.txt\n"},
        {"a.txt", "dir/", 1, "", "lotpick: destination names no file 'dir/': add a file name, as in 'dir/wallpaper'\n",
         "a.txt\ndir\nlist.txt\n"},
        {"a.txt", ".", 1, "", "lotpick: destination names no file '.': add a file name, as in '.\\wallpaper'\n",
         "a.txt\ndir\nlist.txt\n"},
        {"a.txt", "C:", 1, "", "lotpick: destination names no file 'C:': add a file name, as in 'C:\\wallpaper'\n",
         "a.txt\ndir\nlist.txt\n"},
        {"a.txt", "C:.", 1, "", "lotpick: destination names no file 'C:.': add a file name, as in 'C:.\\wallpaper'\n",
         "a.txt\ndir\nlist.txt\n"},
        // 260 bytes in UTF-8, 134 in Windows-1252.
        {long_utf8, "wall.bmp", 1, "",
         "lotpick: name too long in line 1 of 'list.txt': 260 bytes (134 characters), at most 259 bytes: use a "
         "shorter folder, or save the list in the ANSI code page, where it takes 134 bytes\n",
         "dir\nlist.txt\n", Needs::ansi_1252},
    };
    for (const Case& c : cases) {
        if (!holds(c.needs)) continue;
        test::ScratchDir scratch;
        write_file("list.txt", c.name + "\r\n");
        write_file(c.name, "content");
        write_file("dir/inside", "");
        const auto run = lotpick({"list.txt", c.destination});
        EXPECT_EQ(run.status, c.status) << c.destination;
        EXPECT_EQ(run.out, console_text(c.out)) << c.destination;
        EXPECT_EQ(run.err, console_text(c.err)) << c.destination;
        EXPECT_EQ(test::list_dir(scratch.path()), c.files) << c.destination;
        EXPECT_EQ(read_file("DoneList"), c.status == 2 ? c.name : "") << c.destination;
        EXPECT_EQ(test::list_dir("dir"), "inside\n");
    }
}

// The last line of a run's output, its pick.
std::string picked_name(const std::string& out) {
    const std::string body = out.substr(0, out.size() < 2 ? 0 : out.size() - 2);
    const std::size_t line_end = body.rfind("\r\n");
    return line_end == std::string::npos ? body : body.substr(line_end + 2);
}

// Each run's move onto the destination can meet another's: every one waits
// its turn, and the destination is always one whole copy.
TEST(LotpickOnWindows, TwentyRunsAtOnceOntoOneDestinationAllSucceedWithAWholeCopy) {
    test::ScratchDir scratch;
    std::map<std::string, std::string> files;
    std::string list;
    for (int i = 0; i < 40; ++i) {
        const std::string name = "pics\\p" + std::to_string(100 + i) + ".txt";
        const std::string content(static_cast<std::size_t>(1000 + 37 * i), static_cast<char>('a' + i % 26));
        write_file(name, content);
        files.emplace(name, content);
        list += name + "\r\n";
    }
    write_file("list.txt", list);
    const std::vector<std::vector<std::string>> argvs(20, {test::lotpick_binary(), "list.txt", "shared.bmp"});
    test::ProcessOptions options;
    options.cwd = scratch.path();
    options.env.emplace_back("LOTPICK_SEED", std::nullopt);
    const std::vector<test::ProcessResult> results = test::run_processes_at_once(argvs, options);

    std::multiset<std::string> picks;
    std::set<std::string> contents;
    for (const test::ProcessResult& run : results) {
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const std::string name = picked_name(run.out);
        ASSERT_TRUE(files.contains(name)) << run.out;
        picks.insert(name);
        contents.insert(files.at(name));
    }
    EXPECT_TRUE(contents.contains(read_file("shared.txt")));
    const std::vector<std::string> records = test::split_on_crlf(read_file("DoneList"));
    EXPECT_EQ(std::multiset<std::string>(records.begin(), records.end()), picks);
    EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\nlist.txt\npics\nshared.txt\n");
}

// lotpick with standard output and error both going to `output`, as
// `> log.txt 2>&1` sends them; with CREATE_NEW_CONSOLE in a console of its
// own, the only one Ctrl-C pressed there reaches.
PROCESS_INFORMATION start_into_one_file(const std::wstring& args, const std::string& output, DWORD flags) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const HANDLE out = CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = out;
    startup.hStdError = out;
    std::wstring line = L'"' + fs::path(test::lotpick_binary()).wstring() + L"\" " + args;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, flags, nullptr, nullptr, &startup, &process))
        process.hProcess = nullptr;
    CloseHandle(out);
    return process;
}

// The system's wording of `error` in `code_page`, as lotpick ends a message.
std::string system_wording(DWORD error, UINT code_page) {
    wchar_t text[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                  text, 512, nullptr);
    while (length > 0 && std::wcschr(L"\r\n. ", text[length - 1]) != nullptr) --length;
    std::string narrow(length * 4, '\0');
    narrow.resize(static_cast<std::size_t>(WideCharToMultiByte(code_page, 0, text, static_cast<int>(length),
                                                               narrow.data(), static_cast<int>(narrow.size()),
                                                               nullptr, nullptr)));
    return narrow;
}

// In a log the diagnostic comes first and whole, then "File: ... not found",
// as on a console, and each line is in one encoding: the system's wording
// beside a UTF-8 name (a Thai one, outside every ANSI code page) in UTF-8.
// The wording is the locale's: in English it is ASCII, so only the CodePage
// runs, whose wording is not, can tell a line that mixes two encodings.
TEST(LotpickOnWindows, LogsTheDiagnosticOfAMissingListFirstAndInOneEncoding) {
    const std::tuple<std::wstring, std::string, UINT> cases[] = {
        {L"nope.txt", "nope.txt", CP_ACP},
        {L"\u0e01.txt", "\xE0\xB8\x81.txt", CP_UTF8},
    };
    for (const auto& [argument, name, code_page] : cases) {
        test::ScratchDir scratch;
        const PROCESS_INFORMATION run = start_into_one_file(argument + L" wall.bmp", "log.txt", 0);
        ASSERT_NE(run.hProcess, nullptr);
        WaitForSingleObject(run.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(run.hProcess, &status);
        CloseHandle(run.hThread);
        CloseHandle(run.hProcess);
        EXPECT_EQ(status, 1u) << name;
        EXPECT_EQ(read_file("log.txt"), "lotpick: cannot read list '" + name + "': " +
                                            system_wording(ERROR_FILE_NOT_FOUND, code_page) + "\r\nFile: " + name +
                                            " not found");
    }
}

// Ctrl-C while the run waits to move its copy over a destination another
// program holds: the run ends then, leaving the record, the old destination
// and no temporary file, and says nothing more.
TEST(LotpickOnWindows, CtrlCDuringTheCopyLeavesTheOldDestinationAndNoTemporaryFile) {
    test::ScratchDir scratch;
    write_file("list.txt", "a.txt\r\n");
    write_file("a.txt", "new");
    write_file("wall.txt", "old");
    auto other = std::make_unique<test::ExclusiveHold>("wall.txt");
    ASSERT_TRUE(other->is_held());
    const PROCESS_INFORMATION run = start_into_one_file(L"list.txt wall.bmp", "output", CREATE_NEW_CONSOLE);
    ASSERT_NE(run.hProcess, nullptr);
    const std::string temporary = "lotpick-" + std::to_string(run.dwProcessId) + ".tmp";
    // However long Wine takes to start the run: until the copy is under way,
    // or the run has ended without one.
    while (!fs::exists(temporary) && WaitForSingleObject(run.hProcess, 10) == WAIT_TIMEOUT) continue;
    EXPECT_TRUE(fs::exists(temporary)) << "the copy was never under way";

    const std::string lotpick = test::lotpick_binary();
    const std::string send = lotpick.substr(0, lotpick.find_last_of('\\') + 1) + "lotpick_send_ctrl_c.exe";
    const test::ProcessResult sent = test::run_process({send, std::to_string(run.dwProcessId)}, {});
    EXPECT_EQ(sent.status, 0) << sent.err;
    // Only a run that never ends meets the limit.
    const DWORD ended = WaitForSingleObject(run.hProcess, 120000);
    if (ended != WAIT_OBJECT_0) TerminateProcess(run.hProcess, 99);
    CloseHandle(run.hThread);
    CloseHandle(run.hProcess);
    other.reset();
    EXPECT_EQ(ended, WAIT_OBJECT_0);
    EXPECT_EQ(read_file("output"), "");
    EXPECT_EQ(read_file("DoneList"), "a.txt");
    EXPECT_EQ(read_file("wall.txt"), "old");
    EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\na.txt\nlist.txt\noutput\nwall.txt\n");
}

}  // namespace
}  // namespace lotpick
