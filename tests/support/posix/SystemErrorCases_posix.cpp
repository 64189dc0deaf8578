#include "SystemErrorCases.h"

#include <cerrno>

#include "platform/SerialPort.h"
#include "platform/ShowWindowRequest.h"

std::vector<SystemErrorCase> SystemErrorCases() {
    constexpr std::uint32_t kSystem = kSerialErrorSystem;
    return {
        // A permission problem on a serial device is no "already used by other application".
        {EACCES, FileError::AccessDenied, SocketError::kAccessDenied, kSystem | EACCES,
         kShowWindowFailed},
        // The terminal's exclusive flag refuses a second opener: the port is in use.
        {EBUSY, FileError::SharingViolation, SocketError::kOther, kSerialErrorAccessDenied,
         kShowWindowFailed},
        // A lock taken without waiting that another holds; to a socket, nothing to take yet.
        {EWOULDBLOCK, FileError::SharingViolation, SocketError::kWouldBlock,
         kSerialErrorAccessDenied, kShowWindowFailed},
        // A pulled USB adapter: its number is the access-denied code's, it must keep its own.
        {EIO, FileError::IoError, SocketError::kOther, kSystem | EIO, kShowWindowFailed},
        {ENOENT, FileError::NotFound, SocketError::kOther, kSerialErrorFileNotFound,
         kShowWindowNoWindow},
        {EINVAL, FileError::NotSupported, SocketError::kInvalidArgument,
         kSerialErrorInvalidParameter, kShowWindowFailed},
        {ECONNREFUSED, FileError::Unexpected, SocketError::kConnectionRefused,
         kSystem | ECONNREFUSED, kShowWindowNoWindow},
        {EPIPE, FileError::Unexpected, SocketError::kShutDown, kSystem | EPIPE, kShowWindowFailed},
        {EMFILE, FileError::TooManyOpenFiles, SocketError::kTooManySockets, kSystem | EMFILE,
         kShowWindowFailed},
        {ENOSPC, FileError::DiskFull, SocketError::kOther, kSystem | ENOSPC, kShowWindowFailed},
        {0, FileError::None, SocketError::kNone, 0, kShowWindowFailed},
    };
}
