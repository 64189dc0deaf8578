#include "platform/FileKind.h"

const char* FileKindText(FileKind kind) {
    switch (kind) {
        case FileKind::Regular:
            return "a regular file";
        case FileKind::Directory:
            return "a directory";
        case FileKind::NamedPipe:
            return "a named pipe";
        case FileKind::CharacterDevice:
            return "a character device";
        case FileKind::BlockDevice:
            return "a block device";
        case FileKind::Socket:
            return "a socket";
        case FileKind::Other:
            break;
    }
    return "a special file";
}
