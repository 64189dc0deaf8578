#include <optional>
#include <ostream>

#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "platform/ShowWindowRequest.h"

namespace {
constexpr char kShowUsage[] = "Usage: tillstream-cli show\n";
constexpr char kShowDescription[] =
    "Asks the Tillstream window of this user to come to the front (the request the tray icon\n"
    "makes) and prints the window's answer.\n";
constexpr char kShowNotes[] =
    "Exit codes: 0 the window answered, 1 no window is listening or it did not answer,\n"
    "2 bad arguments.\n";

constexpr int kAnswerTimeoutMs = 5000;
}  // namespace

int RunShowCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("show", kShowUsage, kShowDescription, kShowNotes);
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
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
