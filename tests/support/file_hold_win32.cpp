// Test support, Windows: a handle that shares nothing, as lotpick's append
// opens the done list.

#include "support/file_hold.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace lotpick::test {
namespace {

HANDLE as_handle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

ExclusiveHold::ExclusiveHold(const std::string& path)
    : handle_(reinterpret_cast<std::intptr_t>(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr))) {}

ExclusiveHold::~ExclusiveHold() {
    if (is_held()) CloseHandle(as_handle(handle_));
}

bool ExclusiveHold::is_held() const { return as_handle(handle_) != INVALID_HANDLE_VALUE; }

}  // namespace lotpick::test
