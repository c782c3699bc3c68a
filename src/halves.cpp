// Two halves of one piece of work at once.

#include "halves.h"

#include <future>
#include <system_error>
#include <thread>

namespace lotpick {

void run_halves(const std::function<void(int half)>& work) {
    // The future's end waits for the other half, however this one ends.
    std::future<void> other;
    if (std::thread::hardware_concurrency() >= 2) {
        try {
            other = std::async(std::launch::async, work, 1);
        } catch (const std::system_error&) {
            // No second thread to be had: the same work, one half after the other.
        }
    }
    work(0);
    if (other.valid()) other.get();
    else work(1);
}

}  // namespace lotpick
