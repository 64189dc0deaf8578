#include "cli/CommandOutput.h"

#include <ostream>

#include "platform/Interrupt.h"

int InterruptedExitCode(int otherwise) {
    switch (InterruptSignalNumber()) {
        case 1:
            return kExitHungUp;
        case 2:
            return kExitInterrupted;
        case 15:
            return kExitTerminated;
        case 21:
            return kExitBreak;
        default:
            return otherwise;
    }
}

void PrintCommandError(std::ostream& err, const char* command, const std::string& message) {
    err << kCliProgramName;
    if (command != nullptr && command[0] != '\0') {
        err << " " << command;
    }
    err << ": " << message << std::endl;
}

std::string ExitCodesNote(const std::string& before) {
    // The help's lines stay within the width of the rest of it.
    constexpr std::size_t kWidest = 92;
    const std::string codes = std::string(InterruptExitCodesText()) + ".\n";
    const std::size_t lastLine =
        before.rfind('\n') == std::string::npos ? 0 : before.rfind('\n') + 1;
    std::string note = before;
    if (before.size() - lastLine + codes.size() - 1 > kWidest) {
        while (!note.empty() && note.back() == ' ') {
            note.pop_back();
        }
        note += '\n';
    }
    return note + codes;
}
