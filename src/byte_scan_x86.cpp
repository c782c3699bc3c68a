// The byte scans with AVX-512, sixty-four bytes a compare, where the running
// processor has it: four times as wide as the portable scans, which the
// compiler turns into SSE2 here. Neither AVX2 nor SSE2 by hand gained more
// than a few per cent end to end.
// Whether it has it is asked of the processor once (cpuid), together with
// whether the system saves the wide registers (xgetbv).

#include "byte_scan.h"

#include <bit>

#include <cpuid.h>
#include <immintrin.h>

namespace lotpick {
namespace {

// Asked of the processor directly: __builtin_cpu_supports needs the C
// runtime's own record of it, which not every runtime has (macOS's, as zig
// links it). `state` is the register state (XCR0 bits) the system must save.
bool processor_has(unsigned ebx_bit, std::uint64_t state) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx) || (ecx & bit_OSXSAVE) == 0) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    const std::uint64_t saved = std::uint64_t{high} << 32 | low;
    return (saved & state) == state && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & ebx_bit) != 0;
}

constexpr std::uint64_t avx512_state = 0xE6;  // XMM, YMM, the mask and upper ZMM registers

bool has_avx512() {
    static const bool has = processor_has(bit_AVX512BW, avx512_state);
    return has;
}

__attribute__((target("avx512bw"))) std::uint64_t count_avx512(const unsigned char* bytes, std::size_t at,
                                                               std::size_t end) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    std::uint64_t count = 0;
    for (; at < end; at += scan_block) {
        const __m512i chunk = _mm512_loadu_si512(bytes + at);
        const __m512i before = _mm512_loadu_si512(bytes + at - 1);
        const __mmask64 ends = _mm512_cmpeq_epi8_mask(chunk, cr) |
                               (_mm512_cmpeq_epi8_mask(chunk, lf) & ~_mm512_cmpeq_epi8_mask(before, cr));
        count += static_cast<std::uint64_t>(std::popcount(static_cast<std::uint64_t>(ends)));
    }
    return count;
}

// A LF right after a CR ends no line, and is left out: a done list written
// by lotpick has half as many marks to take. The carry brings a CR at the end
// of one block to the next. A zero byte is one that tests as no bit set.
__attribute__((target("avx512bw"))) void marks_avx512(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    std::uint64_t carry = 0;
    for (std::size_t block = 0; block < blocks; ++block) {
        const __m512i chunk = _mm512_loadu_si512(bytes + block * scan_block);
        const std::uint64_t crs = _mm512_cmpeq_epi8_mask(chunk, cr);
        const std::uint64_t after_cr = crs << 1 | carry;
        carry = crs >> 63;
        marks[block] = crs | _mm512_testn_epi8_mask(chunk, chunk) | (_mm512_cmpeq_epi8_mask(chunk, lf) & ~after_cr);
    }
}

}  // namespace

std::uint64_t count_line_ends_in_blocks(const unsigned char* bytes, std::size_t at, std::size_t end) {
    return has_avx512() ? count_avx512(bytes, at, end) : portable::count_line_ends(bytes, at, end);
}

void mark_name_ends(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    if (has_avx512()) marks_avx512(bytes, blocks, marks);
    else portable::mark_name_ends(bytes, blocks, marks);
}

}  // namespace lotpick
