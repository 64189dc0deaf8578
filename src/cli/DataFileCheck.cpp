#include "cli/DataFileCheck.h"

#include <ostream>

#include "cli/CommandOutput.h"
#include "platform/FileSystem.h"

std::optional<std::string> RegularDataFileRefusal(const std::string& path) {
    FileKind kind = FileKind::Regular;
    if (CheckRegularFile(path, kind) != FileError::NotRegularFile) {
        return std::nullopt;
    }
    return "'" + path + "' is " + FileKindText(kind) + ", not a regular file";
}

bool CheckRegularDataFile(std::ostream& err, const char* command, const std::string& path) {
    if (const std::optional<std::string> refusal = RegularDataFileRefusal(path)) {
        PrintCommandError(err, command, *refusal);
        return false;
    }
    return true;
}
