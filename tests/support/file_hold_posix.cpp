// Test support, POSIX: an exclusive flock, as lotpick's append takes it.

#include "support/file_hold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace lotpick::test {

ExclusiveHold::ExclusiveHold(const std::string& path)
    : handle_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666)) {
    if (handle_ >= 0 && ::flock(static_cast<int>(handle_), LOCK_EX) != 0) {
        ::close(static_cast<int>(handle_));
        handle_ = -1;
    }
}

ExclusiveHold::~ExclusiveHold() {
    if (is_held()) ::close(static_cast<int>(handle_));
}

bool ExclusiveHold::is_held() const { return handle_ >= 0; }

}  // namespace lotpick::test
