// Test support, Windows: a program that presses Ctrl-C in the console of the
// process whose id it is given, as a user at that console would. It is a
// program of its own because sending the event means joining that console
// and ignoring Ctrl-C there, which a test process must not do to itself.

#include <cstdlib>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const auto process_id = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    FreeConsole();
    if (!AttachConsole(process_id) || !SetConsoleCtrlHandler(nullptr, TRUE)) return 1;
    // Wine sends an event to the whole console only, never to one group.
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) ? 0 : 1;
}
