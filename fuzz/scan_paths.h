// Fuzz support: a check made once on each scan path the processor has, and
// handed that path, so that a path no run here takes by itself is fuzzed too.
#pragma once

#include "byte_scan.h"

template <class Check>
void on_each_scan_path(const Check& check) {
    using lotpick::ScanPath;
    for (const ScanPath path : {ScanPath::portable, ScanPath::sse2, ScanPath::avx2, ScanPath::avx512}) {
        if (lotpick::has_scan_path(path)) check(path);
    }
}
