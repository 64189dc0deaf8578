// The console's control events for the command line. The system runs the handler on a thread of
// its own, which is where the request is raised, like the watcher thread on Linux.
#include <windows.h>

#include <cstring>

#include "platform/Interrupt.h"
#include "platform/InterruptSource.h"
#include "platform/Trace.h"

namespace {
// The signals the console events stand for (see Interrupt.h).
constexpr int kSignalHangUp = 1;
constexpr int kSignalInterrupt = 2;
constexpr int kSignalTerminate = 15;
constexpr int kSignalBreak = 21;

// After a close, logoff or shutdown event the system ends the process as soon as the handler
// returns (and after about 5 s in any case), so the handler waits here for the run's end-of-run
// steps and the normal exit, which ends the process with the program's own exit code.
constexpr DWORD kEndOfRunWaitMs = 10000;

// The one place where a console event becomes the program's number for it.
int SignalNumberOfEvent(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
            return kSignalInterrupt;
        case CTRL_BREAK_EVENT:
            return kSignalBreak;
        case CTRL_CLOSE_EVENT:
            return kSignalHangUp;
        default:  // CTRL_LOGOFF_EVENT, CTRL_SHUTDOWN_EVENT
            return kSignalTerminate;
    }
}

BOOL WINAPI OnConsoleEvent(DWORD event) {
    RaiseInterrupt(SignalNumberOfEvent(event));
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        Sleep(kEndOfRunWaitMs);
    }
    return TRUE;
}
}  // namespace

bool HoldInterruptEvents() {
    return true;  // console events come on a thread of the system's, never into ours
}

void ReleaseInterruptEvents() {}

bool StartInterruptSource() {
    if (!SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) {
        Trace("[%s][InstallInterruptWatch] ERROR - SetConsoleCtrlHandler(%lu)", kProgramName,
              GetLastError());
        return false;
    }
    return true;
}

const char* InterruptExitCodesText() {
    return "130 stopped by Ctrl-C, 149 by Ctrl-Break, 129 console closed, 143 logoff or shutdown";
}

void EndProcessAtOnce(int exitCode, const char* notice) {
    // The notice is written by a thread of its own and given a moment: output nobody reads must
    // not hold the end up (Windows cannot tell beforehand whether a pipe takes the line).
    static const char* pending = nullptr;
    pending = notice;
    const HANDLE writer = CreateThread(
        nullptr, 0,
        [](LPVOID) -> DWORD {
            DWORD written = 0;
            WriteFile(GetStdHandle(STD_ERROR_HANDLE), pending,
                      static_cast<DWORD>(std::strlen(pending)), &written, nullptr);
            return 0;
        },
        nullptr, 0, nullptr);
    if (writer != nullptr) {
        WaitForSingleObject(writer, 20);
    }
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    for (;;) {
        Sleep(INFINITE);  // TerminateProcess of the current process does not return
    }
}
