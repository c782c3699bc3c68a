// The compiler's vector types, and the count of line ends over them that both
// byte scans build: sixteen bytes a compare.
#pragma once

#include "byte_scan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace lotpick::vectors {

using Bytes16 = unsigned char __attribute__((vector_size(16)));

template <class Bytes>
[[gnu::always_inline]] inline std::uint64_t sum_of_lanes(const Bytes& lanes) {
    unsigned char each[sizeof(Bytes)];
    std::memcpy(each, &lanes, sizeof(Bytes));
    std::uint64_t sum = 0;
    for (const unsigned char lane : each) sum += lane;
    return sum;
}

// Each byte lane counts the line ends of its column for up to 255 vectors
// before the lanes are added up. Always inlined, so that it is compiled for
// the processor its caller is compiled for.
template <class Bytes>
[[gnu::always_inline]] inline std::uint64_t count_line_ends(const unsigned char* p, std::size_t at, std::size_t end) {
    constexpr unsigned char cr = '\r';
    constexpr unsigned char lf = '\n';
    std::uint64_t count = 0;
    while (at < end) {
        Bytes lanes{};
        const std::size_t stop = std::min(end, at + 255 * sizeof(Bytes));
        for (; at < stop; at += sizeof(Bytes)) {
            Bytes bytes;
            Bytes before;
            std::memcpy(&bytes, p + at, sizeof(Bytes));
            std::memcpy(&before, p + at - 1, sizeof(Bytes));
            lanes -= reinterpret_cast<Bytes>((bytes == cr) | ((bytes == lf) & (before != cr)));
        }
        count += sum_of_lanes(lanes);
    }
    return count;
}

}  // namespace lotpick::vectors
