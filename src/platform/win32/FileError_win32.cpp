#include <windows.h>

#include "platform/FileError.h"

// The one place where Windows error codes (GetLastError) become the program's file codes. The
// program's codes are numbered like the Windows ones, so most of them map to themselves.
FileError FileErrorFromSystemCode(int systemCode) {
    switch (static_cast<DWORD>(systemCode)) {
        case ERROR_SUCCESS:
            return FileError::None;
        case ERROR_FILE_NOT_FOUND:
            return FileError::NotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            return FileError::PathNotFound;
        case ERROR_TOO_MANY_OPEN_FILES:
            return FileError::TooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_DELETE_PENDING:
            return FileError::AccessDenied;
        case ERROR_WRITE_FAULT:
            return FileError::WriteFault;
        case ERROR_READ_FAULT:
            return FileError::ReadFault;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return FileError::SharingViolation;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
        case ERROR_INVALID_PARAMETER:
            return FileError::NotSupported;
        case ERROR_DIR_NOT_EMPTY:
            return FileError::DirectoryNotEmpty;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return FileError::AlreadyExists;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return FileError::NameTooLong;
        case ERROR_FILE_TOO_LARGE:
            return FileError::FileTooLarge;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return FileError::DiskFull;
        case ERROR_NOT_SAME_DEVICE:
            return FileError::CrossDevice;
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
            return FileError::IoError;
        default:
            return FileError::Unexpected;
    }
}
