// The one place where a Windows error code becomes the platform layer's error value.
#include <winsock2.h>

#include <windows.h>

#include "platform/SystemError.h"

namespace {
// System codes (GetLastError) and Windows Sockets codes (WSAGetLastError) share one numbering.
SystemErrorKind KindOfCode(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return SystemErrorKind::kNone;
        case ERROR_FILE_NOT_FOUND:
            return SystemErrorKind::kNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
        case ERROR_DIRECTORY:
            return SystemErrorKind::kPathNotFound;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_DELETE_PENDING:
        case WSAEACCES:
            return SystemErrorKind::kAccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_USER_MAPPED_FILE:
            return SystemErrorKind::kHeldByAnother;
        case WSAEWOULDBLOCK:
            return SystemErrorKind::kWouldBlock;
        case ERROR_OPERATION_ABORTED:  // WSA_OPERATION_ABORTED
        case WSAEINTR:
            return SystemErrorKind::kInterrupted;
        case ERROR_INVALID_PARAMETER:  // WSA_INVALID_PARAMETER
        case WSAEINVAL:
        case WSAEFAULT:
            return SystemErrorKind::kInvalidParameter;
        case ERROR_INVALID_HANDLE:  // WSA_INVALID_HANDLE
        case WSAEBADF:
        case WSAENOTSOCK:
        case WSANOTINITIALISED:
            return SystemErrorKind::kBadHandle;
        case ERROR_TOO_MANY_OPEN_FILES:
        case WSAEMFILE:
            return SystemErrorKind::kTooManyOpenFiles;
        case ERROR_NOT_ENOUGH_MEMORY:  // WSA_NOT_ENOUGH_MEMORY
        case WSAENOBUFS:
            return SystemErrorKind::kOutOfMemory;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return SystemErrorKind::kDiskFull;
        case ERROR_ALREADY_EXISTS:
        case ERROR_FILE_EXISTS:
            return SystemErrorKind::kAlreadyExists;
        case ERROR_DIR_NOT_EMPTY:
            return SystemErrorKind::kFolderNotEmpty;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return SystemErrorKind::kNameTooLong;
        case ERROR_FILE_TOO_LARGE:
            return SystemErrorKind::kFileTooLarge;
        case ERROR_NOT_SAME_DEVICE:
            return SystemErrorKind::kCrossDevice;
        case ERROR_IO_DEVICE:
        case ERROR_CRC:
        case ERROR_NOT_READY:
        case ERROR_DEV_NOT_EXIST:
            return SystemErrorKind::kIoError;
        case ERROR_READ_FAULT:
            return SystemErrorKind::kReadFault;
        case ERROR_WRITE_FAULT:
            return SystemErrorKind::kWriteFault;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_FUNCTION:
            return SystemErrorKind::kNotSupported;
        case ERROR_TIMEOUT:
        case WSAETIMEDOUT:
            return SystemErrorKind::kTimedOut;
        case WSAECONNREFUSED:
            return SystemErrorKind::kConnectionRefused;
        case WSAECONNRESET:
        case WSAENETRESET:
            return SystemErrorKind::kConnectionReset;
        case WSAECONNABORTED:
            return SystemErrorKind::kConnectionAborted;
        case WSAENOTCONN:
            return SystemErrorKind::kNotConnected;
        case WSAESHUTDOWN:
            return SystemErrorKind::kShutDown;
        case WSAEMSGSIZE:
            return SystemErrorKind::kMessageTooLong;
        case WSAEAFNOSUPPORT:
        case WSAEPROTONOSUPPORT:
            return SystemErrorKind::kAddressFamily;
        case WSAEADDRINUSE:
            return SystemErrorKind::kAddressInUse;
        case WSAEADDRNOTAVAIL:
            return SystemErrorKind::kAddressNotAvailable;
        case WSAENETDOWN:
            return SystemErrorKind::kNetworkDown;
        case WSAENETUNREACH:
            return SystemErrorKind::kNetworkUnreachable;
        case WSAEHOSTUNREACH:
        case WSAEHOSTDOWN:
            return SystemErrorKind::kHostUnreachable;
        default:
            return SystemErrorKind::kOther;
    }
}
}  // namespace

SystemError SystemErrorFromCode(std::uint32_t systemCode) {
    return {KindOfCode(systemCode), systemCode};
}

SystemError LastSystemError() {
    return SystemErrorFromCode(GetLastError());
}

std::string SystemErrorText(const SystemError& error) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error.number, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length > 0 && text != nullptr ? std::string(text, length) : std::string();
    LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                               result.back() == ' ' || result.back() == '.')) {
        result.pop_back();
    }
    if (result.empty()) {
        result = "system error";
    }
    return result + " (" + std::to_string(error.number) + ")";
}
