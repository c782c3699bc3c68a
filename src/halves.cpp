// Two halves of one piece of work at once.

#include "halves.h"

#include <system_error>
#include <thread>

namespace lotpick {

void run_halves(const std::function<void(int half)>& work) {
    std::jthread other;
    if (std::thread::hardware_concurrency() >= 2) {
        try {
            other = std::jthread(work, 1);
        } catch (const std::system_error&) {
            // No second thread to be had: the same work, one half after the other.
        }
    }
    work(0);
    if (!other.joinable()) work(1);
}

}  // namespace lotpick
