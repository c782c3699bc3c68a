// The done list's locked append under contention: many writers at once, each
// with its own open file, as separate runs would be.

#include "platform/platform.h"

#include "support/scratch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <latch>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace lotpick::platform {
namespace {

constexpr int writers = 8;
constexpr int records_each = 25;

std::string record_name(int writer, int record) {
    return "writer-" + std::to_string(writer) + "-record-" + std::to_string(record);
}

// All writers start together on a file that does not exist yet, where the
// first records race for the place without a separator. Returns the failures.
int append_at_once(const std::string& path) {
    std::latch start(writers);
    std::vector<int> failures(writers, 0);
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w)
        threads.emplace_back([w, &path, &start, &failures] {
            start.arrive_and_wait();
            for (int r = 0; r < records_each; ++r)
                if (append_record(path, record_name(w, r))) ++failures[static_cast<std::size_t>(w)];
        });
    for (std::thread& thread : threads) thread.join();
    int total = 0;
    for (const int count : failures) total += count;
    return total;
}

TEST(AppendRecord, WritersAtOnceKeepEveryRecordWholeAndSeparatedByOneLineEnd) {
    test::ScratchDir scratch;
    std::multiset<std::string> expected;
    for (int w = 0; w < writers; ++w)
        for (int r = 0; r < records_each; ++r) expected.insert(record_name(w, r));
    for (int round = 0; round < 40; ++round) {
        const std::string path = "DoneList-" + std::to_string(round);
        EXPECT_EQ(append_at_once(path), 0) << "round " << round;
        const std::vector<std::string> records = test::split_on_crlf(test::read_file(path));
        const std::multiset<std::string> found(records.begin(), records.end());
        std::vector<std::string> differences;
        std::set_symmetric_difference(found.begin(), found.end(), expected.begin(), expected.end(),
                                      std::back_inserter(differences));
        ASSERT_TRUE(differences.empty()) << "round " << round << ": " << differences.size()
                                         << " records lost, mangled or doubled, such as \"" << differences.front()
                                         << '"';
    }
}

}  // namespace
}  // namespace lotpick::platform
