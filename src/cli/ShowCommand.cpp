#include <ostream>

#include "cli/Commands.h"
#include "platform/ShowWindowRequest.h"

namespace {
constexpr char kShowHelp[] =
    "Usage: tillstream-cli show\n"
    "Asks the Tillstream window of this user to come to the front (the request the tray icon\n"
    "makes) and prints the window's answer.\n"
    "Exit codes: 0 the window answered, 1 no window is listening or it did not answer,\n"
    "2 bad arguments.\n";

constexpr int kAnswerTimeoutMs = 5000;
}  // namespace

int RunShowCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    const CArgParser parser({{"help", false}});
    CParsedArgs parsed;
    int exitCode = kExitOk;
    if (!ParseCommandArgs("show", parser, args, kShowHelp, parsed, out, err, exitCode)) {
        return exitCode;
    }
    if (!parsed.Positionals().empty()) {
        PrintCommandError(err, "show",
                          "unexpected argument '" + parsed.Positionals().front() + "'");
        return kExitUsage;
    }
    std::string answer;
    std::string error;
    const int result = SendShowWindowRequest(kShowWindowRestore, answer, kAnswerTimeoutMs, error);
    if (result == kShowWindowNoWindow) {
        PrintCommandError(err, "show",
                          "no Tillstream window is listening (" + ShowWindowRequestTarget() + ")");
        return kExitFailure;
    }
    if (result != kShowWindowRequestOk) {
        PrintCommandError(err, "show", "the window did not answer: " + error);
        return kExitFailure;
    }
    out << answer << std::endl;
    return kExitOk;
}
