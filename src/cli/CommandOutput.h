#pragma once
// What every command of tillstream-cli shares in its output: the exit codes, the program's name,
// the one-line error form and the exit codes of a command stopped by the system. The commands
// depend on this and on nothing of each other. Main thread; nothing here throws.
#include <iosfwd>
#include <string>
#include <vector>

// Exit codes shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;        // the work could not be done (file, port, address...)
inline constexpr int kExitUsage = 2;          // unknown flag or bad value; nothing was touched
inline constexpr int kExitHungUp = 129;       // ended by SIGHUP (the terminal went away)
inline constexpr int kExitInterrupted = 130;  // ended by Ctrl-C (SIGINT) after a clean stop
inline constexpr int kExitTerminated = 143;   // ended by SIGTERM after a clean stop
inline constexpr int kExitBreak = 149;        // ended by Ctrl-Break (Windows) after a clean stop

inline constexpr char kCliProgramName[] = "tillstream-cli";

// The words after the program's name (for a command: after its own name).
using CommandArgs = std::vector<std::string>;

// The exit code for a run that ended because the interrupt request was raised: 129 for SIGHUP
// (on Windows a closed console), 130 for SIGINT or Ctrl-C, 143 for SIGTERM (logoff, shutdown),
// 149 for Ctrl-Break, `otherwise` when the program raised it itself.
int InterruptedExitCode(int otherwise);

// Writes "tillstream-cli COMMAND: MESSAGE" and a line end to `err`.
void PrintCommandError(std::ostream& err, const char* command, const std::string& message);

// The end of a command's "Exit codes:" note: `before` (the command's own codes) followed by the
// codes of a stop by the system, as this system names its stop events, and a line end.
std::string ExitCodesNote(const std::string& before);
