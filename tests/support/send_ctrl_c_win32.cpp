// Test support, Windows: a program that presses Ctrl-C in the console of the
// process whose id it is given, as a user at that console would, and stays
// until that process has ended. It is a program of its own because sending
// the event means joining that console and ignoring Ctrl-C there, which a
// test process must not do to itself.

#include <cstdio>
#include <cstdlib>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const auto process_id = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const HANDLE target = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    FreeConsole();
    // Wine sends an event to the whole console only, never to one group.
    if (target == nullptr || !AttachConsole(process_id) || !SetConsoleCtrlHandler(nullptr, TRUE) ||
        !GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) {
        std::fprintf(stderr, "cannot send Ctrl-C to process %lu: error %lu\n", process_id, GetLastError());
        return 1;
    }
    // Under Wine, a sender that ends while the event is still on its way
    // makes process creation fail for a moment afterwards.
    WaitForSingleObject(target, 5000);
    CloseHandle(target);
    return 0;
}
