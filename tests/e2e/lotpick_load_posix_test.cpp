// Concurrency under load: many runs of the real binary let go at the same
// moment in one directory must neither lose nor mangle a record, nor leave a
// destination that is not a whole copy.

#include "support/process.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace lotpick {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::write_file;

constexpr int list_lines = 5000;
constexpr int runs = 64;

// Small files of different lengths, so a short copy cannot pass for a whole one.
std::map<std::string, std::string> write_picture_files() {
    std::map<std::string, std::string> files;
    for (int i = 0; i < list_lines; ++i) {
        const std::string name = "pics/p" + std::to_string(10000 + i) + ".txt";
        std::string content;
        for (int copies = 0; copies <= i % 37; ++copies) content += name + "\n";
        write_file(name, content);
        files.emplace(name, content);
    }
    return files;
}

// The last line of a run's output is its pick.
std::string picked_name(const std::string& out) {
    const std::string body = out.substr(0, out.empty() ? 0 : out.size() - 1);
    return body.substr(body.rfind('\n') + 1);
}

TEST(Load, SixtyFourRunsAtOnceKeepEveryRecordWholeAndEveryCopyComplete) {
    test::ScratchDir scratch;
    const std::map<std::string, std::string> files = write_picture_files();
    std::string list;
    for (const auto& [name, content] : files) list += name + "\r\n";
    write_file("list.txt", list);

    // Even runs race for one destination, odd runs each have their own.
    std::vector<std::vector<std::string>> argvs;
    for (int i = 0; i < runs; ++i)
        argvs.push_back({test::lotpick_binary(), "list.txt", i % 2 == 0 ? "shared.bmp" : "own-" + std::to_string(i)});
    test::ProcessOptions options;
    options.cwd = scratch.path();
    options.env.emplace_back("LOTPICK_SEED", std::nullopt);
    const std::vector<test::ProcessResult> results = test::run_processes_at_once(argvs, options);
    ASSERT_EQ(results.size(), static_cast<std::size_t>(runs));

    std::multiset<std::string> picks;
    std::set<std::string> shared_candidates;
    for (int i = 0; i < runs; ++i) {
        const test::ProcessResult& run = results[static_cast<std::size_t>(i)];
        ASSERT_EQ(run.status, 0) << "run " << i << ": " << run.err;
        EXPECT_EQ(run.err, "") << "run " << i;
        const std::string name = picked_name(run.out);
        ASSERT_TRUE(files.contains(name)) << "run " << i << " printed " << run.out;
        picks.insert(name);
        if (i % 2 == 0) shared_candidates.insert(files.at(name));
        else EXPECT_EQ(read_file("own-" + std::to_string(i) + ".txt"), files.at(name)) << "run " << i;
    }
    EXPECT_TRUE(shared_candidates.contains(read_file("shared.txt")));

    const std::vector<std::string> entries = test::split_on_crlf(read_file("DoneList"));
    EXPECT_EQ(entries.size(), static_cast<std::size_t>(runs));
    for (const std::string& entry : entries) EXPECT_TRUE(files.contains(entry)) << '"' << entry << '"';
    EXPECT_EQ(std::multiset<std::string>(entries.begin(), entries.end()), picks);

    for (const auto& entry : fs::directory_iterator(scratch.path()))
        EXPECT_NE(entry.path().filename().string().rfind(".lotpick-", 0), 0u) << entry.path();
}

}  // namespace
}  // namespace lotpick
