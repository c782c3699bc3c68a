// End-to-end runs of the real lotpick binary: exact standard output, standard
// error, exit status, and the files a run leaves behind.

#include "support/process.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace lotpick {
namespace {

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
        EXPECT_EQ(run.out,
                  ">LOTPICK listfile destination\nlotpick selects a random file from the list and copies it to "
                  "destination");
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(test::list_dir(scratch.path()), "");
    }
}

TEST(Lotpick, HelpAndVersionAnswerAloneWithStatusZero) {
    test::ScratchDir scratch;
    const auto help = lotpick({"--help"}, std::nullopt);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out,
              ">LOTPICK listfile destination\nlotpick selects a random file from the list and copies it to "
              "destination\nExit status: 0 picked, 1 refused (usage, missing list, bad input), 2 not recorded or "
              "copied. LOTPICK_SEED=<number> fixes the draw.\n");
    EXPECT_EQ(help.err, "");

    const auto version = lotpick({"--version"}, std::nullopt);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "lotpick " LOTPICK_PROJECT_VERSION "\n");
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
    EXPECT_EQ(run.out, "3 files picked 2\nb.txt\n");
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
    const std::string done = read_file("DoneList");
    // Six runs over three names: every record is one of the names.
    std::size_t entries = 1;
    for (std::size_t at = 0; (at = done.find("\r\n", at)) != std::string::npos; at += 2) ++entries;
    EXPECT_EQ(entries, 6u) << done;
    EXPECT_NE(outputs.find("files picked"), std::string::npos);
}

TEST(Lotpick, AnEmptySeedVariableMeansTheClock) {
    test::ScratchDir scratch;
    write_three_names();
    const auto run = lotpick({"list.txt", "wall"}, "");
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(Lotpick, RejectsABadSeedWithStatusOneAndTouchesNothing) {
    test::ScratchDir scratch;
    write_three_names();
    const auto run = lotpick({"list.txt", "wall"}, "12x");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "lotpick: invalid LOTPICK_SEED '12x': expected a whole number from 0 to 4294967295\n");
    EXPECT_FALSE(std::filesystem::exists("DoneList"));
}

TEST(Lotpick, MissingListPrintsNotFoundWithoutALineBreak) {
    test::ScratchDir scratch;
    const auto run = lotpick({"missing list.txt", "wall"}, "1");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "File: missing list.txt not found");
    EXPECT_EQ(run.err.rfind("lotpick: cannot read list 'missing list.txt': ", 0), 0u) << run.err;
}

}  // namespace
}  // namespace lotpick
