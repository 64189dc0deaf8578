#pragma once
// The commands of tillstream-cli. Each takes the words after its name, writes its results to
// `out` and its messages to `err`, and returns the process's exit code. They run on the main
// thread (starting engine threads of their own where needed) and never throw.
#include <iosfwd>
#include <optional>
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

using CommandArgs = std::vector<std::string>;

int RunPlayCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunConvertCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunRestoreCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunCaptureCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunOptionsCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunShowCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunReceiveCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunRigCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);
int RunFlowsCommand(const CommandArgs& args, std::ostream& out, std::ostream& err);

// The whole command line: `args` are the words after the program's name. Prints the overview
// for no words, "--help" or "help", the version for "--version".
int RunCommandLine(const CommandArgs& args, std::ostream& out, std::ostream& err);

// The exit code for a run that ended because the interrupt request was raised: 129 for SIGHUP
// (on Windows a closed console), 130 for SIGINT or Ctrl-C, 143 for SIGTERM (logoff, shutdown),
// 149 for Ctrl-Break, `otherwise` when the program raised it itself.
int InterruptedExitCode(int otherwise);

// Writes "tillstream-cli COMMAND: MESSAGE" and a line end to `err`.
void PrintCommandError(std::ostream& err, const char* command, const std::string& message);

// Lets only a regular file through as a data file: a named pipe, a device, a folder or a socket
// is refused at once with "'FILE' is a named pipe, not a regular file" (naming what it is) and
// false. A FILE that cannot be looked at passes: reading it reports that in the command's words.
bool CheckRegularDataFile(std::ostream& err, const char* command, const std::string& path);
// The same check for a caller that words the refusal itself: the message, or empty.
std::optional<std::string> RegularDataFileRefusal(const std::string& path);
