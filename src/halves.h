// Work that splits into two halves, run side by side where the machine has a
// second core: reading a long list or done list is mostly the system copying
// it out of the page cache, which two threads do in about half the time.
#pragma once

#include <functional>

namespace lotpick {

// Runs work(0) on this thread and work(1) on another, and returns once both
// are done; one after the other on a single core, or when no thread can be
// started. The halves must share nothing they write.
void run_halves(const std::function<void(int half)>& work);

}  // namespace lotpick
