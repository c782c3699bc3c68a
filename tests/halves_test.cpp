// Both halves run, each once, and all their work is in when run_halves returns.

#include "halves.h"

#include <gtest/gtest.h>

#include <vector>

namespace lotpick {
namespace {

TEST(RunHalves, RunsEachHalfOnceAndWaitsForBoth) {
    std::vector<int> runs(2, 0);
    std::vector<long> sums(2, 0);
    run_halves([&](int half) {
        ++runs[static_cast<std::size_t>(half)];
        for (long i = 0; i < 1000000; ++i) sums[static_cast<std::size_t>(half)] += i % 7;
    });
    EXPECT_EQ(runs, (std::vector<int>{1, 1}));
    EXPECT_EQ(sums[0], sums[1]);
    EXPECT_GT(sums[0], 0);
}

}  // namespace
}  // namespace lotpick
