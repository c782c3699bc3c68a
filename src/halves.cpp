// Two halves of one piece of work at once.

#include "halves.h"

#include <system_error>
#include <thread>

namespace lotpick {

namespace {

// Joins the thread however the scope ends, as std::jthread would; not every
// standard library has std::jthread yet (libc++ before 20).
struct JoinedThread {
    std::thread thread;
    JoinedThread() = default;
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;
    ~JoinedThread() {
        if (thread.joinable()) thread.join();
    }
};

}  // namespace

void run_halves(const std::function<void(int half)>& work) {
    JoinedThread other;
    if (std::thread::hardware_concurrency() >= 2) {
        try {
            other.thread = std::thread(work, 1);
        } catch (const std::system_error&) {
            // No second thread to be had: the same work, one half after the other.
        }
    }
    work(0);
    if (!other.thread.joinable()) work(1);
}

}  // namespace lotpick
