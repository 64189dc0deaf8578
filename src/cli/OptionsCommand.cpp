#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/OptionsJson.h"
#include "options/OptionFields.h"
#include "options/OptionStore.h"

namespace {
constexpr char kOptionsUsage[] =
    "Usage: tillstream-cli options [--json]\n"
    "       tillstream-cli options set FIELD=VALUE [FIELD=VALUE...]\n";
constexpr char kOptionsPrints[] =
    "Prints every field of the stored option record, one 'name=value' per line, or with --json\n"
    "as one JSON object (numbers as numbers, captureFolder and remoteAddress as strings).\n";
constexpr char kOptionsSets[] =
    "outputInterface is 0 for TCP, 1 for UDP, 2 for RS-232.\n"
    "'options set' reads values as the option dialogs do: numbers up to the first non-digit\n"
    "(0 when there is none); parity by name (NONE ODD EVEN MARK SPACE) or code 0..4; stop bits\n"
    "as 1, 1.5 or 2 (0 is taken as the code of 1); COM ports by the number after the last 'M'\n"
    "(COM3, \\\\.\\COM12 or 12); remoteAddress dotted (192.168.0.10); captureFolder at most 255\n"
    "bytes. The whole record is saved, reserved bytes untouched. An unknown field or a value\n"
    "that cannot be stored is refused and nothing is saved.\n";
constexpr char kOptionsNotes[] =
    "Exit codes: 0 done, 1 the record could not be saved, 2 bad arguments.\n";

constexpr char kCaller[] = "tillstream-cli options";
constexpr std::size_t kHelpLineWidth = 90;

// "Fields: loopEnabled, delayMs, ..." from the field table, wrapped like the rest of the help.
std::string FieldList() {
    std::string text = "Fields:";
    std::size_t lineStart = 0;
    const auto fields = OptionFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string word = std::string(fields[i].name) + (i + 1 < fields.size() ? "," : ".");
        if (text.size() - lineStart + 1 + word.size() > kHelpLineWidth) {
            text += '\n';
            lineStart = text.size();
        } else {
            text += ' ';
        }
        text += word;
    }
    return text + '\n';
}

OptionRecord LoadRecord() {
    OptionRecord record = MakeDefaultOptionRecord();
    // A missing record (first run) leaves the defaults, as the window starts with them.
    LoadStoredOptions(record, kCaller);
    return record;
}
}  // namespace

int RunOptionsCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("options", kOptionsUsage,
                          std::string(kOptionsPrints) + FieldList() + kOptionsSets, kOptionsNotes);
    std::vector<std::string> words;
    bool bJson = false;
    parser.App().add_option("WORDS", words)->group("");
    parser.App().add_flag("--json", bJson)->group("")->disable_flag_override();
    if (const std::optional<int> exitCode = parser.Parse(args, out, err)) {
        return *exitCode;
    }
    if (words.empty()) {
        const OptionRecord record = LoadRecord();
        out << (bJson ? FormatOptionsJson(record) : FormatOptionsText(record));
        out.flush();
        return kExitOk;
    }
    if (words.front() != "set") {
        PrintCommandError(err, "options",
                          "unknown word '" + words.front() + "' (did you mean 'set'?)");
        return kExitUsage;
    }
    if (words.size() < 2) {
        PrintCommandError(err, "options", "'set' needs at least one FIELD=VALUE");
        return kExitUsage;
    }
    if (bJson) {
        PrintCommandError(err, "options", "--json is for printing, not for 'set'");
        return kExitUsage;
    }
    OptionRecord record = LoadRecord();
    for (std::size_t i = 1; i < words.size(); ++i) {
        std::string error;
        if (!SetOptionField(record, words[i], error)) {
            PrintCommandError(err, "options", error + "; nothing saved");
            return kExitUsage;
        }
    }
    if (const int32_t result = SaveStoredOptions(record, kCaller); result < 0) {
        PrintCommandError(
            err, "options",
            "the option record could not be saved (code " + std::to_string(result) + ")");
        return kExitFailure;
    }
    return kExitOk;
}
