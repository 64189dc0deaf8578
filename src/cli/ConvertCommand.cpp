#include <ostream>

#include "cli/Commands.h"
#include "datafile/Conversion.h"
#include "datafile/ConversionTexts.h"
#include "datafile/DataFileKind.h"

namespace {
constexpr char kConvertHelp[] =
    "Usage: tillstream-cli convert FILE\n"
    "Make Tillstream Data: converts the stamped hex log FILE in place into a converted data\n"
    "file (the marker line, then the hex payload of every record) and keeps the original as\n"
    "FILE's backup (same name, extension .bak). Only a stamped hex log is accepted: its first\n"
    "line has '[' at position 0 and ']' at position 20.\n"
    "Prints \"Success, Make tillstream data.\" or \"Fail, Make tillstream data.\".\n"
    "Exit codes: 0 converted, 1 refused or failed, 2 bad arguments.\n";

constexpr char kRestoreHelp[] =
    "Usage: tillstream-cli restore FILE\n"
    "Restore Data: copies the backup of the converted data file FILE (same name, extension\n"
    ".bak) back over FILE and deletes the backup.\n"
    "Prints \"Success, Restore data.\" or \"Fail, Restore data.\".\n"
    "Exit codes: 0 restored, 1 refused or failed, 2 bad arguments.\n";

bool ParseFileArgument(const char* command, const CommandArgs& args, const char* help,
                       std::string& path, std::ostream& out, std::ostream& err, int& exitCode) {
    const CArgParser parser({{"help", false}});
    CParsedArgs parsed;
    if (!ParseCommandArgs(command, parser, args, help, parsed, out, err, exitCode)) {
        return false;
    }
    if (parsed.Positionals().size() != 1) {
        PrintCommandError(
            err, command,
            parsed.Positionals().empty() ? "FILE is missing" : "only one FILE, please");
        exitCode = kExitUsage;
        return false;
    }
    path = parsed.Positionals().front();
    return true;
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
    std::string path;
    int exitCode = kExitOk;
    if (!ParseFileArgument("convert", args, kConvertHelp, path, out, err, exitCode)) {
        return exitCode;
    }
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
    const int code = MakeTillstreamDataFile(path);
    if (code < 0) {
        out << kTextFailMakeTillstreamData << std::endl;
        PrintCommandError(
            err, "convert",
            std::string(MakeFailureCause(code)) + " (code " + std::to_string(code) + ")");
        return kExitFailure;
    }
    out << kTextSuccessMakeTillstreamData << std::endl;
    return kExitOk;
}

int RunRestoreCommand(const CommandArgs& args, std::ostream& out, std::ostream& err) {
    std::string path;
    int exitCode = kExitOk;
    if (!ParseFileArgument("restore", args, kRestoreHelp, path, out, err, exitCode)) {
        return exitCode;
    }
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
