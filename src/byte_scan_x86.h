// The x86-64 byte scans one by one, for the tests to check each whatever the
// processor they run on has: byte_scan.h picks one per call.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lotpick::x86 {

bool has_avx512();

std::uint64_t count_sse2(const unsigned char* bytes, std::size_t at, std::size_t end);
std::uint64_t count_avx512(const unsigned char* bytes, std::size_t at, std::size_t end);

void marks_sse2(const char* bytes, std::size_t blocks, std::uint64_t* marks);
void marks_avx512(const char* bytes, std::size_t blocks, std::uint64_t* marks);

}  // namespace lotpick::x86
