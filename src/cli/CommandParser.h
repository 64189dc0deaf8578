#pragma once
// The parser of one command's words, built on CLI11: GNU-style flags ("--flag value" and
// "--flag=value"), switches without a value, "--" to end the flags, -h and --help. Its help reads
// as the usage lines, the description, every flag with its text, and the closing notes. A word it
// cannot take ends the command with one line on standard error, "tillstream-cli COMMAND: MESSAGE
// (see 'tillstream-cli COMMAND --help')", and the usage exit code, before anything is read,
// opened or sent. Main thread only; failures are reported by Parse's result, never by exceptions.
#include <CLI/CLI.hpp>
#include <iosfwd>
#include <optional>
#include <string>

#include "cli/CommandOutput.h"

class CCommandParser {
  public:
    // `command` names the command in messages; `usage` is the help's first lines.
    CCommandParser(const char* command, std::string usage, std::string description,
                   std::string notes);

    // Where the command declares its flags and its positional words.
    CLI::App& App() { return m_app; }

    // Parses `args` (the words after the command's name). Empty when the command should run;
    // otherwise the exit code the command ends with: kExitOk after printing the help to `out`,
    // kExitUsage after printing the refusal to `err`.
    std::optional<int> Parse(const CommandArgs& args, std::ostream& out, std::ostream& err);

    // Parses `args` for a caller that words refusals itself (the lanes of a rig): empty when the
    // words were taken, otherwise why not (as Parse would say it, without the prefix). A request
    // for help is refused like an unknown flag.
    std::optional<std::string> ParseWords(const CommandArgs& args);

    // A refusal of the command's own (e.g. two flags that exclude each other), printed in the
    // same form; returns kExitUsage.
    int Refuse(std::ostream& err, const std::string& message) const;

  private:
    std::string ExplainMismatch(const CommandArgs& args, const std::string& fallback) const;

    const char* m_command;
    CLI::App m_app;
};
