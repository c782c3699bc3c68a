// Whole runs of the driver in-process: what it prints, the status it returns
// and the files it leaves behind.

#include "pick.h"

#include "random_draw.h"
#include "support/scan_paths.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace lotpick {
namespace {

using test::read_file;
using test::write_file;

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string drain(std::FILE* file) {
    std::rewind(file);
    std::string bytes;
    char chunk[4096];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.append(chunk, got);
    std::fclose(file);
    return bytes;
}

RunResult pick(std::vector<std::string> args, std::optional<std::string> seed,
               std::optional<std::string> force_scan = std::nullopt) {
    args.insert(args.begin(), "lotpick");
    Console console{std::tmpfile(), std::tmpfile(), std::move(seed), std::move(force_scan)};
    RunResult run;
    run.status = run_pick(args, console);
    run.out = drain(console.out);
    run.err = drain(console.err);
    return run;
}

const char* const three_names = "a.txt\r\nb.txt\r\nc.txt\r\n";

void write_pickable_files() {
    write_file("a.txt", "content of a");
    write_file("b.txt", "content of b");
    write_file("c.txt", "content of c");
}

TEST(RunPick, PrintsOnlyTheUsageTextWithTooFewArguments) {
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"list.txt"}}) {
        test::ScratchDir scratch;
        const RunResult run = pick(args, "1");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out,
                  ">LOTPICK listfile destination\nlotpick selects a random file from the list and copies it to "
                  "destination");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(test::list_dir(scratch.path()), "");
    }
}

const char* const usage_text =
    ">LOTPICK listfile destination\nlotpick selects a random file from the list and copies it to destination";

TEST(RunPick, AnswersHelpWithTheUsageTextAndOneSummaryLine) {
    test::ScratchDir scratch;
    const RunResult run = pick({"--help"}, "not a seed");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    ASSERT_EQ(run.out.rfind(std::string(usage_text) + "\n", 0), 0u) << run.out;
    const std::string summary = run.out.substr(std::string(usage_text).size() + 1);
    ASSERT_FALSE(summary.empty());
    EXPECT_EQ(summary.find('\n'), summary.size() - 1) << summary;
    for (const char* mention : {"0 picked", "1 refused", "2 picked but", "unreadable", "not recorded or copied", "output lost",
                                "LOTPICK_SEED", "at most 259 bytes", "86 CJK ones in UTF-8"})
        EXPECT_NE(summary.find(mention), std::string::npos) << mention;
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

TEST(RunPick, AnswersVersionWithTheProjectVersion) {
    test::ScratchDir scratch;
    const RunResult run = pick({"--version"}, "not a seed");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "lotpick " LOTPICK_PROJECT_VERSION "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

TEST(RunPick, TreatsAnyOtherSingleArgumentAsTooFewArguments) {
    for (const char* arg : {"-H", "-V", "--HELP", "/?", "--help ", "--help=1", "--versions", "help", "version", ""}) {
        test::ScratchDir scratch;
        const RunResult run = pick({arg}, "1");
        EXPECT_EQ(run.status, 1) << arg;
        EXPECT_EQ(run.out, usage_text) << arg;
        EXPECT_EQ(run.err, "") << arg;
    }
}

TEST(RunPick, TakesHelpAndVersionBesideADestinationAsListNames) {
    test::ScratchDir scratch;
    write_pickable_files();
    write_file("--version", "a.txt\r\n");
    const RunResult found = pick({"--version", "wall.bmp", "--help", "My Pictures"}, "1");
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out, "1 files picked 0\na.txt\n");
    EXPECT_EQ(found.err, "lotpick: ignoring extra argument '--help'\nlotpick: ignoring extra argument 'My Pictures'\n");
    EXPECT_EQ(read_file("wall.txt"), "content of a");

    const RunResult missing = pick({"--help", "wall.bmp", "--version"}, "1");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "File: --help not found");
}

TEST(RunPick, RefusesASeedThatIsNotAPlainThirtyTwoBitNumberBeforeTouchingFiles) {
    for (const char* seed : {"-1", "4294967296", "0x1F", " 7", "seven"}) {
        test::ScratchDir scratch;
        write_file("list.txt", three_names);
        const RunResult run = pick({"list.txt", "wall.bmp"}, seed);
        EXPECT_EQ(run.status, 1) << seed;
        EXPECT_EQ(run.out, "") << seed;
        EXPECT_EQ(run.err.rfind("lotpick: invalid LOTPICK_SEED '" + std::string(seed) + "': ", 0), 0u) << run.err;
        EXPECT_EQ(test::list_dir(scratch.path()), "list.txt\n") << seed;
    }
}

// A pick with one name of three left, and what it leaves behind.
RunResult pick_the_last_name(std::optional<std::string> force_scan) {
    test::ScratchDir scratch;
    write_file("list.txt", three_names);
    write_pickable_files();
    write_file("DoneList", "b.txt\r\nc.txt");
    RunResult run = pick({"list.txt", "wall.bmp"}, "7", std::move(force_scan));
    run.out += "-- left behind:\n" + test::list_dir(scratch.path()) + read_file("DoneList");
    return run;
}

// A forced path picks as the path a run starts on does; one the processor
// lacks is refused before anything is touched. (A name of no path is the
// end-to-end test's.)
TEST(RunPick, PicksAlikeOnEveryForcedScanPathAndRefusesOneThisProcessorLacks) {
    const RunResult widest = pick_the_last_name(std::nullopt);
    ASSERT_EQ(widest.status, 0) << widest.err;
    for (const ScanPath path : test::every_scan_path) {
        const std::string name(test::scan_path_names[static_cast<int>(path)]);
        const RunResult run = pick_the_last_name(name);
        if (has_scan_path(path)) {
            EXPECT_EQ(run.status, 0) << name << run.err;
            EXPECT_EQ(run.out, widest.out) << name;
            continue;
        }
        EXPECT_EQ(run.status, 1) << name;
        EXPECT_EQ(run.out, "-- left behind:\nDoneList\na.txt\nb.txt\nc.txt\nlist.txt\nb.txt\r\nc.txt") << name;
        EXPECT_EQ(run.err, "lotpick: cannot force scan path '" + name + "': this processor does not have it\n");
    }
}

TEST(RunPick, ReportsAMissingListWithoutRecordingAnything) {
    test::ScratchDir scratch;
    const RunResult run = pick({"nope.txt", "wall.bmp", "extra"}, "1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File: nope.txt not found");
    EXPECT_EQ(run.err.rfind("lotpick: ignoring extra argument 'extra'\nlotpick: cannot read list 'nope.txt': ", 0), 0u)
        << run.err;
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

struct Scenario {
    const char* what;
    std::string list;
    std::optional<std::string> done;
    const char* seed;
    std::string out;
    std::string done_after;
    const char* copied_to;
    const char* copied_from;
};

TEST(RunPick, PicksRecordsAndCopiesAsTheDrawAndTheDoneListDecide) {
    const Scenario scenarios[] = {
        {"fresh pick", three_names, std::nullopt, "13", "3 files picked 2\nb.txt\n", "b.txt", "wall.txt", "b.txt"},
        {"redraw over a done name", three_names, "a.txt", "2", "Selecting new file 0\n3 files picked 2\nb.txt\n",
         "a.txt\r\nb.txt", "wall.txt", "b.txt"},
        {"every name done: the last draw stands", three_names, "a.txt\r\nb.txt\r\nc.txt", "0",
         "Selecting new file 0\nSelecting new file 1\nSelecting new file 0\n3 files picked 0\na.txt\n",
         "a.txt\r\nb.txt\r\nc.txt\r\na.txt", "wall.txt", "a.txt"},
        {"part of an entry is not done", three_names, "old/a.txt", "0", "3 files picked 0\na.txt\n",
         "old/a.txt\r\na.txt", "wall.txt", "a.txt"},
        {"empty done list gets no separator", three_names, "", "13", "3 files picked 2\nb.txt\n", "b.txt", "wall.txt",
         "b.txt"},
        {"lf line ends", "a.txt\nb.txt\nc.txt\n", std::nullopt, "13", "3 files picked 2\nb.txt\n", "b.txt",
         "wall.txt", "b.txt"},
        {"one line without an end", "c.txt", std::nullopt, "13", "0 files picked 0\nc.txt\n", "c.txt", "wall.txt",
         "c.txt"},
        {"byte order mark before the list", "\xEF\xBB\xBF" + std::string(three_names), std::nullopt, "0",
         "3 files picked 0\na.txt\n", "a.txt", "wall.txt", "a.txt"},
        {"byte order mark before the done list", three_names, "\xEF\xBB\xBF" "a.txt", "2",
         "Selecting new file 0\n3 files picked 2\nb.txt\n", "\xEF\xBB\xBF" "a.txt\r\nb.txt", "wall.txt", "b.txt"},
        {"a zero byte hides only the rest of its line", three_names, std::string("x\0a.txt\r\na.txt", 14), "2",
         "Selecting new file 0\n3 files picked 2\nb.txt\n", std::string("x\0a.txt\r\na.txt\r\nb.txt", 21),
         "wall.txt", "b.txt"},
    };
    for (const Scenario& s : scenarios) {
        test::ScratchDir scratch;
        write_pickable_files();
        write_file("list.txt", s.list);
        if (s.done) write_file("DoneList", *s.done);
        const RunResult run = pick({"list.txt", "wall.bmp"}, s.seed);
        EXPECT_EQ(run.status, 0) << s.what;
        EXPECT_EQ(run.out, s.out) << s.what;
        EXPECT_EQ(run.err, "") << s.what;
        EXPECT_EQ(read_file("DoneList"), s.done_after) << s.what;
        EXPECT_EQ(read_file(s.copied_to), read_file(s.copied_from)) << s.what;
        EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\na.txt\nb.txt\nc.txt\nlist.txt\nwall.txt\n") << s.what;
    }
}

TEST(RunPick, EmptyListPicksTheEmptyNameAndFailsItsCopy) {
    for (const auto& [before, after] : {std::pair{"", ""}, std::pair{"x.txt", "x.txt\r\n"}}) {
        test::ScratchDir scratch;
        write_file("list.txt", "");
        write_file("DoneList", before);
        const RunResult run = pick({"list.txt", "wall.bmp"}, "5");
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "Selecting new file 0\n0 files picked 0\n\n");
        EXPECT_EQ(run.err.rfind("lotpick: cannot copy '' to 'wall.bmp': ", 0), 0u) << run.err;
        EXPECT_EQ(read_file("DoneList"), after);
        EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\nlist.txt\n");
    }
}

// A name is told in characters too, which its bytes are not in UTF-8: 90
// CJK characters and ".jpg" take 274 bytes. A line past any path a system
// takes is not read whole again to count them.
TEST(RunPick, RefusesNamesThatDoNotFitWithoutRecordingOrCopying) {
    const std::string long_name(300, 'n');
    std::string cjk_name;
    for (int i = 0; i < 90; ++i) cjk_name += "\xE8\xA1\xA8";
    const std::string in_line = "lotpick: name too long in line ";
    const std::string shorter_folder = " at most 259 bytes: use a shorter folder";
    struct Case {
        std::string list;
        std::string destination;
        std::string err;
    } cases[] = {
        {long_name, "wall.bmp", in_line + "1 of 'list.txt': 300 bytes (300 characters)," + shorter_folder + "\n"},
        {std::string(260, 'n'), "wall.bmp",
         in_line + "1 of 'list.txt': 260 bytes (260 characters)," + shorter_folder + "\n"},
        {"\r\n" + long_name + "\r\n", "wall.bmp",
         in_line + "2 of 'list.txt': 300 bytes (300 characters)," + shorter_folder + "\n"},
        {cjk_name + ".jpg\r\n", "wall.bmp",
         in_line + "1 of 'list.txt': 274 bytes (94 characters)," + shorter_folder + "\n"},
        {std::string(98302, 'n'), "wall.bmp", in_line + "1 of 'list.txt': 98302 bytes," + shorter_folder + "\n"},
        {"a.txt", std::string(260, 'w'),
         "lotpick: destination too long '" + std::string(260, 'w') + "': 260 bytes (260 characters)," + shorter_folder +
             " or name\n"},
        {"a.jpeg", std::string(255, 'w'),
         "lotpick: destination too long '" + std::string(255, 'w') + ".jpeg': 260 bytes (260 characters)," +
             shorter_folder + " or name\n"},
    };
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        write_file("list.txt", c.list);
        const RunResult run = pick({"list.txt", c.destination}, "1");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(test::list_dir(scratch.path()), "list.txt\n");
    }
}

TEST(RunPick, AcceptsADerivedDestinationOfExactly259Bytes) {
    test::ScratchDir scratch;
    write_pickable_files();
    write_file("list.txt", "a.txt");
    const std::string stem = "sub/" + std::string(251, 'w');
    std::filesystem::create_directory("sub");
    const RunResult run = pick({"list.txt", stem + ".bmp"}, "1");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(stem + ".txt"), "content of a");
}

TEST(RunPick, RecordsThePickAndFailsWithStatusTwoWhenTheCopyFails) {
    test::ScratchDir scratch;
    write_file("list.txt", "gone.txt\r\n");
    write_file("wall.txt", "old wallpaper");
    const RunResult run = pick({"list.txt", "wall.bmp"}, "1");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "1 files picked 0\ngone.txt\n");
    EXPECT_EQ(run.err.rfind("lotpick: cannot copy 'gone.txt' to 'wall.txt': ", 0), 0u) << run.err;
    EXPECT_EQ(read_file("DoneList"), "gone.txt");
    EXPECT_EQ(read_file("wall.txt"), "old wallpaper");
    EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\nlist.txt\nwall.txt\n");
}

// A done list that is a directory can be neither read nor appended to: one
// line for each, and the copy is still made.
TEST(RunPick, CopiesButFailsWithStatusTwoWhenThePickCannotBeRecorded) {
    test::ScratchDir scratch;
    write_pickable_files();
    write_file("list.txt", three_names);
    std::filesystem::create_directory("DoneList");
    const RunResult run = pick({"list.txt", "wall.bmp"}, "13");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "3 files picked 2\nb.txt\n");
    const std::size_t record_line = run.err.find("lotpick: cannot record pick in 'DoneList': ");
    EXPECT_EQ(run.err.rfind("lotpick: cannot read done list 'DoneList': ", 0), 0u) << run.err;
    ASSERT_NE(record_line, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\n'), record_line - 1) << run.err;
    EXPECT_EQ(read_file("wall.txt"), "content of b");
}

TEST(RunPick, KeepsUsingADoneListSpelledInAnotherCase) {
    test::ScratchDir scratch;
    write_pickable_files();
    write_file("list.txt", three_names);
    write_file("donelist", "a.txt");
    const RunResult run = pick({"list.txt", "wall.bmp"}, "2");
    EXPECT_EQ(run.out, "Selecting new file 0\n3 files picked 2\nb.txt\n");
    EXPECT_EQ(read_file("donelist"), "a.txt\r\nb.txt");
    EXPECT_FALSE(std::filesystem::exists("DoneList") && !std::filesystem::equivalent("DoneList", "donelist"));
}

// Loading and appending always use one file, chosen in this order:
// "DoneList", "donelist", then any other spelling, first in byte order.
TEST(RunPick, UsesOneDoneListByAFixedOrderOfSpellings) {
    using Files = std::vector<std::pair<std::string, std::string>>;
    const struct {
        Files before;
        std::string out;
        Files after;
    } cases[] = {
        {{{"DoneList", "a.txt"}, {"DONELIST", "b.txt"}}, "Selecting new file 0\n3 files picked 2\nb.txt\n",
         {{"DoneList", "a.txt\r\nb.txt"}, {"DONELIST", "b.txt"}}},
        {{{"donelist", "a.txt"}, {"DONELIST", ""}}, "Selecting new file 0\n3 files picked 2\nb.txt\n",
         {{"donelist", "a.txt\r\nb.txt"}, {"DONELIST", ""}}},
        {{{"DoneList", ""}, {"donelist", "a.txt"}}, "3 files picked 0\na.txt\n",
         {{"DoneList", "a.txt"}, {"donelist", "a.txt"}}},
        {{{"DoneLisT", ""}, {"DONELIST", "a.txt"}}, "Selecting new file 0\n3 files picked 2\nb.txt\n",
         {{"DONELIST", "a.txt\r\nb.txt"}, {"DoneLisT", ""}}},
    };
    for (const auto& c : cases) {
        test::ScratchDir scratch;
        if (test::file_system_folds_case()) GTEST_SKIP() << "needs a file system that tells case apart";
        write_pickable_files();
        write_file("list.txt", three_names);
        for (const auto& [name, content] : c.before) write_file(name, content);
        const RunResult run = pick({"list.txt", "wall.bmp"}, "2");
        EXPECT_EQ(run.out, c.out) << c.before.front().first;
        for (const auto& [name, content] : c.after) EXPECT_EQ(read_file(name), content) << name;
    }
}

TEST(RunPick, RefusesAUtf16ListBeforeWritingAnything) {
    for (const std::string mark : {"\xFF\xFE", "\xFE\xFF"}) {
        test::ScratchDir scratch;
        write_file("list.txt", mark + std::string("a\0.\0t\0x\0t\0\r\0\n\0", 14));
        const RunResult run = pick({"list.txt", "wall.bmp"}, "1");
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
                  "lotpick: cannot read UTF-16 list 'list.txt': save it as UTF-8 or ANSI text instead "
                  "(PowerShell: Out-File -Encoding utf8)\n");
        EXPECT_EQ(test::list_dir(scratch.path()), "list.txt\n");
    }
}

// What a run prints over a list of distinct names, one per CR LF line, worked
// out draw by draw with the plain index-to-line rule.
std::string expected_output(const std::vector<std::string>& names, const std::set<std::string>& done,
                            std::uint32_t seed, std::string& picked) {
    const auto n = static_cast<std::int32_t>(names.size());
    seed_generator(seed);
    std::string out;
    std::int32_t attempts = 0, index = 0;
    do {
        ++attempts;
        index = draw_pick_index(n);
        picked = names[static_cast<std::size_t>(index > 1 ? index - 1 : 0)];
        if (!done.contains(picked)) break;
        out += "Selecting new file " + std::to_string(index) + "\n";
    } while (attempts < n);
    return out + std::to_string(n) + " files picked " + std::to_string(index) + "\n" + picked + "\n";
}

// Empty when equal, else the two texts from a little before where they first
// differ: gtest's line diff of two long outputs would take minutes.
std::string first_difference(const std::string& actual, const std::string& expected) {
    if (actual == expected) return "";
    const auto at = static_cast<std::size_t>(
        std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first - actual.begin());
    const std::size_t from = at < 40 ? 0 : at - 40;
    return "at byte " + std::to_string(at) + ": got \"" + actual.substr(from, 80) + "\", expected \"" +
           expected.substr(from, 80) + "\"";
}

TEST(RunPick, RedrawsOverLongListsExactlyAsADrawByDrawWalkDoes) {
    struct Case {
        const char* what;
        int lines;
        int done_from;  // names from this line on are done
    } cases[] = {
        {"every name done", 40000, 0},
        {"all but the first 300 done", 40000, 300},
        {"short list, every name done", 700, 0},
    };
    for (const Case& c : cases) {
        test::ScratchDir scratch;
        std::vector<std::string> names;
        std::string list, done_text;
        std::set<std::string> done;
        for (int i = 0; i < c.lines; ++i) {
            names.push_back("n" + std::to_string(i) + ".txt");
            list += names.back() + "\r\n";
            if (i < c.done_from) continue;
            done_text += (done.empty() ? "" : "\r\n") + names.back();
            done.insert(names.back());
        }
        write_file("list.txt", list);
        write_file("DoneList", done_text);
        std::string picked;
        const std::string out = expected_output(names, done, 77, picked);
        write_file(picked, "picked content");
        const RunResult run = pick({"list.txt", "wall.bmp"}, "77");
        EXPECT_EQ(run.status, 0) << c.what << run.err;
        EXPECT_EQ(first_difference(run.out, out), "") << c.what;
        EXPECT_TRUE(read_file("DoneList") == done_text + "\r\n" + picked) << c.what;
        EXPECT_EQ(read_file("wall.txt"), "picked content") << c.what;
    }
}

TEST(RunPick, RefusesATooLongNameDrawnAfterARedraw) {
    // A seed whose first draw lands on the done first line and whose second
    // lands on the long second line.
    std::uint32_t seed = 0;
    std::int32_t first = 0;
    for (;; ++seed) {
        seed_generator(seed);
        first = draw_pick_index(3);
        if (first <= 1 && draw_pick_index(3) == 2) break;
    }
    test::ScratchDir scratch;
    write_file("list.txt", "a.txt\r\n" + std::string(300, 'n') + "\r\nc.txt\r\n");
    write_file("DoneList", "a.txt");
    const RunResult run = pick({"list.txt", "wall.bmp"}, std::to_string(seed));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Selecting new file " + std::to_string(first) + "\n");
    EXPECT_EQ(run.err, "lotpick: name too long in line 2 of 'list.txt': 300 bytes (300 characters), at most 259 bytes: "
                       "use a shorter folder\n");
    EXPECT_EQ(read_file("DoneList"), "a.txt");
}

}  // namespace
}  // namespace lotpick
