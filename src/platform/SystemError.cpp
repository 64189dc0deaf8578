// What each of the program's error codes makes of the system's error value: the same on every
// system, so a failure reads alike wherever it happened.
#include "platform/SystemError.h"

#include "platform/FileError.h"
#include "platform/SerialPort.h"
#include "platform/ShowWindowRequest.h"
#include "platform/Socket.h"

FileError FileErrorOf(const SystemError& error) {
    switch (error.kind) {
        case SystemErrorKind::kNone:
            return FileError::None;
        case SystemErrorKind::kNotFound:
            return FileError::NotFound;
        case SystemErrorKind::kPathNotFound:
            return FileError::PathNotFound;
        case SystemErrorKind::kTooManyOpenFiles:
            return FileError::TooManyOpenFiles;
        case SystemErrorKind::kAccessDenied:
            return FileError::AccessDenied;
        case SystemErrorKind::kHeldByAnother:
        // The one wait a file operation is told not to make is for a lock: another holds it.
        case SystemErrorKind::kWouldBlock:
            return FileError::SharingViolation;
        case SystemErrorKind::kAlreadyExists:
            return FileError::AlreadyExists;
        case SystemErrorKind::kFolderNotEmpty:
            return FileError::DirectoryNotEmpty;
        case SystemErrorKind::kNameTooLong:
            return FileError::NameTooLong;
        case SystemErrorKind::kFileTooLarge:
            return FileError::FileTooLarge;
        case SystemErrorKind::kDiskFull:
            return FileError::DiskFull;
        case SystemErrorKind::kCrossDevice:
            return FileError::CrossDevice;
        case SystemErrorKind::kIoError:
            return FileError::IoError;
        case SystemErrorKind::kReadFault:
            return FileError::ReadFault;
        case SystemErrorKind::kWriteFault:
            return FileError::WriteFault;
        case SystemErrorKind::kNotSupported:
        case SystemErrorKind::kInvalidParameter:
            return FileError::NotSupported;
        default:
            return FileError::Unexpected;
    }
}

SocketError SocketErrorOf(const SystemError& error) {
    switch (error.kind) {
        case SystemErrorKind::kNone:
            return SocketError::kNone;
        case SystemErrorKind::kInterrupted:
            return SocketError::kInterrupted;
        case SystemErrorKind::kBadHandle:
            return SocketError::kBadSocket;
        case SystemErrorKind::kAccessDenied:
            return SocketError::kAccessDenied;
        case SystemErrorKind::kInvalidParameter:
            return SocketError::kInvalidArgument;
        case SystemErrorKind::kTooManyOpenFiles:
            return SocketError::kTooManySockets;
        case SystemErrorKind::kWouldBlock:
            return SocketError::kWouldBlock;
        case SystemErrorKind::kMessageTooLong:
            return SocketError::kMessageTooLong;
        case SystemErrorKind::kAddressFamily:
            return SocketError::kAddressFamily;
        case SystemErrorKind::kAddressInUse:
            return SocketError::kAddressInUse;
        case SystemErrorKind::kAddressNotAvailable:
            return SocketError::kAddressNotAvailable;
        case SystemErrorKind::kNetworkDown:
            return SocketError::kNetworkDown;
        case SystemErrorKind::kNetworkUnreachable:
            return SocketError::kNetworkUnreachable;
        case SystemErrorKind::kConnectionAborted:
            return SocketError::kConnectionAborted;
        case SystemErrorKind::kConnectionReset:
            return SocketError::kConnectionReset;
        case SystemErrorKind::kOutOfMemory:
            return SocketError::kNoBuffers;
        case SystemErrorKind::kNotConnected:
            return SocketError::kNotConnected;
        case SystemErrorKind::kShutDown:
            return SocketError::kShutDown;
        case SystemErrorKind::kTimedOut:
            return SocketError::kTimedOut;
        case SystemErrorKind::kConnectionRefused:
            return SocketError::kConnectionRefused;
        case SystemErrorKind::kHostUnreachable:
            return SocketError::kHostUnreachable;
        default:
            return SocketError::kOther;
    }
}

std::uint32_t SerialErrorOf(const SystemError& error) {
    switch (error.kind) {
        case SystemErrorKind::kNone:
            return 0;
        // Only a port that another program (or another channel of this one) holds reads
        // "already used": its lock, taken without waiting, or the device itself is held. A
        // permission problem is not that, nor is a device that failed.
        case SystemErrorKind::kHeldByAnother:
        case SystemErrorKind::kWouldBlock:
            return kSerialErrorAccessDenied;
        case SystemErrorKind::kNotFound:
            return kSerialErrorFileNotFound;
        case SystemErrorKind::kInvalidParameter:
            return kSerialErrorInvalidParameter;
        default:
            return kSerialErrorSystem | error.number;
    }
}

int ShowWindowResultOf(const SystemError& error) {
    switch (error.kind) {
        // No socket, or nobody listening on it: no window runs.
        case SystemErrorKind::kNotFound:
        case SystemErrorKind::kPathNotFound:
        case SystemErrorKind::kConnectionRefused:
            return kShowWindowNoWindow;
        default:
            return kShowWindowFailed;
    }
}
