#include <windows.h>

#include "platform/win32/FileKindOfHandle.h"

FileKind FileKindOfHandle(std::intptr_t handle) {
    const HANDLE native = reinterpret_cast<HANDLE>(handle);
    switch (GetFileType(native)) {
        case FILE_TYPE_DISK: {
            BY_HANDLE_FILE_INFORMATION info{};
            if (!GetFileInformationByHandle(native, &info)) {
                return FileKind::Other;
            }
            return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory
                                                                           : FileKind::Regular;
        }
        case FILE_TYPE_CHAR:
            return FileKind::CharacterDevice;
        case FILE_TYPE_PIPE:
            return FileKind::NamedPipe;
        default:
            return FileKind::Other;
    }
}
