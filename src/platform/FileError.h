#pragma once
// The program's own codes for a failed file operation, shared by every file function of the
// platform layer, each derived from the system's error (FileErrorOf in SystemError.h). The
// numbers are those of the matching Windows system error codes, so that a trace text such as
// "ErrCode: %u" reads alike on every system. Any thread may use these.
#include <cstdint>

enum class FileError : std::uint32_t {
    None = 0,
    NotFound = 2,      // the file does not exist
    PathNotFound = 3,  // a folder on the way does not exist or is not a folder
    TooManyOpenFiles = 4,
    AccessDenied = 5,  // no permission, or the path names a folder where a file is needed
    WriteFault = 29,
    ReadFault = 30,
    SharingViolation = 32,  // another opener holds a lock that this request conflicts with
    NotSupported = 50,
    DirectoryNotEmpty = 145,
    AlreadyExists = 183,
    NameTooLong = 206,
    FileTooLarge = 223,
    DiskFull = 112,
    CrossDevice = 17,  // a rename cannot move a file to another file system
    IoError = 1117,    // the device reported an input/output error
    Unexpected = 31,   // anything else
    // A named pipe, device, folder or socket where a data file is needed: reading it could
    // wait or go on for ever, so it is refused at once.
    NotRegularFile = 222,
};

// The number shown in trace texts ("ErrCode: %u").
inline constexpr std::uint32_t FileErrorCode(FileError error) {
    return static_cast<std::uint32_t>(error);
}

// A short English text for trace messages ("file not found", ...). Never null.
const char* FileErrorText(FileError error);
