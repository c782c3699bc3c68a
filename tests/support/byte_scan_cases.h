// Test support: random blocks of the bytes the scans look for, checked
// against a walk byte by byte, for any pair of scans with byte_scan's shape.
#pragma once

#include "byte_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace lotpick::test {

inline void expect_scans_as_byte_walk(ScanPath path) {
    std::mt19937 rng(11);
    static constexpr char alphabet[] = {'\r', '\n', '\0', 'a', '\xFF', '\x0D' + 1, '\x0A' - 1};
    for (int round = 0; round < 200; ++round) {
        // A block more than the scans see, for the byte before and the offsets.
        std::string bytes(scan_block * (1 + rng() % 8) + scan_block, 'a');
        for (char& byte : bytes) byte = alphabet[rng() % sizeof alphabet];
        const std::size_t at = 1 + rng() % scan_block;
        const std::size_t blocks = (bytes.size() - at) / scan_block;
        std::uint64_t expected = 0;
        for (std::size_t i = at; i < at + blocks * scan_block; ++i)
            expected += bytes[i] == '\r' || (bytes[i] == '\n' && bytes[i - 1] != '\r');
        ASSERT_EQ(count_line_ends_in_blocks(path, bytes.data(), at, at + blocks * scan_block), expected) << round;
        std::vector<std::uint64_t> marks(blocks);
        mark_name_ends(path, bytes.data() + at, blocks, marks.data());
        for (std::size_t i = 0; i < blocks * scan_block; ++i) {
            const char byte = bytes[at + i];
            // A LF right after a CR ends no line, and is left out.
            const bool lf_of_pair = byte == '\n' && i > 0 && bytes[at + i - 1] == '\r';
            const bool ends = (byte == '\r' || byte == '\n' || byte == '\0') && !lf_of_pair;
            ASSERT_EQ((marks[i / scan_block] >> (i % scan_block)) & 1, ends ? 1u : 0u) << round << " byte " << i;
        }
    }
}

}  // namespace lotpick::test
