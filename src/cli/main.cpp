#include <iostream>

#include "cli/Commands.h"
#include "platform/Interrupt.h"
#include "platform/Terminal.h"

int main(int argc, char** argv) {
    // Before any thread exists, so that every thread leaves Ctrl-C to the watcher and a run
    // can end with its end-of-run steps.
    InstallInterruptWatch();
    SetStandardStreamsBinary();
    std::ios::sync_with_stdio(true);
    const CommandArgs args(argv + 1, argv + argc);
    const int code = RunCommandLine(args, std::cout, std::cerr);
    std::cout.flush();
    // A command that finished while a signal asked the program to end still ends as the signal
    // asked (a conversion that completed meanwhile is complete, and says so).
    return IsInterruptRequested() ? InterruptedExitCode(code) : code;
}
