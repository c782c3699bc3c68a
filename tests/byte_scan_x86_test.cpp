// Each of the x86-64 byte scans on its own: the ones the processor does not
// pick must be right as well. AVX-512 is checked where the processor has
// it.

#include "byte_scan_x86.h"

#include "support/byte_scan_cases.h"

#include <gtest/gtest.h>

namespace lotpick {
namespace {

TEST(ByteScanX86, Sse2CountsAndMarksAsAByteWalkDoes) {
    test::expect_scans_as_byte_walk(x86::count_sse2, x86::marks_sse2);
}

TEST(ByteScanX86, Avx512CountsAndMarksAsAByteWalkDoes) {
    if (!x86::has_avx512()) GTEST_SKIP() << "no AVX-512 on this processor";
    test::expect_scans_as_byte_walk(x86::count_avx512, x86::marks_avx512);
}

}  // namespace
}  // namespace lotpick
