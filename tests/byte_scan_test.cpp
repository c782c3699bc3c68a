// The byte scans must count and mark exactly as a byte-by-byte walk does, at
// every alignment and over every byte that matters: the ones a run picks,
// the portable ones, and the processor's wide ones where it has them.

#include "byte_scan.h"
#include "byte_scan_wide.h"

#include "support/byte_scan_cases.h"

#include <gtest/gtest.h>

namespace lotpick {
namespace {

std::uint64_t wide_count(const unsigned char* bytes, std::size_t at, std::size_t end) {
    std::uint64_t count = 0;
    EXPECT_TRUE(wide::count_line_ends(bytes, at, end, count));
    return count;
}

void wide_marks(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    EXPECT_TRUE(wide::mark_name_ends(bytes, blocks, marks));
}

TEST(ByteScan, CountsAndMarksAsAByteWalkDoes) {
    test::expect_scans_as_byte_walk(count_line_ends_in_blocks, mark_name_ends);
    test::expect_scans_as_byte_walk(portable::count_line_ends, portable::mark_name_ends);
    std::uint64_t none = 0;
    if (!wide::count_line_ends(nullptr, 0, 0, none)) GTEST_SKIP() << "no wider scans on this processor";
    test::expect_scans_as_byte_walk(wide_count, wide_marks);
}

}  // namespace
}  // namespace lotpick
