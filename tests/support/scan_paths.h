// Test support: tests that run once on each scan path the processor has, not
// only on the one a run would take, so that a path no machine here takes by
// itself is still tested; each hands GetParam() to what it tests. A path the
// processor lacks is skipped.
#pragma once

#include "byte_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace lotpick::test {

inline constexpr ScanPath every_scan_path[] = {ScanPath::portable, ScanPath::sse2, ScanPath::avx2, ScanPath::avx512};

class OnEachScanPath : public testing::TestWithParam<ScanPath> {
protected:
    void SetUp() override {
        if (!has_scan_path(GetParam())) GTEST_SKIP() << "the processor lacks this scan path";
    }
};

// Their names, as LOTPICK_FORCE_SCAN takes them.
inline constexpr std::string_view scan_path_names[] = {"portable", "sse2", "avx2", "avx512"};

inline std::string scan_path_name(const testing::TestParamInfo<ScanPath>& info) {
    return std::string(scan_path_names[static_cast<int>(info.param)]);
}

}  // namespace lotpick::test

// Makes `Suite` a suite of tests (TEST_P) that each run on every scan path.
#define LOTPICK_ON_EACH_SCAN_PATH(Suite)                                  \
    class Suite : public ::lotpick::test::OnEachScanPath {};              \
    INSTANTIATE_TEST_SUITE_P(ScanPaths, Suite, ::testing::ValuesIn(::lotpick::test::every_scan_path), \
                             ::lotpick::test::scan_path_name)
