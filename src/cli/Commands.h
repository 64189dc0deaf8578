#pragma once
// The commands of tillstream-cli, for the dispatcher (RunCommandLine) alone: a command never
// calls another. Each takes the words after its name, writes its results to `out` and its
// messages to `err`, and returns the process's exit code. They run on the main thread (starting
// engine threads of their own where needed) and never throw.
#include <iosfwd>

#include "cli/CommandOutput.h"

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
