// The Win32 platform layer, console control events: Ctrl-C, Ctrl-Break and
// closing the console end the process as they always would, but only once
// the copy in progress has removed its temporary file.

#include "platform/win32/win32.h"

#include <atomic>

namespace lotpick::platform::win32 {
namespace {

// The handler runs on a thread of its own while the main thread goes on, so
// it shares these two with the copy and nothing else: the flag that stops a
// copy, and the lock that a temporary file's whole life is spent under.
std::atomic<bool> event_came{false};
SRWLOCK temporary_lock = SRWLOCK_INIT;

// Logoff and shutdown events reach services too, whose default handler lets
// them live on: holding the lock for good there would hang the next copy.
BOOL WINAPI on_control_event(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    event_came.store(true);
    // Waits for the copy in progress to finish or give up and remove its
    // temporary, then keeps the lock so that no other temporary is made.
    AcquireSRWLockExclusive(&temporary_lock);
    // The next handler, the system's own, ends the process as the event does.
    return FALSE;
}

}  // namespace

TemporaryScope::TemporaryScope() {
    [[maybe_unused]] static const bool installed = SetConsoleCtrlHandler(on_control_event, TRUE) != 0;
    AcquireSRWLockExclusive(&temporary_lock);
}

TemporaryScope::~TemporaryScope() { ReleaseSRWLockExclusive(&temporary_lock); }

bool control_event_came() { return event_came.load(); }

void await_the_end() {
    for (;;) Sleep(INFINITE);
}

}  // namespace lotpick::platform::win32
