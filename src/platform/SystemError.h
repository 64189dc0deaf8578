#pragma once
// The platform layer's one error value: what the system said when one of its calls failed, as
// one of the few kinds the program tells apart, with the system's own number beside it. Each
// back end turns the system's numbers into it in exactly one place (SystemErrorFromCode); the
// codes the program reports -- FileError, SocketError, the serial port's codes, the show-window
// results -- are derived from it below, the same way on every system.
// A kind says what the system said, not what it means to the caller: the derivations know the
// caller. "Would block" from a file or a port is a lock, taken without waiting, that another
// holds; from a socket it is nothing to take yet.
// Threads: pure values and functions, any thread; nothing throws.
#include <cstdint>
#include <string>

enum class SystemErrorKind : std::uint8_t {
    kNone,
    kNotFound,          // no such file or device
    kPathNotFound,      // a folder on the way does not exist or is not a folder
    kAccessDenied,      // the permissions refuse it; on Windows also a device another one holds
    kHeldByAnother,     // another opener holds a lock or the device (a sharing violation, busy)
    kWouldBlock,        // the call would have to wait, and was asked not to
    kInterrupted,       // a signal or a cancel ended the call
    kInvalidParameter,  // the system refuses an argument or a setting
    kBadHandle,         // the handle is closed or not of the kind the call needs
    kTooManyOpenFiles,  // the process or the system has run out of handles
    kOutOfMemory,
    kDiskFull,
    kAlreadyExists,
    kFolderNotEmpty,
    kNameTooLong,
    kFileTooLarge,
    kCrossDevice,  // a rename cannot move a file to another file system
    kIoError,      // the device failed or has gone
    kReadFault,
    kWriteFault,
    kNotSupported,
    kTimedOut,
    kConnectionRefused,  // nothing listens there
    kConnectionReset,    // the peer reset the connection
    kConnectionAborted,  // this side ended the connection
    kNotConnected,
    kShutDown,  // sending on a connection that was shut down or has broken
    kMessageTooLong,
    kAddressFamily,  // IPv4 is not available
    kAddressInUse,
    kAddressNotAvailable,
    kNetworkDown,
    kNetworkUnreachable,
    kHostUnreachable,
    kOther,  // anything else; the number still tells which
};

struct SystemError {
    SystemErrorKind kind = SystemErrorKind::kNone;
    std::uint32_t number = 0;  // the system's own: errno; a Windows or Windows Sockets code

    constexpr bool Failed() const { return kind != SystemErrorKind::kNone; }
};

// --- in each back end ----------------------------------------------------------------------
// The one place where the system's number becomes the program's value: errno on Linux; on
// Windows a GetLastError or WSAGetLastError code (one numbering). 0 is no error.
SystemError SystemErrorFromCode(std::uint32_t systemCode);
// The calling thread's last error: errno; GetLastError().
SystemError LastSystemError();
// The system's own text for it, e.g. "Connection refused". On Windows the number follows in
// brackets, since its texts do not always tell two codes apart.
std::string SystemErrorText(const SystemError& error);

// --- derived, the same on every system ----------------------------------------------------------
enum class FileError : std::uint32_t;    // FileError.h
enum class SocketError : std::uint32_t;  // Socket.h

FileError FileErrorOf(const SystemError& error);
SocketError SocketErrorOf(const SystemError& error);
// The serial port's code (SerialPort.h): kSerialErrorAccessDenied for a port another holds,
// kSerialErrorFileNotFound, kSerialErrorInvalidParameter, else kSerialErrorSystem plus the number.
std::uint32_t SerialErrorOf(const SystemError& error);
// The result of a show-window request that failed with `error` (ShowWindowRequest.h): no window
// when nothing is there to ask, else failed.
int ShowWindowResultOf(const SystemError& error);
