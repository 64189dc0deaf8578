#include <cerrno>

#include "platform/FileError.h"

// The one place where errno values become the program's file codes.
FileError FileErrorFromSystemCode(int systemCode) {
    switch (systemCode) {
        case 0:
            return FileError::None;
        case ENOENT:
            return FileError::NotFound;
        case ENOTDIR:
        case ELOOP:
            return FileError::PathNotFound;
        case EMFILE:
        case ENFILE:
            return FileError::TooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
        case ETXTBSY:
            return FileError::AccessDenied;
        case EWOULDBLOCK:
        case EBUSY:
            return FileError::SharingViolation;
        case EEXIST:
            return FileError::AlreadyExists;
        case ENOTEMPTY:
            return FileError::DirectoryNotEmpty;
        case ENAMETOOLONG:
            return FileError::NameTooLong;
        case EFBIG:
        case EOVERFLOW:
            return FileError::FileTooLarge;
        case ENOSPC:
        case EDQUOT:
            return FileError::DiskFull;
        case EXDEV:
            return FileError::CrossDevice;
        case EIO:
        case ENXIO:
        case ENODEV:
            return FileError::IoError;
        case EOPNOTSUPP:
        case EINVAL:
            return FileError::NotSupported;
        default:
            return FileError::Unexpected;
    }
}
