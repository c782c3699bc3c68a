// The byte scans for x86-64: SSE2, which every such processor has, and AVX2
// and AVX-512, two and four times as wide, where the running processor has
// them. A run starts on the widest; most processors have AVX2 and no
// AVX-512, and there the AVX2 scans take less than half the instructions of
// the SSE2 ones. Whether the processor has them is asked of it directly
// (cpuid), together with whether the system saves the wide registers
// (xgetbv).

#include "byte_scan.h"

#include <algorithm>
#include <bit>
#include <cstring>

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

constexpr std::uint64_t avx_state = 0x6;     // XMM and YMM registers
constexpr std::uint64_t avx512_state = 0xE6;  // those, the mask and upper ZMM registers

using Bytes16 = unsigned char __attribute__((vector_size(16)));
using Bytes32 = unsigned char __attribute__((vector_size(32)));
using Bytes64 = unsigned char __attribute__((vector_size(64)));

// One bit for each byte of `chunk` that equals `byte`, straight from the
// compare (pmovmskb; AVX-512 compares into a mask). The chunk comes by
// reference: clang refuses a wide vector passed by value to a function not
// built for it, even one always inlined.
std::uint64_t bytes_equal(const Bytes16& chunk, char byte) {
    return static_cast<std::uint16_t>(_mm_movemask_epi8(reinterpret_cast<__m128i>(chunk == byte)));
}

__attribute__((target("avx2"))) std::uint64_t bytes_equal(const Bytes32& chunk, char byte) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(reinterpret_cast<__m256i>(chunk == byte)));
}

__attribute__((target("avx512bw"))) std::uint64_t bytes_equal(const Bytes64& chunk, char byte) {
    return _mm512_cmpeq_epi8_mask(reinterpret_cast<__m512i>(chunk), _mm512_set1_epi8(byte));
}

// The marks of the scan block at `block`, as mark_name_ends gives them, or
// its line ends alone. A LF right after a CR ends no line, and is left out:
// a done list written by lotpick has half as many marks to take. The carry
// brings a CR at the end of one block to the next. Always inlined, so that
// it is compiled for the processor its caller is compiled for.
template <class Bytes>
[[gnu::always_inline]] inline std::uint64_t block_ends(const char* block, std::uint64_t& carry, bool zeros_too) {
    std::uint64_t crs = 0, lfs = 0, zeros = 0;
    for (std::size_t at = 0; at < scan_block; at += sizeof(Bytes)) {
        Bytes chunk;
        std::memcpy(&chunk, block + at, sizeof(Bytes));
        crs |= bytes_equal(chunk, '\r') << at;
        lfs |= bytes_equal(chunk, '\n') << at;
        if (zeros_too) zeros |= bytes_equal(chunk, '\0') << at;
    }
    const std::uint64_t ends = crs | zeros | (lfs & ~(crs << 1 | carry));
    carry = crs >> 63;
    return ends;
}

template <class Bytes>
[[gnu::always_inline]] inline void mark_by(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    std::uint64_t carry = 0;
    for (std::size_t block = 0; block < blocks; ++block) marks[block] = block_ends<Bytes>(bytes + block * scan_block, carry, true);
}

// Each byte lane counts the line ends of its column for up to 255 vectors
// before the lanes are added up: a tenth fewer instructions than one bit
// per byte and a count of the bits.
template <class Bytes>
[[gnu::always_inline]] inline std::uint64_t count_by(const char* bytes, std::size_t at, std::size_t end) {
    std::uint64_t count = 0;
    while (at < end) {
        Bytes lanes{};
        for (const std::size_t stop = std::min(end, at + 255 * sizeof(Bytes)); at < stop; at += sizeof(Bytes)) {
            Bytes chunk, before;
            std::memcpy(&chunk, bytes + at, sizeof(Bytes));
            std::memcpy(&before, bytes + at - 1, sizeof(Bytes));
            lanes -= reinterpret_cast<Bytes>((chunk == '\r') | ((chunk == '\n') & (before != '\r')));
        }
        for (std::size_t lane = 0; lane < sizeof(Bytes); ++lane) count += lanes[lane];
    }
    return count;
}

std::uint64_t count_sse2(const char* bytes, std::size_t at, std::size_t end) {
    return count_by<Bytes16>(bytes, at, end);
}

__attribute__((target("avx2"))) std::uint64_t count_avx2(const char* bytes, std::size_t at, std::size_t end) {
    return count_by<Bytes32>(bytes, at, end);
}

// Sixty-four bytes a compare, each compare a mask of its own, whose bits
// one instruction counts.
__attribute__((target("avx512bw,popcnt"))) std::uint64_t count_avx512(const char* bytes, std::size_t at, std::size_t end) {
    std::uint64_t count = 0;
    std::uint64_t carry = bytes[at - 1] == '\r';
    for (; at < end; at += scan_block)
        count += static_cast<std::uint64_t>(std::popcount(block_ends<Bytes64>(bytes + at, carry, false)));
    return count;
}

void marks_sse2(const char* bytes, std::size_t blocks, std::uint64_t* marks) { mark_by<Bytes16>(bytes, blocks, marks); }

__attribute__((target("avx2"))) void marks_avx2(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    mark_by<Bytes32>(bytes, blocks, marks);
}

__attribute__((target("avx512bw"))) void marks_avx512(const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    mark_by<Bytes64>(bytes, blocks, marks);
}

// Each path's pair of scans, in the order of ScanPath.
struct Scans {
    std::uint64_t (*count)(const char* bytes, std::size_t at, std::size_t end);
    void (*mark)(const char* bytes, std::size_t blocks, std::uint64_t* marks);
};

constexpr Scans scans_of[] = {{portable::count_line_ends, portable::mark_name_ends},
                              {count_sse2, marks_sse2},
                              {count_avx2, marks_avx2},
                              {count_avx512, marks_avx512}};

}  // namespace

bool has_scan_path(ScanPath path) {
    if (path == ScanPath::avx512) return processor_has(bit_AVX512BW, avx512_state);
    return path != ScanPath::avx2 || processor_has(bit_AVX2, avx_state);
}

ScanPath widest_scan_path() {
    if (has_scan_path(ScanPath::avx512)) return ScanPath::avx512;
    return has_scan_path(ScanPath::avx2) ? ScanPath::avx2 : ScanPath::sse2;
}

std::uint64_t count_line_ends_in_blocks(ScanPath path, const char* bytes, std::size_t at, std::size_t end) {
    return scans_of[static_cast<int>(path)].count(bytes, at, end);
}

void mark_name_ends(ScanPath path, const char* bytes, std::size_t blocks, std::uint64_t* marks) {
    scans_of[static_cast<int>(path)].mark(bytes, blocks, marks);
}

}  // namespace lotpick
