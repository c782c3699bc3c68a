// The byte scans must count and mark exactly as a byte-by-byte walk does, at
// every alignment and over every byte that matters: the ones a run picks,
// the widest the processor has, and the portable ones.

#include "byte_scan.h"
#include "support/byte_scan_cases.h"

#include <gtest/gtest.h>

namespace lotpick {
namespace {

TEST(ByteScan, CountsAndMarksAsAByteWalkDoes) {
    test::expect_scans_as_byte_walk(count_line_ends_in_blocks, mark_name_ends);
    test::expect_scans_as_byte_walk(portable::count_line_ends, portable::mark_name_ends);
}

}  // namespace
}  // namespace lotpick
