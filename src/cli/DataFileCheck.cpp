#include <ostream>

#include "cli/Commands.h"
#include "platform/FileSystem.h"

bool CheckRegularDataFile(std::ostream& err, const char* command, const std::string& path) {
    FileKind kind = FileKind::Regular;
    if (CheckRegularFile(path, kind) != FileError::NotRegularFile) {
        return true;
    }
    PrintCommandError(err, command,
                      "'" + path + "' is " + FileKindText(kind) + ", not a regular file");
    return false;
}
