// Test support: holding a file the way another lotpick run holds the done
// list while it appends, so that nobody else may read or write it.
#pragma once

#include <cstdint>
#include <string>

namespace lotpick::test {

class ExclusiveHold {
public:
    // Opens `path`, creating it when missing, and holds it until destruction.
    explicit ExclusiveHold(const std::string& path);
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;
    ~ExclusiveHold();

    bool is_held() const;

private:
    std::intptr_t handle_;  // the platform's file handle or descriptor
};

}  // namespace lotpick::test
