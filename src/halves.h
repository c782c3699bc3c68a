// Work that splits into two halves, run side by side where the machine has a
// second core: reading a long list or done list is mostly the system copying
// it out of the page cache, which two threads do in about half the time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>

namespace lotpick {

// The one size from which reading a list or a done list in two halves pays:
// below it a second thread costs more to start than it saves (7 to 10 % more
// time at 10^5 names of 47 bytes, 5 MB).
inline constexpr std::uint64_t two_threads_from = std::uint64_t{16} << 20;

// Whether `bytes` to read are worth two halves, `from` being two_threads_from
// or a size a test chooses.
inline bool worth_halves(std::uint64_t bytes, std::uint64_t from) { return bytes >= std::max<std::uint64_t>(from, 2); }

// Runs work(0) on this thread and work(1) on another, and returns once both
// are done; one after the other on a single core, or when no thread can be
// started. The halves must share nothing they write.
void run_halves(const std::function<void(int half)>& work);

}  // namespace lotpick
