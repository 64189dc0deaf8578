#include <winsock2.h>

#include <windows.h>

#include "SystemErrorCases.h"
#include "platform/SerialPort.h"
#include "platform/ShowWindowRequest.h"

std::vector<SystemErrorCase> SystemErrorCases() {
    constexpr std::uint32_t kSystem = kSerialErrorSystem;
    return {
        // Access denied is a permission problem to a file; what it means to a COM port the
        // serial back end says.
        {ERROR_ACCESS_DENIED, FileError::AccessDenied, SocketError::kAccessDenied,
         kSystem | ERROR_ACCESS_DENIED, kShowWindowFailed},
        // Another opener holds it: a file in use, a port in use.
        {ERROR_SHARING_VIOLATION, FileError::SharingViolation, SocketError::kOther,
         kSerialErrorAccessDenied, kShowWindowFailed},
        {ERROR_LOCK_VIOLATION, FileError::SharingViolation, SocketError::kOther,
         kSerialErrorAccessDenied, kShowWindowFailed},
        {ERROR_FILE_NOT_FOUND, FileError::NotFound, SocketError::kOther, kSerialErrorFileNotFound,
         kShowWindowNoWindow},
        {ERROR_PATH_NOT_FOUND, FileError::PathNotFound, SocketError::kOther,
         kSystem | ERROR_PATH_NOT_FOUND, kShowWindowNoWindow},
        {ERROR_INVALID_PARAMETER, FileError::NotSupported, SocketError::kInvalidArgument,
         kSerialErrorInvalidParameter, kShowWindowFailed},
        {ERROR_GEN_FAILURE, FileError::Unexpected, SocketError::kOther, kSystem | ERROR_GEN_FAILURE,
         kShowWindowFailed},
        {WSAECONNREFUSED, FileError::Unexpected, SocketError::kConnectionRefused,
         kSystem | WSAECONNREFUSED, kShowWindowNoWindow},
        {WSAECONNRESET, FileError::Unexpected, SocketError::kConnectionReset,
         kSystem | WSAECONNRESET, kShowWindowFailed},
        {ERROR_HANDLE_DISK_FULL, FileError::DiskFull, SocketError::kOther,
         kSystem | ERROR_HANDLE_DISK_FULL, kShowWindowFailed},
        {ERROR_SUCCESS, FileError::None, SocketError::kNone, 0, kShowWindowFailed},
    };
}
