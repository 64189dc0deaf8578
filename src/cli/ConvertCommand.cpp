#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/CommandOutput.h"
#include "cli/CommandParser.h"
#include "cli/DataFileCheck.h"
#include "datafile/Conversion.h"
#include "datafile/ConversionTexts.h"
#include "datafile/DataFileKind.h"

namespace {
constexpr char kConvertUsage[] = "Usage: tillstream-cli convert FILE\n";
constexpr char kConvertDescription[] =
    "Make Tillstream Data: converts the stamped hex log FILE in place into a converted data\n"
    "file (the marker line, then the hex payload of every record) and keeps the original as\n"
    "FILE's backup (same name, extension .bak). Only a stamped hex log is accepted: its first\n"
    "line has '[' at position 0 and ']' at position 20. A .bak that already exists is replaced\n"
    "only when it holds FILE's own bytes; any other is left alone and nothing is converted.\n"
    "Prints \"Success, Make tillstream data.\" or \"Fail, Make tillstream data.\".\n";
constexpr char kConvertNotes[] = "Exit codes: 0 converted, 1 refused or failed, 2 bad arguments.\n";

constexpr char kRestoreUsage[] = "Usage: tillstream-cli restore FILE\n";
constexpr char kRestoreDescription[] =
    "Restore Data: copies the backup of the converted data file FILE (same name, extension\n"
    ".bak) back over FILE and deletes the backup.\n"
    "Prints \"Success, Restore data.\" or \"Fail, Restore data.\".\n";
constexpr char kRestoreNotes[] = "Exit codes: 0 restored, 1 refused or failed, 2 bad arguments.\n";

// The one FILE of convert and restore; empty when the command ends at once with `exitCode`.
std::optional<std::string> ParseFileArgument(CCommandParser& parser, const CommandArgs& args,
                                             std::ostream& out, std::ostream& err, int& exitCode) {
    std::vector<std::string> files;
    parser.App().add_option("FILE", files)->group("");
    if (const std::optional<int> code = parser.Parse(args, out, err)) {
        exitCode = *code;
        return std::nullopt;
    }
    if (files.size() != 1) {
        exitCode = parser.Refuse(err, files.empty() ? "FILE is missing" : "only one FILE, please");
        return std::nullopt;
    }
    return files.front();
}

const char* MakeFailureCause(int code) {
    switch (code) {
        case kMakeBackupFailed:
            return "the backup copy could not be made, or the file is being played";
        case kMakeOpenSourceFailed:
            return "the file cannot be opened for reading";
        case kMakeCreateTempFailed:
            return "the temporary file cannot be created";
        case kMakeReplaceFailed:
            return "the converted file could not replace the original";
        case kMakeCopyLinesFailed:
            return "a read or write error while the lines were copied";
        default:
            return "an unexpected failure";
    }
}

const char* RestoreFailureCause(int code) {
    switch (code) {
        case kRestoreBackupMissing:
            return "there is no backup file";
        case kRestoreCopyBackFailed:
            return "the backup could not be copied back, or the file is being played";
        default:
            return "an unexpected failure";
    }
}
}  // namespace

int RunConvertCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("convert", kConvertUsage, kConvertDescription, kConvertNotes);
    int exitCode = kExitOk;
    const std::optional<std::string> file = ParseFileArgument(parser, args, out, err, exitCode);
    if (!file) {
        return exitCode;
    }
    const std::string& path = *file;
    if (!CheckRegularDataFile(err, "convert", path)) {
        return kExitFailure;
    }
    // The window offers the conversion for a stamped hex log only; so does the command.
    switch (IsTillstreamDataFile(path)) {
        case kDataFileStampedLog:
            break;
        case kDataFileConverted:
            PrintCommandError(err, "convert", "'" + path + "' is already a converted data file");
            return kExitFailure;
        case kDataFileUnreadable:
            PrintCommandError(err, "convert", "cannot read '" + path + "'");
            return kExitFailure;
        default:
            PrintCommandError(err, "convert",
                              "'" + path +
                                  "' is not a stamped hex log (its first line needs '[' at "
                                  "position 0 and ']' at position 20)");
            return kExitFailure;
    }
    MakeFailureDetail detail;
    const int code = MakeTillstreamDataFile(path, &detail);
    if (code < 0) {
        out << kTextFailMakeTillstreamData << std::endl;
        if (detail.bBackupHoldsOtherData) {
            PrintCommandError(err, "convert",
                              "'" + detail.backupPath +
                                  "' already exists and holds other data (another file's "
                                  "backup?); move it away to convert '" +
                                  path + "' (code " + std::to_string(code) + ")");
            return kExitFailure;
        }
        PrintCommandError(
            err, "convert",
            std::string(MakeFailureCause(code)) + " (code " + std::to_string(code) + ")");
        return kExitFailure;
    }
    out << kTextSuccessMakeTillstreamData << std::endl;
    return kExitOk;
}

int RunRestoreCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    CCommandParser parser("restore", kRestoreUsage, kRestoreDescription, kRestoreNotes);
    int exitCode = kExitOk;
    const std::optional<std::string> file = ParseFileArgument(parser, args, out, err, exitCode);
    if (!file) {
        return exitCode;
    }
    const std::string& path = *file;
    if (!CheckRegularDataFile(err, "restore", path)) {
        return kExitFailure;
    }
    const int kind = IsTillstreamDataFile(path);
    if (kind == kDataFileUnreadable) {
        PrintCommandError(err, "restore", "cannot read '" + path + "'");
        return kExitFailure;
    }
    if (kind != kDataFileConverted) {
        // Restoring over a file that was never converted would throw its content away.
        PrintCommandError(err, "restore", "'" + path + "' is not a converted data file");
        return kExitFailure;
    }
    const int code = RestoreDataFile(path);
    if (code < 0) {
        out << kTextFailRestoreData << std::endl;
        PrintCommandError(err, "restore",
                          std::string(RestoreFailureCause(code)) + " ('" +
                              ConversionBackupPath(path) + "', code " + std::to_string(code) + ")");
        return kExitFailure;
    }
    out << kTextSuccessRestoreData << std::endl;
    return kExitOk;
}
