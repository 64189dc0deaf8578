#include "platform/FileError.h"

const char* FileErrorText(FileError error) {
    switch (error) {
        case FileError::None:
            return "no error";
        case FileError::NotFound:
            return "file not found";
        case FileError::PathNotFound:
            return "path not found";
        case FileError::TooManyOpenFiles:
            return "too many open files";
        case FileError::AccessDenied:
            return "access denied";
        case FileError::WriteFault:
            return "write fault";
        case FileError::ReadFault:
            return "read fault";
        case FileError::SharingViolation:
            return "file in use";
        case FileError::NotSupported:
            return "not supported";
        case FileError::DirectoryNotEmpty:
            return "folder not empty";
        case FileError::AlreadyExists:
            return "already exists";
        case FileError::NameTooLong:
            return "name too long";
        case FileError::FileTooLarge:
            return "file too large";
        case FileError::DiskFull:
            return "disk full";
        case FileError::CrossDevice:
            return "not the same device";
        case FileError::IoError:
            return "input/output error";
        case FileError::NotRegularFile:
            return "not a regular file";
        case FileError::Unexpected:
            break;
    }
    return "unexpected error";
}
