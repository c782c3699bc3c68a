// End-to-end runs of the real lotpick binary: exact standard output, standard
// error, exit status, and the files a run leaves behind.

#include "support/process.h"
#include "support/scratch.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace lotpick {
namespace {

using test::console_text;
using test::read_file;
using test::write_file;

test::ProcessResult lotpick(const std::vector<std::string>& args, std::optional<std::string> seed) {
    std::vector<std::string> argv{test::lotpick_binary()};
    argv.insert(argv.end(), args.begin(), args.end());
    test::ProcessOptions options;
    options.cwd = std::filesystem::current_path();
    options.env.emplace_back("LOTPICK_SEED", std::move(seed));
    return test::run_process(argv, options);
}

void write_three_names() {
    write_file("list.txt", "a.txt\r\nb.txt\r\nc.txt\r\n");
    write_file("a.txt", "content of a");
    write_file("b.txt", "content of b");
    write_file("c.txt", "content of c");
}

TEST(Lotpick, UsageTextEndsWithoutALineBreakAndExitsOne) {
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"list.txt"}}) {
        test::ScratchDir scratch;
        const auto run = lotpick(args, std::nullopt);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, console_text(">LOTPICK listfile destination\nlotpick selects a random file from the "
                                        "list and copies it to destination"));
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(test::list_dir(scratch.path()), "");
    }
}

TEST(Lotpick, HelpAndVersionAnswerAloneWithStatusZero) {
    test::ScratchDir scratch;
    for (const char* question : {"--help", "-h"}) {
        const auto help = lotpick({question}, std::nullopt);
        EXPECT_EQ(help.status, 0) << question;
        EXPECT_EQ(help.out, console_text(">LOTPICK listfile destination\nlotpick selects a random file from the list "
                                         "and copies it to destination\nExit status: 0 picked, 1 refused (usage, "
                                         "missing list, bad input), 2 picked but the done list unreadable, the pick "
                                         "not recorded or copied, or the output lost. LOTPICK_SEED=<number> fixes "
                                         "the draw. A name or destination holds at most 259 bytes: 259 ASCII "
                                         "characters, 86 CJK ones in UTF-8, 129 in a double-byte code page.\n"))
            << question;
        EXPECT_EQ(help.err, "") << question;
    }

    const auto version = lotpick({"--version"}, std::nullopt);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, console_text("lotpick " LOTPICK_PROJECT_VERSION "\n"));
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(test::list_dir(scratch.path()), "");
}

TEST(Lotpick, HelpBesideADestinationIsTheListName) {
    test::ScratchDir scratch;
    const auto run = lotpick({"--help", "wall"}, "1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File: --help not found");
}

TEST(Lotpick, SeededRunPrintsTheSummaryRecordsAndCopies) {
    test::ScratchDir scratch;
    write_three_names();
    const auto run = lotpick({"list.txt", "wall.bmp"}, "13");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, console_text("3 files picked 2\nb.txt\n"));
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(read_file("DoneList"), "b.txt");
    EXPECT_EQ(read_file("wall.txt"), "content of b");
    EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\na.txt\nb.txt\nc.txt\nlist.txt\nwall.txt\n");
}

TEST(Lotpick, RunsUntilEveryNameIsDoneThenRepeatsTheLastDraw) {
    test::ScratchDir scratch;
    write_three_names();
    std::string outputs;
    for (int run = 0; run < 6; ++run) {
        const auto result = lotpick({"list.txt", "wall"}, std::nullopt);
        EXPECT_EQ(result.status, 0) << result.err;
        outputs += result.out;
    }
    // Six runs over three names: six records, each one of the names.
    const std::vector<std::string> records = test::split_on_crlf(read_file("DoneList"));
    EXPECT_EQ(records.size(), 6u);
    for (const std::string& record : records)
        EXPECT_TRUE(record == "a.txt" || record == "b.txt" || record == "c.txt") << record;
    EXPECT_NE(outputs.find("files picked"), std::string::npos);
}

// Runs a few milliseconds apart draw differently: over a thousand names, five
// first draws all alike would be a fixed seed, not the clock.
TEST(Lotpick, AnEmptySeedVariableMeansTheClock) {
    test::ScratchDir scratch;
    write_three_names();
    const auto run = lotpick({"list.txt", "wall"}, "");
    EXPECT_EQ(run.status, 0) << run.err;
    std::string names;
    for (int i = 0; i < 1000; ++i) names += "n" + std::to_string(i) + "\r\n";
    write_file("list.txt", names);
    std::set<std::string> picks;
    for (int i = 0; i < 5; ++i) {
        std::filesystem::remove("DoneList");
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
        picks.insert(lotpick({"list.txt", "wall"}, "").out);
    }
    EXPECT_GT(picks.size(), 1u);
}

TEST(Lotpick, RejectsABadSeedWithStatusOneAndTouchesNothing) {
    test::ScratchDir scratch;
    write_three_names();
    const auto run = lotpick({"list.txt", "wall"}, "12x");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              console_text("lotpick: invalid LOTPICK_SEED '12x': expected a whole number from 0 to 4294967295\n"));
    EXPECT_FALSE(std::filesystem::exists("DoneList"));
}

// The scan path comes from the environment of the run (how each path picks is
// the driver's tests' part); a name of no path is refused before anything is
// touched.
TEST(Lotpick, TakesAForcedScanPathFromTheEnvironment) {
    test::ScratchDir scratch;
    write_three_names();
    test::ProcessOptions options;
    options.cwd = std::filesystem::current_path();
    options.env = {{"LOTPICK_SEED", "5"}, {"LOTPICK_FORCE_SCAN", "neon"}};
    const auto refused = test::run_process({test::lotpick_binary(), "list.txt", "wall"}, options);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err,
              console_text("lotpick: invalid LOTPICK_FORCE_SCAN 'neon': expected portable, sse2, avx2 or avx512\n"));
    EXPECT_FALSE(std::filesystem::exists("DoneList"));
}

TEST(Lotpick, MissingListPrintsNotFoundWithoutALineBreak) {
    test::ScratchDir scratch;
    const auto run = lotpick({"missing list.txt", "wall"}, "1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File: missing list.txt not found");
    EXPECT_EQ(run.err.rfind("lotpick: cannot read list 'missing list.txt': ", 0), 0u) << run.err;
}

TEST(Lotpick, AnnouncesEachRedrawOnALineOfItsOwn) {
    test::ScratchDir scratch;
    write_three_names();
    write_file("DoneList", "a.txt");
    const auto run = lotpick({"list.txt", "wall.bmp"}, "2");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, console_text("Selecting new file 0\n3 files picked 2\nb.txt\n"));
    EXPECT_EQ(read_file("DoneList"), "a.txt\r\nb.txt");
    EXPECT_EQ(read_file("wall.txt"), "content of b");
}

TEST(Lotpick, RecordsThePickAndExitsTwoWhenTheCopyFails) {
    test::ScratchDir scratch;
    write_file("list.txt", "gone.txt\r\n");
    write_file("wall.txt", "old wallpaper");
    const auto run = lotpick({"list.txt", "wall.bmp"}, "1");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, console_text("1 files picked 0\ngone.txt\n"));
    EXPECT_EQ(run.err.rfind("lotpick: cannot copy 'gone.txt' to 'wall.txt': ", 0), 0u) << run.err;
    EXPECT_EQ(read_file("DoneList"), "gone.txt");
    EXPECT_EQ(read_file("wall.txt"), "old wallpaper");
    EXPECT_EQ(test::list_dir(scratch.path()), "DoneList\nlist.txt\nwall.txt\n");
}

// The names in `dir` that spell "donelist" in any case.
std::vector<std::string> done_list_spellings(const std::filesystem::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (lower == "donelist") found.push_back(name);
    }
    return found;
}

// However a done list is spelled, runs keep appending to that one file.
TEST(Lotpick, KeepsOneDoneListWhateverItsCase) {
    for (const char* spelling : {"donelist", "DONELIST", "DoneList"}) {
        test::ScratchDir scratch;
        write_three_names();
        write_file(spelling, "a.txt");
        const auto run = lotpick({"list.txt", "wall.bmp"}, "2");
        EXPECT_EQ(run.out, console_text("Selecting new file 0\n3 files picked 2\nb.txt\n")) << spelling;
        EXPECT_EQ(read_file(spelling), "a.txt\r\nb.txt") << spelling;
        EXPECT_EQ(done_list_spellings(scratch.path()), std::vector<std::string>{spelling});
    }
}

// Blanks, quotes, backslashes and empty arguments reach lotpick unchanged,
// whether the platform passes a vector or one string for lotpick to split;
// the argument after the destination is named as ignored before anything else.
TEST(Lotpick, TakesArgumentsExactlyAsGiven) {
    for (const char* list : {"my list.txt", "say \"hi\".txt", "dir\\", "a \\\" b", "\t", ""}) {
        test::ScratchDir scratch;
        const auto run = lotpick({list, "wall.bmp", "ignored extra"}, "1");
        EXPECT_EQ(run.status, 1) << list;
        EXPECT_EQ(run.out, "File: " + std::string(list) + " not found") << list;
        EXPECT_EQ(run.err.rfind(console_text("lotpick: ignoring extra argument 'ignored extra'\n"), 0), 0u) << run.err;
    }
}

}  // namespace
}  // namespace lotpick
