// The byte scans must count and mark exactly as a byte-by-byte walk does, at
// every alignment and over every byte that matters, on every path the
// processor has.

#include "byte_scan.h"
#include "support/byte_scan_cases.h"
#include "support/scan_paths.h"

#include <gtest/gtest.h>

namespace lotpick {
namespace {

LOTPICK_ON_EACH_SCAN_PATH(ByteScan);

TEST_P(ByteScan, CountsAndMarksAsAByteWalkDoes) {
    test::expect_scans_as_byte_walk(GetParam());
}

}  // namespace
}  // namespace lotpick
